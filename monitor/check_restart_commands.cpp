// Sentrel.exe: the restart commands of Windows 9x. Commands queued in the
// Windows folder's wininit.ini run at the next restart; the patrol asks
// whether to show them, and the viewer lets the user delete the file.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "alerts.h"
#include "checks.h"
#include "monitor.h"
#include "options.h"
#include "sysfiles.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

#define RESTART_COUNTDOWN_DONE 99999   // asked once: not again while the monitor runs
#define STR_RESTART_CUT        2702

namespace {
// Delete empties the file the viewer shows (its own, kept at its opening);
// Close leaves it as it is.
INT_PTR OnViewerCommand(HWND dialog, int id)
{
    if (id == IDC_RESTART_DELETE) {
        const char *path = (const char *)GetWindowLongPtrA(dialog, DWLP_USER);
        if (!DeleteRestartCommands(path)) ShowSystemError();
    } else if (id != IDCANCEL) {
        return FALSE;
    }
    EndDialog(dialog, id);
    return TRUE;
}

INT_PTR CALLBACK RestartViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        // The file to act on is the viewer's own, whatever a later check
        // puts into the alert record.
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        const char *path = (const char *)lParam;
        SetWindowTextA(dialog, AlertTitle);
        SetDlgItemUiString(dialog, 702, IDC_RESTART_NOTE);
        SetDlgItemUiString(dialog, 614, IDC_RESTART_DELETE);
        SetDlgItemUiString(dialog, 304, IDCANCEL);
        int longer = 0;
        char *text = ReadRestartCommandsText(path, &longer);
        if (text) {
            char note[512];
            if (longer && LoadUiString(STR_RESTART_CUT, note + 2, sizeof note - 2) > 0) {
                note[0] = '\r';
                note[1] = '\n';
                size_t room = strlen(text) + strlen(note) + 1;
                if (char *joined = (char *)realloc(text, room)) {
                    text = joined;
                    AppendText(text, room, note);
                }
            }
            // Line ends may have doubled the bytes: beyond an edit control's usual limit.
            SendDlgItemMessageA(dialog, IDC_RESTART_TEXT, EM_SETLIMITTEXT, 0, 0);
            SetDlgItemTextA(dialog, IDC_RESTART_TEXT, text);
            free(text);
        }
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        // The focus on Close: the text is read, not selected as a whole.
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        return FALSE;
    }
    case WM_COMMAND:
        return OnViewerCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}
}  // namespace

int CheckRestartCommands(int probe)
{
    LoadUiString(30, AlertTitle, sizeof AlertTitle);
    char path[PATH_SIZE];
    if (!GetRestartCommandsPath(path)) return 0;
    if (HasRestartCommands(path)) {
        if (probe) return 1;
        CopyText(AlertCommand, sizeof AlertCommand, path);
        DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_RESTART_COMMANDS), mainWindow, RestartViewerProc,
                        (LPARAM)path);
        ClearAlertRecord();
        return 1;
    }
    if (!probe) UiMessageBox(mainWindow, 59, windowTitle, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    return 0;
}

void CheckRestartCommandsPass(void)
{
    alertShown = 1;
    if (!CheckRestartCommands(1)) return;
    countdowns.winInit = RESTART_COUNTDOWN_DONE;
    int answer = UiMessageBox(nullptr, 28, windowTitle, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST);
    TraceWaitedForUser();
    if (answer == IDYES) CheckRestartCommands(0);
}
