// Program information: see program_info.h.
#include "program_info.h"

#include <shellapi.h>
#include <intshcut.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "browsers.h"
#include "data_folders.h"
#include "dates.h"
#include "first_seen.h"
#include "folder_walk.h"
#include "options.h"
#include "vault.h"
#include "text.h"
#include "ui_strings.h"
#include "unicode_text.h"

namespace {

// The address of the maker's web server (no trailing slash).
const UINT kServerAddressString = 3201;
const char kSimpleScript[] = "/cgi-bin/zentainfo.pl?program=";
const char kDetailedScript[] = "/cgi-bin/zentainfo12.pl?program=";

// The Internet shortcut object and its URL interface.
const GUID kInternetShortcut = {0xFBF23B40, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};
const GUID kUrlInterface = {0xFBF23B80, 0xE3F0, 0x101B, {0x84, 0x88, 0x00, 0xAA, 0x00, 0x3E, 0x56, 0xF8}};

// Help page file names by command number.
const struct {
    int command;
    const char *file;
} kHelpPages[] = {
    {6026, "startup.html"},  {6028, "cookies.html"},   {6029, "tasks.html"},
    {6033, "options.html"},  {6038, "services.html"},  {6039, "scheduler.html"},
    {6040, "bho.html"},      {6042, "filetype.html"},  {6051, "helpme.html"},
    {6052, "hidden.html"},   {6055, "delay.html"},
};

// Cuts an escaped text to at most max characters without splitting a
// "%XX" escape.
void CutEscaped(char *text, size_t max)
{
    size_t length = strlen(text);
    if (length <= max) return;
    size_t cut = max;
    if (cut >= 1 && text[cut - 1] == '%')
        cut -= 1;
    else if (cut >= 2 && text[cut - 2] == '%')
        cut -= 2;
    text[cut] = 0;
}

// Appends name and the escaped value to the query, cutting the value (at a
// whole escape) when the query is full. 0 when not even the name fits.
int AppendField(char *query, size_t size, const char *name, const char *value)
{
    if (!AppendText(query, size, name)) return 0;
    if (!value || !value[0]) return 1;
    // Values longer than this could not be kept anyway; escaping triples at most.
    char piece[320], escaped[1024];
    CopyTextCut(piece, sizeof piece, value);
    if (EscapeForUrl(escaped, sizeof escaped, piece) < 0) return 1;
    size_t used = strlen(query);
    CutEscaped(escaped, size - 1 - used);
    AppendTextCut(query, size, escaped);
    return 1;
}

// The file name part of a path, or the whole text when it has no backslash.
const char *NamePart(const char *path)
{
    return path + FileNameIndex(path);
}

// The program file behind a command and its file name; the file name is
// empty when the command names no file.
void ProgramFileOf(const char *command, char *file /* PATH_SIZE */, char *name /* PATH_SIZE */)
{
    file[0] = name[0] = 0;
    if (ResolveCommandPath(command, file) > 0) CopyText(name, PATH_SIZE, NamePart(file));
}

int ServerAddress(char *out, size_t size)
{
    if (LoadUiString(kServerAddressString, out, (int)size) <= 0) return 0;
    RemoveBackslash(out, 0);
    size_t length = strlen(out);
    if (length && out[length - 1] == '/') out[length - 1] = 0;
    return out[0] != 0;
}

// The language code sent with the query.
void QueryLanguage(int detailed, char *out, size_t size)
{
    if (detailed) {
        LoadUiString(634, out, (int)size);
        if (!out[0]) CopyText(out, size, "en");
        return;
    }
    CopyText(out, size, UiLanguage == 7 ? "de" : UiLanguage == 12 ? "fr" : "en");
}

// facts: the version facts of the program file (of the command as it
// stands when it names no file); build: Sentrel's version text.
void BuildQuery(int number, const char *command, const char *file, const char *name, int detailed,
                const VersionFacts facts, const char *build, char *query /* INFO_QUERY_SIZE */)
{
    query[0] = 0;
    char language[32] = "", type[16], extension[PATH_SIZE] = "";
    QueryLanguage(detailed, language, sizeof language);
    FormatText(type, sizeof type, "%d", number);
    ExtensionAfterFirstDot(name, extension, sizeof extension);

    const size_t size = INFO_QUERY_SIZE;
    if (!detailed) {
        AppendField(query, size, "&vendor=", facts[VERSION_COMPANY_NAME]) &&
            AppendField(query, size, "&version=", facts[VERSION_PRODUCT_VERSION]) &&
            AppendField(query, size, "&build=", build) && AppendField(query, size, "&Type=", type) &&
            AppendField(query, size, "&Loc=", language) && AppendField(query, size, "&ext=", extension);
        return;
    }
    char dates[5][FILE_FACT_SIZE] = {"", "", "", "", ""};
    if (file[0]) GetFileDates(file, number - 1000, dates);
    AppendField(query, size, "&vendor=", facts[VERSION_COMPANY_NAME]) &&
        AppendField(query, size, "&build=", build) && AppendField(query, size, "&Type=", type) &&
        AppendField(query, size, "&Loc=", language) && AppendField(query, size, "&ext=", extension) &&
        AppendField(query, size, "&version=", facts[VERSION_PRODUCT_VERSION]) &&
        AppendField(query, size, "&name=", facts[VERSION_PRODUCT_NAME]) &&
        AppendField(query, size, "&copy=", facts[VERSION_LEGAL_COPYRIGHT]) &&
        AppendField(query, size, "&detail=", facts[VERSION_FILE_DESCRIPTION]) &&
        AppendField(query, size, "&created=", dates[0]) &&
        AppendField(query, size, "&detected=", dates[3]) &&
        AppendField(query, size, "&fsize=", dates[4]) && AppendField(query, size, "&path=", command);
}

// The AOL client's program: its folder from win.ini, quoted.
void AolProgram(char *out, size_t size)
{
    char folder[PATH_SIZE] = "";
    GetProfileStringA("WAOL", "AppPath", "", folder, sizeof folder);
    RemoveQuotes(folder, folder, sizeof folder);
    RemoveBackslash(folder, 0);
    if (!folder[0] || !FormatText(out, size, "\"%s\\WAOL.EXE\"", folder)) CopyText(out, size, "waol.exe");
}

// Hands an address to a running AOL client. 1 when it was started.
int OpenInAol(const char *address)
{
    char program[PATH_SIZE + 16], line[INFO_ADDRESS_SIZE + PATH_SIZE + 32];
    AolProgram(program, sizeof program);
    // The address is escaped, so it holds no quote of its own.
    if (!FormatText(line, sizeof line, "%s -u \"%s\"", program, address)) return 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
}

int ShellOpen(HWND owner, const char *target)
{
    return (INT_PTR)ShellExecuteA(owner, "open", target, nullptr, nullptr, SW_SHOWNORMAL) > 32;
}

// Internet Explorer started with the address, when the user asked for it
// through the option "BrowserFailure".
int OpenInInternetExplorer(const char *address)
{
    if (GetOption("BrowserFailure", 0) == 0) return 0;
    char browser[PATH_SIZE];
    if (GetIEPath(browser) <= 0) return 0;
    char argument[INFO_ADDRESS_SIZE + 4];
    if (!FormatText(argument, sizeof argument, "\"%s\"", address)) return 0;
    return (INT_PTR)ShellExecuteA(nullptr, "open", browser, argument, nullptr, SW_SHOWNORMAL) > 32;
}

// Opens the detailed address through a shortcut file beside the programs.
// The shortcut of the previous lookup is replaced, not deleted at once: the
// browser may still be reading it when the shell returns.
int OpenThroughShortcut(HWND owner, const char *address)
{
    char folder[PATH_SIZE], shortcut[PATH_SIZE];
    if (!GetUserDataFolder(folder) || !FormatText(shortcut, sizeof shortcut, "%s\\temp.url", folder))
        return 0;
    if (FAILED(CreateUrlShortcut(shortcut, address))) return 0;
    return ShellOpen(owner, shortcut);
}

// FNV-1a of the lower-case text: tells apart two files of the same name.
unsigned PathChecksum(const char *path)
{
    unsigned hash = 2166136261u;
    for (const unsigned char *c = (const unsigned char *)path; *c; c++) {
        hash ^= (unsigned)tolower(*c);
        hash *= 16777619u;
    }
    return hash;
}

// The note name of a program: its file name without the extension, "="
// written as ":" as the baselines do, and characters a file name cannot
// hold as "_".
int NoteName(const char *path, char *file /* PATH_SIZE */, char *out /* PATH_SIZE */)
{
    out[0] = 0;
    if (!path || ResolveCommandPath(path, file) <= 0) return 0;
    char name[PATH_SIZE];
    if (!EqualsToColon(NamePart(file), name, sizeof name)) return 0;
    size_t length = strlen(name);
    if (length > 4) name[length - 4] = 0;
    for (char *c = name; *c; c++)
        if (strchr("\\/:*?\"<>|", *c) || (unsigned char)*c < 0x20) *c = '_';
    return (int)CopyText(out, PATH_SIZE, name);
}

int IsPlainFileAt(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ShippedNotePath(const char *path, char *out)
{
    out[0] = 0;
    char file[PATH_SIZE], name[PATH_SIZE], folder[PATH_SIZE];
    if (!NoteName(path, file, name) || !GetProgramFolder(folder)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\note_%s.txt", folder, name);
}

}  // namespace

// --- Knowledge base ---------------------------------------------------------

int KbaseKey(const char *fileName, char *out, size_t size)
{
    if (!out || size == 0) return 0;
    out[0] = 0;
    if (!fileName || strlen(fileName) > 260) return 0;
    char key[PATH_SIZE];
    size_t n = 0;
    for (const char *p = fileName; *p && n < sizeof key - 1; p++) {
        char c = (char)tolower((unsigned char)*p);
        if (c == ' ' || c == '?' || c == ':') c = '_';
        if (c == '\\' || c == '/') continue;
        key[n++] = c;
    }
    key[n] = 0;
    if (n > 1) {
        size_t cut = strcspn(key + 1, ",.-~") + 1;
        key[cut] = 0;
    }
    static const struct {
        const char *contains, *key;
    } kFixedKeys[] = {{"ycomp", "ycomp"},       {"newdot", "newdot"},   {"trickler", "trickler"},
                      {"%1_%*", "stcommand"},   {"%1_s", "stsaver"}};
    for (const auto &fixed : kFixedKeys)
        if (strstr(key, fixed.contains)) CopyText(key, sizeof key, fixed.key);
    if (!key[0]) return 0;
    return (int)CopyText(out, size, key);
}

int FindKbasePage(const char *fileName, char *out)
{
    out[0] = 0;
    char key[PATH_SIZE], folder[PATH_SIZE], page[PATH_SIZE];
    if (!KbaseKey(fileName, key, sizeof key) || !GetProgramFolder(folder)) return 0;
    if (!FormatText(page, sizeof page, "%s\\kbase\\%s.html", folder, key)) return 0;
    // FileExists refuses device names ("con.html") and wildcards.
    if (!FileExists(page)) return 0;
    return (int)CopyText(out, PATH_SIZE, page);
}

// --- Online lookup -----------------------------------------------------------

const char *InfoAddressSource(const char *command, char *file)
{
    char name[PATH_SIZE];
    if (!command) command = "";
    ProgramFileOf(command, file, name);
    return file[0] ? file : command;
}

int BuildInfoAddress(int number, const char *command, const char *title, int detailed, char *out,
                     size_t size)
{
    if (!out || size == 0) return 0;
    out[0] = 0;
    static VersionFacts facts;
    char file[PATH_SIZE], build[VERSION_TEXT_SIZE] = "";
    ReadVersionFacts(InfoAddressSource(command, file), facts);
    GetVersionText(build);
    return BuildInfoAddressFrom(number, command, title, detailed, facts, build, out, size);
}

int BuildInfoAddressFrom(int number, const char *command, const char *title, int detailed,
                         const VersionFacts facts, const char *build, char *out, size_t size)
{
    if (!out || size == 0) return 0;
    out[0] = 0;
    if (!command) command = "";
    char file[PATH_SIZE], name[PATH_SIZE];
    ProgramFileOf(command, file, name);
    static char query[INFO_QUERY_SIZE];
    BuildQuery(number, command, file, name, detailed, facts, build ? build : "", query);

    char server[PATH_SIZE], program[1024] = "";
    if (!ServerAddress(server, sizeof server)) return 0;
    char subject[PATH_SIZE];
    CopyTextCut(subject, sizeof subject, name[0] ? name : title ? title : "");
    EscapeForUrl(program, sizeof program, subject);

    static char address[INFO_ADDRESS_SIZE + INFO_QUERY_SIZE];
    address[0] = 0;
    AppendTextCut(address, sizeof address, server);
    AppendTextCut(address, sizeof address, detailed ? kDetailedScript : kSimpleScript);
    AppendTextCut(address, sizeof address, program);
    AppendTextCut(address, sizeof address, query);
    CutEscaped(address, detailed ? INFO_ADDRESS_SIZE - 1 : INFO_SHORT_ADDRESS - 1);
    CutEscaped(address, size - 1);
    return (int)CopyText(out, size, address);
}

int ShowProgramInfo(HWND owner, int number, const char *command, const char *title)
{
    if (!command) command = "";
    int detailed = GetOption("ZentaFormat", 0) != 0;
    if (!detailed) {
        char file[PATH_SIZE], name[PATH_SIZE], page[PATH_SIZE];
        ProgramFileOf(command, file, name);
        // A command that names no program file may still have a page of
        // its own ("%1 %*" of a file type): its text is the key then.
        if ((FindKbasePage(name, page) || FindKbasePage(NamePart(command), page)) && ShellOpen(owner, page))
            return 1;
    }
    static char address[INFO_ADDRESS_SIZE];
    if (!BuildInfoAddress(number, command, title, detailed, address, sizeof address)) return 0;
    if (FindAolWindow()) return OpenInAol(address);
    if (detailed && OpenThroughShortcut(owner, address)) return 1;
    if (ShellOpen(owner, address)) return 1;
    return OpenInInternetExplorer(address);
}

int HelpPageName(int command, char *out, size_t size)
{
    const char *name = "features.html";
    for (const auto &page : kHelpPages)
        if (page.command == command) name = page.file;
    char code[16] = "";
    LoadUiString(634, code, sizeof code);
    if (code[0] && !TextEqualNoCase(code, "us")) return (int)FormatText(out, size, "%s_%s", code, name);
    return (int)CopyText(out, size, name);
}

int ShowHelpPage(HWND owner, int command)
{
    char name[64], folder[PATH_SIZE], local[PATH_SIZE];
    if (!HelpPageName(command, name, sizeof name)) return 0;
    if (GetProgramFolder(folder) && JoinPath(local, sizeof local, folder, name) &&
        IsPlainFileAt(local))
        return ShellOpen(owner, local);
    char server[PATH_SIZE], address[PATH_SIZE];
    if (!ServerAddress(server, sizeof server) ||
        !FormatText(address, sizeof address, "%s/%s", server, name))
        return 0;
    if (FindAolWindow()) return OpenInAol(address);
    return ShellOpen(owner, address);
}

int ShowFreeInfoPage(HWND owner)
{
    char server[PATH_SIZE], address[PATH_SIZE];
    if (!ServerAddress(server, sizeof server) ||
        !FormatText(address, sizeof address, "%s/stats.html", server))
        return 0;
    if (FindAolWindow()) return OpenInAol(address);
    return ShellOpen(owner, address);
}

HRESULT CreateUrlShortcut(const char *file, const char *address)
{
    if (!file || !address) return E_INVALIDARG;
    WideText wide(file);
    if (!wide.get()) return E_INVALIDARG;
    HRESULT initialised = CoInitialize(nullptr);
    IUniformResourceLocatorA *link = nullptr;
    HRESULT result = CoCreateInstance(kInternetShortcut, nullptr, CLSCTX_INPROC_SERVER, kUrlInterface,
                                      (void **)&link);
    if (SUCCEEDED(result)) {
        result = link->SetURL(address, 0);
        IPersistFile *persist = nullptr;
        if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, (void **)&persist);
        if (SUCCEEDED(result)) {
            result = persist->Save(wide, TRUE);
            persist->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(initialised)) CoUninitialize();
    return result;
}

// --- Notes --------------------------------------------------------------------

int UserNoteFilePath(const char *path, char *out)
{
    out[0] = 0;
    char file[PATH_SIZE], name[PATH_SIZE], folder[PATH_SIZE];
    if (!NoteName(path, file, name) || !GetVaultFolder(folder)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\note_%s_%08x.txt", folder, name, PathChecksum(file));
}

int NoteFilePath(const char *path, char *out)
{
    char shipped[PATH_SIZE];
    int length = UserNoteFilePath(path, out);
    if (length && !IsPlainFileAt(out) && ShippedNotePath(path, shipped) && IsPlainFileAt(shipped))
        return (int)CopyText(out, PATH_SIZE, shipped);
    return length;
}

int HasNote(const char *path)
{
    char note[PATH_SIZE];
    return NoteFilePath(path, note) && IsPlainFileAt(note);
}

int ReadNoteText(const char *file, char **text)
{
    *text = nullptr;
    HANDLE handle = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    // A note is text typed by the user; a larger file is read in part.
    const DWORD kLargest = 4 * 1024 * 1024;
    DWORD size = GetFileSize(handle, nullptr);
    if (size == INVALID_FILE_SIZE) {
        CloseHandle(handle);
        return -1;
    }
    if (size > kLargest) size = kLargest;
    char *raw = (char *)malloc(size + 1);
    // Each character may gain a CR.
    char *out = (char *)malloc((size_t)size * 2 + 1);
    DWORD got = 0;
    if (!raw || !out || !ReadFile(handle, raw, size, &got, nullptr)) {
        CloseHandle(handle);
        free(raw);
        free(out);
        return -1;
    }
    CloseHandle(handle);
    size_t n = 0;
    for (DWORD i = 0; i < got; i++) {
        unsigned char c = (unsigned char)raw[i];
        if (c == '\n' && (i == 0 || raw[i - 1] != '\r')) out[n++] = '\r';
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') c = ' ';
        out[n++] = (char)c;
    }
    out[n] = 0;
    free(raw);
    *text = out;
    return (int)n;
}

int WriteNoteText(const char *file, const char *text)
{
    if (!file || !file[0] || !text) return 0;
    // Written beside the note first, so a failed write leaves the old note whole.
    char temporary[PATH_SIZE];
    if (!FormatText(temporary, sizeof temporary, "%s.new", file)) return 0;
    HANDLE handle = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    DWORD length = (DWORD)strlen(text), written = 0;
    BOOL ok = WriteFile(handle, text, length, &written, nullptr) && written == length;
    ok = CloseHandle(handle) && ok;
    // A reader that holds the note for a moment (a viewer, a scanner) keeps
    // it from being replaced: a few short tries before the save fails.
    if (ok) {
        ok = MoveFileExA(temporary, file, MOVEFILE_REPLACE_EXISTING);
        for (int attempt = 0; !ok && attempt < 10; attempt++) {
            DWORD error = GetLastError();
            if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
            Sleep(20);
            ok = MoveFileExA(temporary, file, MOVEFILE_REPLACE_EXISTING);
        }
    }
    if (!ok) DeleteFileA(temporary);
    return ok ? 1 : 0;
}
