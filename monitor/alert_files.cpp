// Sentrel.exe: the alerts about files: a file type that changed its program
// and a monitored system file that changed, with the copies the latter makes.
#include <windows.h>
#include <shlobj.h>

#include "alert_dialog.h"
#include "alerts.h"
#include "monitor.h"
#include "program_files.h"
#include "store.h"
#include "sysfiles.h"
#include "text.h"
#include "ui_strings.h"

// --- File type change -------------------------------------------------------------

namespace {
AlertWindow typeWindow;

void ShowTypeHalf(HWND dialog, const char *command, int slot, int icon, int name, int company,
                  int commandField)
{
    AlertProgram program;
    ReadAlertProgram(command, &program, &typeWindow, slot);
    SetAlertIcon(dialog, icon, program.icon);
    char notFound[ALERT_TEXT_SIZE] = "";
    if (program.missing) LoadUiString(730, notFound, sizeof notFound);
    SetAlertField(dialog, name, program.missing ? notFound : program.facts[VERSION_PRODUCT_NAME]);
    SetAlertField(dialog, company, program.facts[VERSION_COMPANY_NAME]);
    SetDlgItemTextA(dialog, commandField, command);
}
}  // namespace

INT_PTR CALLBACK FileTypeAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OpenAlertWindow(dialog, &typeWindow, 760, &POS_ALERT, &POS_ALERT);
        SetDlgItemUiString(dialog, 756, IDC_TYPE_TEXT1);
        SetDlgItemUiString(dialog, 757, IDC_TYPE_TEXT2);
        SetDlgItemUiString(dialog, 758, IDC_TYPE_TEXT3);
        SetDlgItemUiString(dialog, 759, IDC_TYPE_TEXT4);
        SetDlgItemUiString(dialog, 719, IDYES);
        SetDlgItemUiString(dialog, 720, IDNO);
        SetDlgItemUiString(dialog, 301, IDC_TYPE_OLD_INFO);
        SetDlgItemUiString(dialog, 301, IDC_TYPE_NEW_INFO);
        SetDlgItemTextA(dialog, IDC_TYPE_EXTENSION, AlertTitle);
        SetAlertFont(dialog, IDC_TYPE_EXTENSION, &typeWindow, ALERT_FONT_NAME);
        ShowTypeHalf(dialog, AlertCommand, 0, IDC_TYPE_OLD_ICON, IDC_TYPE_OLD_NAME,
                     IDC_TYPE_OLD_COMPANY, IDC_TYPE_OLD_COMMAND);
        ShowTypeHalf(dialog, AlertNewCommand, 1, IDC_TYPE_NEW_ICON, IDC_TYPE_NEW_NAME,
                     IDC_TYPE_NEW_COMPANY, IDC_TYPE_NEW_COMMAND);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_TYPE_OLD_INFO:
        case IDC_TYPE_NEW_INFO:
            OpenAlertProgramInfo(dialog, AlertType + 1000,
                                 LOWORD(wParam) == IDC_TYPE_OLD_INFO ? AlertCommand : AlertNewCommand);
            DropAlertTopmost(dialog);
            return TRUE;
        case IDYES:
        case IDCANCEL:   // Esc approves
            EndDialog(dialog, ALERT_APPROVE);
            return TRUE;
        case IDNO:
            EndDialog(dialog, ALERT_REJECT);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        CloseAlertWindow(dialog, &typeWindow);
        return FALSE;
    default:
        return FALSE;
    }
}

// --- Monitored file changed ---------------------------------------------------------

namespace {
int RecordPath(char *out, size_t size)
{
    return AlertTitle[0] && FormatText(out, size, "%s\\%s", SYSFILES_KEY, AlertTitle) ? 1 : 0;
}
}  // namespace

// The answers act on the entry of the alert record: its subkey name
// (AlertTitle) and its file.
int AcceptFileChange(int stopWatching)
{
    if (AcceptMonitoredFile(AlertTitle, AlertFilePath, stopWatching)) return 1;
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_FILE_NOT_FOUND);
    ShowSystemError();
    return 0;
}

int RejectFileChange(int stopWatching)
{
    if (RestoreMonitoredFile(AlertTitle, AlertFilePath, stopWatching)) return 1;
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_FILE_NOT_FOUND);
    ShowSystemError();
    return 0;
}

namespace {
AlertWindow fileWindow;
}

INT_PTR CALLBACK FileChangeAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        // Not placed from the store: it opens where the platform puts it.
        OpenAlertWindow(dialog, &fileWindow, 1000, nullptr, &POS_SYSFILES);
        static const struct {
            UINT text;
            int control;
        } kTexts[] = {{1001, IDC_FILE_TEXT1},         {1002, IDC_FILE_TEXT2},
                      {1003, IDC_FILE_TEXT3},         {1004, IDC_FILE_NAME_LABEL},
                      {1005, IDC_FILE_LOCATION_LABEL}, {1006, IDC_FILE_VIEW_NEW},
                      {1007, IDC_FILE_VIEW_OLD},      {1008, IDC_FILE_ACCEPT},
                      {1009, IDC_FILE_REJECT},        {1010, IDC_FILE_STOP_WATCHING}};
        for (const auto &row : kTexts) SetDlgItemUiString(dialog, row.text, row.control);
        SetDlgItemTextA(dialog, IDC_FILE_NAME, AlertTitle);
        SetAlertFont(dialog, IDC_FILE_NAME, &fileWindow, ALERT_FONT_NAME);
        SetDlgItemTextA(dialog, IDC_FILE_LOCATION, AlertFilePath);
        char record[400], comment[1024];
        if (RecordPath(record, sizeof record) &&
            StoreReadString(HKEY_LOCAL_MACHINE, record, "Comment", comment, sizeof comment) > 0)
            SetDlgItemTextA(dialog, IDC_FILE_COMMENT, comment);
        CheckDlgButton(dialog, IDC_FILE_STOP_WATCHING, BST_UNCHECKED);
        return TRUE;
    }
    case WM_COMMAND: {
        int stopWatching = IsDlgButtonChecked(dialog, IDC_FILE_STOP_WATCHING) == BST_CHECKED;
        switch (LOWORD(wParam)) {
        case IDC_FILE_VIEW_NEW:
            DropAlertTopmost(dialog);
            ViewTextFile(AlertFilePath);
            return TRUE;
        case IDC_FILE_VIEW_OLD: {
            char copy[PATH_SIZE];
            DropAlertTopmost(dialog);
            if (GetMonitoredCopyPath(AlertTitle, copy)) ViewTextFile(copy);
            return TRUE;
        }
        case IDC_FILE_ACCEPT:
            EndDialog(dialog, AcceptFileChange(stopWatching));
            return TRUE;
        case IDC_FILE_REJECT:
            EndDialog(dialog, RejectFileChange(stopWatching));
            return TRUE;
        case IDCANCEL:   // Esc does nothing here: the user has to decide
            return TRUE;
        }
        return FALSE;
    }
    case WM_DESTROY:
        CloseAlertWindow(dialog, &fileWindow);
        return FALSE;
    default:
        return FALSE;
    }
}
