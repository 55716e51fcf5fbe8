#include "program_files.h"

#include <shellapi.h>

#include <cctype>
#include <cstring>

#include "data_folders.h"
#include "dates.h"
#include "first_seen.h"
#include "folder_walk.h"
#include "platform.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

const char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Commands are resolved in a working buffer larger than a path, so that a
// long argument list behind the program does not cut the program itself.
const size_t kWorkSize = 4096;

// A version block claiming this much or more is not believed (real ones
// are a few kilobytes; a program may carry a large one to go unnamed).
const DWORD kVersionLimit = 1024 * 1024;
// The room a version block is first read into (see ReadVersionFacts).
const DWORD kVersionFirstRead = 16 * 1024;
// A text of the block: at most 127 characters of any script, in bytes.
const size_t kVersionTextSize = 4 * 128;

int WindowsFolder(char *out)
{
    UINT n = GetWindowsDirectoryA(out, PATH_SIZE);
    if (n == 0 || n >= PATH_SIZE) { out[0] = 0; return 0; }
    RemoveBackslash(out, 0);
    return 1;
}

int SystemFolder(char *out)
{
    UINT n = GetSystemDirectoryA(out, PATH_SIZE);
    if (n == 0 || n >= PATH_SIZE) { out[0] = 0; return 0; }
    RemoveBackslash(out, 0);
    return 1;
}

int StartsWithNoCase(const char *text, const char *start)
{
    for (; *start; text++, start++)
        if (tolower((unsigned char)*text) != tolower((unsigned char)*start)) return 0;
    return 1;
}

// The text a command is resolved in: "\SystemRoot\..." (service image
// paths) and, when allowed, "%ProgramFiles%..." at the start are replaced by
// their folders, and any other %variable% is expanded from the environment.
// Only the start counts, so an argument that mentions the word is left alone.
void WorkingText(const char *command, int programFilesRule, char *work)
{
    char folder[PATH_SIZE];
    char text[kWorkSize];
    if (StartsWithNoCase(command, "\\SystemRoot\\") && WindowsFolder(folder)) {
        CopyTextCut(text, sizeof text, folder);
        AppendTextCut(text, sizeof text, command + 11);
    } else if (programFilesRule && StartsWithNoCase(command, "%ProgramFiles%")) {
        if (StoreReadString(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", folder,
                            sizeof folder) <= 0)
            CopyText(folder, sizeof folder, "C:\\Program Files");
        RemoveBackslash(folder, 0);
        CopyTextCut(text, sizeof text, folder);
        AppendTextCut(text, sizeof text, command + 14);
    } else {
        CopyTextCut(text, sizeof text, command);
    }
    DWORD n = 0;
    if (strchr(text, '%')) n = ExpandEnvironmentStringsA(text, work, kWorkSize);
    if (n == 0 || n > kWorkSize) CopyTextCut(work, kWorkSize, text);
}

// 1 when the "." at dot starts one of the extensions that end a program
// file: the second character behind the dot is "X" or "L" (".exe", ".dll"),
// or "P" (".cpl") when applets count. The extension must end there: a
// folder named "a.alex" does not end the file.
int EndsProgramFile(const char *dot, int applets)
{
    if (!dot[1] || !dot[2]) return 0;
    int c = toupper((unsigned char)dot[2]);
    if (c != 'X' && c != 'L' && !(applets && c == 'P')) return 0;
    if (!dot[3]) return 1;
    unsigned char after = (unsigned char)dot[4];
    return !(isalnum(after) || after == '\\' || after == '_');
}

// Finds the program file in a working text: leading blanks and an opening
// quote fall away, a ":" moves the start to the drive letter before it, and
// the first recognised extension or the closing quote ends the file. next
// is where the text behind the program (its parameters) begins.
void FindProgramPart(const char *work, int applets, size_t *start, size_t *end, size_t *next)
{
    size_t s = 0;
    while (work[s] == ' ' || work[s] == '\t') s++;
    int quoted = work[s] == '"';
    if (quoted) s++;
    size_t i = s;
    while (work[i]) {
        if (quoted && work[i] == '"') break;
        if (work[i] == ':') s = i > 0 ? i - 1 : 0;
        if (work[i] == '.' && EndsProgramFile(work + i, applets)) {
            size_t k = 1;
            while (k <= 3 && work[i + k]) k++;
            i += k;
            break;
        }
        i++;
    }
    *start = s;
    *end = i;
    *next = quoted && work[i] == '"' ? i + 1 : i;
}

int IsPlainFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// 1 when the file name is a device ("CON", "nul.txt", "COM1"): opening it
// reaches the device, not a file.
int NamesDevice(const char *path)
{
    static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    const char *name = path + FileNameIndex(path);
    if (name == path && name[0] && name[1] == ':') name += 2;
    char stem[16];
    size_t n = 0;
    while (name[n] && name[n] != '.' && name[n] != ':' && n < sizeof stem - 1) {
        stem[n] = name[n];
        n++;
    }
    stem[n] = 0;
    while (n > 0 && stem[n - 1] == ' ') stem[--n] = 0;
    for (const char *device : kDevices)
        if (TextEqualNoCase(stem, device)) return 1;
    if (n == 4 && (StartsWithNoCase(stem, "COM") || StartsWithNoCase(stem, "LPT")) &&
        stem[3] >= '1' && stem[3] <= '9')
        return 1;
    return 0;
}

void ShortForm(const char *path, char *out)
{
    DWORD n = GetShortPathNameA(path, out, PATH_SIZE);
    if (n == 0 || n >= PATH_SIZE) CopyText(out, PATH_SIZE, path);
}

int IsWindows95(void)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) return 0;
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version.dwMajorVersion == 4 &&
           version.dwMinorVersion == 0;
}

int FileTimeToLocal(const FILETIME *time, SYSTEMTIME *local)
{
    SYSTEMTIME universal;
    if (!FileTimeToSystemTime(time, &universal)) return 0;
    return SystemTimeToTzSpecificLocalTime(nullptr, &universal, local) != 0;
}

// Opens a file only to read its times and size; other programs may hold it
// open in any way.
HANDLE OpenForFacts(const char *file)
{
    if (!file || !file[0]) return INVALID_HANDLE_VALUE;
    return CreateFileA(file, FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

// The number with "," between groups of three digits; sizes beyond 2 GB
// included.
void GroupThousands(unsigned long long number, char *out, size_t size)
{
    char digits[32];
    int n = (int)FormatText(digits, sizeof digits, "%llu", number);
    char grouped[48];
    int g = 0;
    for (int i = 0; i < n; i++) {
        if (i > 0 && (n - i) % 3 == 0) grouped[g++] = ',';
        grouped[g++] = digits[i];
    }
    grouped[g] = 0;
    CopyText(out, size, grouped);
}

// --- Version information ---------------------------------------------------
// The block is walked before the platform is asked about it, so that a
// resource whose lengths point past its end is treated as having none.

WORD Word(const BYTE *data, size_t offset)
{
    return (WORD)(data[offset] | (data[offset + 1] << 8));
}

size_t Align4(size_t offset)
{
    return (offset + 3) & ~(size_t)3;
}

// A block: length, value length, type, a terminated UTF-16 key, padding to
// four bytes, the value, padding, then child blocks up to its length.
int VersionBlockIsSound(const BYTE *data, size_t offset, size_t end, int depth)
{
    if (depth > 4 || offset + 6 > end) return 0;
    size_t length = Word(data, offset);
    if (length < 6 || offset + length > end) return 0;
    size_t blockEnd = offset + length;
    size_t p = offset + 6;
    for (;;) {
        if (p + 2 > blockEnd) return 0;
        WORD c = Word(data, p);
        p += 2;
        if (!c) break;
    }
    p = Align4(p);
    // Text values count characters, others bytes; some tools write bytes
    // for texts as well, so a value is only followed as far as its block.
    size_t value = Word(data, offset + 2);
    if (Word(data, offset + 4) == 1) value *= 2;
    if (p < blockEnd) p += value < blockEnd - p ? value : blockEnd - p;
    p = Align4(p);
    while (p + 6 <= blockEnd) {
        if (!VersionBlockIsSound(data, p, blockEnd, depth + 1)) return 0;
        p = Align4(p + Word(data, p));
    }
    return 1;
}

int VersionInfoIsSound(const BYTE *data, size_t size)
{
    static const char kKey[] = "VS_VERSION_INFO";
    if (size < 6 + 2 * sizeof kKey) return 0;
    for (size_t i = 0; i < sizeof kKey; i++)
        if (Word(data, 6 + 2 * i) != (BYTE)kKey[i]) return 0;
    size_t length = Word(data, 0);
    return length <= size && VersionBlockIsSound(data, 0, length, 0);
}

// A value that the platform returned, checked to lie inside the block.
int VersionValue(const BYTE *block, size_t blockSize, const char *query, const void **value,
                 UINT *length)
{
    void *pointer = nullptr;
    UINT n = 0;
    if (!VerQueryValueA(block, query, &pointer, &n) || !pointer) return 0;
    const BYTE *p = (const BYTE *)pointer;
    if (p < block || p >= block + blockSize) return 0;
    *value = p;
    *length = n;
    return 1;
}

// Copies one version text into a slot: empty when it is 128 characters or
// more (of any script) or not terminated inside the block; control
// characters become blanks.
int CopyVersionText(const BYTE *block, size_t blockSize, const char *text, char *slot)
{
    size_t room = (size_t)(block + blockSize - (const BYTE *)text);
    size_t len = TextLength(text, room);
    slot[0] = 0;
    if (len >= kVersionTextSize) return 0;
    size_t characters = 0;
    for (size_t i = 0; i < len; i++) characters += ((unsigned char)text[i] & 0xC0) != 0x80;
    if (characters >= 128) return 0;
    for (size_t i = 0; i < len; i++) {
        unsigned char c = (unsigned char)text[i];
        slot[i] = c < 0x20 ? ' ' : (char)c;
    }
    slot[len] = 0;
    return (int)len;
}
}  // namespace

namespace {
int ResolveCommandPathAs(const char *command, int capitals, char *out)
{
    out[0] = 0;
    if (!command || !command[0]) return 0;
    char work[kWorkSize];
    WorkingText(command, 1, work);
    size_t start, end, next;
    FindProgramPart(work, 0, &start, &end, &next);
    if (end <= start || end - start >= PATH_SIZE) return 0;
    for (size_t i = start; i < end; i++) out[i - start] = capitals ? (char)toupper((unsigned char)work[i]) : work[i];
    out[end - start] = 0;
    return (int)(end - start);
}
}  // namespace

int ResolveCommandPath(const char *command, char *out)
{
    return ResolveCommandPathAs(command, 1, out);
}

int ResolveCommandFile(const char *command, char *out)
{
    return ResolveCommandPathAs(command, 0, out);
}

namespace {
int SplitCommandAs(const char *command, int capitals, char *file, char *parameters)
{
    file[0] = 0;
    parameters[0] = 0;
    if (!command || !command[0]) return 0;
    char work[kWorkSize];
    WorkingText(command, 0, work);
    size_t start, end, next;
    FindProgramPart(work, 1, &start, &end, &next);
    if (end <= start || end - start >= PATH_SIZE || strlen(work + next) >= PATH_SIZE) return 0;
    char program[PATH_SIZE];
    for (size_t i = start; i < end; i++)
        program[i - start] = capitals ? (char)toupper((unsigned char)work[i]) : work[i];
    program[end - start] = 0;
    GetLongPath(file, program);
    CopyText(parameters, PATH_SIZE, work + next);
    return (int)(end - start);
}
}  // namespace

int SplitCommand(const char *command, char *file, char *parameters)
{
    return SplitCommandAs(command, 1, file, parameters);
}

int CommandProgramFile(const char *command, char *file)
{
    char parameters[PATH_SIZE];
    return SplitCommandAs(command, 0, file, parameters);
}

int FileExists(char *path)
{
    if (!path || !path[0]) return 0;
    size_t len = TextLength(path, PATH_SIZE);
    if (len >= PATH_SIZE || strpbrk(path, "*?") || NamesDevice(path)) return 0;

    // A file that is there answers to its own name; asking for its short
    // form first would only cost time for one that is not.
    if (IsPlainFile(path)) return 1;
    // A short name may stand for a file of the Windows or system folder. A
    // path with a drive or a server never does.
    if (len >= 32 || (path[0] == '\\' && path[1] == '\\') || (path[0] && path[1] == ':')) return 0;

    char folder[PATH_SIZE], candidate[PATH_SIZE];
    if (WindowsFolder(folder) &&
        JoinPath(candidate, sizeof candidate, folder, path) && IsPlainFile(candidate))
        return 1;
    if (SystemFolder(folder) &&
        JoinPath(candidate, sizeof candidate, folder, path) && IsPlainFile(candidate)) {
        char found[PATH_SIZE];
        ShortForm(candidate, found);
        CopyText(path, PATH_SIZE, found);
        return 1;
    }
    return 0;
}

namespace {
int ReadVersionBlock(DWORD size, BYTE *block, size_t blockSize, const char *const *kNames,
                     VersionFacts facts);
}  // namespace

int ReadVersionFacts(const char *file, VersionFacts facts)
{
    static const char *const kNames[VERSION_SLOTS] = {"ProductName", "ProductVersion",
                                                      "CompanyName", "FileDescription",
                                                      "LegalCopyright"};
    for (int i = 0; i < VERSION_SLOTS; i++) facts[i][0] = 0;
    if (!file || !file[0]) return 0;

    // Twice the size and some zeros behind it: the platform keeps the ANSI
    // copies of the texts behind the block, and a text without terminator
    // still ends inside the buffer. Most blocks are a few kilobytes: they
    // are read at once into room for kVersionFirstRead bytes, and the file
    // is opened and its resources found once, not twice. A larger block is
    // read again at the size the platform asks for.
    DWORD size = kVersionFirstRead;
    size_t blockSize = 2 * (size_t)size + 16;
    BYTE *block = (BYTE *)calloc(1, blockSize);
    if (!block) return 0;
    if (!GetFileVersionInfoA(file, 0, size, block)) {
        free(block);   // no version block at all
        return 0;
    }
    if (3 * (DWORD)Word(block, 0) > size) {
        free(block);
        DWORD handle = 0;
        size = GetFileVersionInfoSizeA(file, &handle);
        if (size == 0 || size >= kVersionLimit) return 0;
        blockSize = 2 * (size_t)size + 16;
        block = (BYTE *)calloc(1, blockSize);
        if (!block) return 0;
        if (!GetFileVersionInfoA(file, 0, size, block)) {
            free(block);
            return 0;
        }
    }
    int found = ReadVersionBlock(size, block, blockSize, kNames, facts);
    free(block);
    return found;
}

namespace {
int ReadVersionBlock(DWORD size, BYTE *block, size_t blockSize, const char *const *kNames,
                     VersionFacts facts)
{
    if (!VersionInfoIsSound(block, size)) return 0;

    const void *value;
    UINT length;
    if (!VersionValue(block, blockSize, "\\VarFileInfo\\Translation", &value, &length))
        return 0;
    const BYTE *pairs = (const BYTE *)value;
    size_t count = length / 4;
    if ((size_t)(block + blockSize - pairs) < count * 4) return 0;
    if (count > 64) count = 64;

    for (size_t pair = 0; pair < count; pair++) {
        unsigned language = Word(pairs, pair * 4), codePage = Word(pairs, pair * 4 + 2);
        char texts[VERSION_SLOTS][kVersionTextSize];
        int any = 0, named = 0;
        for (int slot = 0; slot < VERSION_SLOTS; slot++) {
            char query[96];
            texts[slot][0] = 0;
            FormatText(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", language, codePage,
                       kNames[slot]);
            if (VersionValue(block, blockSize, query, &value, &length)) {
                CopyVersionText(block, blockSize, (const char *)value, texts[slot]);
                any = 1;
                if (slot == VERSION_PRODUCT_NAME) named = 1;
            }
        }
        // A translation without a product name still gives its other texts
        // (a program need not name its product to be described), unless an
        // earlier one that names its product was taken already.
        if (!any || (!named && facts[VERSION_PRODUCT_NAME][0])) continue;
        for (int slot = 0; slot < VERSION_SLOTS; slot++)
            CopyText(facts[slot], VERSION_SLOT_SIZE, texts[slot]);
    }
    if (FindTextNoCase(facts[VERSION_PRODUCT_NAME], "Operating System"))
        CopyText(facts[VERSION_PRODUCT_NAME], VERSION_SLOT_SIZE, facts[VERSION_FILE_DESCRIPTION]);
    return facts[VERSION_PRODUCT_NAME][0] != 0;
}
}  // namespace

int GetLongPath(char *out, const char *path)
{
    char copy[PATH_SIZE];
    out[0] = 0;
    if (!CopyText(copy, sizeof copy, path)) return 0;
    // Short names always carry a "~": a path without one is its own long
    // form, and asking the file system costs a folder search per component.
    if (strchr(copy, '~') && !IsWindows95()) {
        typedef DWORD(WINAPI * LongPathName)(LPCSTR, LPSTR, DWORD);
        HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
        FARPROC found = kernel ? GetProcAddress(kernel, "GetLongPathNameA") : nullptr;
        if (found) {
            LongPathName longPathName =
                reinterpret_cast<LongPathName>(reinterpret_cast<void (*)(void)>(found));
            char longPath[PATH_SIZE];
            DWORD n = longPathName(copy, longPath, sizeof longPath);
            if (n > 0 && n < sizeof longPath) {
                CopyText(out, PATH_SIZE, longPath);
                return (int)n;
            }
        }
    }
    CopyText(out, PATH_SIZE, copy);
    return 0;
}

int FormatFileCreationTime(const char *file, char *out)
{
    out[0] = 0;
    HANDLE handle = OpenForFacts(file);
    if (handle == INVALID_HANDLE_VALUE) return 1;
    FILETIME created;
    BOOL haveTime = GetFileTime(handle, &created, nullptr, nullptr);
    CloseHandle(handle);
    if (!haveTime) return 1;
    SYSTEMTIME local;
    if (!FileTimeToLocal(&created, &local)) return 0;
    FormatText(out, FILE_DATE_SIZE, "%04d/%02d/%02d %02d:%02d", local.wYear, local.wMonth,
               local.wDay, local.wHour, local.wMinute);
    return 1;
}

int GetFileDateSize(const char *file, char *date, char *size)
{
    date[0] = 0;
    size[0] = 0;
    HANDLE handle = OpenForFacts(file);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    FILETIME written;
    LARGE_INTEGER bytes;
    BOOL haveTime = GetFileTime(handle, nullptr, nullptr, &written);
    BOOL haveSize = GetFileSizeEx(handle, &bytes);
    CloseHandle(handle);
    SYSTEMTIME local;
    if (haveTime && FileTimeToLocal(&written, &local)) FormatDateTime(&local, date);
    if (haveSize) FormatText(size, FILE_DATE_SIZE, "%llu", (unsigned long long)bytes.QuadPart);
    return (int)TextLength(date, FILE_DATE_SIZE);
}

int GetFileDates(const char *file, int type, char dates[5][FILE_FACT_SIZE])
{
    dates[0][0] = dates[1][0] = dates[2][0] = dates[4][0] = 0;
    HANDLE handle = OpenForFacts(file);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    FILETIME times[3];
    LARGE_INTEGER bytes;
    BOOL haveTimes = GetFileTime(handle, &times[0], &times[1], &times[2]);
    BOOL haveSize = GetFileSizeEx(handle, &bytes);
    CloseHandle(handle);

    SYSTEMTIME local;
    for (int i = 0; i < 3; i++) {
        char text[DATE_TEXT_SIZE];
        if (haveTimes && FileTimeToLocal(&times[i], &local) && FormatDateTime(&local, text))
            CopyTextCut(dates[i], FILE_FACT_SIZE, text);
    }
    char seen[DATE_TEXT_SIZE];
    if (GetFirstSeen(file, type, seen) > 0) CopyTextCut(dates[3], FILE_FACT_SIZE, seen);
    if (haveSize)
        GroupThousands((unsigned long long)bytes.QuadPart, dates[4], FILE_FACT_SIZE);
    else
        LoadUiString(923, dates[4], FILE_FACT_SIZE);
    return 1;
}

int ViewTextFile(const char *file)
{
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (file && IsPlainFile(file)) {
        // Quoted, so that a path with blanks reaches Notepad as one file.
        char argument[PATH_SIZE + 2];
        if (FormatText(argument, sizeof argument, "\"%s\"", file)) {
            INT_PTR result = (INT_PTR)ShellExecuteA(nullptr, "open", "notepad.exe", argument,
                                                    nullptr, SW_SHOWNORMAL);
            if (result > 32) return 1;
            error = GetLastError();
            if (error == 0) error = (DWORD)result;
        }
    } else {
        error = GetLastError();
        if (error == 0) error = ERROR_FILE_NOT_FOUND;
    }
    char message[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), message, sizeof message, nullptr);
    char text[600];
    FormatTextCut(text, sizeof text, "%lu  %s", (unsigned long)error, message);
    char title[128];
    LoadUiString(2, title, sizeof title);
    UiMessageBoxText(nullptr, text, title, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    return 0;
}

int GetVersionTextIn(const char *folder, const char *runningFile, char *out)
{
    out[0] = 0;
    VersionFacts facts;
    char file[PATH_SIZE];
    if (FormatText(file, sizeof file, "%s\\Sentrel.exe", folder)) {
        ReadVersionFacts(file, facts);
        CopyText(out, VERSION_TEXT_SIZE, facts[VERSION_PRODUCT_VERSION]);
    }

    const char *name = runningFile + FileNameIndex(runningFile);
    int hijackTool = FindTextNoCase(name, "hijack") != nullptr;
    if (!JoinPath(file, sizeof file, folder, hijackTool ? name : "SentrelEx.exe") ||
        !FileExists(file))
        return (int)TextLength(out, VERSION_TEXT_SIZE);
    ReadVersionFacts(file, facts);
    // Two programs of the same version are one version.
    if (out[0] && strcmp(out, facts[VERSION_PRODUCT_VERSION]) == 0) return (int)TextLength(out, VERSION_TEXT_SIZE);
    if (!(hijackTool && !out[0])) AppendText(out, VERSION_TEXT_SIZE, ":");
    AppendTextCut(out, VERSION_TEXT_SIZE, facts[VERSION_PRODUCT_VERSION]);
    return (int)TextLength(out, VERSION_TEXT_SIZE);
}

int GetVersionText(char *out)
{
    out[0] = 0;
    char folder[PATH_SIZE], running[PATH_SIZE];
    if (!GetProgramFolder(folder)) return 0;
    DWORD n = GetModuleFileNameA(nullptr, running, sizeof running);
    if (n == 0 || n >= sizeof running - 1) return 0;
    return GetVersionTextIn(folder, running, out);
}

int GetFileDescription(const char *file, char *out)
{
    VersionFacts facts;
    ReadVersionFacts(file, facts);
    return (int)CopyText(out, VERSION_SLOT_SIZE, facts[VERSION_FILE_DESCRIPTION]);
}
