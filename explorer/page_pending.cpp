// SentrelEx.exe: a tab whose page is not built yet. It takes part in the
// sheet like every list page (activation, placement, Help, Close) and shows
// an empty list.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "explorer.h"
#include "list_page.h"
#include "pages.h"
#include "reports.h"
#include "ui_strings.h"

int PageCommandOf(LPARAM initParam)
{
    const PROPSHEETPAGEA *sheetPage = (const PROPSHEETPAGEA *)initParam;
    return sheetPage ? (int)sheetPage->lParam : 0;
}

INT_PTR CALLBACK PendingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    int command = (int)GetWindowLongPtrA(page, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG:
        command = PageCommandOf(lParam);
        SetWindowLongPtrA(page, GWLP_USERDATA, command);
        SetDlgItemUiString(page, 793, IDC_HELP_WORD);
        SetDlgItemUiString(page, 794, IDC_MONITOR_WORD);
        SetDlgItemUiString(page, 304, IDC_CLOSE);
        currentPage = command;
        RestorePlacement(page);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR *header = (const NMHDR *)lParam;
        if (header->code == PSN_SETACTIVE) {
            ActivatePage(page, command);
        } else if (header->code == PSN_KILLACTIVE) {
            LeavePage(page);
        } else if (header->code == PSN_RESET) {
            ResetPage(page);
        }
        return FALSE;
    }
    case WM_SIZE:
        LayoutListPage(page);
        return TRUE;
    case WM_DRAWITEM:
        return DrawPageControl(page, (const DRAWITEMSTRUCT *)lParam);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CLOSE) CloseSheet(page);
        if (LOWORD(wParam) == IDC_HELP_LABEL) OpenHelpPage(command);
        if (LOWORD(wParam) == IDC_SYSTEM_REPORT) WriteSystemReport(page);
        return TRUE;
    default:
        return FALSE;
    }
}
