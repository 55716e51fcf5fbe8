// Sentrel.exe: the services check. Every service of the full listing that
// the baseline does not approve raises the service alert; a rejected
// service is stopped and disabled, and is then known as rejected.
#include <windows.h>

#include "alerts.h"
#include "checks.h"
#include "history.h"
#include "store.h"
#include "first_seen.h"
#include "inventory.h"
#include "item_snapshot.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "services.h"
#include "text.h"
#include "trace.h"

namespace {

// A new service is one the baseline does not approve.
int IsNewService(const Item &record)
{
    return !IsServiceApproved(record);
}

void FillAlertRecord(const Item &record)
{
    AlertType = record.type;
    CopyTextCut(AlertCommand, sizeof AlertCommand, record.path);
    CopyTextCut(AlertTitle, sizeof AlertTitle, record.title);
    CopyTextCut(AlertName, sizeof AlertName, record.name);
}

// A rejected service is recorded as known only once it is really disabled:
// one that could not be disabled is asked about again.
void KeepIfDisabled(const Item &record)
{
    if (ServiceStartValue(record.name) == SERVICE_DISABLED) ApproveService(record);
}

void CheckNewService(const Item &record)
{
    FillAlertRecord(record);
    if (settings.hideAlerts > 1) {
        // Rejected without asking; the history says what was done.
        ServiceRejection result;
        RejectServiceLogged(ServiceRefOf(record), &result);
        KeepIfDisabled(record);
        ClearAlertRecord();
        return;
    }
    switch (AskWithAlert(DLG_ALERT_SERVICE, 1, record.path, DETECTED_SERVICES, 161, 821)) {
    case ALERT_APPROVE:
        ApproveService(record);
        WriteHistory(record.title, record.path, record.name, record.type, HISTORY_SERVICE_APPROVE);
        break;
    case ALERT_REJECT:
        // The alert has stopped and disabled it.
        KeepIfDisabled(record);
        break;
    default:
        break;   // asked again next time
    }
}

}  // namespace

int CheckServices(void)
{
    EnumerateServices(1);
    for (int i = 0; i < ItemCount(); i++)
        if (!IsServiceNameKnown(GetItemName(i))) return 1;
    // Approvals given for a signer: each program's signature must still name
    // it (the answers are kept per file, so this reads little once seen).
    return HasBrokenServiceSigner();
}

void CheckServicesPass(void)
{
    if (!CheckServices()) return;
    EnumerateServices(0);
    if (ItemCount() <= 0) return;
    // Copied out of the item list: the alert's nested message loop lets
    // other work refill the list while the user thinks.
    ItemSnapshot found(IsNewService);
    FreeItems();
    for (int i = 0; i < found.count; i++) CheckNewService(found.records[i]);
}
