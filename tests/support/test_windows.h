// Programs of the test prefix and their windows: started, waited for,
// driven as the user would, and ended.
#pragma once
#include <windows.h>

#include <string>

namespace test {

// Polls done() every 20 ms until it holds or the time is up; true when it held.
template <typename Done> bool WaitUntil(Done done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(20);
    }
    return true;
}

// WaitUntil while the monitor's patrol clock runs fast: a tick of its
// 2-second timer (timer 1) is posted every 80 ms, so the passes that come
// every 17 ticks come about every 1.4 s instead of every 34 s (a pass
// within a second of the last one is skipped, so the ticks cannot be
// faster).
template <typename Done> bool WaitWithFastPatrol(HWND monitor, Done done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        PostMessageA(monitor, WM_TIMER, 1, 0);
        Sleep(80);
    }
    return true;
}

struct Program {
    HANDLE process = nullptr;
    DWORD id = 0;
};
// Copies Sentrel.exe (and, when asked, sentrelaux.dll) from the build into folder.
bool InstallMonitor(const std::string &folder, bool withAux);
// Starts folder\program with arguments. The Program is empty on failure.
Program Start(const std::string &folder, const std::string &program, const std::string &arguments);
// Waits until the program has started and waits for input (at most the time given).
bool WaitUntilReady(Program &program, DWORD milliseconds = 10000);
// Waits for the program to end; true when it ended within the time. exitCode may be null.
bool WaitForExit(Program &program, DWORD milliseconds, DWORD *exitCode = nullptr);
// Ends the program if it still runs and closes its handle.
void Stop(Program &program);
// No monitor runs (the last one has ended), Sentrel's store is empty and
// C:\sentrel-tests\<name> is a fresh folder with the monitor (and, when
// asked, sentrelaux.dll) in it. The folder, or "" when one of those failed.
std::string MonitorFolder(const std::string &name, bool withAux = false, DWORD milliseconds = 20000);
// Starts folder\Sentrel.exe and waits for its window and for its store (the
// first run's "Version"). true when both came within the time.
bool StartMonitorUp(const std::string &folder, Program *monitor, HWND *window, DWORD milliseconds);
// Asks the monitor of that window to exit (command 6030) and waits for its
// process; true when it ended within the time. The handle is closed.
bool StopMonitor(Program &monitor, HWND window, DWORD milliseconds);
// Waits for a top-level window of the class (and title, when given).
HWND WaitForWindow(const char *className, const char *title, DWORD milliseconds);
// WaitForWindow with the monitor's patrol running fast (WaitWithFastPatrol).
HWND WaitForWindowFastPatrol(HWND monitor, const char *className, const char *title, DWORD milliseconds);
// Waits for a window to disappear.
bool WaitForWindowGone(HWND window, DWORD milliseconds);
// The monitor's hidden main window, if one runs.
HWND MonitorWindow();
// Waits until no monitor window exists.
bool WaitForNoMonitor(DWORD milliseconds);
// Visible notification-area icons. Wine without a taskbar shows them as
// child windows of its stand-alone tray window.
int VisibleTrayIcons();
// Waits until VisibleTrayIcons() equals count.
bool WaitForTrayIcons(int count, DWORD milliseconds);
// The texts of a dialog's static controls, joined by "|".
std::string DialogText(HWND dialog);
// The text of a dialog's control (of this or another process).
std::string ControlText(HWND dialog, int id);
// Presses a dialog button by its id (IDOK, IDYES, IDNO, ...).
void PressButton(HWND dialog, int id);

// Waits for a window with this caption and ends the process that shows it
// (a program the test had started through the program under test, such as
// the Registry Editor). true when one was found and ended.
bool EndProcessOfWindow(const char *caption, DWORD milliseconds);

}  // namespace test
