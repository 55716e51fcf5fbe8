// The page procedures of the explorer's tabs.
#pragma once
#include <windows.h>

// Startup Programs (tab 1).
INT_PTR CALLBACK StartupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// IE Helpers (tab 3).
INT_PTR CALLBACK IEHelpersPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// A tab whose page is not built yet: its list stays empty.
INT_PTR CALLBACK PendingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The page command of a page procedure's PROPSHEETPAGE (WM_INITDIALOG).
int PageCommandOf(LPARAM initParam);
