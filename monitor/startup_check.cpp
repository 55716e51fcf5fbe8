// Sentrel.exe: the startup programs check. Every entry of the startup list
// that the baseline (HKCU Software\Orvendale\Sentrel\Run) does not approve
// raises the new-program alert; an entry the user moved to delayed start
// that has put itself back raises the delayed-program alert.
#include <windows.h>

#include "alerts.h"
#include "checks.h"
#include "delayed_start.h"
#include "first_seen.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "processes.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "trace.h"

#define RUN_BASELINE   STORE_ROOT "\\Run"
#define DELAYED_MARK   1103
#define STATUS_MISSING (-1)

namespace {
// The baseline status of an entry: the number under its baseline name, or
// when that is missing or 0, the number under its title; STATUS_MISSING
// when neither value is there. Data over 31 characters reads as missing.
long BaselineStatus(const char *baselineName, const char *title)
{
    char data[32];
    if (StoreReadString(HKEY_CURRENT_USER, RUN_BASELINE, baselineName, data, sizeof data) > 0) {
        long status = DecimalValue(data);
        if (status != 0) return status;
    }
    if (!title[0] || !StoreValueExists(HKEY_CURRENT_USER, RUN_BASELINE, title)) return STATUS_MISSING;
    if (StoreReadString(HKEY_CURRENT_USER, RUN_BASELINE, title, data, sizeof data) <= 0) return 0;
    return DecimalValue(data);
}

// One startup entry, copied out of the item list: what the dialogs and the
// changes below do must not depend on the list staying as it was.
struct Entry {
    char title[ITEM_TITLE_SIZE];
    char command[ITEM_PATH_SIZE];
    char detail[ITEM_DETAIL_SIZE];
    char baselineName[ITEM_PATH_SIZE];
    int type;
};

void ReadEntry(int index, Entry *entry)
{
    CopyText(entry->title, sizeof entry->title, GetItemTitle(index));
    CopyText(entry->command, sizeof entry->command, GetItemPath(index));
    CopyText(entry->detail, sizeof entry->detail, GetItemDetail(index));
    entry->type = GetItemType(index);
    StartupBaselineName(entry->command, entry->baselineName);
}

void Approve(const Entry &entry)
{
    StoreWriteDecimal(HKEY_CURRENT_USER, RUN_BASELINE, entry.baselineName, entry.type);
}

void DisableUnlessMarked(const Entry &entry)
{
    if (!StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, entry.title))
        ToggleStartupEntry(entry.title, entry.command, entry.detail, entry.type);
}

void Reject(const Entry &entry)
{
    StopProgram(entry.command, entry.title, 0);
    DeleteStartupEntry(entry.title, entry.command, entry.detail, entry.type);
    StoreDeleteValue(HKEY_CURRENT_USER, RUN_BASELINE, entry.baselineName);
    StoreDeleteValue(HKEY_CURRENT_USER, RUN_BASELINE, entry.title);
}

void FillAlertRecord(const Entry &entry)
{
    AlertType = entry.type;
    CopyTextCut(AlertCommand, sizeof AlertCommand, entry.command);
    CopyTextCut(AlertTitle, sizeof AlertTitle, entry.title);
}

// Returns 0 when the rest of the list is to wait for a later pass.
int CheckNewEntry(const Entry &entry)
{
    FillAlertRecord(entry);
    // The system's own installer cleanup comes and goes by itself; while it
    // is there, the check leaves the list for a later pass.
    if (FindTextNoCase(entry.title, "McAfee Application Installer Cleanup")) return 0;
    if (settings.hideAlerts > 1) {
        Reject(entry);
        return 1;
    }
    PlayAlertSound(1);
    RecordFirstSeen(entry.command, DETECTED_STARTUP);
    SetPatrolStatus(161, 821);
    inDialog = 1;
    alertShown = 1;
    INT_PTR result = ShowAlert(DLG_ALERT_NEW_PROGRAM);
    inDialog = 0;
    TraceWaitedForUser();

    switch (result) {
    case ALERT_APPROVE:
        Approve(entry);
        break;
    case ALERT_REJECT:
        Reject(entry);
        break;
    case ALERT_STOP_AND_DISABLE:
        // Not approved: a disabled entry is still listed, so it alerts
        // again until the user approves or rejects it.
        StopProgram(entry.command, entry.title, 0);
        DisableUnlessMarked(entry);
        break;
    default:
        break;
    }
    return 1;
}

void CheckDelayedEntry(const Entry &entry)
{
    inDialog = 1;
    alertShown = 1;
    FillAlertRecord(entry);
    INT_PTR result = ShowAlert(DLG_ALERT_DELAYED);
    TraceWaitedForUser();
    if (result == ALERT_APPROVE) {
        // Back to the regular startup list: no longer started late.
        Approve(entry);
        RemoveDelayEntry(entry.type > 10 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, entry.baselineName);
    } else if (result == ALERT_REJECT) {
        // Stays delayed: the entry it wrote back is disabled.
        Approve(entry);
        DisableUnlessMarked(entry);
    }
    inDialog = 0;
}
}  // namespace

int HasUnapprovedStartup(void)
{
    int count = BuildStartupList(0);
    for (int index = 0; index < count; index++) {
        char baselineName[ITEM_PATH_SIZE];
        StartupBaselineName(GetItemPath(index), baselineName);
        long status = BaselineStatus(baselineName, GetItemTitle(index));
        if (status == STATUS_MISSING || status == 0 || status == DELAYED_MARK) return 1;
    }
    return 0;
}

void StartupCheck(void)
{
    if (!HasUnapprovedStartup()) {
        TraceTiming();
        TraceNote("VERIFY", "No Startup Change Detected.");
        return;
    }
    for (int index = 0; index < ItemCount(); index++) {
        Entry entry;
        ReadEntry(index, &entry);
        long status = BaselineStatus(entry.baselineName, entry.title);
        if (status == DELAYED_MARK) {
            CheckDelayedEntry(entry);
        } else if (status == STATUS_MISSING || status == 0) {
            if (!CheckNewEntry(entry)) break;
        }
    }
    TraceTiming();
}
