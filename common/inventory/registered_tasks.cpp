// Task Scheduler 2.0 tasks: see registered_tasks.h.
#include "registered_tasks.h"

#include <oleauto.h>
#include <shlobj.h>
#include <taskschd.h>

#include <cstdlib>
#include <cstring>

#include "folder_walk.h"
#include "growing_array.h"
#include "history.h"
#include "program_files.h"
#include "signatures.h"
#include "tasks.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"
#include "unicode_text.h"
#include "vault.h"

namespace {

// The COM-handler action, which the compiler's headers leave out.
struct ComHandlerAction : public IAction {
    virtual HRESULT STDMETHODCALLTYPE get_ClassId(BSTR *classId) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ClassId(BSTR classId) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Data(BSTR *data) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Data(BSTR data) = 0;
};
const IID kComHandlerAction = {0x6d2fd252, 0x75c5, 0x4f66, {0x90, 0xba, 0x2a, 0x7d, 0x8c, 0xc3, 0x03, 0x9f}};

// --- The last listing --------------------------------------------------------------

struct ListedTask {
    char *path;
    char *key;   // the path in upper case: tasks are found by it, case ignored
    char next[64], last[64];
    RegisteredTaskFacts facts;
};

ListedTask *listed;
int listedCount, listedRoom;
int sortedCount;   // the first entries, sorted by key

void ForgetListing(void)
{
    for (int i = 0; i < listedCount; i++) {
        free(listed[i].path);
        free(listed[i].key);
    }
    free(listed);
    listed = nullptr;
    listedCount = listedRoom = sortedCount = 0;
}

// A task path in upper case (in any script), as a key. Null when memory is short.
char *KeyOf(const char *path)
{
    WideText wide(path);
    int units = wide.units();
    WCHAR *upper = (WCHAR *)malloc(((size_t)units + 1) * sizeof(WCHAR));
    if (!upper || !wide.get()) {
        free(upper);
        return nullptr;
    }
    memcpy(upper, wide.get(), (size_t)units * sizeof(WCHAR));
    upper[units] = 0;
    if (units) CharUpperBuffW(upper, (DWORD)units);
    char *key = WideToTextCopy(upper, units, 1, nullptr);
    free(upper);
    return key;
}

int CompareKeys(const void *a, const void *b)
{
    return strcmp(((const ListedTask *)a)->key, ((const ListedTask *)b)->key);
}

void SortListing(void)
{
    qsort(listed, (size_t)listedCount, sizeof(ListedTask), CompareKeys);
    sortedCount = listedCount;
}

ListedTask *FindListed(const char *path)
{
    if (sortedCount == 0) return nullptr;
    char *key = KeyOf(path);
    if (!key) return nullptr;
    ListedTask wanted = {};
    wanted.key = key;
    ListedTask *found = (ListedTask *)bsearch(&wanted, listed, (size_t)sortedCount, sizeof(ListedTask), CompareKeys);
    free(key);
    return found;
}

ListedTask *AddListed(const char *path)
{
    if (!MakeRoomForOne(listed, listedCount, listedRoom, 64)) return nullptr;
    ListedTask *task = &listed[listedCount];
    memset(task, 0, sizeof *task);
    task->path = DuplicateText(path);
    task->key = KeyOf(path);
    if (!task->path || !task->key) {
        free(task->path);
        free(task->key);
        return nullptr;
    }
    task->facts.file.enabled = 1;
    listedCount++;
    return task;
}

// --- The scheduler ---------------------------------------------------------------

char *TextOf(BSTR text)
{
    return WideToTextCopy(text ? text : L"", text ? (int)SysStringLen(text) : 0, 1, nullptr);
}

void CopyBstr(BSTR text, char *out, size_t size)
{
    out[0] = 0;
    if (text) WideToText(text, (int)SysStringLen(text), out, (int)size, 1);
    if (!out[0] && text && SysStringLen(text)) CopyTextCut(out, size, "?");
}

struct Scheduler {
    ITaskService *service = nullptr;
    int comStarted = 0;

    Scheduler()
    {
        HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        comStarted = SUCCEEDED(com);
        if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                    (void **)&service)))
            service = nullptr;
        VARIANT none;
        VariantInit(&none);
        if (service && FAILED(service->Connect(none, none, none, none))) {
            service->Release();
            service = nullptr;
        }
    }
    ~Scheduler()
    {
        if (service) service->Release();
        if (comStarted) CoUninitialize();
    }
    Scheduler(const Scheduler &) = delete;
    Scheduler &operator=(const Scheduler &) = delete;

    // The folder of a task path and the task's own name in it.
    ITaskFolder *FolderOf(const char *taskPath, BSTR *name)
    {
        *name = nullptr;
        if (!service || !taskPath || taskPath[0] != '\\') return nullptr;
        int cut = FileNameIndex(taskPath);
        char folder[TASK_TEXT_SIZE];
        CopyTextN(folder, sizeof folder, taskPath, cut > 1 ? (size_t)cut - 1 : 1);
        WideText wideFolder(folder), wideName(taskPath + cut);
        BSTR folderName = SysAllocString(wideFolder.get());
        ITaskFolder *found = nullptr;
        if (folderName && FAILED(service->GetFolder(folderName, &found))) found = nullptr;
        SysFreeString(folderName);
        if (found) *name = SysAllocStringLen(wideName.get(), (UINT)wideName.units());
        return found;
    }
};

void RunTimeText(DATE when, char *out, int size)
{
    out[0] = 0;
    SYSTEMTIME time;
    if (when != 0 && VariantTimeToSystemTime(when, &time)) FormatRunTime(&time, out, size);
}

void TriggerWords(ITriggerCollection *triggers, char *out, size_t size)
{
    long count = 0;
    if (!triggers || FAILED(triggers->get_Count(&count))) return;
    for (long i = 1; i <= count; i++) {
        ITrigger *trigger = nullptr;
        if (FAILED(triggers->get_Item(i, &trigger)) || !trigger) continue;
        TASK_TRIGGER_TYPE2 type = TASK_TRIGGER_TIME;
        trigger->get_Type(&type);
        BSTR start = nullptr;
        trigger->get_StartBoundary(&start);
        char boundary[64] = "", time[16] = "";
        CopyBstr(start, boundary, sizeof boundary);
        SysFreeString(start);
        if (strlen(boundary) >= 16 && boundary[10] == 'T') CopyTextN(time, sizeof time, boundary + 11, 5);
        UINT words = 0;
        switch (type) {
        case TASK_TRIGGER_LOGON: words = 3870; break;
        case TASK_TRIGGER_BOOT: words = 3871; break;
        case TASK_TRIGGER_IDLE: words = 3872; break;
        case TASK_TRIGGER_TIME: words = 3873; break;
        case TASK_TRIGGER_DAILY: words = 3874; break;
        case TASK_TRIGGER_WEEKLY: words = 3875; break;
        case TASK_TRIGGER_MONTHLY: case TASK_TRIGGER_MONTHLYDOW: words = 3876; break;
        case TASK_TRIGGER_EVENT: words = 3877; break;
        case TASK_TRIGGER_REGISTRATION: words = 3878; break;
        default: words = 3879; break;
        }
        char pattern[128], piece[256];
        LoadUiString(words, pattern, sizeof pattern);
        const char *values[] = {time[0] ? time : "?"};
        FillTemplate(piece, sizeof piece, pattern, values, 1);
        if (out[0]) AppendTextCut(out, size, ", ");
        AppendTextCut(out, size, piece);
        trigger->Release();
    }
}

void ActionWords(IActionCollection *actions, TaskFile *file)
{
    long count = 0;
    if (!actions || FAILED(actions->get_Count(&count))) return;
    for (long i = 1; i <= count; i++) {
        IAction *action = nullptr;
        if (FAILED(actions->get_Item(i, &action)) || !action) continue;
        char words[TASK_TEXT_SIZE] = "";
        IExecAction *exec = nullptr;
        ComHandlerAction *handler = nullptr;
        if (SUCCEEDED(action->QueryInterface(IID_IExecAction, (void **)&exec)) && exec) {
            BSTR path = nullptr, arguments = nullptr;
            exec->get_Path(&path);
            exec->get_Arguments(&arguments);
            char command[TASK_TEXT_SIZE], rest[TASK_TEXT_SIZE];
            CopyBstr(path, command, sizeof command);
            CopyBstr(arguments, rest, sizeof rest);
            SysFreeString(path);
            SysFreeString(arguments);
            exec->Release();
            if (file->actionCount == 0) {
                CopyTextCut(file->command, TASK_TEXT_SIZE, command);
                CopyTextCut(file->arguments, TASK_TEXT_SIZE, rest);
            }
            TaskCommandLine(command, rest, words, sizeof words);
        } else if (SUCCEEDED(action->QueryInterface(kComHandlerAction, (void **)&handler)) && handler) {
            BSTR id = nullptr;
            handler->get_ClassId(&id);
            char classId[128], pattern[128];
            CopyBstr(id, classId, sizeof classId);
            SysFreeString(id);
            handler->Release();
            LoadUiString(3882, pattern, sizeof pattern);
            const char *values[] = {classId};
            FillTemplate(words, sizeof words, pattern, values, 1);
        } else {
            LoadUiString(3884, words, sizeof words);
        }
        action->Release();
        if (file->actions[0]) AppendTextCut(file->actions, TASK_TEXT_SIZE, "; ");
        AppendTextCut(file->actions, TASK_TEXT_SIZE, words);
        file->actionCount++;
    }
}

void ReadRegistered(IRegisteredTask *task)
{
    BSTR pathText = nullptr;
    if (FAILED(task->get_Path(&pathText)) || !pathText) return;
    char *path = TextOf(pathText);
    SysFreeString(pathText);
    ListedTask *entry = path ? AddListed(path) : nullptr;
    free(path);
    if (!entry) return;
    entry->facts.listed = 1;
    VARIANT_BOOL enabled = VARIANT_TRUE;
    if (SUCCEEDED(task->get_Enabled(&enabled))) entry->facts.file.enabled = enabled != VARIANT_FALSE;
    DATE when = 0;
    if (SUCCEEDED(task->get_NextRunTime(&when))) RunTimeText(when, entry->next, sizeof entry->next);
    if (SUCCEEDED(task->get_LastRunTime(&when))) RunTimeText(when, entry->last, sizeof entry->last);
    ITaskDefinition *definition = nullptr;
    if (FAILED(task->get_Definition(&definition)) || !definition) return;
    IActionCollection *actions = nullptr;
    if (SUCCEEDED(definition->get_Actions(&actions)) && actions) {
        ActionWords(actions, &entry->facts.file);
        actions->Release();
    }
    ITriggerCollection *triggers = nullptr;
    if (SUCCEEDED(definition->get_Triggers(&triggers)) && triggers) {
        TriggerWords(triggers, entry->facts.file.triggers, sizeof entry->facts.file.triggers);
        triggers->Release();
    }
    IRegistrationInfo *info = nullptr;
    if (SUCCEEDED(definition->get_RegistrationInfo(&info)) && info) {
        BSTR author = nullptr;
        info->get_Author(&author);
        CopyBstr(author, entry->facts.file.author, sizeof entry->facts.file.author);
        SysFreeString(author);
        info->Release();
    }
    ITaskSettings *settings = nullptr;
    if (SUCCEEDED(definition->get_Settings(&settings)) && settings) {
        VARIANT_BOOL hidden = VARIANT_FALSE;
        if (SUCCEEDED(settings->get_Hidden(&hidden))) entry->facts.file.hidden = hidden != VARIANT_FALSE;
        settings->Release();
    }
    definition->Release();
}

// The 1-based position a scheduler collection takes.
VARIANT Position(LONG i)
{
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = i;
    return index;
}

void WalkFolder(ITaskFolder *folder, int depth)
{
    if (depth > 32) return;
    IRegisteredTaskCollection *tasks = nullptr;
    if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, &tasks)) && tasks) {
        LONG count = 0;
        tasks->get_Count(&count);
        for (LONG i = 1; i <= count; i++) {
            IRegisteredTask *task = nullptr;
            if (SUCCEEDED(tasks->get_Item(Position(i), &task)) && task) {
                ReadRegistered(task);
                task->Release();
            }
        }
        tasks->Release();
    }
    ITaskFolderCollection *folders = nullptr;
    if (SUCCEEDED(folder->GetFolders(0, &folders)) && folders) {
        LONG count = 0;
        folders->get_Count(&count);
        for (LONG i = 1; i <= count; i++) {
            ITaskFolder *child = nullptr;
            if (SUCCEEDED(folders->get_Item(Position(i), &child)) && child) {
                WalkFolder(child, depth + 1);
                child->Release();
            }
        }
        folders->Release();
    }
}

// What the scheduler did not say is taken from the task's file.
int MergeFile(const char *taskPath, const char *file, void *)
{
    ListedTask *entry = FindListed(taskPath);
    TaskFile read;
    ReadTaskFile(file, &read);
    if (!entry) {
        entry = AddListed(taskPath);
        if (!entry) return 0;
        entry->facts.file = read;
    } else {
        TaskFile &known = entry->facts.file;
        if (!known.command[0] && !known.actions[0]) {
            CopyText(known.command, TASK_TEXT_SIZE, read.command);
            CopyText(known.arguments, TASK_TEXT_SIZE, read.arguments);
            CopyText(known.actions, TASK_TEXT_SIZE, read.actions);
            known.actionCount = read.actionCount;
        }
        if (!known.triggers[0]) CopyText(known.triggers, TASK_TEXT_SIZE, read.triggers);
        if (!known.author[0]) CopyText(known.author, TASK_TEXT_SIZE, read.author);
        if (!entry->facts.listed) known.enabled = read.enabled;
        known.hidden = known.hidden || read.hidden;
    }
    entry->facts.stored = 1;
    return 1;
}

// The command line a record holds: the first Exec action, else the words
// of the first action.
void CommandLineOf(const TaskFile &file, char *out, size_t size)
{
    if (file.command[0]) {
        TaskCommandLine(file.command, file.arguments, out, size);
        return;
    }
    CopyTextCut(out, size, file.actions);
}

}  // namespace

int ListRegisteredTasks(void)
{
    ForgetListing();
    {
        Scheduler scheduler;
        if (scheduler.service) {
            BSTR root = SysAllocString(L"\\");
            ITaskFolder *folder = nullptr;
            if (root && SUCCEEDED(scheduler.service->GetFolder(root, &folder)) && folder) {
                WalkFolder(folder, 0);
                folder->Release();
            }
            SysFreeString(root);
        }
    }
    // The scheduler's tasks are found by path while the store is merged in;
    // then every task is in path order.
    SortListing();
    ForEachTaskFile(MergeFile, nullptr);
    SortListing();
    int added = 0;
    for (int i = 0; i < listedCount; i++) {
        const ListedTask &task = listed[i];
        char command[ITEM_PATH_SIZE];
        CommandLineOf(task.facts.file, command, sizeof command);
        ItemIdentity identity = {task.path, VIEW_NATIVE, !task.facts.file.enabled, nullptr};
        if (!AddItemAs(identity, task.path, command, task.next, task.last, ITEM_TASK2, task.facts.file.hidden))
            break;   // the list is full
        added++;
    }
    return added;
}

int RegisteredTaskFactsOf(const char *taskPath, RegisteredTaskFacts *out)
{
    memset(out, 0, sizeof *out);
    const ListedTask *task = taskPath ? FindListed(taskPath) : nullptr;
    if (!task) return 0;
    *out = task->facts;
    return 1;
}

HRESULT DeleteRegisteredTaskAs(const char *taskPath, int action)
{
    char file[PATH_SIZE];
    if (!TaskFileOf(taskPath, file)) return E_INVALIDARG;
    TaskFile facts;
    int stored = ReadTaskFile(file, &facts);
    char command[ITEM_PATH_SIZE] = "";
    CommandLineOf(facts, command, sizeof command);
    // The task's file is kept before it goes: a removal can be undone.
    char kept[PATH_SIZE] = "";
    if (stored && !CopyIntoVault(file, kept))
        return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
    HRESULT result = S_FALSE;
    {
        Scheduler scheduler;
        BSTR name = nullptr;
        ITaskFolder *folder = scheduler.FolderOf(taskPath, &name);
        if (folder && name) {
            result = folder->DeleteTask(name, 0);
            if (result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
                result == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND))
                result = S_FALSE;   // not a task the scheduler knows
        }
        SysFreeString(name);
        if (folder) folder->Release();
    }
    // A file the scheduler does not know (or left behind) goes too.
    WideText wideFile(file);
    if (SUCCEEDED(result) && GetFileAttributesW(wideFile.get()) != INVALID_FILE_ATTRIBUTES) {
        result = DeleteFileW(wideFile.get()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    } else if (result == S_FALSE && stored) {
        result = S_OK;   // the scheduler had already dropped it with its file
    }
    if (result == S_OK) {
        WriteHistory(taskPath, command, kept, ITEM_TASK2, action);
        return S_OK;
    }
    if (kept[0]) {
        // Not deleted after all: the copy is not needed.
        DropVaultCopy(kept);
    }
    return result;
}

namespace {
// The task's file with its enabled flag set, written in its place.
HRESULT SetFileEnabled(const char *file, int enabled)
{
    DWORD read = 0;
    char *bytes = ReadTaskBytes(file, &read);
    if (!bytes) return HRESULT_FROM_WIN32(GetLastError());
    size_t length = 0;
    char *changed = TaskFileWithEnabled(bytes, read, enabled, &length);
    free(bytes);
    if (!changed) return E_FAIL;
    // Written beside it, then put in its place in one step.
    char temporary[PATH_SIZE];
    HRESULT result = E_FAIL;
    if (FormatText(temporary, sizeof temporary, "%s.sentrel-new", file)) {
        WideText wideTemporary(temporary), wide(file);
        HANDLE out = CreateFileW(wideTemporary.get(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            BOOL done = WriteFile(out, changed, (DWORD)length, &written, nullptr) && written == length;
            CloseHandle(out);
            if (done && MoveFileExW(wideTemporary.get(), wide.get(), MOVEFILE_REPLACE_EXISTING))
                result = S_OK;
            else
                DeleteFileW(wideTemporary.get());
        }
    }
    free(changed);
    return result;
}
}  // namespace

HRESULT SetRegisteredTaskEnabled(const char *taskPath, int enabled)
{
    char file[PATH_SIZE];
    if (!TaskFileOf(taskPath, file)) return E_INVALIDARG;
    HRESULT result = E_FAIL;
    {
        Scheduler scheduler;
        BSTR name = nullptr;
        ITaskFolder *folder = scheduler.FolderOf(taskPath, &name);
        IRegisteredTask *task = nullptr;
        if (folder && name && SUCCEEDED(folder->GetTask(name, &task)) && task) {
            result = task->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
            task->Release();
        }
        SysFreeString(name);
        if (folder) folder->Release();
    }
    // A scheduler that cannot change it (or says it did, and its file
    // says otherwise): the flag in the task's file.
    WideText wide(file);
    TaskFile now;
    if (GetFileAttributesW(wide.get()) != INVALID_FILE_ATTRIBUTES &&
        (FAILED(result) || (ReadTaskFile(file, &now) && now.enabled != (enabled != 0))))
        result = SetFileEnabled(file, enabled);
    if (SUCCEEDED(result)) {
        TaskFile facts;
        ReadTaskFile(file, &facts);
        char command[ITEM_PATH_SIZE] = "";
        CommandLineOf(facts, command, sizeof command);
        WriteHistory(taskPath, command, "", ITEM_TASK2, enabled ? HISTORY_TASK_ENABLE : HISTORY_TASK_DISABLE);
    }
    return result;
}

int RestoreRegisteredTask(const char *taskPath, const char *vaultName)
{
    // Only a copy of the vault's own: a history line is untrusted.
    char file[PATH_SIZE], copy[PATH_SIZE];
    if (!TaskFileOf(taskPath, file) || !VaultCopyPath(vaultName, copy)) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    WideText wideFile(file);
    if (GetFileAttributesW(wideFile.get()) != INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return 0;
    }
    // Registered again from its own XML, under its own path.
    int done = 0;
    {
        Scheduler scheduler;
        DWORD read = 0;
        char *bytes = ReadTaskBytes(copy, &read);
        if (bytes && scheduler.service) {
            // The XML as the scheduler takes it: wide text.
            const unsigned char *b = (const unsigned char *)bytes;
            BSTR xml = nullptr;
            if (read >= 2 && b[0] == 0xFF && b[1] == 0xFE)
                xml = SysAllocStringLen((const OLECHAR *)(bytes + 2), (read - 2) / 2);
            else {
                size_t skip = read >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
                WideText wideXml(bytes + skip, (int)(read - skip));
                xml = SysAllocStringLen(wideXml.get(), (UINT)wideXml.units());
            }
            BSTR name = nullptr;
            ITaskFolder *folder = scheduler.FolderOf(taskPath, &name);
            VARIANT none;
            VariantInit(&none);
            IRegisteredTask *task = nullptr;
            if (folder && name && xml &&
                SUCCEEDED(folder->RegisterTask(name, xml, TASK_CREATE, none, none, TASK_LOGON_NONE, none, &task))) {
                done = 1;
                if (task) task->Release();
            }
            SysFreeString(name);
            SysFreeString(xml);
            if (folder) folder->Release();
        }
        free(bytes);
    }
    // No scheduler to register it with: its file back where it was.
    if (!done) {
        int cut = FileNameIndex(file);
        char folder[PATH_SIZE];
        CopyTextN(folder, sizeof folder, file, cut > 0 ? (size_t)cut - 1 : 0);
        WideText wideFolder(folder);
        SHCreateDirectoryExW(nullptr, wideFolder.get(), nullptr);
        if (!CopyOutOfVault(vaultName, file, 0)) return 0;
    }
    TaskFile facts;
    ReadTaskFile(file, &facts);
    char command[ITEM_PATH_SIZE] = "";
    CommandLineOf(facts, command, sizeof command);
    WriteHistory(taskPath, command, vaultName, ITEM_TASK2, 13);
    return 1;
}

int IsRegisteredTaskApproved(const Item &task)
{
    char data[33];
    if (!task.name || StoreReadString(HKEY_CURRENT_USER, TASK2_BASELINE, task.name, data, sizeof data) <= 0) return 0;
    return DecimalValue(data) != 0 && ApprovedSignerHolds(TASK2_SIGNERS, task.name, task.path, nullptr);
}
