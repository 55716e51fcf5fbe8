// The page procedures of the explorer's tabs.
#pragma once
#include <windows.h>

// Startup Programs (tab 1).
INT_PTR CALLBACK StartupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Scheduled Tasks (tab 4).
INT_PTR CALLBACK ScheduledTasksPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// File Types (tab 8).
INT_PTR CALLBACK FileTypesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Services (tab 5, NT family only).
INT_PTR CALLBACK ServicesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Delayed Start (tab 2).
INT_PTR CALLBACK DelayedStartPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Options (tab 10).
INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Cookies (tab 7), and its cookie list (mode 1 Internet Explorer, 3 Mozilla).
INT_PTR CALLBACK CookiesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void ShowCookieList(HWND owner, int mode);
// IE Helpers (tab 3).
INT_PTR CALLBACK IEHelpersPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Active Tasks (tab 6) and Hidden Files (tab 9).
INT_PTR CALLBACK ActiveTasksPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Reads the running programs again when the Active Tasks page is open.
void RefreshActiveTasks(void);
INT_PTR CALLBACK HiddenFilesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
