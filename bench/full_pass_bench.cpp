// The monitor's full pass over a busy machine: a prefix planted with 1,000
// startup entries (HKCU Run values), 300 services, 300 scheduled jobs, 500
// IE helpers, 5,000 IE cookie files and 2,000 hidden files, every one of
// them approved (the store made anew by a first run, the cookies kept), so
// that a pass finds nothing to ask about. A full pass is one pass of each
// patrol group with every category due (group A: startup programs, IE
// helpers, hidden files, system files, browser pages, file types; group B:
// scheduled tasks, services, the cookie filter and the new-cookie check),
// run through the real tick handler as the monitor runs it (its string
// table, its options).
// Reported: CPU time (GetProcessTimes, user + kernel) and wall time of a
// full pass, median and spread over the passes (goal: under 1 s of CPU);
// the working set (GetProcessMemoryInfo) after pass 10 and after pass 100
// (goal: flat, growth under 1 MB). Everything planted is removed again, and
// Sentrel's own keys are put back as they were.
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_plants.h"
#include "cookies.h"
#include "hidden_files.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "patrol.h"
#include "store.h"
#include "store_init.h"

namespace {
const int kRunValues = 1000, kServices = 300, kJobs = 300, kCookies = 5000, kHidden = 2000;
const int kObjects = 300, kToolbars = 100, kButtons = 100;
const int kFullPasses = 100;
const char kStem[] = "FullPass";
const char kCookieFolder[] = "C:\\sentrel-full-pass-cookies";
const char kSavedSuffix[] = " (saved by full_pass_bench)";

DWORD fakeNow = 1000000;
DWORD FakeClock(void) { return fakeNow; }


SIZE_T WorkingSet(void)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// Sentrel's own keys are moved aside (a first run must make them anew) and
// put back at the end.
const struct {
    HKEY root;
    const char *path;
} kOwnKeys[] = {{HKEY_CURRENT_USER, STORE_COMPANY}, {HKEY_LOCAL_MACHINE, STORE_COMPANY}};

void MoveKey(HKEY root, const std::string &from, const std::string &to)
{
    HKEY source, target;
    if (RegOpenKeyExA(root, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS) return;
    if (RegCreateKeyExA(root, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) == ERROR_SUCCESS) {
        RegCopyTreeA(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    RegDeleteTreeA(root, from.c_str());
    RegDeleteKeyA(root, from.c_str());
}

int HadMonitorRun;   // the machine's Run key held the monitor's own value before

void Plant(void)
{
    for (const auto &own : kOwnKeys) MoveKey(own.root, own.path, std::string(own.path) + kSavedSuffix);
    HKEY run;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, bench::kRunKey, 0, KEY_QUERY_VALUE, &run) == ERROR_SUCCESS) {
        HadMonitorRun = RegQueryValueExA(run, "Sentrel", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(run);
    }
    std::vector<std::string> programs = bench::SystemPrograms();
    bench::PlantRunValues(kStem, kRunValues, programs);
    bench::PlantServices(kStem, kServices, programs[0]);
    WCHAR notepad[MAX_PATH];
    GetSystemDirectoryW(notepad, MAX_PATH);
    bench::PlantJobs(kStem, kJobs, (std::wstring(notepad) + L"\\notepad.exe").c_str());
    bench::PlantIEHelpers(kObjects, kToolbars, kButtons, bench::SystemDlls(kObjects + kToolbars + kButtons));
    bench::PlantCookieFiles(kCookieFolder, kCookies);
    bench::HiddenFiles(kStem, kHidden, 1);
}

void Unplant(void)
{
    bench::HiddenFiles(kStem, kHidden, 0);
    bench::RemoveCookieFiles(kCookieFolder, kCookies);
    bench::RemoveIEHelpers(kObjects, kToolbars, kButtons);
    bench::RemoveJobs(kStem, kJobs);
    bench::RemoveServices(kStem, kServices);
    bench::RemoveRunValues(kStem, kRunValues);
    // The first run registered the monitor to start with Windows.
    HKEY run;
    if (!HadMonitorRun && RegOpenKeyExA(HKEY_LOCAL_MACHINE, bench::kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
        RegDeleteValueA(run, "Sentrel");
        RegCloseKey(run);
    }
    for (const auto &own : kOwnKeys) {
        RegDeleteTreeA(own.root, own.path);
        RegDeleteKeyA(own.root, own.path);
        MoveKey(own.root, std::string(own.path) + kSavedSuffix, own.path);
    }
}

// The first run's baselines, and what a user approves by hand: the
// cookie folder chosen, its cookies kept, a few filter texts that match
// none of them.
void Approve(void)
{
    StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT, "IECookieFolder", kCookieFolder);
    InitStore();
    for (int i = 0; i < kCookies; i++)
        SetKeptCookie(("user@site" + std::to_string(i) + ".example[1].txt").c_str(), 1);
    for (int i = 0; i < 20; i++) AddCookieFilter(("tracker" + std::to_string(i) + ".invalid").c_str());
}

// Every category on every visit of its group.
void EveryCategoryDue(void)
{
    settings.hideWuffin = 1;
    settings.hideAlerts = 0;
    settings.start = settings.ieHelpers = settings.hidden = settings.hostFile = settings.startPage = 1;
    settings.fileType = settings.tasks = settings.services = settings.nuts = settings.cookies = 1;
    countdowns.start = countdowns.ieHelpers = countdowns.hidden = countdowns.hostFile = countdowns.startPage = 1;
    countdowns.fileType = countdowns.tasks = countdowns.services = countdowns.nuts = countdowns.cookies = 1;
}

// Runs ticks until one pass (of the group due) ran. Returns its CPU and
// wall milliseconds.
void OnePass(double *cpu, double *wall)
{
    *cpu = *wall = 0;
    for (;;) {
        fakeNow += 2000;
        int due = tickCounter > 15;
        double startCpu = bench::CpuMs(), startWall = bench::WallMs();
        OnPatrolTick();
        if (!due) continue;
        *cpu = bench::CpuMs() - startCpu;
        *wall = bench::WallMs() - startWall;
        return;
    }
}

// A pass that waits for an answer means something was not approved: the
// benchmark says so and ends, rather than wait for ever.
DWORD WINAPI Watchdog(void *)
{
    for (;;) {
        Sleep(2000);
        HWND dialog = FindWindowA("#32770", nullptr);
        DWORD owner = 0;
        if (dialog) GetWindowThreadProcessId(dialog, &owner);
        if (dialog && owner == GetCurrentProcessId()) {
            char title[256] = "";
            GetWindowTextA(dialog, title, sizeof title);
            printf("a pass is waiting for an answer (\"%s\"): not everything was approved\n", title);
            fflush(stdout);
            Unplant();
            ExitProcess(2);
        }
    }
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    mainWindow = CreateWindowA("STATIC", "bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    Plant();
    Approve();
    LoadOptions();
    EveryCategoryDue();
    patrolClock = FakeClock;
    lastVerifyTick = fakeNow;
    CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);

    std::vector<double> cpu, wall;
    SIZE_T atTen = 0, atHundred = 0;
    for (int pass = 1; pass <= kFullPasses; pass++) {
        double cpuA, wallA, cpuB, wallB;
        OnePass(&cpuA, &wallA);
        EveryCategoryDue();
        OnePass(&cpuB, &wallB);
        EveryCategoryDue();
        cpu.push_back(cpuA + cpuB);
        wall.push_back(wallA + wallB);
        if (pass == 10) atTen = WorkingSet();
    }
    atHundred = WorkingSet();

    printf("full pass (group A and group B, every category due), %d passes, ms:\n", kFullPasses);
    bench::PrintSpread("CPU (user + kernel)", cpu);
    bench::PrintSpread("wall", wall);
    printf("goal under 1000 ms CPU: %s\n", bench::Median(cpu) < 1000 ? "met" : "NOT MET");
    double growth = ((double)atHundred - (double)atTen) / 1048576.0;
    printf("working set after pass 10 %.1f MB, after pass %d %.1f MB: growth %.2f MB (goal under 1 MB): %s\n",
           atTen / 1048576.0, kFullPasses, atHundred / 1048576.0, growth, growth < 1 ? "met" : "NOT MET");
    FreeItems();
    FreeCookieFilter();
    Unplant();
    DestroyWindow(mainWindow);
    CoUninitialize();
    return 0;
}
