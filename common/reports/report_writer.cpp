#include "report_writer.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "store.h"
#include "text.h"
#include "unicode_text.h"
#include "signatures.h"

int ReportOpen(ReportFile *file, const char *path)
{
    file->failed = 0;
    file->wide = 0;
    file->used = 0;
    file->handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    return file->handle != INVALID_HANDLE_VALUE;
}

int ReportOpenWide(ReportFile *file, const char *path)
{
    if (!ReportOpen(file, path)) return 0;
    static const BYTE kMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    if (!WriteFile(file->handle, kMark, sizeof kMark, &written, nullptr) || written != sizeof kMark) file->failed = 1;
    file->wide = 1;
    return 1;
}

// The whole characters at the start of the buffer, as a reader of the file
// takes them: plain UTF-8 (what cannot be written so, such as a name that
// holds a NUL, is shown as in a window). *count receives the bytes taken;
// the text is in *text (the buffer itself, or *owned on the heap).
static size_t ShownChunk(ReportFile *file, size_t *count, const char **text, char **owned)
{
    *owned = nullptr;
    *count = WholeCharacters(file->buffer, file->used);
    // Bytes that can never become a character are written as they are.
    if (*count == 0 && file->used >= 4) *count = file->used;
    *text = file->buffer;
    static char chunk[sizeof ((ReportFile *)nullptr)->buffer + 1];
    memcpy(chunk, file->buffer, *count);
    chunk[*count] = 0;
    if (strlen(chunk) != *count || TextIsPlain(chunk)) return *count;
    size_t room = *count * 3 + 1;
    *owned = (char *)malloc(room);
    if (!*owned) return *count;
    *text = *owned;
    return (size_t)ShownText(chunk, *owned, (int)room);
}

// Moves what was not written to the start of the buffer.
static void KeepRest(ReportFile *file, size_t count)
{
    memmove(file->buffer, file->buffer + count, file->used - count);
    file->used -= count;
}

// The buffer as UTF-16; a character cut at its end waits for the next flush.
static void FlushWide(ReportFile *file)
{
    size_t count;
    const char *text;
    char *owned;
    size_t length = ShownChunk(file, &count, &text, &owned);
    static WCHAR wide[sizeof ((ReportFile *)nullptr)->buffer * 3 + 1];
    int n = length ? TextToWide(text, (int)length, wide, (int)(sizeof wide / sizeof wide[0])) : 0;
    free(owned);
    DWORD bytes = n > 0 ? (DWORD)n * sizeof(WCHAR) : 0, written = 0;
    if (length && (n <= 0 || !WriteFile(file->handle, wide, bytes, &written, nullptr) || written != bytes))
        file->failed = 1;
    KeepRest(file, count);
}

static void Flush(ReportFile *file)
{
    if (file->failed) {
        file->used = 0;
        return;
    }
    if (file->wide) {
        FlushWide(file);
        return;
    }
    size_t count;
    const char *text;
    char *owned;
    size_t length = ShownChunk(file, &count, &text, &owned);
    DWORD written = 0;
    if (length && (!WriteFile(file->handle, text, (DWORD)length, &written, nullptr) || written != length))
        file->failed = 1;
    free(owned);
    KeepRest(file, count);
}

int ReportClose(ReportFile *file)
{
    if (file->handle == INVALID_HANDLE_VALUE) return 0;
    Flush(file);
    if (file->used) {
        // The start of a character at the very end, which never came whole.
        file->wide = 0;
        DWORD written = 0;
        if (!file->failed && !WriteFile(file->handle, file->buffer, (DWORD)file->used, &written, nullptr))
            file->failed = 1;
        file->used = 0;
    }
    if (!CloseHandle(file->handle)) file->failed = 1;
    file->handle = INVALID_HANDLE_VALUE;
    return !file->failed;
}

void ReportWriteBytes(ReportFile *file, const char *data, size_t count)
{
    while (count) {
        if (file->used == sizeof file->buffer) Flush(file);
        if (file->used == sizeof file->buffer) {
            file->failed = 1;
            return;
        }
        size_t room = sizeof file->buffer - file->used;
        size_t n = count < room ? count : room;
        memcpy(file->buffer + file->used, data, n);
        file->used += n;
        data += n;
        count -= n;
    }
}

void ReportWrite(ReportFile *file, const char *text)
{
    if (text) ReportWriteBytes(file, text, strlen(text));
}

void ReportFormat(ReportFile *file, const char *format, ...)
{
    char line[2048];
    va_list args;
    va_start(args, format);
    int need = vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (need < 0) return;
    if ((size_t)need < sizeof line) {
        ReportWriteBytes(file, line, (size_t)need);
        return;
    }
    // A line longer than the usual: formatted into room of its own size.
    char *big = (char *)malloc((size_t)need + 1);
    if (!big) {
        file->failed = 1;
        return;
    }
    va_start(args, format);
    vsnprintf(big, (size_t)need + 1, format, args);
    va_end(args);
    ReportWriteBytes(file, big, (size_t)need);
    free(big);
}

void ReportWriteHtmlText(ReportFile *file, const char *text)
{
    if (!text) return;
    const char *run = text;
    for (const char *c = text;; c++) {
        const char *entity = nullptr;
        switch (*c) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\'': entity = "&#39;"; break;
        case '\t': break;
        case 0: break;
        default:
            if ((unsigned char)*c < 0x20) entity = " ";
        }
        if (entity || !*c) {
            ReportWriteBytes(file, run, (size_t)(c - run));
            if (!*c) return;
            ReportWrite(file, entity);
            run = c + 1;
        }
    }
}

static void FillPattern(ReportFile *file, const char *pattern, const char *const *values, int count,
                        int html)
{
    int next = 0;
    const char *run = pattern;
    for (const char *c = pattern; *c; c++) {
        if (c[0] != '%' || (c[1] != 's' && c[1] != '%')) continue;
        ReportWriteBytes(file, run, (size_t)(c - run));
        if (c[1] == '%') {
            ReportWrite(file, "%");
        } else {
            const char *value = next < count && values[next] ? values[next] : "";
            next++;
            if (html)
                ReportWriteHtmlText(file, value);
            else
                ReportWriteLineText(file, value);
        }
        c++;
        run = c + 1;
    }
    ReportWrite(file, run);
}

void ReportHtml(ReportFile *file, const char *pattern, const char *const *values, int count)
{
    FillPattern(file, pattern, values, count, 1);
}

void ReportFill(ReportFile *file, const char *pattern, const char *const *values, int count)
{
    FillPattern(file, pattern, values, count, 0);
}

void ReportWriteCsvField(ReportFile *file, const char *text, int quote)
{
    if (!text) text = "";
    int formula = strchr("=+-@\t\r", text[0]) != nullptr && text[0];
    int needsQuotes = quote && strpbrk(text, ",\"\r\n") != nullptr;
    if (needsQuotes) ReportWrite(file, "\"");
    if (formula) ReportWrite(file, "'");
    if (!needsQuotes) {
        ReportWrite(file, text);
        return;
    }
    const char *run = text;
    for (const char *c = text; *c; c++) {
        if (*c != '"') continue;
        ReportWriteBytes(file, run, (size_t)(c - run + 1));
        ReportWrite(file, "\"");
        run = c + 1;
    }
    ReportWrite(file, run);
    ReportWrite(file, "\"");
}

static void WriteWithBlanks(ReportFile *file, const char *text, const char *blanked)
{
    if (!text) return;
    const char *run = text;
    for (const char *c = text; *c; c++) {
        if (!strchr(blanked, *c)) continue;
        ReportWriteBytes(file, run, (size_t)(c - run));
        ReportWrite(file, " ");
        run = c + 1;
    }
    ReportWrite(file, run);
}

void ReportWriteTabField(ReportFile *file, const char *text)
{
    WriteWithBlanks(file, text, "\t\r\n");
}

void ReportWriteLineText(ReportFile *file, const char *text)
{
    WriteWithBlanks(file, text, "\r\n");
}

void ReportTimeText(const SYSTEMTIME *time, char *out, int size)
{
    int hour = time->wHour % 12;
    if (hour == 0) hour = 12;
    FormatTextCut(out, (size_t)size, "%2d:%02d:%02d %s", hour, time->wMinute, time->wSecond,
                  time->wHour < 12 ? "AM" : "PM");
}

void ReportDateText(const SYSTEMTIME *time, char *out, int size)
{
    FormatTextCut(out, (size_t)size, "%2d/%02d/%4d", time->wMonth, time->wDay, time->wYear);
}

void UrlEncode(char *out, int size, const char *text)
{
    if (EscapeForUrl(out, (size_t)size, text) < 0 && size > 0) out[0] = 0;
}

namespace {
// The name of an NT-family Windows from version 6 on, by its version, its
// build and whether it is a server.
const char *ModernWindowsName(DWORD major, DWORD minor, DWORD build, int server)
{
    if (major == 6 && minor == 0) return server ? "Windows Server 2008 " : "Windows Vista ";
    if (major == 6 && minor == 1) return server ? "Windows Server 2008 R2 " : "Windows 7 ";
    if (major == 6 && minor == 2) return server ? "Windows Server 2012 " : "Windows 8 ";
    if (major == 6 && minor == 3) return server ? "Windows Server 2012 R2 " : "Windows 8.1 ";
    if (major == 10 && minor == 0) {
        if (!server) return build >= 22000 ? "Windows 11 " : "Windows 10 ";
        return build >= 26100   ? "Windows Server 2025 "
               : build >= 20348 ? "Windows Server 2022 "
               : build >= 17763 ? "Windows Server 2019 "
                                : "Windows Server 2016 ";
    }
    return nullptr;
}
}  // namespace

int PlatformTextOf(const OSVERSIONINFOEXA *version, int extended, int tabletPc, char *out, int size)
{
    out[0] = 0;
    const OSVERSIONINFOEXA &info = *version;
    DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion, build = info.dwBuildNumber & 0xFFFF;
    int server = extended && info.wProductType != VER_NT_WORKSTATION;
    char text[512] = "";
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        const char *modern = major >= 6 ? ModernWindowsName(major, minor, build, server) : nullptr;
        if (modern)
            AppendText(text, sizeof text, modern);
        else if (major == 5 && minor == 2)
            AppendText(text, sizeof text, "Windows Server 2003 family, ");
        else if (major == 5 && minor == 1)
            AppendText(text, sizeof text, "Windows XP ");
        else if (major == 5 && minor == 0)
            AppendText(text, sizeof text, "Windows 2000 ");
        else if (major < 5)
            AppendText(text, sizeof text, "Windows NT ");
        else
            FormatText(text, sizeof text, "Windows %lu.%lu ", major, minor);
        if (extended) {
            // The service pack is named once, by the system's own text below.
            if (tabletPc) AppendText(text, sizeof text, "Tablet PC Edition ");
            if (!server) {
                if (major == 4)
                    AppendText(text, sizeof text, "Workstation 4.0 ");
                else if (info.wSuiteMask & VER_SUITE_PERSONAL)
                    AppendText(text, sizeof text, "Home Edition ");
            } else {
                const char *edition = "";
                if (major == 5 && minor == 2)
                    edition = (info.wSuiteMask & VER_SUITE_DATACENTER)   ? "Datacenter Edition "
                              : (info.wSuiteMask & VER_SUITE_ENTERPRISE) ? "Enterprise Edition "
                              : (info.wSuiteMask & VER_SUITE_BLADE)      ? "Web Edition "
                                                                         : "Standard Edition ";
                else if (major == 5 && minor == 0)
                    edition = (info.wSuiteMask & VER_SUITE_DATACENTER)   ? "Datacenter Server "
                              : (info.wSuiteMask & VER_SUITE_ENTERPRISE) ? "Advanced Server "
                                                                         : "Server ";
                else if (major == 4)
                    edition = (info.wSuiteMask & VER_SUITE_ENTERPRISE) ? "Server 4.0, Enterprise Edition "
                                                                       : "Server 4.0 ";
                AppendText(text, sizeof text, edition);
            }
        } else {
            char productType[80];
            if (StoreReadString(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions",
                                "ProductType", productType, sizeof productType) > 0) {
                if (TextEqualNoCase(productType, "WINNT")) AppendText(text, sizeof text, "Workstation ");
                if (TextEqualNoCase(productType, "LANMANNT")) AppendText(text, sizeof text, "Server ");
                if (TextEqualNoCase(productType, "SERVERNT")) AppendText(text, sizeof text, "Advanced Server ");
            }
            FormatText(text + strlen(text), sizeof text - strlen(text), "%lu.%lu ", major, minor);
        }
        char servicePack[160];
        if (major == 4 && TextEqualNoCase(info.szCSDVersion, "Service Pack 6") &&
            StoreKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"))
            FormatTextCut(servicePack, sizeof servicePack, "Service Pack 6a (Build %lu)", build);
        else if (info.szCSDVersion[0])
            FormatTextCut(servicePack, sizeof servicePack, "%s (Build %lu)", info.szCSDVersion, build);
        else
            FormatTextCut(servicePack, sizeof servicePack, "(Build %lu)", build);
        AppendTextCut(text, sizeof text, servicePack);
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        char release = info.szCSDVersion[1];
        if (major == 4 && minor == 0)
            FormatText(text, sizeof text, "Microsoft Windows 95 %s", release == 'B' || release == 'C' ? "OSR2 " : "");
        else if (major == 4 && minor == 10)
            FormatText(text, sizeof text, "Microsoft Windows 98 %s", release == 'A' ? "SE " : "");
        else
            CopyText(text, sizeof text, "Microsoft Windows Millennium Edition");
    } else {
        CopyText(text, sizeof text, "Microsoft Win32s");
    }
    return (int)CopyTextCut(out, (size_t)size, text);
}

int PlatformText(char *out, int size)
{
    out[0] = 0;
    OSVERSIONINFOEXA info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    int extended = GetVersionExA((OSVERSIONINFOA *)&info) != 0;
    if (!extended) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA((OSVERSIONINFOA *)&info)) return 0;
    }
    return PlatformTextOf(&info, extended, GetSystemMetrics(SM_TABLETPC) != 0, out, size);
}

// --- Version facts ----------------------------------------------------------------

namespace {
const int kFactSlots = 16;
struct RecentFacts {
    char file[PATH_SIZE];
    VersionFacts facts;
};
RecentFacts recentFacts[kFactSlots];
int recentUsed, recentNext;

// The words a report shows for a program whose signer is not verified, by
// its signature state: the same few on row after row, made once per report.
char notVerified[4][SIGNER_NAME_SIZE];
int notVerifiedMade[4];
}  // namespace

void ForgetReportFacts(void)
{
    recentUsed = recentNext = 0;
    for (int &made : notVerifiedMade) made = 0;
}

void ReadReportFacts(const char *file, VersionFacts facts)
{
    for (int i = 0; i < recentUsed; i++)
        if (TextEqualNoCase(recentFacts[i].file, file)) {
            memcpy(facts, recentFacts[i].facts, sizeof(VersionFacts));
            return;
        }
    ReadVersionFacts(file, facts);
    // A name that does not fit whole is read every time, never mistaken.
    RecentFacts &slot = recentFacts[recentNext];
    if (!CopyText(slot.file, sizeof slot.file, file)) return;
    memcpy(slot.facts, facts, sizeof(VersionFacts));
    recentNext = (recentNext + 1) % kFactSlots;
    if (recentUsed < kFactSlots) recentUsed++;
}

int RecordPublisherText(const Item *record, char *out, int size)
{
    Signature signature;
    // A hidden file and a running program are files; the others commands.
    if (record->type == ITEM_HIDDEN || record->type == ITEM_PROCESS) VerifyProgramFile(record->path, &signature);
    else VerifyCommandFile(record->path, &signature);
    int state = signature.state;
    if ((state == SIGNATURE_VERIFIED && signature.signer[0]) || state < 0 || state > 3)
        return PublisherText(&signature, out, size);
    if (!notVerifiedMade[state]) {
        PublisherText(&signature, notVerified[state], sizeof notVerified[state]);
        notVerifiedMade[state] = 1;
    }
    return (int)CopyTextCut(out, (size_t)size, notVerified[state]);
}

