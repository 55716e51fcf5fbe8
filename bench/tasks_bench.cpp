// Scheduled tasks over 100 jobs: EnumerateTasks against the bare COM walk
// that any listing has to do (enumerate, activate, read program and both run
// times), measured in the same run; and how long one rejection
// (DeleteScheduledTask) and one NextRunTimeOf hold the calling thread while
// the scheduler already runs.
#include <windows.h>
#include <mstask.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "bench_plants.h"
#include "inventory.h"
#include "items.h"
#include "tasks.h"

namespace {
const int kJobs = 100;
const int kRounds = 9;

void JobName(int i, wchar_t *out)
{
    swprintf(out, 64, L"Bench Job %03d", i);
}

// The floor: the scheduler's own walk with the reads a listing needs.
int BareWalk(void)
{
    ITaskScheduler *scheduler = nullptr;
    if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                (void **)&scheduler)))
        return -1;
    IEnumWorkItems *items = nullptr;
    int count = 0;
    if (SUCCEEDED(scheduler->Enum(&items))) {
        for (;;) {
            LPWSTR *names = nullptr;
            ULONG fetched = 0;
            HRESULT result = items->Next(5, &names, &fetched);
            if (FAILED(result) || !names) break;
            for (ULONG i = 0; i < fetched; i++) {
                wchar_t name[300];
                wcsncpy(name, names[i], 299);
                name[299] = 0;
                size_t length = wcslen(name);
                if (length > 4) name[length - 4] = 0;
                ITask *task = nullptr;
                if (SUCCEEDED(scheduler->Activate(name, IID_ITask, (IUnknown **)&task))) {
                    LPWSTR application = nullptr;
                    SYSTEMTIME last, next;
                    task->GetApplicationName(&application);
                    task->GetMostRecentRunTime(&last);
                    task->GetNextRunTime(&next);
                    CoTaskMemFree(application);
                    task->Release();
                    count++;
                }
                CoTaskMemFree(names[i]);
            }
            CoTaskMemFree(names);
            if (result != S_OK) break;
        }
        items->Release();
    }
    scheduler->Release();
    return count;
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!bench::StartScheduler()) {
        printf("the Task Scheduler service could not be started\n");
        return 1;
    }
    ITaskScheduler *scheduler = nullptr;
    if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                (void **)&scheduler))) {
        printf("no Task Scheduler\n");
        return 1;
    }
    for (int i = 0; i < kJobs; i++) {
        wchar_t name[64];
        JobName(i, name);
        ITask *task = nullptr;
        if (FAILED(scheduler->NewWorkItem(name, CLSID_CTask, IID_ITask, (IUnknown **)&task))) continue;
        task->SetApplicationName(L"C:\\windows\\notepad.exe");
        IPersistFile *file = nullptr;
        if (SUCCEEDED(task->QueryInterface(IID_IPersistFile, (void **)&file))) {
            file->Save(nullptr, TRUE);
            file->Release();
        }
        task->Release();
    }
    // Both walks once before measuring: the library and the files are warm.
    BareWalk();
    EnumerateTasks();

    int bareCount = 0, listed = 0;
    bench::RoundTimes walks =
        bench::TimeRounds(kRounds, [&] { bareCount = BareWalk(); }, [&] { listed = EnumerateTasks(); });
    FreeItems();

    std::vector<double> lookups, deletions;
    char text[64];
    for (int i = 0; i < kRounds; i++) {
        char name[64];
        snprintf(name, sizeof name, "Bench Job %03d.job", 10 + i * 11);
        double start = bench::WallMs();
        NextRunTimeOf(name, text, sizeof text);
        lookups.push_back(bench::WallMs() - start);
        start = bench::WallMs();
        HRESULT deleted = DeleteScheduledTask(name);
        deletions.push_back(bench::WallMs() - start);
        if (deleted != S_OK) printf("deleting %s failed: %08lx\n", name, (unsigned long)deleted);
    }

    double floor = bench::Median(walks.floor), ours = bench::Median(walks.measured);
    printf("bare COM walk of %d jobs         %8.2f ms (median of %d)\n", bareCount, floor, kRounds);
    printf("EnumerateTasks, %d jobs          %8.2f ms  ratio %.2f (goal at most 1.30)\n", listed, ours,
           ours / floor);
    printf("NextRunTimeOf, scheduler running %8.2f ms median, %.2f ms worst (goal under 100 ms)\n",
           bench::Median(lookups), *std::max_element(lookups.begin(), lookups.end()));
    printf("DeleteScheduledTask, running     %8.2f ms median, %.2f ms worst (goal under 100 ms)\n",
           bench::Median(deletions), *std::max_element(deletions.begin(), deletions.end()));

    for (int i = 0; i < kJobs; i++) {
        wchar_t name[64];
        JobName(i, name);
        scheduler->Delete(name);
    }
    scheduler->Release();
    CoUninitialize();
    return 0;
}
