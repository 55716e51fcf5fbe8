// The files the explorer writes for the user: the system report (HTML or
// text), the hijack log, the spreadsheet report and the settings export.
// Each writer walks the inventories through the item list, which it holds
// aside and puts back when done (HoldItemList), so a caller's records stay
// what they were. The explorer's buttons and menu items call the windowed
// entry points of explorer/reports.h.
#pragma once
#include <windows.h>

// File names, in the user's data folder (the program folder while it is
// writable).
#define SYSTEM_REPORT_HTML "SentrelLog.html"
#define SYSTEM_REPORT_TEXT "SentrelLog.txt"
#define HIJACK_LOG_FILE    "HijackSentrel.log"
#define SPREADSHEET_FILE   "SentrelLog.csv"
#define EXPORT_FILE_TAIL   "-Sentrel.reg"

// The report's file in the user's data folder. Returns its length, 0 when the
// path does not fit (out is then empty).
int ReportPathOf(const char *fileName, char *out /* PATH_SIZE */);

// The system report: format 0 HTML, 1 TAB-separated text. caption names the
// program in the header. 1 when the whole file was written; 0 when it could
// not be created or a write failed (the last error tells why).
int WriteSystemReportFile(const char *path, int format, const char *caption);

// The hijack log. 1 or 0 as above.
int WriteHijackLogFile(const char *path, const char *caption);

// The spreadsheet report. 1 or 0 as above.
int WriteSpreadsheetFile(const char *path, const char *caption);

// The settings export: the user's settings key and the machine-wide key of
// the maker, one level of subkeys each, as a registry script. Values that
// the script cannot hold faithfully (a name or text with a line break) are
// left out and named, one per line, in skipped (cut when it is full).
// 1 when written, 0 as above.
int ExportSettingsFile(const char *path, char *skipped, int skippedSize);

// The export's file: the user's name and "-Sentrel.reg" in the program's
// folder. Returns the length, 0 when it does not fit.
int ExportPathOf(char *out /* PATH_SIZE */);

// The program file of an App Paths entry, its product version and the
// entry's "Path". 1 when the program file exists; 0 with empty outputs.
int AppPathVersion(const char *program, char *version /* 1024 */, char *folder /* 260 */);
