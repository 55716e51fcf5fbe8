// The monitor's cost while idle and while patrolling: CPU time per idle
// tick, per group A pass and per group B pass over 100 passes, and the
// working set, which must not grow from pass 10 to pass 100. The baseline,
// measured in the same run, is one bare BuildStartupList: the least a
// startup check has to do.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "bench_support.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "patrol.h"
#include "startup_list.h"
#include "store_init.h"

namespace {
DWORD fakeNow = 1000000;
DWORD FakeClock(void) { return fakeNow; }


SIZE_T WorkingSet(SIZE_T *peak)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    if (peak) *peak = counters.PeakWorkingSetSize;
    return counters.WorkingSetSize;
}
}  // namespace

int main()
{
    SIZE_T atStart = WorkingSet(nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    mainWindow = CreateWindowA("STATIC", "bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    InitStore();
    LoadOptions();
    settings.hideWuffin = 1;
    // Every category on every visit of its group: the busiest patrol.
    countdowns.start = countdowns.ieHelpers = countdowns.hostFile = countdowns.startPage = 1;
    settings.start = settings.ieHelpers = settings.hostFile = settings.startPage = settings.fileType = 1;
    settings.services = settings.tasks = 1;
    patrolClock = FakeClock;
    lastVerifyTick = fakeNow;

    double baselineCpu = bench::CpuMs();
    double baselineWall = bench::WallMs();
    for (int i = 0; i < 10; i++) BuildStartupList(0);
    FreeItems();
    baselineCpu = (bench::CpuMs() - baselineCpu) / 10;
    baselineWall = (bench::WallMs() - baselineWall) / 10;

    double idleCpu = 0, passCpu[2] = {0, 0}, passWall[2] = {0, 0};
    int idleTicks = 0, passes[2] = {0, 0};
    SIZE_T atTen = 0, atHundred = 0, peak = 0;
    while (passes[0] + passes[1] < 100) {
        fakeNow += 2000;
        int due = tickCounter > 15;
        int group = groupToggle;
        double cpu = bench::CpuMs(), wall = bench::WallMs();
        OnPatrolTick();
        cpu = bench::CpuMs() - cpu;
        wall = bench::WallMs() - wall;
        if (!due) {
            idleCpu += cpu;
            idleTicks++;
            continue;
        }
        passCpu[group] += cpu;
        passWall[group] += wall;
        passes[group]++;
        if (passes[0] + passes[1] == 10) atTen = WorkingSet(nullptr);
    }
    atHundred = WorkingSet(&peak);

    printf("baseline BuildStartupList  %8.3f ms CPU  %8.3f ms wall\n", baselineCpu, baselineWall);
    printf("idle tick                  %8.4f ms CPU  (%d ticks; goal under 1 ms)\n", idleCpu / idleTicks, idleTicks);
    printf("group A pass               %8.3f ms CPU  %8.3f ms wall  ratio to baseline %5.2f (%d passes)\n",
           passCpu[0] / passes[0], passWall[0] / passes[0], passWall[0] / passes[0] / baselineWall, passes[0]);
    printf("group B pass               %8.3f ms CPU  %8.3f ms wall  (%d passes; goal under 250 ms)\n",
           passCpu[1] / passes[1], passWall[1] / passes[1], passes[1]);
    printf("working set                %8.1f MB at pass 10, %.1f MB at pass 100, peak %.1f MB (goal under 8 MB, no growth)\n",
           atTen / 1048576.0, atHundred / 1048576.0, peak / 1048576.0);
    printf("  of which the bare process %7.1f MB before any work (the platform's own share)\n",
           atStart / 1048576.0);
    DestroyWindow(mainWindow);
    return 0;
}
