// Sentrel.exe: the file types check. For every watched extension and
// association method, the program that opens it now is compared with the
// approved one; a change is asked about (or, with "LockFileTypes" set or
// alerts hidden for the pass, put back at once). The check also picks up
// options the explorer changed.
#include <windows.h>

#include "alerts.h"
#include "checks.h"
#include "history.h"
#include "file_types.h"
#include "first_seen.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "store.h"
#include "text.h"
#include "trace.h"

namespace {
const char *CommandText(const Association &association)
{
    return association.command.data ? (const char *)association.command.data : "";
}

// Asks the user about a changed association. The answer acts on what was
// shown: Yes approves the association the alert named, even when it has
// changed again meanwhile (the next pass then asks about that).
void AskAboutChange(const char *extension, int method, const Association &current)
{
    PlayAlertSound(5);
    RecordFirstSeen(AlertCommand, DETECTED_FILETYPES);
    RecordFirstSeen(AlertNewCommand, DETECTED_FILETYPES);
    SetPatrolStatus(161, 827);
    inDialog = 1;
    alertShown = 1;
    TraceWaitedForUser();
    INT_PTR result = ShowAlert(DLG_ALERT_FILE_TYPE);
    inDialog = 0;
    if (result == ALERT_REJECT)
        RestoreAssociation(extension, method);
    else if (result == ALERT_APPROVE && SaveAssociationAs(extension, method, &current))
        WriteHistory(extension, AlertNewCommand, current.cls, ITEM_FILETYPE, HISTORY_FILETYPE_APPROVE);
}

void CheckAssociation(const char *extension, int method, const Association &current)
{
    Association saved;
    if (!ReadSavedAssociation(extension, method, &saved)) {
        // First sight: the association becomes the approved one.
        SaveAssociationAs(extension, method, &current);
        return;
    }
    if (SameOpenCommand(CommandText(saved), CommandText(current))) {
        FreeAssociation(&saved);
        return;
    }
    AlertType = ITEM_FILETYPE;
    CopyTextCut(AlertTitle, sizeof AlertTitle, extension);
    CopyTextCut(AlertCommand, sizeof AlertCommand, CommandText(saved));
    CopyTextCut(AlertNewCommand, sizeof AlertNewCommand, CommandText(current));
    FreeAssociation(&saved);
    if (settings.lockFileTypes != 0 || settings.hideAlerts > 1) {
        // Put back without asking, without sound or history.
        RestoreAssociation(extension, method);
        ClearAlertRecord();
        return;
    }
    AskAboutChange(extension, method, current);
}

int CheckExtension(const char *extension, void *context)
{
    int *items = (int *)context;
    for (int method = METHOD_CLASS; method <= FILE_TYPE_LISTED_METHODS; method++) {
        Association current;
        if (!ReadAssociation(extension, method, &current)) continue;
        ++*items;
        CheckAssociation(extension, method, current);
        FreeAssociation(&current);
    }
    return 1;
}
}  // namespace

void CheckFileTypes(void)
{
    if (GetOption("Update", 0) != 0) {
        LoadOptions();
        StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Update", "0");
    }
    if (settings.fileType < 1) return;
    int items = 0;
    ForEachWatchedExtension(CheckExtension, &items);
}
