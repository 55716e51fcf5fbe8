// Sentrel.exe: the startup programs check. Every entry of the startup list
// that the baseline (HKCU Software\Orvendale\Sentrel\Run) does not approve
// raises the new-program alert; an entry the user moved to delayed start
// that has put itself back raises the delayed-program alert.
#include <windows.h>

#include "alerts.h"
#include "checks.h"
#include "delayed_start.h"
#include "first_seen.h"
#include "history.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "processes.h"
#include "startup_changes.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "trace.h"
#include "signatures.h"
#include "ui_strings.h"

#define RUN_BASELINE   STARTUP_BASELINE
#define DELAYED_MARK   STARTUP_DELAYED_MARK
#define STATUS_MISSING STARTUP_STATUS_MISSING

namespace {
// One startup entry, copied out of the item list with its identity: what
// the dialogs and the changes below do must not depend on the list staying
// as it was.
struct Entry {
    Item record;
    char baselineName[ITEM_PATH_SIZE];

    explicit Entry(int index) : record(), baselineName()
    {
        const Item *item = GetItem(index);
        if (item) CopyItemRecord(&record, item);
        StartupBaselineNameIn(record.view, record.path, baselineName);
    }
    ~Entry() { ReleaseItemCopy(&record); }
    Entry(const Entry &) = delete;
    Entry &operator=(const Entry &) = delete;
    bool valid() const { return record.name != nullptr; }
};

void Approve(const Entry &entry)
{
    StoreWriteDecimal(HKEY_CURRENT_USER, RUN_BASELINE, entry.baselineName, entry.record.type);
    RememberStartupSigner(entry.baselineName, entry.record.path);
    const Item &r = entry.record;
    int type = r.view == VIEW_32 ? r.type | HISTORY_VIEW_32 : r.type;
    const char *name =
        (r.type < 30 || r.type == ITEM_WINLOGON_NOTIFY || IsStartupHookType(r.type)) && r.name && r.name[0] ? r.name
                                                                                                          : r.title;
    WriteHistory(name, r.path, r.detail, type, HISTORY_START_APPROVE);
}

void DisableUnlessMarked(const Entry &entry)
{
    if (!entry.record.disabled) ToggleStartupEntry(StartupRefOf(entry.record));
}

void Reject(const Entry &entry)
{
    StopProgram(entry.record.path, entry.record.title, 0);
    DeleteStartupEntry(StartupRefOf(entry.record));
    StoreDeleteValue(HKEY_CURRENT_USER, RUN_BASELINE, entry.baselineName);
    StoreDeleteValue(HKEY_CURRENT_USER, STARTUP_SIGNERS, entry.baselineName);
}

void FillAlertRecord(const Entry &entry)
{
    AlertType = entry.record.type;
    CopyTextCut(AlertCommand, sizeof AlertCommand, entry.record.path);
    CopyTextCut(AlertTitle, sizeof AlertTitle, entry.record.title);
    // Where the entry lives, by its own name, and what No does to it.
    char place[ALERT_TEXT_SIZE], where[ALERT_TEXT_SIZE], no[256], pattern[64];
    DescribeEntryPlace(&entry.record, place, sizeof place);
    LoadUiString(2117, pattern, sizeof pattern);
    const char *values[] = {place};
    if (!FillTemplate(where, sizeof where, pattern, values, 1)) CopyTextCut(where, sizeof where, place);
    LoadUiString(2120, no, sizeof no);
    FormatTextCut(AlertPlace, sizeof AlertPlace, "%s\n%s", where, no);
    // Approved for a signer whose signature no longer holds: said as well.
    char signer[SIGNER_NAME_SIZE];
    if (!StartupSignatureHolds(entry.baselineName, entry.record.path, signer)) {
        char changed[SIGNER_NAME_SIZE + 256];
        LoadUiString(2121, pattern, sizeof pattern);
        const char *who[] = {signer};
        if (FillTemplate(changed, sizeof changed, pattern, who, 1)) {
            AppendTextCut(AlertPlace, sizeof AlertPlace, "\n");
            AppendTextCut(AlertPlace, sizeof AlertPlace, changed);
        }
    }
}

// Returns 0 when the rest of the list is to wait for a later pass.
int CheckNewEntry(const Entry &entry)
{
    FillAlertRecord(entry);
    // The system's own installer cleanup comes and goes by itself; while it
    // is there, the check leaves the list for a later pass.
    if (FindTextNoCase(entry.record.title, "McAfee Application Installer Cleanup")) return 0;
    if (settings.hideAlerts > 1) {
        Reject(entry);
        return 1;
    }
    switch (AskWithAlert(DLG_ALERT_NEW_PROGRAM, 1, entry.record.path, DETECTED_STARTUP, 161, 821)) {
    case ALERT_APPROVE:
        Approve(entry);
        break;
    case ALERT_REJECT:
        Reject(entry);
        break;
    case ALERT_STOP_AND_DISABLE:
        // Not approved: a disabled entry is still listed, so it alerts
        // again until the user approves or rejects it.
        StopProgram(entry.record.path, entry.record.title, 0);
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
        RemoveDelayEntry(entry.record.type > 10 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, entry.baselineName);
    } else if (result == ALERT_REJECT) {
        // Stays delayed: the entry it wrote back is disabled.
        Approve(entry);
        DisableUnlessMarked(entry);
    }
    inDialog = 0;
}
}  // namespace

namespace {
// A file in Sentrel's own Disabled folder starts nothing: it is kept there
// by the user's Disable and never asked about (a No would delete the only
// copy of the entry).
int IsKeptAside(const Item *item)
{
    return item && item->type == ITEM_STARTUP_FOLDER && item->disabled;
}
}  // namespace

int HasUnapprovedStartup(void)
{
    int count = BuildStartupList(0);
    for (int index = 0; index < count; index++) {
        if (IsKeptAside(GetItem(index))) continue;
        char baselineName[ITEM_PATH_SIZE];
        StartupBaselineNameIn(GetItemView(index), GetItemPath(index), baselineName);
        long status = StartupBaselineStatus(baselineName);
        if (status == STATUS_MISSING || status == 0 || status == DELAYED_MARK) return 1;
        if (!StartupSignatureHolds(baselineName, GetItemPath(index), nullptr)) return 1;
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
        if (IsKeptAside(GetItem(index))) continue;
        Entry entry(index);
        if (!entry.valid()) continue;
        long status = StartupBaselineStatus(entry.baselineName);
        if (status == DELAYED_MARK) {
            CheckDelayedEntry(entry);
        } else if (status == STATUS_MISSING || status == 0 ||
                   !StartupSignatureHolds(entry.baselineName, entry.record.path, nullptr)) {
            if (!CheckNewEntry(entry)) break;
        }
    }
    TraceTiming();
}
