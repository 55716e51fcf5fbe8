// Sentrel.exe: the IE helpers check. Every browser helper object, toolbar
// and toolbar button that the baseline (HKCU Software\Orvendale\Sentrel\IEHelpers)
// does not approve raises the IE helper alert, or is removed at once while
// alerts are being handled without asking.
#include <windows.h>

#include "alerts.h"
#include "checks.h"
#include "history.h"
#include "first_seen.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "item_snapshot.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "processes.h"
#include "text.h"
#include "trace.h"

namespace {

void Reject(const Item &helper)
{
    if (helper.path[0]) StopProgram(helper.path, helper.title, 0);
    RemoveIEHelperEntry(&helper);
    ForgetIEHelper(&helper);
}

void Ask(const Item &helper)
{
    INT_PTR result = AskWithAlert(DLG_ALERT_IE_HELPER, 4, helper.path, DETECTED_IEHELPER, 158, 822);
    if (result == ALERT_REJECT)
        Reject(helper);
    else if (result == ALERT_APPROVE) {
        ApproveIEHelper(&helper);
        WriteHistory(helper.title, helper.path, helper.name,
                     helper.view == VIEW_32 ? helper.type | HISTORY_VIEW_32 : helper.type, HISTORY_IEHELPER_APPROVE);
    }
    // Anything else: asked again at the next check.
}
}  // namespace

int CheckIEHelpers(void)
{
    if (settings.ieHelpers <= 0) return 0;
    int listed = EnumerateIEHelpers();
    if (listed <= 0) return 0;
    // Copied out of the item list: the alerts run nested message loops in
    // which other work may refill the list, and a removal must not depend
    // on it either.
    ItemSnapshot helpers;
    for (int i = 0; i < helpers.count; i++) {
        const Item &helper = helpers.records[i];
        if (IEHelperApproved(&helper)) continue;
        // Removed meanwhile, with another registration of its file or by
        // the user: nothing left to ask about.
        if (!IEHelperRegistered(&helper)) continue;
        AlertType = 0;
        CopyTextCut(AlertCommand, sizeof AlertCommand, helper.path);
        CopyTextCut(AlertTitle, sizeof AlertTitle, helper.title);
        if (settings.hideAlerts > 1)
            Reject(helper);
        else
            Ask(helper);
    }
    return listed;
}
