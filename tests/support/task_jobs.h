// Real jobs of the Task Scheduler for the tests: created through its COM
// interface (NewWorkItem and IPersistFile::Save), as a program would, and
// removed again at the end.
#pragma once
#include <windows.h>
#include <mstask.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace task_test {

inline DWORD ServiceState()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return 0;
    SC_HANDLE service = OpenServiceA(manager, "Schedule", SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (service) QueryServiceStatus(service, &status);
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status.dwCurrentState;
}

// Starts or stops the "Schedule" service and waits until it got there.
// lastError keeps the service manager's answer of the last attempt.
inline DWORD &LastServiceError()
{
    static DWORD error;
    return error;
}
inline bool SetScheduler(bool running)
{
    DWORD wanted = running ? SERVICE_RUNNING : SERVICE_STOPPED;
    return test::WaitUntil(
        [&] {
            DWORD state = ServiceState();
            if (state == wanted) return true;
            if (state != SERVICE_RUNNING && state != SERVICE_STOPPED) return false;   // on its way
            SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
            if (!manager) return false;
            SC_HANDLE service = OpenServiceA(manager, "Schedule", SERVICE_START | SERVICE_STOP);
            SERVICE_STATUS status;
            BOOL done = service && (running ? StartServiceA(service, 0, nullptr)
                                            : ControlService(service, SERVICE_CONTROL_STOP, &status));
            LastServiceError() = done ? 0 : GetLastError();
            if (service) CloseServiceHandle(service);
            CloseServiceHandle(manager);
            Sleep(50);
            return ServiceState() == wanted;
        },
        20000);
}

// The scheduler object of this thread (COM initialised by the caller).
class Scheduler {
public:
    Scheduler()
    {
        SetScheduler(true);
        status_ = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                   (void **)&scheduler_);
    }
    ~Scheduler()
    {
        if (scheduler_) scheduler_->Release();
    }
    Scheduler(const Scheduler &) = delete;
    Scheduler &operator=(const Scheduler &) = delete;
    ITaskScheduler *get() const { return scheduler_; }
    HRESULT status() const { return status_; }

    // A job running application; with once, a single run at that time.
    HRESULT Create(const std::wstring &name, const std::wstring &application, const SYSTEMTIME *once = nullptr,
                   const wchar_t *parameters = nullptr)
    {
        if (!scheduler_) return E_POINTER;
        ITask *task = nullptr;
        HRESULT result = scheduler_->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask, (IUnknown **)&task);
        if (FAILED(result)) return result;
        task->SetApplicationName(application.c_str());
        if (parameters) task->SetParameters(parameters);
        if (once) {
            WORD index;
            ITaskTrigger *trigger = nullptr;
            if (SUCCEEDED(task->CreateTrigger(&index, &trigger))) {
                TASK_TRIGGER t = {};
                t.cbTriggerSize = sizeof t;
                t.wBeginYear = once->wYear;
                t.wBeginMonth = once->wMonth;
                t.wBeginDay = once->wDay;
                t.wStartHour = once->wHour;
                t.wStartMinute = once->wMinute;
                t.TriggerType = TASK_TIME_TRIGGER_ONCE;
                trigger->SetTrigger(&t);
                trigger->Release();
            }
        }
        IPersistFile *file = nullptr;
        result = task->QueryInterface(IID_IPersistFile, (void **)&file);
        if (SUCCEEDED(result)) {
            result = file->Save(nullptr, TRUE);
            file->Release();
        }
        task->Release();
        if (SUCCEEDED(result)) created_.push_back(name);
        return result;
    }
    // A job whose name this scheduler would not take (Wine's refuses dots):
    // a job saved under another name, then renamed in the tasks folder.
    HRESULT CreateRenamed(const std::wstring &name, const std::wstring &application)
    {
        const std::wstring temporary = L"Sentrel Test Renamed Job";
        HRESULT result = Create(temporary, application);
        if (FAILED(result)) return result;
        created_.pop_back();
        // The scheduler may hold the job file it has just saved for a moment.
        BOOL moved = FALSE;
        for (int attempt = 0; attempt < 100 && !moved; attempt++) {
            moved = MoveFileW(FilePath(temporary).c_str(), FilePath(name).c_str());
            if (!moved && GetLastError() != ERROR_SHARING_VIOLATION) break;
            if (!moved) Sleep(20);
        }
        if (!moved) return HRESULT_FROM_WIN32(GetLastError());
        files_.push_back(FilePath(name));
        return S_OK;
    }
    // Deletes a job; a job file just saved may refuse for a moment.
    HRESULT Delete(const std::wstring &name)
    {
        if (!scheduler_) return E_POINTER;
        HRESULT result = E_FAIL;
        for (int attempt = 0; attempt < 50; attempt++) {
            result = scheduler_->Delete(name.c_str());
            if (result != HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)) break;
            Sleep(20);
        }
        return result;
    }
    // Removes every job this object created that still exists.
    void DeleteCreated()
    {
        for (const std::wstring &name : created_)
            if (Exists(name)) Delete(name);
        created_.clear();
        for (const std::wstring &file : files_) DeleteFileW(file.c_str());
        files_.clear();
    }
    static std::wstring FilePath(const std::wstring &name)
    {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        return std::wstring(windows) + L"\\Tasks\\" + name + L".job";
    }
    static bool Exists(const std::wstring &name)
    {
        return GetFileAttributesW(FilePath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // The names the scheduler lists, as it lists them.
    std::vector<std::wstring> Names()
    {
        std::vector<std::wstring> names;
        IEnumWorkItems *items = nullptr;
        if (!scheduler_ || FAILED(scheduler_->Enum(&items)) || !items) return names;
        for (;;) {
            LPWSTR *batch = nullptr;
            ULONG fetched = 0;
            HRESULT result = items->Next(5, &batch, &fetched);
            if (FAILED(result) || !batch) break;
            for (ULONG i = 0; i < fetched; i++) {
                names.push_back(batch[i]);
                CoTaskMemFree(batch[i]);
            }
            CoTaskMemFree(batch);
            if (result != S_OK) break;
        }
        items->Release();
        return names;
    }
    // Removes every job there is (a clean start).
    void DeleteAll()
    {
        for (std::wstring name : Names()) {
            if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".job") == 0)
                name.resize(name.size() - 4);
            Delete(name);
        }
    }

private:
    ITaskScheduler *scheduler_ = nullptr;
    HRESULT status_ = E_FAIL;
    std::vector<std::wstring> created_, files_;
};

inline SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    return t;
}

inline std::wstring Wide(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

}  // namespace task_test
