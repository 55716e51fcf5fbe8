// Sentrel.exe: the scheduled tasks check. Every job of the Task Scheduler
// that the baseline (HKCU Software\Orvendale\Sentrel\Tasks) does not
// approve raises the task alert; Yes approves the job, No deletes it.
#include <windows.h>

#include <cstdlib>

#include "alerts.h"
#include "checks.h"
#include "history.h"
#include "first_seen.h"
#include "inventory.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "store.h"
#include "signatures.h"
#include "tasks.h"
#include "text.h"
#include "trace.h"

namespace {
// Jobs of one antivirus vendor's online scan come and go with each scan
// and are never asked about.
const char kExceptionText[] = "avcheck-online.net";

// The jobs as they were when the check began, each record with its own
// copy of its identity: the alerts run message loops, and nothing that
// happens meanwhile to the shared item list changes what the check asks
// about or what Yes and No act on.
struct JobSnapshot {
    Item *jobs = nullptr;
    int count = 0;

    JobSnapshot()
    {
        int listed = ItemCount();
        if (listed <= 0) return;
        jobs = (Item *)calloc((size_t)listed, sizeof(Item));
        if (!jobs) return;
        for (int i = 0; i < listed; i++)
            if (const Item *item = GetItem(i))
                if (CopyItemRecord(&jobs[count], item)) count++;
    }
    ~JobSnapshot()
    {
        for (int i = 0; i < count; i++) ReleaseItemCopy(&jobs[i]);
        free(jobs);
    }
    JobSnapshot(const JobSnapshot &) = delete;
    JobSnapshot &operator=(const JobSnapshot &) = delete;
};

void Approve(const Item &job)
{
    StoreWriteDecimal(HKEY_CURRENT_USER, TASK_BASELINE, job.name, job.type);
    RememberApprovedSigner(TASK_SIGNERS, job.name, job.path);
    WriteHistory(job.name, job.path, "", ITEM_TASK, HISTORY_TASK_APPROVE);
}

void Reject(const Item &job)
{
    DeleteScheduledTaskAs(job.name, 4);
    StoreDeleteValue(HKEY_CURRENT_USER, TASK_BASELINE, job.name);
}

void AskAbout(const Item &job)
{
    CopyTextCut(AlertTitle, sizeof AlertTitle, job.title);
    AlertType = 0;
    CopyTextCut(AlertCommand, sizeof AlertCommand, job.path);
    if (settings.hideAlerts > 1) {
        Reject(job);
        return;
    }
    PlayAlertSound(3);
    RecordFirstSeen(job.path, DETECTED_TASKS);
    SetPatrolStatus(161, 823);
    inDialog = 1;
    alertShown = 1;
    INT_PTR result = ShowAlert(DLG_ALERT_TASK);
    inDialog = 0;
    TraceWaitedForUser();
    if (result == ALERT_APPROVE)
        Approve(job);
    else if (result == ALERT_REJECT)
        Reject(job);
    // Anything else: asked again next time.
}
}  // namespace

void CheckScheduledTasks(void)
{
    if (EnumerateTasks() > 0) {
        JobSnapshot snapshot;
        for (int i = 0; i < snapshot.count; i++) {
            const Item &job = snapshot.jobs[i];
            if (IsTaskApproved(job) || FindTextNoCase(job.name, kExceptionText)) continue;
            AskAbout(job);
        }
    }
    // The 9x scheduler agent's icon in the taskbar is drawn again.
    if (!IsNtFamily()) {
        HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
        if (tray) InvalidateRect(tray, nullptr, TRUE);
    }
}
