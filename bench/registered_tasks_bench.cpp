// Task Scheduler 2.0 tasks over 500 task files planted in the task store as
// Windows writes them (UTF-16 XML): ListRegisteredTasks against the floor of
// the same system calls in the same run (the scheduler asked for its tasks
// of every folder, the store walked, every task file opened and read).
// Goal: at most 1.3 times the floor.
#include <windows.h>
#include <taskschd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_plants.h"
#include "items.h"
#include "registered_tasks.h"
#include "task_files.h"
#include "text.h"

namespace {
const int kTasks = 500;
const int kRounds = 9;

std::wstring Store()
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system) + L"\\Tasks\\Sentrel Bench";
}

void Plant(int make)
{
    std::wstring folder = Store();
    if (make) CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < kTasks; i++) {
        wchar_t name[64];
        swprintf(name, 64, L"\\Task %03d", i);
        std::wstring file = folder + name;
        if (!make) {
            DeleteFileW(file.c_str());
            continue;
        }
        wchar_t xml[2048];
        swprintf(xml, 2048,
                 L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.2\" "
                 L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n  <RegistrationInfo>\r\n"
                 L"    <Author>Bench</Author>\r\n  </RegistrationInfo>\r\n  <Triggers>\r\n    <LogonTrigger>\r\n"
                 L"      <Enabled>true</Enabled>\r\n    </LogonTrigger>\r\n  </Triggers>\r\n  <Settings>\r\n"
                 L"    <Enabled>true</Enabled>\r\n  </Settings>\r\n  <Actions Context=\"Author\">\r\n    <Exec>\r\n"
                 L"      <Command>C:\\Program Files\\Bench\\task%03d.exe</Command>\r\n"
                 L"      <Arguments>-run %d</Arguments>\r\n    </Exec>\r\n  </Actions>\r\n</Task>\r\n",
                 i, i);
        HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(handle, xml, (DWORD)(wcslen(xml) * sizeof(wchar_t)), &written, nullptr);
        CloseHandle(handle);
    }
    if (!make) RemoveDirectoryW(folder.c_str());
}

// The scheduler's own list of every folder, as the inventory asks for it.
void AskScheduler(ITaskFolder *folder)
{
    IRegisteredTaskCollection *tasks = nullptr;
    if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, &tasks)) && tasks) tasks->Release();
    ITaskFolderCollection *folders = nullptr;
    if (SUCCEEDED(folder->GetFolders(0, &folders)) && folders) {
        LONG count = 0;
        folders->get_Count(&count);
        for (LONG i = 1; i <= count; i++) {
            VARIANT index;
            VariantInit(&index);
            index.vt = VT_I4;
            index.lVal = i;
            ITaskFolder *child = nullptr;
            if (SUCCEEDED(folders->get_Item(index, &child)) && child) {
                AskScheduler(child);
                child->Release();
            }
        }
        folders->Release();
    }
}

int ReadAll(const std::wstring &folder, std::vector<char> &buffer)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
        std::wstring path = folder + L"\\" + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            count += ReadAll(path, buffer);
            continue;
        }
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD read = 0;
        if (file != INVALID_HANDLE_VALUE) {
            ReadFile(file, buffer.data(), (DWORD)buffer.size(), &read, nullptr);
            CloseHandle(file);
            count++;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

int Floor(void)
{
    ITaskService *service = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                   (void **)&service))) {
        VARIANT none;
        VariantInit(&none);
        ITaskFolder *root = nullptr;
        BSTR path = SysAllocString(L"\\");
        if (SUCCEEDED(service->Connect(none, none, none, none)) && SUCCEEDED(service->GetFolder(path, &root)) && root) {
            AskScheduler(root);
            root->Release();
        }
        SysFreeString(path);
        service->Release();
    }
    static std::vector<char> buffer(TASK_FILE_MAX);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return ReadAll(std::wstring(system) + L"\\Tasks", buffer);
}
}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bench::StartScheduler();
    Plant(1);
    Floor();
    FreeItems();
    ListRegisteredTasks();
    int read = 0, listed = 0;
    bench::RoundTimes times = bench::TimeRounds(
        kRounds, [&] { read = Floor(); }, [&] { listed = ListRegisteredTasks(); }, FreeItems);
    const std::vector<double> &floor = times.floor, &listing = times.measured;
    FreeItems();
    Plant(0);
    double bare = bench::Median(floor), mine = bench::Median(listing);
    printf("task files read: %d, tasks listed: %d\n", read, listed);
    printf("floor (scheduler asked, store walked, files read): median %.1f ms (%.1f-%.1f)\n", bare,
           *std::min_element(floor.begin(), floor.end()), *std::max_element(floor.begin(), floor.end()));
    printf("ListRegisteredTasks: median %.1f ms (%.1f-%.1f)\n", mine,
           *std::min_element(listing.begin(), listing.end()), *std::max_element(listing.begin(), listing.end()));
    double ratio = bare > 0 ? mine / bare : 0;
    printf("ratio %.2f (goal at most 1.30): %s\n", ratio, ratio <= 1.3 ? "met" : "MISSED");
    return 0;
}
