#include "bench_support.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

double WallMs(void)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double ElapsedMs(LARGE_INTEGER start, LARGE_INTEGER end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double TimeBest(double *best, const std::function<void()> &work)
{
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    work();
    QueryPerformanceCounter(&b);
    double took = ElapsedMs(a, b);
    if (took < *best) *best = took;
    return took;
}

RoundTimes TimeRounds(int rounds, const std::function<void()> &floor, const std::function<void()> &measured,
                      const std::function<void()> &between)
{
    RoundTimes t;
    for (int round = 0; round < rounds; round++) {
        double start = WallMs();
        floor();
        t.floor.push_back(WallMs() - start);
        if (between) between();
        start = WallMs();
        measured();
        t.measured.push_back(WallMs() - start);
    }
    return t;
}

MeanTimes AlternateMeans(int rounds, const std::function<void()> &floor, const std::function<void()> &measured)
{
    floor();
    measured();
    MeanTimes t = {0, 0};
    for (int round = 0; round < rounds; round++) {
        double start = WallMs();
        floor();
        t.floorMs += WallMs() - start;
        start = WallMs();
        measured();
        t.measuredMs += WallMs() - start;
    }
    t.floorMs /= rounds;
    t.measuredMs /= rounds;
    return t;
}

void Spread(const std::vector<double> &values, double *low, double *high)
{
    *low = values.empty() ? 0 : 1e30;
    *high = 0;
    for (double v : values) *low = v < *low ? v : *low, *high = v > *high ? v : *high;
}

void PrintRatioRounds(const char *measuredName, const std::vector<double> &floor,
                      const std::vector<double> &measured, const std::vector<double> &ratio, double goal)
{
    double fl, fh, ml, mh, rl, rh;
    Spread(floor, &fl, &fh);
    Spread(measured, &ml, &mh);
    Spread(ratio, &rl, &rh);
    printf("ms: floor %.2f (%.2f-%.2f)  %s %.2f (%.2f-%.2f)\n  ratio median %.2f (%.2f-%.2f): ", Median(floor), fl, fh,
           measuredName, Median(measured), ml, mh, Median(ratio), rl, rh);
    PrintGoal(Median(ratio), goal);
}

void PrintSpread(const char *what, const std::vector<double> &values)
{
    double low, high;
    Spread(values, &low, &high);
    printf("%-34s median %8.2f  spread %8.2f - %8.2f\n", what, Median(values), low, high);
}

double CpuMs(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
    return (double)(k.QuadPart + u.QuadPart) / 10000.0;
}

void PrintGoal(double ratio, double goal)
{
    printf("ratio %.2f (goal at most %.2f): %s\n", ratio, goal, ratio <= goal ? "met" : "NOT MET");
}

BestTimes BestOfRounds(int rounds, const std::function<int()> &floor, const std::function<int()> &listing,
                       std::vector<double> *ratios)
{
    BestTimes t;
    for (int round = 0; round < rounds; round++) {
        double floorMs = TimeBest(&t.floorMs, [&] { t.floorCount = floor(); });
        double listMs = TimeBest(&t.listMs, [&] { t.listCount = listing(); });
        if (ratios) ratios->push_back(listMs / floorMs);
    }
    return t;
}

void PrintBestTimes(const char *what, int width, const char *listName, const BestTimes &t)
{
    printf("%-*s floor %7.1f ms (%4d)  %s %7.1f ms (%4d)  ratio %5.2f\n", width, what, t.floorMs, t.floorCount,
           listName, t.listMs, t.listCount, t.listMs / t.floorMs);
}

std::string ProgramFolder(void)
{
    char path[2048];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

double OpenExplorerPage(const char *pageSwitch, int rows, int control)
{
    std::string folder = ProgramFolder(), program = folder + "\\SentrelEx.exe";
    std::string line = "\"" + program + "\" " + pageSwitch;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    double start = WallMs();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        return -1;
    double result = -1;
    for (int tries = 0; tries < 6000; tries++) {
        HWND sheet = FindWindowA("#32770", "Sentrel Zenta");
        HWND page = sheet ? (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) : nullptr;
        HWND list = page ? GetDlgItem(page, 1000) : nullptr;
        if (list && (!control || GetDlgItem(page, control)) && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= rows) {
            result = WallMs() - start;
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

void SetRegString(HKEY root, const std::string &path, const char *name, const std::string &text)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

void WriteWholeFile(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
}

char *ReadWholeFile(const std::string &path, DWORD *size)
{
    *size = 0;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD length = GetFileSize(file, nullptr);
    char *data = (char *)malloc(length + 1);
    if (data) ReadFile(file, data, length, size, nullptr);
    CloseHandle(file);
    return data;
}

}  // namespace bench
