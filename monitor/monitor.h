// The monitor's process-wide state and its window commands.
#pragma once
#include <windows.h>

#include "text.h"

// Window commands of the main window.
enum {
    CMD_PROGRAM_INIT = 6025,
    CMD_SHOW_STARTUP = 6026,
    CMD_SHOW_COOKIES = 6028,
    CMD_SHOW_TASKS = 6029,
    CMD_EXIT = 6030,
    CMD_TOGGLE_ALWAYS_RUN = 6031,
    CMD_SHOW_OPTIONS = 6033,
    CMD_RESTART_COMMANDS = 6034,
    CMD_SHOW_SERVICES = 6038,
    CMD_SHOW_SCHEDULE = 6039,
    CMD_SHOW_IE_HELPERS = 6040,
    CMD_SHOW_FILE_TYPES = 6042,
    CMD_SHOW_MONITOR = 6046,
    CMD_SHOW_BLACKLIST = 6047,
    CMD_SHOW_HIDDEN = 6052,
    CMD_TRAY_ICON = 6053,
    CMD_SHOW_DELAY = 6055,
};

#define WM_TRAY_CALLBACK 6035    // notification-area callback message
#define TRAY_ICON_ID     6036
#define WM_TASK_CHANGE   9024    // posted by sentrelaux.dll when running programs change
// Instant detection: posted by sentrelaux.dll when a watched place changes.
#define WM_PLACE_CHANGE  9025
#define PATROL_TIMER_ID  1
#define PATROL_PERIOD_MS 2000

extern HINSTANCE instance;
extern char className[32];
extern char windowTitle[32];
extern HWND mainWindow;
extern int expressBootCountdown;
extern UINT_PTR timerId;
extern UINT taskbarCreatedMessage;
extern HFONT listFonts[8];

// Patrol flags and counters.
extern int inDialog, verifyBusy, alertShown, taskChangeFlag, tickCounter, conflictCount;
extern DWORD lastVerifyTick;
extern int delayHandled, delaySubTicks, delayStep, delayTotal;
extern int AlertRepeatCount;
extern char AlertLastCommand[PATH_SIZE];

// Main window.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int CreateMainWindow(void);
void RunStartupInitialisation(void);

// Opens the explorer with a page switch. The platform's result (32 or more
// is success) or, on failure, the result of the message box that says so.
INT_PTR StartExplorer(const char *switchText);

// Clean-up before the quit message.
void ExitMonitor(HWND window);

// Notification-area icon: action 0 add, 1 modify, 2 delete. 1 when the
// platform call was made, 0 when the icon is hidden by option.
int TrayIcon(int action, int icon, UINT tip);
int SetPatrolStatus(int icon, UINT tip);

// The idle picture: option "TrayIcon", else 101 (159 before the NT family).
int TrayIdleIcon(void);

// The notification-area callback: double click opens the explorer on its
// Startup page, a right click shows the menu.
extern int trayBusy;
void OnTrayEvent(UINT iconId, UINT mouseMessage);

// The patrol tick.
void OnPatrolTick(void);

// sentrelaux.dll, loaded at run time; the monitor works without it.
void AuxAttach(HWND window);
void AuxDetach(void);
