// Sentrel.exe: the hidden main window, its commands, start-up and exit.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "always_run.h"
#include "checks.h"
#include "data_folders.h"
#include "instant_watch.h"
#include "inventory.h"
#include "startup_list.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "program_window.h"
#include "program_files.h"
#include "startup_changes.h"
#include "store.h"
#include "store_init.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

HINSTANCE instance;
char className[32];
char windowTitle[32];
HWND mainWindow;
int expressBootCountdown;
UINT_PTR timerId;
UINT taskbarCreatedMessage;
HFONT listFonts[8];

int inDialog, verifyBusy, alertShown, taskChangeFlag, tickCounter, conflictCount;
DWORD lastVerifyTick;
int delayHandled, delaySubTicks, delayStep, delayTotal;
int AlertRepeatCount;
char AlertLastCommand[PATH_SIZE];

namespace {
// Set when the main window is really being destroyed (WM_CLOSE), as
// opposed to the exit request that command 6030 posts.
int windowDestroyed;
int exiting;

struct FontSpec {
    const char *face;
    int height, weight, underline;
};

// Slot 1 holds the same face as slot 7.
const FontSpec kFonts[8] = {
    {"Arial", -14, 400, 0},         {"Verdana", -14, 400, 1}, {"Verdana", -18, 600, 1},
    {"Arial", -18, 500, 0},         {"MS Sans Serif", -14, 600, 0},
    {"Verdana", -10, 600, 0},       {"Arial", -14, 400, 0},   {"MS Sans Serif", -12, 500, 0},
};

void CreateSharedFonts(void)
{
    for (int i = 0; i < 8; i++) {
        if (i == 6) {
            listFonts[6] = listFonts[0];
            continue;
        }
        const FontSpec &f = kFonts[i];
        listFonts[i] = CreateFontA(f.height, 0, 0, 0, f.weight, FALSE, f.underline, FALSE, 0,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_SWISS, f.face);
    }
}

const struct {
    int command;
    const char *switchText;
} kExplorerCommands[] = {
    {CMD_SHOW_STARTUP, "-START"},     {CMD_SHOW_COOKIES, "-NUTS"},
    {CMD_SHOW_TASKS, "-TASK"},        {CMD_SHOW_OPTIONS, "-OPTIONS"},
    {CMD_SHOW_SERVICES, "-SERVICE"},  {CMD_SHOW_SCHEDULE, "-SCHEDULE"},
    {CMD_SHOW_IE_HELPERS, "-BHO"},    {CMD_SHOW_FILE_TYPES, "-FILETYPES"},
    {CMD_SHOW_MONITOR, "-MONITOR"},   {CMD_SHOW_BLACKLIST, "-BLACKLIST"},
    {CMD_SHOW_HIDDEN, "-HIDDEN"},     {CMD_SHOW_DELAY, "-DELAY"},
};

void ProgramInit(void)
{
    taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    TrayIcon(0, 101, 820);
    FreeItems();
    AlertRepeatCount = 0;
    conflictCount = 0;
    AlertLastCommand[0] = 0;
    tickCounter = 0;
    timerId = SetTimer(mainWindow, PATROL_TIMER_ID, PATROL_PERIOD_MS, nullptr);
}

// The explorer tells the monitor the new "HideWuffin" value: 0 shows the
// icon, anything else hides it. The loaded option follows the request, so a
// monitor started hidden can be shown again.
void OnTrayIconCommand(LPARAM hide)
{
    if (hide == 0) {
        settings.hideWuffin = 0;
        TrayIcon(0, 101, 820);
    } else {
        TrayIcon(2, 0, 0);
        settings.hideWuffin = 1;
    }
}

void OnCommand(int command, LPARAM lParam)
{
    for (const auto &row : kExplorerCommands) {
        if (row.command == command) {
            StartExplorer(row.switchText);
            return;
        }
    }
    switch (command) {
    case CMD_PROGRAM_INIT:
        ProgramInit();
        break;
    case CMD_EXIT:
        PostMessageA(mainWindow, WM_DESTROY, 0, 0);
        break;
    case CMD_TOGGLE_ALWAYS_RUN:
        SetAlwaysRun(!alwaysRun);
        break;
    case CMD_TRAY_ICON:
        OnTrayIconCommand(lParam);
        break;
    case CMD_RESTART_COMMANDS:
        CheckRestartCommands(0);
        break;
    default:
        break;
    }
}

void RunRestartExplorer(void)
{
    char folder[PATH_SIZE];
    GetProgramFolder(folder);
    ShellExecuteA(mainWindow, "open", "SentrelEx.exe", "-RESTART", folder[0] ? folder : nullptr,
                  SW_SHOWNORMAL);
}

// Returns 1 when the monitor ends.
int OnExitRequest(HWND window)
{
    if (exiting) return 1;
    settings.confirmExit = (int)GetOption("ConfirmExit", 0);
    if (settings.confirmExit != 0) {
        int answer = UiMessageBox(window, 17, windowTitle,
                                  MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
        if (answer == IDNO) {
            RunRestartExplorer();
            // Without its window the monitor cannot patrol: end it anyway.
            if (!windowDestroyed) return 0;
        }
    }
    exiting = 1;
    ExitMonitor(window);
    PostQuitMessage(0);
    return 1;
}
}  // namespace

int CreateMainWindow(void)
{
    if (!RegisterProgramWindowClass(instance, className, MainWindowProc, CS_DBLCLKS)) return 0;

    mainWindow = CreateWindowA(className, windowTitle, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                               nullptr, instance, nullptr);
    if (!mainWindow) return 0;
    startupOwner = mainWindow;
    CreateSharedFonts();
    return 1;
}

void RunStartupInitialisation(void)
{
    SetProgramTraceFile(PROGRAM_MONITOR);   // send2ov.txt beside the program
    inDialog = 0;
    countdowns.winInit = 0;   // LoadOptions raises it to the interval

    EnableTrace(0);
    lastVerifyTick = GetTickCount();
    programKind = PROGRAM_MONITOR;
    InitStore();
    alwaysRun = IsAlwaysRun();
    FreeItems();
    delayHandled = delaySubTicks = delayStep = 0;
    delayTotal = ListDelayedPrograms();
    FreeItems();
}

INT_PTR StartExplorer(const char *switchText)
{
    char folder[PATH_SIZE];
    GetProgramFolder(folder);
    INT_PTR result = (INT_PTR)ShellExecuteA(mainWindow, "open", "SentrelEx.exe ", switchText,
                                            folder[0] ? folder : nullptr, SW_SHOWNORMAL);
    if (result >= 32) return result;
    return UiMessageBox(mainWindow, 795, windowTitle, MB_OK | MB_ICONERROR | MB_TOPMOST);
}

void ExitMonitor(HWND window)
{
    AuxDetach();
    if (settings.hideWuffin != 1) TrayIcon(2, 0, 0);
    if (timerId) KillTimer(window, PATROL_TIMER_ID);
    timerId = 0;
    if (ItemCount() > 0) FreeItems();
    FreeCookies();
    CoUninitialize();
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        int command = LOWORD(wParam);
        if (command >= 6025 && command <= 6055) OnCommand(command, lParam);
        break;
    }
    case WM_TIMER:
        if (wParam == PATROL_TIMER_ID) OnPatrolTick();
        break;
    case WM_TASK_CHANGE:
        taskChangeFlag = 1;
        break;
    case WM_PLACE_CHANGE:
        OnPlaceChange((unsigned)wParam);
        break;
    case WM_TRAY_CALLBACK:
        OnTrayEvent((UINT)wParam, (UINT)lParam);
        break;
    case WM_CLOSE:
        windowDestroyed = 1;
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (!OnExitRequest(window)) return 0;
        break;
    default:
        if (message == taskbarCreatedMessage && taskbarCreatedMessage != 0)
            TrayIcon(0, 101, 820);
        break;
    }
    if (!IsWindow(window)) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}
