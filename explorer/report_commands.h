// SentrelEx.exe: the reports the user asks for from the list pages' menu
// ("Sentrel Log", command 9) and the Options page's buttons. Each writes
// its file in the program's folder with the hourglass shown, then opens it
// with the shell; a file that cannot be written is said so, and nothing is
// opened. The item list is the same afterwards as before.
#pragma once
#include <windows.h>

// The system report, HTML or text by the option "Format". 1 when written.
int WriteSystemReport(HWND owner);
// The hijack log "HijackSentrel.log". 1 when written.
int WriteHijackLog(HWND owner);
// The settings export "<user>-Sentrel.reg", with its confirmation. 1 when written.
int ExportSettings(HWND owner);
// The spreadsheet report "SentrelLog.csv". 1 when written.
int WriteSpreadsheetReport(HWND owner);
