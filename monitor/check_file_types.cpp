// Sentrel.exe: the file types check. For every watched extension and
// association method, the program that opens it now is compared with the
// approved one; a change is asked about (or, with "LockFileTypes" set or
// alerts hidden for the pass, put back at once). The check also picks up
// options the explorer changed.
#include <windows.h>

#include <cstring>

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

// Asks the user about a changed association (or a new choice of the
// user's own). The answer acts on what was shown: Yes approves the
// association the alert named, even when it has changed again meanwhile
// (the next pass then asks about that); No puts the approved one back, or
// takes the new choice away.
void AskAboutChange(const char *extension, int method, const Association &current, int isNew)
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
    // (The alert record is cleared when the alert closes.)
    if (result == ALERT_REJECT) {
        if (isNew ? RemoveUserChoice(extension, method) : RestoreAssociation(extension, method))
            WriteHistory(extension, CommandText(current), current.cls, ITEM_FILETYPE,
                         isNew ? HISTORY_FILETYPE_REMOVE : HISTORY_FILETYPE_RESTORE);
    } else if (result == ALERT_APPROVE && SaveAssociationAs(extension, method, &current)) {
        WriteHistory(extension, CommandText(current), current.cls, ITEM_FILETYPE, HISTORY_FILETYPE_APPROVE);
    }
}

// 1 when the baseline was taken whole (a first start has finished).
int BaselineComplete(void)
{
    char mark[32];
    return StoreReadString(HKEY_CURRENT_USER, STORE_ROOT "\\Ext", "", mark, sizeof mark) > 0 &&
           strcmp(mark, "Do not edit.") == 0;
}

void CheckAssociation(const char *extension, int method, const Association &current)
{
    Association saved;
    int isNew = !ReadSavedAssociation(extension, method, &saved);
    if (isNew) {
        // First sight of the machine's association: it becomes the approved
        // one. A choice of the user's own that came after the baseline is
        // asked about, from what opened the extension before it.
        if (!IsUserChoice(method) || !BaselineComplete()) {
            SaveAssociationAs(extension, method, &current);
            return;
        }
        AlertCommand[0] = 0;
        if (ReadAssociation(extension, METHOD_CLASS, &saved))
            CopyTextCut(AlertCommand, sizeof AlertCommand, CommandText(saved));
    } else if (SameOpenCommand(CommandText(saved), CommandText(current))) {
        FreeAssociation(&saved);
        return;
    } else {
        CopyTextCut(AlertCommand, sizeof AlertCommand, CommandText(saved));
    }
    FreeAssociation(&saved);
    AlertType = ITEM_FILETYPE;
    CopyTextCut(AlertTitle, sizeof AlertTitle, extension);
    CopyTextCut(AlertNewCommand, sizeof AlertNewCommand, CommandText(current));
    if (settings.lockFileTypes != 0 || settings.hideAlerts > 1) {
        // Put back without asking or sound; what was undone is written down.
        if (isNew ? RemoveUserChoice(extension, method) : RestoreAssociation(extension, method))
            WriteHistory(extension, CommandText(current), current.cls, ITEM_FILETYPE,
                         isNew ? HISTORY_FILETYPE_REMOVE : HISTORY_FILETYPE_RESTORE);
        ClearAlertRecord();
        return;
    }
    AskAboutChange(extension, method, current, isNew);
}

int CheckExtension(const char *extension, void *context)
{
    int *items = (int *)context;
    for (int i = 0, method; (method = ListedMethod(i)) != 0; i++) {
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
