// SentrelEx.exe opening its Startup Programs page over 1,000 Run values,
// against a floor measured in the same run: BuildStartupList of the same
// entries in this process. The explorer's time runs from its start to the
// moment its list holds every entry; it adds the process start, the sheet,
// the version facts, icons and first-seen dates of each row.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <string>

#include "items.h"
#include "startup_list.h"

namespace {
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kRunValues = 1000;
const int kRounds = 3;

std::string Folder()
{
    char path[PATH_SIZE];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

void SetRunValues(bool present)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return;
    std::string target = Folder() + "\\SentrelEx.exe";
    for (int i = 0; i < kRunValues; i++) {
        char name[32];
        snprintf(name, sizeof name, "Bench Entry %04d", i);
        std::string command = target + " /bench" + std::to_string(i);
        if (present)
            RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)command.c_str(), (DWORD)command.size() + 1);
        else
            RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// Starts the explorer and waits until its list shows at least rows rows.
// Returns the milliseconds taken, or -1.
double OpenExplorer(int rows)
{
    std::string folder = Folder(), program = folder + "\\SentrelEx.exe";
    std::string line = "\"" + program + "\" -START";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    double start = Now();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info))
        return -1;
    double result = -1;
    for (int tries = 0; tries < 6000; tries++) {
        HWND sheet = FindWindowA("#32770", "Sentrel Zenta");
        HWND page = sheet ? (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) : nullptr;
        HWND list = page ? GetDlgItem(page, 1000) : nullptr;
        if (list && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= rows) {
            result = Now() - start;
            break;
        }
        Sleep(5);
    }
    if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return result;
}
}  // namespace

int main()
{
    SetRunValues(true);
    int count = 0;
    double floor = 1e30, explorer = 1e30;
    for (int round = 0; round < kRounds; round++) {
        double start = Now();
        count = BuildStartupList(1);
        double took = Now() - start;
        if (took < floor) floor = took;
    }
    FreeItems();
    // The first start records every first-seen date; the rounds after it
    // are the usual case.
    OpenExplorer(count);
    for (int round = 0; round < kRounds; round++) {
        double took = OpenExplorer(count);
        if (took >= 0 && took < explorer) explorer = took;
    }
    SetRunValues(false);
    if (explorer > 1e29) {
        printf("explorer_startup: the explorer did not show %d rows\n", count);
        return 1;
    }
    printf("startup list (%d entries), floor BuildStartupList: %8.1f ms\n", count, floor);
    printf("explorer start to a filled Startup page:       %8.1f ms  (%.1fx the floor)\n", explorer,
           explorer / floor);
    return 0;
}
