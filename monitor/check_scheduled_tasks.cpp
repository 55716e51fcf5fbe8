// Sentrel.exe: the scheduled tasks check. Every job of the Task Scheduler
// that the baseline (HKCU Software\Orvendale\Sentrel\Tasks) does not
// approve, and every Task Scheduler 2.0 task that its own baseline (Tasks2,
// by task path) does not approve, raises the task alert; Yes approves the
// task, No deletes exactly that task.
#include <windows.h>

#include "alerts.h"
#include "checks.h"
#include "history.h"
#include "first_seen.h"
#include "inventory.h"
#include "item_snapshot.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "registered_tasks.h"
#include "store.h"
#include "signatures.h"
#include "tasks.h"
#include "text.h"
#include "trace.h"

namespace {
// Jobs of one antivirus vendor's online scan come and go with each scan
// and are never asked about.
const char kExceptionText[] = "avcheck-online.net";

int IsVersion2(const Item &job)
{
    return job.type == ITEM_TASK2;
}

void Approve(const Item &job)
{
    const char *baseline = IsVersion2(job) ? TASK2_BASELINE : TASK_BASELINE;
    StoreWriteDecimal(HKEY_CURRENT_USER, baseline, job.name, job.type);
    RememberApprovedSigner(IsVersion2(job) ? TASK2_SIGNERS : TASK_SIGNERS, job.name, job.path);
    WriteHistory(job.name, job.path, "", job.type, HISTORY_TASK_APPROVE);
}

void Reject(const Item &job)
{
    if (IsVersion2(job)) {
        DeleteRegisteredTaskAs(job.name, 4);
        StoreDeleteValue(HKEY_CURRENT_USER, TASK2_BASELINE, job.name);
        return;
    }
    DeleteScheduledTaskAs(job.name, 4);
    StoreDeleteValue(HKEY_CURRENT_USER, TASK_BASELINE, job.name);
}

void AskAbout(const Item &job)
{
    CopyTextCut(AlertTitle, sizeof AlertTitle, job.title);
    AlertType = 0;
    CopyTextCut(AlertCommand, sizeof AlertCommand, job.path);
    // A task of several actions shows every one of them.
    RegisteredTaskFacts facts;
    if (IsVersion2(job) && RegisteredTaskFactsOf(job.name, &facts) && facts.file.actionCount > 1)
        CopyTextCut(AlertCommand, sizeof AlertCommand, facts.file.actions);
    if (settings.hideAlerts > 1) {
        Reject(job);
        return;
    }
    INT_PTR result = AskWithAlert(DLG_ALERT_TASK, 3, job.path, DETECTED_TASKS, 161, 823);
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
        ItemSnapshot snapshot;   // the jobs as they were when the check began
        for (int i = 0; i < snapshot.count; i++) {
            const Item &job = snapshot.records[i];
            int approved = IsVersion2(job) ? IsRegisteredTaskApproved(job) : IsTaskApproved(job);
            if (approved || FindTextNoCase(job.name, kExceptionText)) continue;
            AskAbout(job);
        }
    }
    // The 9x scheduler agent's icon in the taskbar is drawn again.
    if (!IsNtFamily()) {
        HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
        if (tray) InvalidateRect(tray, nullptr, TRUE);
    }
}
