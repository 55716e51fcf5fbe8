// What the benchmarks plant in their prefix: Run values, services and
// scheduled jobs by the hundred (their clock and medians: bench_support.h).
#pragma once
#include <windows.h>
#include <mstask.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_support.h"

namespace bench {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Programs of the prefix with version facts, so that reads are real.
inline std::vector<std::string> SystemPrograms()
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::vector<std::string> files;
    for (const char *name : {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
                             "comctl32.dll", "msvcrt.dll", "ws2_32.dll", "wininet.dll"})
        files.push_back(std::string(system) + "\\" + name);
    return files;
}

inline std::string RunName(const char *stem, int i) { return std::string(stem) + " " + std::to_string(i); }

// count HKCU Run values named "<stem> <i>", each starting one of programs.
inline void PlantRunValues(const char *stem, int count, const std::vector<std::string> &programs)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return;
    for (int i = 0; i < count; i++) {
        const std::string &target = programs[i % programs.size()];
        RegSetValueExA(key, RunName(stem, i).c_str(), 0, REG_SZ, (const BYTE *)target.c_str(),
                       (DWORD)target.size() + 1);
    }
    RegCloseKey(key);
}

inline void RemoveRunValues(const char *stem, int count)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &key)) return;
    for (int i = 0; i < count; i++) RegDeleteValueA(key, RunName(stem, i).c_str());
    RegCloseKey(key);
}

// count services "<stem>NNN" that would start program.
inline void PlantServices(const char *stem, int count, const std::string &program)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    for (int i = 0; i < count; i++) {
        std::string display = std::string(stem) + " service " + std::to_string(i);
        SC_HANDLE service = CreateServiceA(manager, RunName(stem, i).c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                           ("\"" + program + "\" -bench").c_str(), nullptr, nullptr, nullptr,
                                           nullptr, nullptr);
        if (service) CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

inline void RemoveServices(const char *stem, int count)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    for (int i = 0; i < count; i++) {
        SC_HANDLE service = OpenServiceA(manager, RunName(stem, i).c_str(), DELETE);
        if (!service) continue;
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

// The Task Scheduler service running. 1 when it runs.
inline int StartScheduler(void)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return 0;
    SC_HANDLE service = OpenServiceA(manager, "Schedule", SERVICE_START | SERVICE_QUERY_STATUS);
    if (service) StartServiceA(service, 0, nullptr);
    SERVICE_STATUS status = {};
    for (int i = 0; i < 500 && service; i++) {
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_RUNNING) break;
        Sleep(10);
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status.dwCurrentState == SERVICE_RUNNING;
}

inline std::wstring JobName(const char *stem, int i)
{
    wchar_t name[96];
    swprintf(name, 96, L"%hs Job %03d", stem, i);
    return name;
}

// count jobs "<stem> Job NNN" starting program. 1 when the scheduler took them.
inline int PlantJobs(const char *stem, int count, const wchar_t *program)
{
    ITaskScheduler *scheduler = nullptr;
    if (!StartScheduler() || FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                                     IID_ITaskScheduler, (void **)&scheduler)))
        return 0;
    for (int i = 0; i < count; i++) {
        ITask *task = nullptr;
        if (FAILED(scheduler->NewWorkItem(JobName(stem, i).c_str(), CLSID_CTask, IID_ITask, (IUnknown **)&task)))
            continue;
        task->SetApplicationName(program);
        IPersistFile *file = nullptr;
        if (SUCCEEDED(task->QueryInterface(IID_IPersistFile, (void **)&file))) {
            file->Save(nullptr, TRUE);
            file->Release();
        }
        task->Release();
    }
    scheduler->Release();
    return 1;
}

inline void RemoveJobs(const char *stem, int count)
{
    ITaskScheduler *scheduler = nullptr;
    if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                (void **)&scheduler)))
        return;
    for (int i = 0; i < count; i++) scheduler->Delete(JobName(stem, i).c_str());
    scheduler->Release();
}

}  // namespace bench
