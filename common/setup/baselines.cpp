#include "baselines.h"

#include <cstring>

#include "always_run.h"
#include "dates.h"
#include "file_types.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "processes.h"
#include "registered_tasks.h"
#include "services.h"
#include "signatures.h"
#include "startup_changes.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "store.h"
#include "tasks.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

namespace {
void RecordItems(const char *categoryKey)
{
    for (int i = 0; i < ItemCount(); i++) RecordFirstSeen(GetItemPath(i), categoryKey);
    FreeItems();
}

int RecordRunningProgram(DWORD, WORD, const char *path, void *)
{
    RecordFirstSeen(path, DETECTED_ACTIVETASKS);
    return 1;
}
}  // namespace

void WriteItemBaseline(const char *key, int naming)
{
    for (int i = 0; i < ItemCount(); i++) {
        char name[PATH_SIZE];
        const char *valueName = name;
        if (naming == BASELINE_BY_COMMAND)
            StartupBaselineNameIn(GetItemView(i), GetItemPath(i), name);
        else if (naming == BASELINE_BY_NAME)
            valueName = GetItemName(i);   // of any length: a cut name could approve another entry
        else
            CopyTextCut(name, sizeof name, GetItemTitle(i));
        // A Task Scheduler 2.0 task has approvals of its own, by its path.
        if (strcmp(key, TASK_BASELINE) == 0 && GetItemType(i) == ITEM_TASK2) {
            StoreWriteDecimal(HKEY_CURRENT_USER, TASK2_BASELINE, valueName, ITEM_TASK2);
            RememberApprovedSigner(TASK2_SIGNERS, valueName, GetItemPath(i));
            continue;
        }
        // An empty name would be the key's default value, not an entry.
        if (valueName[0]) StoreWriteDecimal(HKEY_CURRENT_USER, key, valueName, GetItemType(i));
        // A startup approval remembers who signed the program it was given for.
        if (valueName[0] && naming == BASELINE_BY_COMMAND && strcmp(key, STARTUP_BASELINE) == 0)
            RememberStartupSigner(valueName, GetItemPath(i));
        if (valueName[0] && strcmp(key, TASK_BASELINE) == 0) RememberApprovedSigner(TASK_SIGNERS, valueName, GetItemPath(i));
    }
    FreeItems();
}

void InitRegStartups(void)
{
    TraceNote("InitRegStartups", "");
    BuildStartupList(0);
    WriteItemBaseline(STORE_ROOT "\\Run", 1);
    WriteIEHelperBaseline();
    EnumerateTasks();
    WriteItemBaseline(TASK_BASELINE, BASELINE_BY_NAME);
}

void BaselineNewPlaces(void)
{
    const char kMarks[] = STORE_ROOT "\\Baselined";
    if (!StoreValueExists(HKEY_CURRENT_USER, kMarks, "StartupHooks")) {
        BuildStartupList(0);
        for (int i = 0; i < ItemCount(); i++) {
            if (!IsStartupHookType(GetItemType(i))) continue;
            char name[PATH_SIZE];
            StartupBaselineNameIn(GetItemView(i), GetItemPath(i), name);
            if (StoreValueExists(HKEY_CURRENT_USER, STARTUP_BASELINE, name)) continue;
            StoreWriteDecimal(HKEY_CURRENT_USER, STARTUP_BASELINE, name, GetItemType(i));
            RememberStartupSigner(name, GetItemPath(i));
        }
        FreeItems();
        StoreWriteDecimal(HKEY_CURRENT_USER, kMarks, "StartupHooks", 1);
    }
    if (!StoreValueExists(HKEY_CURRENT_USER, kMarks, "Tasks2")) {
        EnumerateTasks();
        for (int i = 0; i < ItemCount(); i++) {
            const Item *task = GetItem(i);
            if (task->type != ITEM_TASK2 || StoreValueExists(HKEY_CURRENT_USER, TASK2_BASELINE, task->name)) continue;
            StoreWriteDecimal(HKEY_CURRENT_USER, TASK2_BASELINE, task->name, ITEM_TASK2);
            RememberApprovedSigner(TASK2_SIGNERS, task->name, task->path);
        }
        FreeItems();
        StoreWriteDecimal(HKEY_CURRENT_USER, kMarks, "Tasks2", 1);
    }
}

int CreateInitialValues(void)
{
    TraceNote("Create Initial Values", "");
    InitRegStartups();
    char zenta[64];
    if (LoadUiString(622, zenta, sizeof zenta) > 0) DeleteStartupEntry(zenta, "sentrel.exe", "", 1);
    return SetAlwaysRun(1);
}

void BuildFirstSeenSets(void)
{
    static const char *const kCategories[] = {DETECTED_STARTUP,     DETECTED_IEHELPER,
                                              DETECTED_SERVICES,    DETECTED_TASKS,
                                              DETECTED_ACTIVETASKS, DETECTED_FILETYPES,
                                              DETECTED_HIDDEN};
    StoreCreateKey(HKEY_CURRENT_USER, STORE_DETECTED);
    for (const char *key : kCategories) StoreCreateKey(HKEY_CURRENT_USER, key);
    char date[DATE_TEXT_SIZE];
    FormatNow(date);
    StoreWriteString(HKEY_CURRENT_USER, STORE_DETECTED, "", date);

    BuildStartupList(0);
    RecordItems(DETECTED_STARTUP);
    EnumerateIEHelpers();
    RecordItems(DETECTED_IEHELPER);
    EnumerateTasks();
    RecordItems(DETECTED_TASKS);
    EnumerateServices(0);
    RecordItems(DETECTED_SERVICES);
    ListFileTypes();
    RecordItems(DETECTED_FILETYPES);
    EnumerateProcesses(RecordRunningProgram, nullptr);
    ListHiddenFiles();
    RecordItems(DETECTED_HIDDEN);
}
