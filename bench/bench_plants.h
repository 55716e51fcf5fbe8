// What the benchmarks plant in their prefix: Run values, services,
// scheduled jobs, IE helpers, IE cookie files and hidden files by the
// hundred (their clock and medians: bench_support.h).
#pragma once
#include <windows.h>
#include <mstask.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_support.h"
#include "ie_helpers.h"

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

// Distinct program files with version information: the system's DLLs
// (repeated when there are fewer than count).
inline std::vector<std::string> SystemDlls(size_t count)
{
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(system) + "\\*.dll").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do files.push_back(std::string(system) + "\\" + found.cFileName);
    while (files.size() < count && FindNextFileA(find, &found));
    FindClose(find);
    while (!files.empty() && files.size() < count) files.push_back(files[files.size() % 50]);
    return files;
}

inline std::string HelperClassId(int n)
{
    char text[64];
    snprintf(text, sizeof text, "{B3AC4000-0000-4000-8000-%012d}", n);
    return text;
}

// objects browser helper objects, toolbars toolbars (each class's server
// one of files, in order) and buttons toolbar buttons (the next files).
inline void PlantIEHelpers(int objects, int toolbars, int buttons, const std::vector<std::string> &files)
{
    for (int i = 0; i < objects + toolbars; i++) {
        std::string id = HelperClassId(i);
        SetRegString(HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InprocServer32", "", files[i % files.size()]);
        if (i < objects)
            SetRegString(HKEY_LOCAL_MACHINE, std::string(BHO_KEY) + "\\" + id, "NoExplorer", "1");
        else
            SetRegString(HKEY_LOCAL_MACHINE, IE_TOOLBAR_KEY, id.c_str(), "");
    }
    for (int i = 0; i < buttons; i++) {
        std::string key = std::string(IE_EXTENSIONS_KEY) + "\\" + HelperClassId(1000 + i);
        const std::string &file = files[(objects + toolbars + i) % files.size()];
        SetRegString(HKEY_LOCAL_MACHINE, key, "ButtonText", "Bench button " + std::to_string(i));
        SetRegString(HKEY_LOCAL_MACHINE, key, "Exec", file);
        SetRegString(HKEY_LOCAL_MACHINE, key, "HotIcon", file + ",1");
    }
}

// Removes what PlantIEHelpers wrote and nothing else.
inline void RemoveIEHelpers(int objects, int toolbars, int buttons)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, IE_TOOLBAR_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        for (int i = objects; i < objects + toolbars; i++) RegDeleteValueA(key, HelperClassId(i).c_str());
        RegCloseKey(key);
    }
    for (int i = 0; i < objects; i++)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(BHO_KEY) + "\\" + HelperClassId(i)).c_str());
    for (int i = 0; i < buttons; i++)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(IE_EXTENSIONS_KEY) + "\\" + HelperClassId(1000 + i)).c_str());
    for (int i = 0; i < objects + toolbars; i++) RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + HelperClassId(i)).c_str());
}

// count IE cookie files "user@site<i>.example[1].txt" and an index.dat in
// folder (created). Removed again by RemoveCookieFiles.
inline void PlantCookieFiles(const std::string &folder, int count)
{
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteWholeFile(folder + "\\index.dat", "index");
    for (int i = 0; i < count; i++)
        WriteWholeFile(folder + "\\user@site" + std::to_string(i) + ".example[1].txt",
                       "id\n" + std::to_string(i) + "\nsite.example/\n");
}

inline void RemoveCookieFiles(const std::string &folder, int count)
{
    for (int i = 0; i < count; i++)
        DeleteFileA((folder + "\\user@site" + std::to_string(i) + ".example[1].txt").c_str());
    DeleteFileA((folder + "\\index.dat").c_str());
    RemoveDirectoryA(folder.c_str());
}

// count hidden files in folders of 1,000 "<stem>-NN" in the temporary
// folder (which the hidden-files scan walks with its subfolders).
inline void HiddenFiles(const char *stem, int count, int make)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    for (int f = 0; f * 1000 < count; f++) {
        std::string folder = std::string(temp) + stem + "-" + std::to_string(f);
        if (make) CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = f * 1000; i < count && i < (f + 1) * 1000; i++) {
            std::string path = folder + "\\hidden" + std::to_string(i) + ".dat";
            if (make) {
                HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_HIDDEN, nullptr);
                DWORD written;
                WriteFile(file, "data", 4, &written, nullptr);
                CloseHandle(file);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        }
        if (!make) RemoveDirectoryA(folder.c_str());
    }
}

}  // namespace bench
