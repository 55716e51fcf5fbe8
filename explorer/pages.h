// The dialog procedures of the explorer's tabs.
#pragma once
#include <windows.h>

// Startup Programs (tab 1).
extern const DLGPROC StartupPageProc;
// Scheduled Tasks (tab 4).
extern const DLGPROC ScheduledTasksPageProc;
// File Types (tab 8).
extern const DLGPROC FileTypesPageProc;
// Services (tab 5, NT family only).
extern const DLGPROC ServicesPageProc;
// Delayed Start (tab 2).
extern const DLGPROC DelayedStartPageProc;
// Options (tab 10).
extern const DLGPROC OptionsPageProc;
// Cookies (tab 7), and its cookie list (mode 1 Internet Explorer, 3 Mozilla).
extern const DLGPROC CookiesPageProc;
void ShowCookieList(HWND owner, int mode);
// IE Helpers (tab 3).
extern const DLGPROC IEHelpersPageProc;
// Active Tasks (tab 6) and Hidden Files (tab 9).
extern const DLGPROC ActiveTasksPageProc;
// Reads the running programs again when the Active Tasks page is open.
void RefreshActiveTasks(void);
extern const DLGPROC HiddenFilesPageProc;
