// Helpers for Sentrel's tests, which run under Wine against the real
// registry, files and windows of the test prefix.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace test {

// --- Text ---------------------------------------------------------------
// UTF-8 (the programs' text) and the platform's wide text.
std::wstring Wide(const std::string &text);
std::string Utf8(const std::wstring &wide);

// --- Registry of the prefix -------------------------------------------
// Every name and text is UTF-8 and reaches the registry exactly.
// Writes a value with raw data bytes and type (text types: the UTF-8 bytes
// given, as the units they stand for). True on success.
bool WriteValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
                const void *data, DWORD size);
bool WriteString(HKEY root, const std::string &path, const std::string &name,
                 const std::string &text);
bool WriteDword(HKEY root, const std::string &path, const std::string &name, DWORD value);
// Writes a value through the native call, which takes a name holding a NUL
// (as programs that hide their entries do).
bool WriteNative(HKEY root, const std::string &path, const std::wstring &name, DWORD type, const void *data,
                 DWORD size);
bool NativeValueExists(HKEY root, const std::string &path, const std::wstring &name);
// A value's raw stored bytes (text as its UTF-16 units); empty when missing.
std::string ReadRawValue(HKEY root, const std::string &path, const std::wstring &name, DWORD *type = nullptr);
// Reads a REG_SZ value; false when missing.
bool ReadString(HKEY root, const std::string &path, const std::string &name, std::string *text);
bool ValueExists(HKEY root, const std::string &path, const std::string &name);
bool KeyExists(HKEY root, const std::string &path);
// Deletes a key and everything below it (no error when missing).
void DeleteTree(HKEY root, const std::string &path);
// Names of a key's values, in enumeration order.
std::vector<std::string> ValueNames(HKEY root, const std::string &path);
std::vector<std::wstring> WideValueNames(HKEY root, const std::string &path);
// A text dump of a key tree (names, types, data), for before/after comparisons.
std::string DumpTree(HKEY root, const std::string &path);

// Removes everything Sentrel keeps in the registry (HKCU and HKLM stores,
// the Run-key registration) so that a test starts from a first run.
void ResetSentrelRegistry();

// --- Files --------------------------------------------------------------
// The folder of the running test program (the build's bin folder).
std::string BuildFolder();
// A fresh, empty folder C:\sentrel-tests\<name>.
std::string FreshFolder(const std::string &name);
// Deletes a folder and everything in it (no error when missing).
void RemoveFolder(const std::string &folder);
bool WriteFile(const std::string &path, const std::string &content);
bool ReadFile(const std::string &path, std::string *content);
bool FileExistsAt(const std::string &path);

// --- Programs and windows ------------------------------------------------
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
// Presses a dialog button by its id (IDOK, IDYES, IDNO, ...).
void PressButton(HWND dialog, int id);
// A Task Scheduler 2.0 task as Windows stores it: the XML of a task with
// one Exec action (command, arguments), the triggers given as XML (a logon
// trigger when empty), enabled or not, hidden or not.
std::string TaskXml(const std::string &command, const std::string &arguments, const std::string &triggers = "",
                    bool enabled = true, bool hidden = false);
// Writes a task file into the task store (System32\Tasks) under its task
// path ("\Folder\Name"), folders made as needed: UTF-16 with its
// byte-order mark as Windows writes it, or UTF-8. Returns the file's path,
// empty on failure.
std::string PlantTask(const std::string &taskPath, const std::string &xml, bool utf16 = true);
// Removes a planted task's file and its folders up to the store, when empty.
void RemovePlantedTask(const std::string &taskPath);

// Waits for a window with this caption and ends the process that shows it
// (a program the test had started through the program under test, such as
// the Registry Editor). true when one was found and ended.
bool EndProcessOfWindow(const char *caption, DWORD milliseconds);

}  // namespace test
