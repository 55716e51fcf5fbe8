// Sentrel.exe: entry point, command line and single instance.
#include <windows.h>
#include <commctrl.h>

#include "history.h"
#include "monitor.h"
#include "program_window.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

static int HasSwitch(const char *arguments, const char *name)
{
    return FindTextNoCase(arguments, name) != nullptr;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR arguments, int)
{
    instance = hInstance;
    if (!arguments) arguments = (LPSTR) "";
    if (LoadUiString(1, className, sizeof className) <= 0) return 0;
    if (LoadUiString(2, windowTitle, sizeof windowTitle) <= 0) return 0;

    HWND running = FindWindowA(className, nullptr);
    if (running) {
        if (HasSwitch(arguments, "-Q"))
            PostMessageA(running, WM_COMMAND, CMD_EXIT, 0);
        else if (!HasSwitch(arguments, "-NoOpen"))
            StartExplorer("-START");
        return 0;
    }
    if (HasSwitch(arguments, "-Q")) return 0;

    if (!CreateMainWindow()) return 0;
    ShowWindow(mainWindow, SW_HIDE);
    UpdateWindow(mainWindow);
    expressBootCountdown = HasSwitch(arguments, "-expressboot") ? 45 : 0;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    RunStartupInitialisation();
    TraceLog("START", "From Initialize to Post");
    taskChangeFlag = 0;
    TraceTiming();
    // Arming the watches traces its own step.
    AuxAttach(mainWindow);
    PostMessageA(mainWindow, WM_COMMAND, CMD_PROGRAM_INIT, 0);

    return RunProgramMessageLoop();
}
