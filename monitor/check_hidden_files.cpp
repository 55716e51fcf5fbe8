// Sentrel.exe: the hidden files check. Every hidden file of the watched
// places that the baseline does not hold raises the hidden file alert: OK
// keeps it (it joins the baseline), Delete (also Esc) moves it into the
// vault. A file that cannot be removed stays where it is, the user is told
// why, and it is asked about again at the next firing.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "alerts.h"
#include "checks.h"
#include "growing_array.h"
#include "history.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

namespace {

// The unknown files, taken before the first alert: the alert's nested
// message loop lets other work use the item list meanwhile, and the scan
// itself is not limited to what the item list holds.
struct UnknownFiles {
    char (*paths)[PATH_SIZE] = nullptr;
    int count = 0, room = 0;

    ~UnknownFiles() { free(paths); }
    int Add(const char *path)
    {
        if (!MakeRoomForOne(paths, count, room, 64)) return 0;
        return (int)CopyText(paths[count++], PATH_SIZE, path) > 0;
    }
};

int CollectUnknown(const char *path, DWORD, void *context)
{
    if (!IsHiddenFileKnown(path)) ((UnknownFiles *)context)->Add(path);
    return 1;
}

void TellRemovalFailed(const char *path, DWORD error)
{
    char text[1024], caption[64];
    DescribeRemovalFailure(path, error, text, sizeof text);
    LoadUiString(2, caption, sizeof caption);
    inDialog = 1;
    UiMessageBoxText(mainWindow, text, caption, MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    inDialog = 0;
}

void AskAbout(const char *path)
{
    char title[ITEM_TITLE_SIZE];
    HiddenFileTitle(path, title, sizeof title);
    CopyTextCut(AlertTitle, sizeof AlertTitle, title);
    AlertType = ITEM_HIDDEN;
    CopyTextCut(AlertCommand, sizeof AlertCommand, path);
    // While alerts are hidden the file stays unknown: nothing is written.
    if (settings.hideAlerts > 1) return;
    switch (AskWithAlert(DLG_ALERT_HIDDEN, 4, path, DETECTED_HIDDEN, 158, 822)) {
    case ALERT_REJECT:
        if (!RemoveHiddenFile(title, path)) TellRemovalFailed(path, GetLastError());
        break;
    case ALERT_APPROVE:
        if (AcceptHiddenFile(path)) WriteHistory(title, path, "", ITEM_HIDDEN, HISTORY_HIDDEN_ACCEPT);
        break;
    default:
        break;   // no answer: asked again next time
    }
}

}  // namespace

void CheckHiddenFiles(void)
{
    UnknownFiles unknown;
    ForEachHiddenFile(CollectUnknown, &unknown);
    for (int i = 0; i < unknown.count; i++) {
        const char *path = unknown.paths[i];
        // Gone or dealt with while an earlier alert was open.
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_HIDDEN)) continue;
        if (IsHiddenFileKnown(path)) continue;
        AskAbout(path);
    }
    ClearAlertRecord();
}
