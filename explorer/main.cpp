// SentrelEx.exe: entry point, command line and single instance.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "history.h"
#include "explorer.h"
#include "options.h"
#include "program_window.h"
#include "store_init.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR arguments, int)
{
    instance = hInstance;
    programKind = PROGRAM_EXPLORER;
    if (!arguments) arguments = (LPSTR) "";
    if (LoadUiString(9, className, sizeof className) <= 0) return 0;
    if (LoadUiString(833, sheetCaption, sizeof sheetCaption) <= 0) return 0;

    long startPage = GetOption("StartTab", CMD_PAGE_STARTUP);
    if (startPage < CMD_PAGE_STARTUP) startPage = CMD_PAGE_STARTUP;

    int startMonitor = 0;
    if (arguments[0]) {
        OneShotSwitch oneShot = FindOneShotSwitch(arguments);
        // The exit code tells a script whether the switch did its work
        // (-Restore: 1 while any program stays delayed).
        if (oneShot != ONE_SHOT_NONE) {
            int done = RunOneShotSwitch(oneShot);
            FlushHistory();
            return done ? 0 : 1;
        }
        if (HasSwitch(arguments, "-scan")) return RunScan(arguments);
        startPage = PageFromSwitches(arguments, (int)startPage, &startMonitor);
        if (startMonitor) StartMonitorIfMissing();
    }

    HWND running = FindWindowA(className, nullptr);
    if (running) {
        PostMessageA(running, WM_COMMAND, (WPARAM)(HasSwitch(arguments, "-Q") ? (long)CMD_CLOSE : startPage), 0);
        return 0;
    }
    if (HasSwitch(arguments, "-Q")) return 0;

    if (!CreateMainWindow()) return 0;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    SetProgramTraceFile(PROGRAM_EXPLORER);

    InitStore();   // also loads the options and the interface language
    PruneFirstSeen(AdvanceStartCounter());

    PostMessageA(mainWindow, WM_COMMAND, (WPARAM)startPage, 0);
    return RunProgramMessageLoop();
}
