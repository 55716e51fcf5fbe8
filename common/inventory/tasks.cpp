// Scheduled tasks through the Task Scheduler: see tasks.h.
#include "tasks.h"

#include <windows.h>
#include <mstask.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "folder_walk.h"
#include "history.h"
#include "inventory.h"
#include "items.h"
#include "registered_tasks.h"
#include "platform.h"
#include "signatures.h"
#include "text.h"
#include "vault.h"
#include "unicode_text.h"
#include "trace.h"
#include "ui_strings.h"
#include "watch_places.h"

namespace {

// Set while the scheduler runs because this program started it; the
// operation that started it stops it again when it ends.
int schedulerStarted;

TaskSchedulerSource schedulerSource;

// The 9x scheduler agent announces itself by this window.
const char kAgentClass[] = "SAGEWINDOWCLASS";
const char kAgentTitle[] = "SYSTEM AGENT COM WINDOW";
const char kServiceName[] = "Schedule";

// How long an operation waits for a scheduler it has just started.
const DWORD kStartWait = 1000;
// A job file the scheduler itself still holds refuses deletion for a moment.
const int kDeleteTries = 10;
const DWORD kDeleteRetryWait = 20;

HWND AgentWindow(void)
{
    return FindWindowA(kAgentClass, kAgentTitle);
}

void RepaintTaskbar(void)
{
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (tray) InvalidateRect(tray, nullptr, TRUE);
}

// The service manager and the "Schedule" service, opened for status
// queries once: the patrol asks at every pass, and each opening is a round
// trip to the service manager.
SC_HANDLE statusManager, statusService;

void CloseStatusHandles(void)
{
    if (statusService) CloseServiceHandle(statusService);
    if (statusManager) CloseServiceHandle(statusManager);
    statusService = statusManager = nullptr;
}

// The state of the "Schedule" service (SERVICE_RUNNING ...), 0 with the
// error in *error when it cannot be read.
DWORD ServiceState(DWORD *error)
{
    *error = 0;
    // A handle that went stale (the service manager restarted) is opened again once.
    for (int attempt = 0; attempt < 2; attempt++) {
        if (!statusManager) statusManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (statusManager && !statusService)
            statusService = OpenServiceA(statusManager, kServiceName, SERVICE_QUERY_STATUS);
        SERVICE_STATUS status = {};
        if (statusService && QueryServiceStatus(statusService, &status)) return status.dwCurrentState;
        *error = GetLastError();
        CloseStatusHandles();
    }
    return 0;
}

int StartScheduleService(void)
{
    DWORD error;
    DWORD state = ServiceState(&error);
    if (error) return (int)error;
    if (state == SERVICE_RUNNING) return 0;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return (int)GetLastError();
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_START);
    int result = 0;
    if (!service) {
        result = (int)GetLastError();
    } else if (!StartServiceA(service, 0, nullptr)) {
        result = (int)GetLastError();
        // Started by someone else in the meantime: it runs, but not ours to stop.
        if (result == ERROR_SERVICE_ALREADY_RUNNING) result = 0;
    } else {
        schedulerStarted = 1;
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}

int StartAgent(void)
{
    if (AgentWindow()) return 0;
    char path[PATH_SIZE];
    DWORD found = SearchPathA(nullptr, "mstask.exe", nullptr, sizeof path, path, nullptr);
    if (found == 0) return (int)GetLastError();
    if (found >= sizeof path) return ERROR_FILENAME_EXCED_RANGE;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process))
        return (int)GetLastError();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    schedulerStarted = 1;
    return 0;
}

int StopScheduleService(void)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return (int)GetLastError();
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS | SERVICE_STOP);
    int result = 0;
    SERVICE_STATUS status = {};
    if (!service || !QueryServiceStatus(service, &status)) {
        result = (int)GetLastError();
    } else if (status.dwCurrentState == SERVICE_RUNNING) {
        result = ControlService(service, SERVICE_CONTROL_STOP, &status) ? 0 : 1;
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return result;
}

int StopAgent(void)
{
    HWND agent = AgentWindow();
    if (!agent) return 1;
    DWORD id = 0;
    GetWindowThreadProcessId(agent, &id);
    HANDLE process = id ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
    if (!process) return (int)GetLastError();
    // Ended with a code of its own: the "still active" code would make the
    // agent look as if it ran on to anyone who asks.
    int result = 0;
    if (!TerminateProcess(process, 1))
        result = (int)GetLastError();
    else
        WaitForSingleObject(process, kStartWait);
    CloseHandle(process);
    RepaintTaskbar();
    return result;
}

// --- Names ----------------------------------------------------------------

// Appends text at *at in out (room for it was reserved).
void Put(char **at, const char *text, size_t length)
{
    memcpy(*at, text, length);
    *at += length;
}

// The exact bytes of one character (one or two UTF-16 units) in the ANSI
// code page; 0 when it has no exact form there.
int ExactAnsi(const wchar_t *units, int count, char *out, int size)
{
    UINT page = GetACP();
    BOOL usedDefault = FALSE;
    // UTF-8 as the ANSI code page knows no default character.
    int length = page == CP_UTF8
                     ? WideCharToMultiByte(page, 0, units, count, out, size, nullptr, nullptr)
                     : WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, units, count, out, size, nullptr,
                                           &usedDefault);
    if (length <= 0 || usedDefault) return 0;
    wchar_t back[4];
    int backLength = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, out, length, back, 4);
    if (backLength != count || wmemcmp(back, units, (size_t)count) != 0) return 0;
    return length;
}

// A name of the scheduler as this program's text: each character in the
// ANSI code page when it has an exact form there, otherwise written
// "<U+XXXX>". No file name holds "<", so the written form is never a real
// name, and two different names never come out the same. Heap; null when
// memory is short.
char *ReadableName(const wchar_t *wide)
{
    size_t length = wcslen(wide);
    // A character takes at most 10 bytes ("<U+10FFFF>"), two units at most 10.
    char *text = (char *)malloc(length * 10 + 1);
    if (!text) return nullptr;
    char *at = text;
    for (size_t i = 0; i < length;) {
        wchar_t unit = wide[i];
        int count = 1;
        unsigned long code = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            count = 2;
            code = 0x10000 + (((unsigned long)unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
        }
        char bytes[8];
        int exact = 0;
        if (code == '<') {
            exact = 0;
        } else if (code > 0 && code < 0x80) {
            bytes[0] = (char)code;
            exact = 1;
        } else {
            exact = ExactAnsi(wide + i, count, bytes, sizeof bytes);
        }
        if (exact > 0) {
            Put(&at, bytes, (size_t)exact);
        } else {
            char escaped[16];
            size_t n = FormatText(escaped, sizeof escaped, "<U+%04lX>", code);
            Put(&at, escaped, n);
        }
        i += (size_t)count;
    }
    *at = 0;
    return text;
}

// The name without its job extension, as activation and deletion want it.
// Heap; null when memory is short.
wchar_t *ActivationName(const wchar_t *name)
{
    size_t length = wcslen(name);
    const size_t extension = sizeof TASK_JOB_EXTENSION - 1;
    if (length > extension && _wcsicmp(name + length - extension, L"" TASK_JOB_EXTENSION) == 0)
        length -= extension;
    wchar_t *copy = (wchar_t *)malloc((length + 1) * sizeof(wchar_t));
    if (!copy) return nullptr;
    wmemcpy(copy, name, length);
    copy[length] = 0;
    return copy;
}

// --- Sessions with the scheduler --------------------------------------------

struct Session {
    ITaskScheduler *scheduler;
    HRESULT com;        // result of the COM initialisation
    int reached;        // the scheduler runs (or was started)
};

HRESULT CreateScheduler(ITaskScheduler **out)
{
    if (schedulerSource) return schedulerSource(out);
    return CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                            (void **)out);
}

// Makes sure the scheduler runs and connects to it. A scheduler started
// just now gets a moment to come up; one that already ran is used at once.
HRESULT OpenSession(Session *session)
{
    session->scheduler = nullptr;
    session->com = E_FAIL;
    session->reached = 0;
    int error = StartTaskScheduler();
    if (error) return HRESULT_FROM_WIN32((DWORD)error);
    session->reached = 1;
    if (schedulerStarted) {
        DWORD start = GetTickCount();
        while (!IsTaskSchedulerRunning() && GetTickCount() - start < kStartWait) Sleep(10);
    }
    session->com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT result = CreateScheduler(&session->scheduler);
    if (FAILED(result)) session->scheduler = nullptr;
    if (SUCCEEDED(result) && !session->scheduler) result = E_POINTER;
    return result;
}

void CloseSession(Session *session)
{
    if (session->scheduler) session->scheduler->Release();
    session->scheduler = nullptr;
    if (SUCCEEDED(session->com)) CoUninitialize();
    session->com = E_FAIL;
    if (schedulerStarted) StopTaskScheduler();
}

// Walks the scheduler's jobs five names at a time, each batch from its last
// name to its first; visit(name) returns 0 to end the walk. What the
// enumerator gave before a failure has been visited; nothing of the failed
// call is read. Returns the enumerator's last result.
template <typename Visit>
HRESULT WalkJobs(ITaskScheduler *scheduler, Visit visit)
{
    IEnumWorkItems *items = nullptr;
    HRESULT result = scheduler->Enum(&items);
    if (FAILED(result)) return result;
    if (!items) return E_POINTER;
    int going = 1;
    while (going) {
        LPWSTR *names = nullptr;
        ULONG fetched = 0;
        result = items->Next(5, &names, &fetched);
        if (FAILED(result)) {
            TraceLog("Scheduled Tasks", "The Task Scheduler's list ended with an error");
            break;
        }
        if (!names) fetched = 0;
        if (fetched > 5) fetched = 5;   // never more than was asked for
        for (ULONG i = fetched; i-- > 0;) {
            if (going && names[i]) going = visit(names[i]);
            CoTaskMemFree(names[i]);
        }
        CoTaskMemFree(names);
        if (result != S_OK || fetched == 0) break;
    }
    items->Release();
    return result;
}

// The job of that name: the exact name, else the first one that differs
// only in the case of ASCII letters. Returns its scheduler name (heap, or
// null when none) and the walk's result in *walk.
wchar_t *FindJob(ITaskScheduler *scheduler, const char *name, HRESULT *walk)
{
    wchar_t *exact = nullptr, *similar = nullptr;
    *walk = WalkJobs(scheduler, [&](const wchar_t *job) -> int {
        char *readable = ReadableName(job);
        if (!readable) return 1;
        int same = strcmp(readable, name) == 0;
        int alike = !same && !similar && TextEqualNoCase(readable, name);
        free(readable);
        if (same) {
            exact = _wcsdup(job);
            return 0;
        }
        if (alike) similar = _wcsdup(job);
        return 1;
    });
    if (exact) {
        free(similar);
        return exact;
    }
    return similar;
}

// Activates a job by its scheduler name. Null when it cannot be activated.
ITask *ActivateJob(ITaskScheduler *scheduler, const wchar_t *job)
{
    wchar_t *name = ActivationName(job);
    if (!name) return nullptr;
    ITask *task = nullptr;
    HRESULT result = scheduler->Activate(name, IID_ITask, (IUnknown **)&task);
    free(name);
    if (FAILED(result)) return nullptr;
    return task;
}

// The job's program as this program's text ("" when it has none).
void ApplicationOf(ITask *task, char *out, size_t size)
{
    out[0] = 0;
    LPWSTR application = nullptr;
    if (FAILED(task->GetApplicationName(&application)) || !application) return;
    char *readable = ReadableName(application);
    CoTaskMemFree(application);
    if (readable) CopyTextCut(out, size, readable);
    free(readable);
    // What the job runs is its program with its parameters: a job that
    // runs "cmd.exe /c ..." is shown and asked about in full. A program in
    // a folder with blanks is quoted so the command reads back the same.
    LPWSTR parameters = nullptr;
    if (FAILED(task->GetParameters(&parameters)) || !parameters) return;
    char *text = parameters[0] ? WideToTextCopy(parameters, -1, 0, nullptr) : nullptr;
    CoTaskMemFree(parameters);
    if (text && out[0]) {
        char command[ITEM_PATH_SIZE];
        if (FormatText(command, sizeof command, strchr(out, ' ') && out[0] != '"' ? "\"%s\" %s" : "%s %s", out, text))
            CopyTextCut(out, size, command);
    }
    free(text);
}

// A time as text; never is the text of no time.
int RunTimeText(const SYSTEMTIME *time, const char *never, char *out, int size)
{
    int valid = time && time->wYear > 0 && time->wMonth >= 1 && time->wMonth <= 12 && time->wDay >= 1 &&
                time->wDay <= 31 && time->wHour <= 23 && time->wMinute <= 59;
    if (!valid) return (int)CopyTextCut(out, (size_t)size, never);
    char text[HISTORY_TIME_SIZE];
    FormatHistoryTime(time, text);
    return (int)CopyTextCut(out, (size_t)size, text);
}

// A run time of the job as text: "Never" (as given) unless the scheduler
// gives a time.
void RunTimeOf(ITask *task, int next, const char *never, char *out, int size)
{
    SYSTEMTIME time = {};
    HRESULT result = next ? task->GetNextRunTime(&time) : task->GetMostRecentRunTime(&time);
    // The informational results (no run yet, no trigger, disabled) come
    // without a time.
    if (result != S_OK) memset(&time, 0, sizeof time);
    RunTimeText(&time, never, out, size);
}
}  // namespace

// --- The scheduler's host ------------------------------------------------------

int StartTaskScheduler(void)
{
    schedulerStarted = 0;
    return IsNtFamily() ? StartScheduleService() : StartAgent();
}

int IsTaskSchedulerRunning(void)
{
    if (!IsNtFamily()) return AgentWindow() != nullptr;
    DWORD error;
    return ServiceState(&error) == SERVICE_RUNNING;
}

int StopTaskScheduler(void)
{
    schedulerStarted = 0;
    return IsNtFamily() ? StopScheduleService() : StopAgent();
}

int TaskSchedulerStartedHere(void)
{
    return schedulerStarted;
}

void SetTaskSchedulerSource(TaskSchedulerSource source)
{
    schedulerSource = source;
}

// --- Texts ---------------------------------------------------------------------

int FormatRunTime(const SYSTEMTIME *time, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    char never[64];
    LoadUiString(686, never, sizeof never);
    return RunTimeText(time, never, out, size);
}

int TaskShownName(const char *name, char *out, int size)
{
    if (!out || size <= 0) return 0;
    if (!name) name = "";
    size_t length = strlen(name);
    const size_t extension = sizeof TASK_JOB_EXTENSION - 1;
    if (length > extension && TextEqualNoCase(name + length - extension, TASK_JOB_EXTENSION))
        length -= extension;
    return (int)CopyTextN(out, (size_t)size, name, length);
}

// --- Operations ----------------------------------------------------------------

namespace {
// The 1.0 jobs into the item list. Returns their count, or the failure.
int ListJobs(void)
{
    Session session;
    HRESULT result = OpenSession(&session);
    if (!session.reached) {
        CloseSession(&session);
        return 0;
    }
    if (FAILED(result)) {
        CloseSession(&session);
        return (int)result;
    }
    int count = 0;
    char never[64];
    LoadUiString(686, never, sizeof never);
    WalkJobs(session.scheduler, [&](const wchar_t *job) -> int {
        char *name = ReadableName(job);
        if (!name) {
            TraceLog("Scheduled Tasks", "A job was left out: no memory for its name");
            return 1;
        }
        char application[ITEM_PATH_SIZE] = "", next[ITEM_DETAIL_SIZE] = "", last[ITEM_INFO_SIZE] = "";
        ITask *task = ActivateJob(session.scheduler, job);
        if (task) {
            ApplicationOf(task, application, sizeof application);
            RunTimeOf(task, 0, never, last, sizeof last);
            RunTimeOf(task, 1, never, next, sizeof next);
            task->Release();
        } else {
            // Still listed: a job that cannot be read is still a job.
            TraceLog("Scheduled Tasks", "A job could not be read");
        }
        ItemIdentity identity = {name, VIEW_NATIVE, 0, nullptr};
        int added = AddItemAs(identity, name, application, next, last, ITEM_TASK, 0);
        free(name);
        if (!added) return 0;   // the list is full
        count++;
        return 1;
    });
    CloseSession(&session);
    return count;
}
}  // namespace

int EnumerateTasks(void)
{
    FreeItems();
    int jobs = ListJobs();
    // The tasks of Task Scheduler 2.0 are listed whether or not the 1.0
    // interface answered.
    int tasks = ListRegisteredTasks();
    if (jobs < 0 && tasks == 0) return jobs;
    return (jobs > 0 ? jobs : 0) + tasks;
}

int JobFolder(char *folder /* PATH_SIZE */)
{
    char configured[PATH_SIZE];
    folder[0] = 0;
    if (StoreReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\SchedulingAgent", "TasksFolder", configured,
                        sizeof configured) > 0) {
        DWORD n = ExpandEnvironmentStringsA(configured, folder, PATH_SIZE);
        if (n == 0 || n > PATH_SIZE) folder[0] = 0;
    }
    if (!folder[0]) {
        char windows[PATH_SIZE];
        UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        if (n == 0 || n >= sizeof windows || !FormatText(folder, PATH_SIZE, "%s\\Tasks", windows)) return 0;
    }
    return 1;
}

namespace {
// 1 for a job file name that names no other place.
int PlainJobName(const char *name)
{
    return name && name[0] && !strchr(name, '\\') && !strchr(name, '/') && !strchr(name, ':') &&
           strcmp(name, ".") && strcmp(name, "..");
}
}  // namespace

HRESULT DeleteScheduledTask(const char *name)
{
    return DeleteScheduledTaskAs(name, 15);
}

int RestoreScheduledTask(const char *name, const char *vaultName)
{
    char folder[PATH_SIZE], file[PATH_SIZE], text[ITEM_PATH_SIZE];
    if (!PlainJobName(name) || !JobFolder(folder) || !JoinPath(file, sizeof file, folder, name)) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    if (!CopyOutOfVault(vaultName, file, 0)) return 0;
    FormatText(text, sizeof text, "%s", vaultName);
    WriteHistory(name, file, text, ITEM_TASK, 13);
    return 1;
}

HRESULT DeleteScheduledTaskAs(const char *name, int action)
{
    if (!name || !name[0]) return E_INVALIDARG;
    Session session;
    HRESULT result = OpenSession(&session);
    if (FAILED(result)) {
        CloseSession(&session);
        return result;
    }
    HRESULT walk;
    wchar_t *job = FindJob(session.scheduler, name, &walk);
    if (!job) {
        CloseSession(&session);
        return FAILED(walk) ? walk : S_FALSE;
    }
    char application[ITEM_PATH_SIZE] = "";
    if (ITask *task = ActivateJob(session.scheduler, job)) {
        ApplicationOf(task, application, sizeof application);
        task->Release();
    }
    // The job file is kept before it goes: a removal can be undone.
    char folder[PATH_SIZE], file[PATH_SIZE], kept[PATH_SIZE] = "";
    char *jobName = WideToTextCopy(job, -1, 0, nullptr);
    int keptCopy = jobName && PlainJobName(jobName) && JobFolder(folder) &&
                   JoinPath(file, sizeof file, folder, jobName) && CopyIntoVault(file, kept);
    free(jobName);
    wchar_t *short_name = keptCopy ? ActivationName(job) : nullptr;
    result = keptCopy ? E_OUTOFMEMORY : HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
    if (short_name) {
        for (int attempt = 0; attempt < kDeleteTries; attempt++) {
            result = session.scheduler->Delete(short_name);
            if (result != HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)) break;
            Sleep(kDeleteRetryWait);
        }
        free(short_name);
    }
    free(job);
    if (SUCCEEDED(result)) {
        result = S_OK;
        WriteHistory(name, application, kept, ITEM_TASK, action);
    } else if (kept[0]) {
        // Not deleted after all: the copy is not needed.
        DropVaultCopy(kept);
    }
    CloseSession(&session);
    return result;
}

int NextRunTimeOf(const char *name, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!name || !name[0]) return 0;
    Session session;
    if (SUCCEEDED(OpenSession(&session))) {
        HRESULT walk;
        wchar_t *job = FindJob(session.scheduler, name, &walk);
        if (job) {
            if (ITask *task = ActivateJob(session.scheduler, job)) {
                char never[64];
                LoadUiString(686, never, sizeof never);
                RunTimeOf(task, 1, never, out, size);
                task->Release();
            }
            free(job);
        }
    }
    CloseSession(&session);
    return (int)strlen(out);
}

void ForEachTaskPlace(WatchPlaceVisitor visit, void *context)
{
    char folder[PATH_SIZE];
    if (!JobFolder(folder)) return;
    WatchPlace place = {WATCH_FOLDER, nullptr, VIEW_NATIVE, 0, folder};
    visit(&place, context);
    // The task store of Task Scheduler 2.0, its folders included.
    char store[PATH_SIZE];
    if (TaskStoreFolder(store)) {
        WatchPlace tasks = {WATCH_FOLDER, nullptr, VIEW_NATIVE, 1, store};
        visit(&tasks, context);
    }
}

int IsTaskApproved(const Item &job)
{
    char data[33];
    if (!job.name || StoreReadString(HKEY_CURRENT_USER, TASK_BASELINE, job.name, data, sizeof data) <= 0) return 0;
    return DecimalValue(data) != 0 && ApprovedSignerHolds(TASK_SIGNERS, job.name, job.path, nullptr);
}
