// SentrelEx.exe: the explorer's process-wide state and the pieces its files
// share: page commands, the main window, the property sheet.
#pragma once
#include <windows.h>

// Page commands (what the switches select, what a second explorer forwards
// and what "StartTab" stores) and the other commands of the main window.
enum ExplorerCommand {
    CMD_PAGE_STARTUP = 6026,
    CMD_PAGE_COOKIES = 6028,
    CMD_PAGE_TASKS = 6029,
    CMD_CLOSE = 6030,
    CMD_TOGGLE_MONITOR_AUTOSTART = 6031,
    CMD_PAGE_OPTIONS = 6033,
    CMD_RESTART_COMMANDS = 6034,
    CMD_PAGE_SERVICES = 6038,
    CMD_PAGE_SCHEDULE = 6039,
    CMD_PAGE_IE_HELPERS = 6040,
    CMD_PAGE_FILE_TYPES = 6042,
    CMD_VIEW_COOKIES = 6045,
    CMD_MONITOR = 6046,
    CMD_BLACKLIST = 6047,
    CMD_EXIT_REQUEST = 6048,
    CMD_PAGE_HIDDEN = 6052,
    CMD_PAGE_DELAY = 6055,
    CMD_FIRST = 6026,
    CMD_LAST = 6055,
};

#define STATUS_BAR_ID 6050

extern HINSTANCE instance;
extern HWND mainWindow;
extern char className[32];
extern char sheetCaption[32];
// The page command of the active page; 0 while no page is active. Above 0
// it also tells that the sheet is open.
extern int currentPage;
extern HWND activePage;

// --- switches.cpp ------------------------------------------------------------
// Recognised one-shot switches.
enum OneShotSwitch { ONE_SHOT_NONE, ONE_SHOT_RESTORE, ONE_SHOT_AU_OPTION, ONE_SHOT_SET_PREFIX, ONE_SHOT_ENABLE_ALL };
OneShotSwitch FindOneShotSwitch(const char *arguments);
// The start page chosen by the page switches (the last one tested wins), or
// startPage when none is given. *startMonitor is set for "-START".
int PageFromSwitches(const char *arguments, int startPage, int *startMonitor);
// 1 when the switch occurs anywhere in the arguments, ignoring case.
int HasSwitch(const char *arguments, const char *name);
// SentrelEx.exe -scan: the inventories into a file; the exit code.
int RunScan(const char *arguments);
// Carries out a one-shot switch. 1 when done.
int RunOneShotSwitch(OneShotSwitch which);

// --- main_window.cpp ---------------------------------------------------------
int CreateMainWindow(void);
// Starts Sentrel.exe from the explorer's folder when no monitor window exists.
void StartMonitorIfMissing(void);
// Prunes one first-seen category, chosen by the start counter.
void PruneFirstSeen(int counter);
// Advances "nCount" and returns the new counter (0..10).
int AdvanceStartCounter(void);

// --- sheet.cpp ---------------------------------------------------------------
void OpenSheet(HWND owner, int command);
// Run by every page when it becomes active ("Create Active Page").
void ActivatePage(HWND page, int command);
// Run by every page when it is left for another tab ("CleanupActivePage").
void LeavePage(HWND page);
// Ends the sheet and with it the explorer (a page's Close button).
void CloseSheet(HWND page);
// The sheet's placement, restored once by the first page that starts.
void RestorePlacement(HWND page);
void SetStatusText(const char *text);
// 1 when the sheet was built with its resizable layout (NT family).
int SheetIsResizable(void);
// A page's part of closing the sheet (PSN_RESET reaches every page that was
// created; only the active one saves the placement).
void ResetPage(HWND page);
