// SentrelEx.exe: the hidden main window, its commands, the start counter
// with its first-seen pruning, and exit.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <cstdlib>

#include "always_run.h"
#include "data_folders.h"
#include "explorer.h"
#include "first_seen.h"
#include "items.h"
#include "options.h"
#include "program_window.h"
#include "program_files.h"
#include "startup_changes.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

HINSTANCE instance;
HWND mainWindow;
char className[32];
char sheetCaption[32];

namespace {

// First-seen categories pruned in turn, by start counter 0-5; 6-10 prune nothing.
const char *const kPruneKeys[] = {DETECTED_TASKS,    DETECTED_ACTIVETASKS, DETECTED_SERVICES,
                                  DETECTED_HIDDEN,   DETECTED_IEHELPER,    DETECTED_STARTUP};

struct PruneList {
    char (*names)[PATH_SIZE];
    int count, capacity;
};

int CollectMissingFile(const char *name, void *context)
{
    PruneList *list = (PruneList *)context;
    char path[PATH_SIZE];
    if (!CopyText(path, sizeof path, name) || FileExists(path)) return 1;
    if (list->count < list->capacity) CopyText(list->names[list->count++], PATH_SIZE, name);
    return 1;
}

void OnCommand(HWND window, int command)
{
    switch (command) {
    case CMD_PAGE_STARTUP: case CMD_PAGE_COOKIES: case CMD_PAGE_TASKS: case CMD_PAGE_OPTIONS:
    case CMD_PAGE_SERVICES: case CMD_PAGE_SCHEDULE: case CMD_PAGE_IE_HELPERS:
    case CMD_PAGE_FILE_TYPES: case CMD_MONITOR: case CMD_BLACKLIST: case CMD_PAGE_HIDDEN:
    case CMD_PAGE_DELAY:
        OpenSheet(window, command);
        break;
    case CMD_VIEW_COOKIES: {
        int former = settings.viewCookies;
        settings.viewCookies = 1;
        OpenSheet(window, CMD_PAGE_COOKIES);
        settings.viewCookies = former;
        break;
    }
    case CMD_EXIT_REQUEST:
        if (GetOption("ConfirmExit", 0) == 0) {
            DestroyWindow(window);
        } else if (!FindWindowA("Sentrel", nullptr)) {
            StartMonitorIfMissing();
        } else {
            OpenSheet(window, CMD_PAGE_STARTUP);
        }
        break;
    case CMD_CLOSE:
        DestroyWindow(window);
        break;
    case CMD_TOGGLE_MONITOR_AUTOSTART: {
        // The monitor's own registration, switched as the Options page does.
        int on = IsAlwaysRun();
        SetAlwaysRun(!on);
        break;
    }
    case CMD_RESTART_COMMANDS:
        // The viewer of the restart commands is the monitor's: the request
        // goes to it.
        if (HWND monitor = FindWindowA("Sentrel", nullptr)) PostMessageA(monitor, WM_COMMAND, CMD_RESTART_COMMANDS, 0);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        int command = LOWORD(wParam);
        if (command >= CMD_FIRST && command <= CMD_LAST) OnCommand(window, command);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        SaveOptions();
        if (ItemCount() > 0) FreeItems();
        CoUninitialize();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int CreateMainWindow(void)
{
    if (!RegisterProgramWindowClass(instance, className, MainWindowProc, 0)) return 0;
    // Only the task-bar button of this window is ever seen.
    mainWindow = CreateWindowExA(WS_EX_APPWINDOW, className, sheetCaption,
                                 WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0, -200, 0, 0, nullptr, nullptr,
                                 instance, nullptr);
    if (!mainWindow) return 0;
    startupOwner = mainWindow;
    return 1;
}

void StartMonitorIfMissing(void)
{
    if (FindWindowA("Sentrel", nullptr)) return;
    char folder[PATH_SIZE], program[PATH_SIZE];
    if (!GetProgramFolder(folder) || !FormatText(program, sizeof program, "%s\\Sentrel.exe", folder))
        return;
    if (GetFileAttributesA(program) == INVALID_FILE_ATTRIBUTES) return;
    ShellExecuteA(nullptr, "open", program, nullptr, folder, SW_SHOWNORMAL);
}

int AdvanceStartCounter(void)
{
    long counter = GetOption("nCount", 0) + 1;
    if (counter > 10 || counter < 0) counter = 0;
    SetOption("nCount", counter);
    return (int)counter;
}

void PruneFirstSeen(int counter)
{
    if (counter < 0 || counter >= (int)(sizeof kPruneKeys / sizeof kPruneKeys[0])) return;
    // Collect first, delete afterwards: deleting while enumerating skips values.
    const int capacity = 4096;
    PruneList list = {(char(*)[PATH_SIZE])calloc(capacity, PATH_SIZE), 0, capacity};
    if (!list.names) return;
    StoreEnumValueNames(HKEY_CURRENT_USER, kPruneKeys[counter], CollectMissingFile, &list);
    for (int i = 0; i < list.count; i++)
        StoreDeleteValue(HKEY_CURRENT_USER, kPruneKeys[counter], list.names[i]);
    free(list.names);
}
