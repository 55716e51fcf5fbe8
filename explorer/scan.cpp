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

#include "explorer.h"
#include "report_writer.h"
#include "scan_report.h"
#include "text.h"
#include "unicode_text.h"

namespace {

enum ScanFormat { SCAN_NONE, SCAN_CSV, SCAN_JSON };

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
    int result = WriteScanReport(file, arguments.format == SCAN_JSON) > 0 ? 1 : 0;
    // The console's handle is the process's own: closing it is the end.
    if (!ReportClose(file)) {
        if (!console) SayScanError("cannot write", arguments.target, GetLastError());
        result = 2;
    }
    free(file);
    return result;
}
