// SentrelEx.exe: the windowed side of the reports: file names, the
// hourglass, the messages and opening the written file.
#include "report_commands.h"

#include <windows.h>
#include <shellapi.h>

#include "reports.h"
#include "explorer.h"
#include "list_page.h"
#include "options.h"
#include "text.h"
#include "ui_strings.h"

namespace {

const UINT STR_REPORT_NOT_WRITTEN = 3720;   // path, error text
const UINT STR_EXPORT_DONE = 854;           // path
const UINT STR_EXPORT_SKIPPED = 3721;       // the names left out
const UINT STR_REPORT_NOT_OPENED = 3722;    // path

// Says that a report could not be written, with the system's reason.
void ShowWriteFailure(HWND owner, const char *path, DWORD error)
{
    char reason[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                   sizeof reason, nullptr);
    char pattern[512], text[2048];
    LoadUiString(STR_REPORT_NOT_WRITTEN, pattern, sizeof pattern);
    const char *values[] = {path, reason};
    if (!FillTemplate(text, sizeof text, pattern, values, 2)) CopyTextCut(text, sizeof text, pattern);
    PageMessageText(owner, text, MB_OK | MB_ICONEXCLAMATION);
}

// Runs a report writer with the hourglass shown; opens the file when it was
// written, says so when it was not.
template <typename Writer> int WriteAndOpen(HWND owner, const char *path, Writer write)
{
    HCURSOR before = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    int written = write(path);
    DWORD error = GetLastError();
    SetCursor(before ? before : LoadCursor(nullptr, IDC_ARROW));
    if (!written) {
        ShowWriteFailure(owner, path, error ? error : ERROR_WRITE_FAULT);
        return 0;
    }
    // A machine with no program for the file still has the report: say where.
    if ((INT_PTR)ShellExecuteA(mainWindow ? mainWindow : owner, "open", path, nullptr, nullptr, SW_SHOWNORMAL) <= 32) {
        char pattern[512], text[2048];
        LoadUiString(STR_REPORT_NOT_OPENED, pattern, sizeof pattern);
        const char *values[] = {path};
        if (!FillTemplate(text, sizeof text, pattern, values, 1)) CopyTextCut(text, sizeof text, pattern);
        PageMessageText(owner, text, MB_OK | MB_ICONINFORMATION);
    }
    return 1;
}

}  // namespace

int WriteSystemReport(HWND owner)
{
    int format = GetOption("Format", 0) == 1 ? 1 : 0;
    char path[PATH_SIZE];
    if (!ReportPathOf(format ? SYSTEM_REPORT_TEXT : SYSTEM_REPORT_HTML, path)) return 0;
    return WriteAndOpen(owner, path, [&](const char *file) {
        return WriteSystemReportFile(file, format, sheetCaption);
    });
}

int WriteHijackLog(HWND owner)
{
    char path[PATH_SIZE];
    if (!ReportPathOf(HIJACK_LOG_FILE, path)) return 0;
    return WriteAndOpen(owner, path, [](const char *file) { return WriteHijackLogFile(file, sheetCaption); });
}

int WriteSpreadsheetReport(HWND owner)
{
    char path[PATH_SIZE];
    if (!ReportPathOf(SPREADSHEET_FILE, path)) return 0;
    return WriteAndOpen(owner, path, [](const char *file) { return WriteSpreadsheetFile(file, sheetCaption); });
}

int ExportSettings(HWND owner)
{
    char path[PATH_SIZE];
    if (!ExportPathOf(path)) {
        ShowWriteFailure(owner, EXPORT_FILE_TAIL, ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    char skipped[2048];
    HCURSOR before = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    int written = ExportSettingsFile(path, skipped, sizeof skipped);
    DWORD error = GetLastError();
    SetCursor(before ? before : LoadCursor(nullptr, IDC_ARROW));
    if (!written) {
        ShowWriteFailure(owner, path, error ? error : ERROR_WRITE_FAULT);
        return 0;
    }
    char longPath[PATH_SIZE];
    if (!GetLongPathNameA(path, longPath, sizeof longPath)) CopyText(longPath, sizeof longPath, path);
    char pattern[1024], text[4096];
    LoadUiString(STR_EXPORT_DONE, pattern, sizeof pattern);
    const char *value = longPath;
    if (!FillTemplate(text, sizeof text, pattern, &value, 1)) CopyTextCut(text, sizeof text, pattern);
    if (skipped[0]) {
        char more[3072];
        LoadUiString(STR_EXPORT_SKIPPED, pattern, sizeof pattern);
        const char *names = skipped;
        if (FillTemplate(more, sizeof more, pattern, &names, 1)) AppendTextCut(text, sizeof text, more);
    }
    char caption[64];
    LoadUiString(622, caption, sizeof caption);
    UiMessageBoxText(nullptr, text, caption, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    return 1;
}
