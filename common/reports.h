// Files written for the user to read or keep: the system report, the
// hijack log, the settings export and the spreadsheet report. Each takes
// the window that owns its messages and returns 1 when the file was written.
#pragma once
#include <windows.h>

int WriteSystemReport(HWND owner);
int WriteHijackLog(HWND owner);
int ExportSettings(HWND owner);
int WriteSpreadsheetReport(HWND owner);
