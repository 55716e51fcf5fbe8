#include "always_run.h"

#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "program_files.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "store.h"
#include "tasks.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

int alwaysRun;

int IsAlwaysRun(void)
{
    char name[64], command[1025];
    if (LoadUiString(2, name, sizeof name) > 0 &&
        StoreReadString(HKEY_LOCAL_MACHINE, MACHINE_RUN_KEY, name, command, sizeof command) > 0)
        return 1;
    if (LoadUiString(622, name, sizeof name) > 0 &&
        StoreReadString(HKEY_LOCAL_MACHINE, MACHINE_RUN_KEY, name, command, sizeof command) > 0)
        return 1;
    return 0;
}

int SetAlwaysRun(int on)
{
    if (!on) {
        int found = RemoveOwnStartupEntries(1);
        if (found) alwaysRun = 0;
        return found;
    }

    char folder[PATH_SIZE], command[PATH_SIZE + 32], name[64];
    GetProgramFolder(folder);
    FormatText(command, sizeof command, "%s\\sentrel.exe -expressboot", folder);
    LoadUiString(2, name, sizeof name);
    int written = name[0] && StoreWriteString(HKEY_LOCAL_MACHINE, MACHINE_RUN_KEY, name, command);
    if (written) alwaysRun = 1;

    // The monitor's own entry is approved, so the patrol never asks about it.
    char baseline[PATH_SIZE];
    StartupBaselineName(command, baseline);
    StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline, "1");
    return written;
}

int RemoveOwnStartupEntries(int remove)
{
    int found = 0;
    BuildStartupList(0);
    // Each entry that starts one of the programs is removed as the entry it
    // is (its own location and name), whatever it is called.
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        int monitor = FindTextNoCase(item->path, "Sentrel.exe") != nullptr;
        int explorer = FindTextNoCase(item->path, "SentrelEx.exe") != nullptr;
        if (monitor) found++;
        if ((monitor || explorer) && remove == 1) DeleteStartupEntry(StartupRefOf(*item));
    }
    return found > 0;
}

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
        // An empty name would be the key's default value, not an entry.
        if (valueName[0]) StoreWriteDecimal(HKEY_CURRENT_USER, key, valueName, GetItemType(i));
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

int CreateInitialValues(void)
{
    TraceNote("Create Initial Values", "");
    InitRegStartups();
    char zenta[64];
    if (LoadUiString(622, zenta, sizeof zenta) > 0) DeleteStartupEntry(zenta, "sentrel.exe", "", 1);
    return SetAlwaysRun(1);
}
