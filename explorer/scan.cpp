// SentrelEx.exe -scan: every inventory written to a file (or to the console)
// for scripts and the tools that gather it from many machines. No window,
// no alert, nothing in the store changes.
//
//   SentrelEx.exe -scan -csv FILE | -json FILE [-out FILE|-]
//
// Exit code: 0 when every entry is approved, 1 when some are not, 2 when
// the scan could not be written.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "dates.h"
#include "explorer.h"
#include "file_types.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "processes.h"
#include "program_files.h"
#include "report_writer.h"
#include "services.h"
#include "startup_list.h"
#include "tasks.h"
#include "text.h"
#include "unicode_text.h"

namespace {

enum ScanFormat { SCAN_NONE, SCAN_CSV, SCAN_JSON };
enum Approval { APPROVAL_NONE = -1, APPROVAL_NO = 0, APPROVAL_YES = 1 };

// The field names: the CSV's header and the JSON objects' keys.
const char *const kFields[] = {"category", "location", "name", "title", "command", "file", "company",
                               "version", "first_seen", "approved", "disabled"};
const int kFieldCount = (int)(sizeof kFields / sizeof kFields[0]);

struct ScanArguments {
    ScanFormat format;
    char target[PATH_SIZE];   // "-": the console
};

// The arguments as the shell split them, in UTF-8.
int ReadScanArguments(ScanArguments *out)
{
    out->format = SCAN_NONE;
    out->target[0] = 0;
    int count = 0;
    LPWSTR *words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return 0;
    int ok = 1;
    for (int i = 1; i < count && ok; i++) {
        char word[PATH_SIZE], next[PATH_SIZE] = "";
        if (!WideToText(words[i], -1, word, sizeof word, 0)) continue;
        int hasNext = i + 1 < count && WideToText(words[i + 1], -1, next, sizeof next, 0) > 0;
        int csv = TextEqualNoCase(word, "-csv"), json = TextEqualNoCase(word, "-json");
        if (csv || json) {
            out->format = csv ? SCAN_CSV : SCAN_JSON;
            // The file may follow the format, or come with -out.
            if (hasNext && (next[0] != '-' || !next[1])) {
                CopyText(out->target, sizeof out->target, next);
                i++;
            }
        } else if (TextEqualNoCase(word, "-out")) {
            if (!hasNext) ok = 0;
            else CopyText(out->target, sizeof out->target, next);
            i++;
        }
    }
    LocalFree(words);
    return ok && out->format != SCAN_NONE && out->target[0];
}

// The console the scan was started from: standard output when it was
// redirected, else the parent's console.
HANDLE ConsoleOutput(void)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE) return output;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
    SetConsoleOutputCP(CP_UTF8);
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

// A text as a JSON string: exact, whatever it holds. A NUL inside a name
// and a lone surrogate are written as their \u escapes, which a JSON
// reader takes back as the same units.
void WriteJsonText(ReportFile *file, const char *text)
{
    ReportWrite(file, "\"");
    WideText wide(text);
    const WCHAR *w = wide.get();
    for (int i = 0; w && i < wide.units(); i++) {
        WCHAR c = w[i];
        char piece[16];
        if (c == '"' || c == '\\') {
            piece[0] = '\\', piece[1] = (char)c, piece[2] = 0;
        } else if (c < 0x20 || c == 0x7F) {
            FormatText(piece, sizeof piece, "\\u%04x", (unsigned)c);
        } else if (c < 0x80) {
            piece[0] = (char)c, piece[1] = 0;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.units() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
            WideToText(w + i, 2, piece, sizeof piece, 1);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            FormatText(piece, sizeof piece, "\\u%04x", (unsigned)c);
        } else {
            WideToText(w + i, 1, piece, sizeof piece, 1);
        }
        ReportWrite(file, piece);
    }
    ReportWrite(file, "\"");
}

// One row of the scan.
struct ScanRow {
    const char *category;
    char location[PATH_SIZE];
    const Item *item;
    Approval approved;
};

class ScanWriter {
public:
    ScanWriter(ReportFile *file, ScanFormat format) : file_(file), format_(format), unapproved_(0) {}
    void Header()
    {
        if (format_ != SCAN_CSV) return;
        ReportWrite(file_, "\xEF\xBB\xBF");
        for (int i = 0; i < kFieldCount; i++) {
            if (i) ReportWrite(file_, ",");
            ReportWrite(file_, kFields[i]);
        }
        ReportWrite(file_, "\r\n");
    }
    void Row(const ScanRow &row);
    int Unapproved() const { return unapproved_; }

private:
    void Text(int index, const char *text);
    void Flag(int index, Approval value);
    ReportFile *file_;
    ScanFormat format_;
    int unapproved_;
};

void ScanWriter::Text(int index, const char *text)
{
    if (format_ == SCAN_CSV) {
        if (index) ReportWrite(file_, ",");
        // Every field in quotes; a text a spreadsheet would run as a formula
        // gets an apostrophe in front. The JSON holds every text exactly.
        char shown[4096];
        FileText(text, shown, sizeof shown);
        ReportWrite(file_, "\"");
        char *quoted = (char *)malloc(strlen(shown) * 2 + 1);
        if (quoted) {
            size_t n = 0;
            for (const char *p = shown; *p; p++) {
                if (*p == '"') quoted[n++] = '"';
                quoted[n++] = *p;
            }
            quoted[n] = 0;
            if (quoted[0] == '=' || quoted[0] == '+' || quoted[0] == '-' || quoted[0] == '@' || quoted[0] == '\t' ||
                quoted[0] == '\r')
                ReportWrite(file_, "'");
            ReportWrite(file_, quoted);
            free(quoted);
        } else {
            file_->failed = 1;
        }
        ReportWrite(file_, "\"");
        return;
    }
    ReportWrite(file_, index ? ",\"" : "{\"");
    ReportWrite(file_, kFields[index]);
    ReportWrite(file_, "\":");
    WriteJsonText(file_, text);
}

void ScanWriter::Flag(int index, Approval value)
{
    if (format_ == SCAN_CSV) {
        ReportWrite(file_, index ? "," : "");
        ReportWrite(file_, value == APPROVAL_NONE ? "" : value == APPROVAL_YES ? "yes" : "no");
        return;
    }
    ReportWrite(file_, ",\"");
    ReportWrite(file_, kFields[index]);
    ReportWrite(file_, "\":");
    ReportWrite(file_, value == APPROVAL_NONE ? "null" : value == APPROVAL_YES ? "true" : "false");
}

void ScanWriter::Row(const ScanRow &row)
{
    const Item &item = *row.item;
    char file[PATH_SIZE] = "", parameters[PATH_SIZE], date[DATE_TEXT_SIZE] = "";
    if (item.type == ITEM_HIDDEN || item.type == ITEM_PROCESS) CopyText(file, sizeof file, item.path);
    else SplitCommand(item.path, file, parameters);
    static VersionFacts facts;
    for (auto &fact : facts) fact[0] = 0;
    if (file[0]) ReadVersionFacts(file, facts);
    GetFirstSeen(item.path, item.type, date);
    Text(0, row.category);
    Text(1, row.location);
    Text(2, item.name && item.name[0] ? item.name : item.title);
    Text(3, item.title);
    Text(4, item.path);
    Text(5, file);
    Text(6, facts[VERSION_COMPANY_NAME]);
    Text(7, facts[VERSION_PRODUCT_VERSION]);
    Text(8, date);
    Flag(9, row.approved);
    Flag(10, item.disabled ? APPROVAL_YES : APPROVAL_NO);
    ReportWrite(file_, format_ == SCAN_CSV ? "\r\n" : "}\n");
    // What Windows does not start (a disabled entry) waits for nobody.
    if (row.approved == APPROVAL_NO && !item.disabled) unapproved_++;
}

// The registry place of an IE helper, with its view.
void HelperLocation(const Item &item, char *out, int size)
{
    const char *key = item.type == ITEM_BHO ? BHO_KEY : item.type == ITEM_TOOLBAR ? IE_TOOLBAR_KEY : IE_EXTENSIONS_KEY;
    FormatText(out, (size_t)size, "HKLM\\%s%s", key, item.view == VIEW_32 ? " (32-bit)" : "");
}

const char *const kFileTypePlaces[] = {
    "", "HKLM\\Software\\Classes", "FileExts\\Application", "FileExts\\ProgID", "HKEY_CLASSES_ROOT",
    "HKCU\\Software\\Classes"};

// Writes every record of the item list as it stands.
template <typename Describe> void WriteList(ScanWriter &writer, const char *category, Describe describe)
{
    for (int i = 0; i < ItemCount(); i++) {
        ScanRow row = {category, "", GetItem(i), APPROVAL_NONE};
        if (!row.item) continue;
        describe(*row.item, row);
        writer.Row(row);
    }
}

int WriteScan(ReportFile *file, ScanFormat format)
{
    ScanWriter writer(file, format);
    writer.Header();

    BuildStartupList(0);
    WriteList(writer, "startup", [](const Item &item, ScanRow &row) {
        DescribeEntryLocation(&item, 0, row.location, sizeof row.location);
        row.approved = IsStartupEntryApproved(item.view, item.path) ? APPROVAL_YES : APPROVAL_NO;
    });

    EnumerateServices(0);
    WriteList(writer, "service", [](const Item &item, ScanRow &row) {
        FormatText(row.location, sizeof row.location, "HKLM\\%s\\%s", SERVICES_KEY, item.name ? item.name : "");
        row.approved = IsServiceApproved(item) ? APPROVAL_YES : APPROVAL_NO;
    });

    EnumerateTasks();
    WriteList(writer, "task", [](const Item &item, ScanRow &row) {
        char windows[MAX_PATH] = "";
        GetWindowsDirectoryA(windows, sizeof windows);
        FormatText(row.location, sizeof row.location, "%s\\Tasks", windows);
        row.approved = IsTaskApproved(item) ? APPROVAL_YES : APPROVAL_NO;
    });

    EnumerateIEHelpers();
    WriteList(writer, "ie_helper", [](const Item &item, ScanRow &row) {
        HelperLocation(item, row.location, sizeof row.location);
        row.approved = IEHelperApproved(&item) ? APPROVAL_YES : APPROVAL_NO;
    });

    ListFileTypes();
    WriteList(writer, "file_type", [](const Item &item, ScanRow &row) {
        int method = item.qualifier;
        CopyText(row.location, sizeof row.location, method >= 1 && method <= 5 ? kFileTypePlaces[method] : "");
        row.approved = IsAssociationApproved(item.name, method) ? APPROVAL_YES : APPROVAL_NO;
    });

    ListHiddenFiles();
    WriteList(writer, "hidden_file", [](const Item &item, ScanRow &row) {
        CopyTextN(row.location, sizeof row.location, item.path, (size_t)FileNameIndex(item.path));
        size_t length = strlen(row.location);
        if (length > 3 && row.location[length - 1] == '\\') row.location[length - 1] = 0;
        row.approved = IsHiddenFileKnown(item.path) ? APPROVAL_YES : APPROVAL_NO;
    });

    // Running programs are not approved or refused: approved stays empty.
    CountProcesses();
    WriteList(writer, "process", [](const Item &item, ScanRow &row) {
        FormatText(row.location, sizeof row.location, "%d", item.qualifier);
    });
    FreeItems();
    return writer.Unapproved() ? 1 : 0;
}

void SayScanError(const char *what, const char *path, DWORD error)
{
    HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
    if (!errors || errors == INVALID_HANDLE_VALUE) return;
    char reason[512] = "", line[PATH_SIZE + 700];
    if (error)
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                       sizeof reason, nullptr);
    int length = (int)FormatText(line, sizeof line, "SentrelEx -scan: %s %s %s\r\n", what, path, reason);
    DWORD written;
    WriteFile(errors, line, (DWORD)length, &written, nullptr);
}

}  // namespace

int RunScan(const char *)
{
    ScanArguments arguments;
    if (!ReadScanArguments(&arguments)) {
        SayScanError("usage:", "SentrelEx.exe -scan -csv FILE | -json FILE [-out FILE|-]", 0);
        return 2;
    }
    ReportFile *file = (ReportFile *)calloc(1, sizeof(ReportFile));
    if (!file) return 2;
    int console = strcmp(arguments.target, "-") == 0;
    if (console) {
        file->handle = ConsoleOutput();
        if (file->handle == INVALID_HANDLE_VALUE || !file->handle) {
            free(file);
            return 2;
        }
    } else if (!ReportOpen(file, arguments.target)) {
        SayScanError("cannot write", arguments.target, GetLastError());
        free(file);
        return 2;
    }
    int result = WriteScan(file, arguments.format);
    // The console's handle is the process's own: closing it is the end.
    if (!ReportClose(file)) {
        if (!console) SayScanError("cannot write", arguments.target, GetLastError());
        result = 2;
    }
    free(file);
    return result;
}
