#include "test_windows.h"

#include "test_files.h"
#include "test_registry.h"

namespace test {

bool InstallMonitor(const std::string &folder, bool withAux)
{
    std::string build = BuildFolder();
    if (!CopyFileA((build + "\\Sentrel.exe").c_str(), (folder + "\\Sentrel.exe").c_str(), FALSE))
        return false;
    if (withAux &&
        !CopyFileA((build + "\\sentrelaux.dll").c_str(), (folder + "\\sentrelaux.dll").c_str(), FALSE))
        return false;
    return true;
}

Program Start(const std::string &folder, const std::string &program, const std::string &arguments)
{
    Program result;
    std::string path = folder + "\\" + program;
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return result;
    CloseHandle(info.hThread);
    result.process = info.hProcess;
    result.id = info.dwProcessId;
    return result;
}

bool WaitUntilReady(Program &program, DWORD milliseconds)
{
    return program.process && WaitForInputIdle(program.process, milliseconds) == 0;
}

bool WaitForExit(Program &program, DWORD milliseconds, DWORD *exitCode)
{
    if (!program.process) return true;
    if (WaitForSingleObject(program.process, milliseconds) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(program.process, exitCode);
    return true;
}

void Stop(Program &program)
{
    if (!program.process) return;
    if (WaitForSingleObject(program.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.process, 1);
        WaitForSingleObject(program.process, 5000);
    }
    CloseHandle(program.process);
    program.process = nullptr;
}

HWND WaitForWindowFastPatrol(HWND monitor, const char *className, const char *title, DWORD milliseconds)
{
    HWND window = nullptr;
    WaitWithFastPatrol(monitor, [&] { return (window = FindWindowA(className, title)) != nullptr; }, milliseconds);
    return window;
}

HWND WaitForWindow(const char *className, const char *title, DWORD milliseconds)
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindWindowA(className, title)) != nullptr; }, milliseconds);
    return window;
}

bool WaitForWindowGone(HWND window, DWORD milliseconds)
{
    return WaitUntil([&] { return !IsWindow(window); }, milliseconds);
}

HWND MonitorWindow()
{
    return FindWindowA("Sentrel", nullptr);
}

bool WaitForNoMonitor(DWORD milliseconds)
{
    return WaitUntil([] { return MonitorWindow() == nullptr; }, milliseconds);
}

static BOOL CALLBACK CountTrayIcon(HWND child, LPARAM context)
{
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "__winex11_tray_icon") == 0 && IsWindowVisible(child)) ++*(int *)context;
    return TRUE;
}

int VisibleTrayIcons()
{
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (!tray || !IsWindowVisible(tray)) return 0;
    int count = 0;
    EnumChildWindows(tray, CountTrayIcon, (LPARAM)&count);
    return count;
}

bool WaitForTrayIcons(int count, DWORD milliseconds)
{
    return WaitUntil([&] { return VisibleTrayIcons() == count; }, milliseconds);
}

static BOOL CALLBACK CollectStatic(HWND child, LPARAM context)
{
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[2048];
        GetWindowTextA(child, text, sizeof text);
        if (text[0]) {
            std::string *out = (std::string *)context;
            if (!out->empty()) *out += "|";
            *out += text;
        }
    }
    return TRUE;
}

std::string DialogText(HWND dialog)
{
    std::string out;
    EnumChildWindows(dialog, CollectStatic, (LPARAM)&out);
    return out;
}

std::string ControlText(HWND dialog, int id)
{
    // Asked of the control itself: the text of a control of another
    // process is not its window caption.
    LRESULT length = SendMessageA(GetDlgItem(dialog, id), WM_GETTEXTLENGTH, 0, 0);
    std::string text((size_t)(length > 0 ? length : 0) + 1, '\0');
    text.resize((size_t)GetDlgItemTextA(dialog, id, &text[0], (int)text.size()));
    return text;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

std::string MonitorFolder(const std::string &name, bool withAux, DWORD milliseconds)
{
    if (!WaitForNoMonitor(milliseconds)) return "";
    ResetSentrelRegistry();
    std::string folder = FreshFolder(name);
    return InstallMonitor(folder, withAux) ? folder : "";
}

bool StartMonitorUp(const std::string &folder, Program *monitor, HWND *window, DWORD milliseconds)
{
    *monitor = Start(folder, "Sentrel.exe", "");
    *window = monitor->process ? WaitForWindow("Sentrel", nullptr, milliseconds) : nullptr;
    return *window && WaitUntil([] { return ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel", "Version"); },
                                milliseconds);
}

bool StopMonitor(Program &monitor, HWND window, DWORD milliseconds)
{
    PostMessageA(window, WM_COMMAND, 6030, 0);
    bool ended = WaitForExit(monitor, milliseconds);
    Stop(monitor);
    return ended;
}

bool EndProcessOfWindow(const char *caption, DWORD milliseconds)
{
    HWND window = WaitForWindow(nullptr, caption, milliseconds);
    if (!window) return false;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = id ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
    if (!process) return false;
    bool ended = TerminateProcess(process, 0) && WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

}  // namespace test
