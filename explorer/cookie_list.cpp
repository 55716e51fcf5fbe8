// SentrelEx.exe: the cookie list. Every cookie of the chosen browser, each
// with a check box: a ticked cookie is one to keep. Remove Checked removes
// the ticked cookies, Remove Unchecked all the others (and remembers the
// ticked ones as kept). Internet Explorer cookies are files and go at once;
// Mozilla cookies are marked, and the monitor's next cookie update takes
// them out of cookies.txt once the browser is closed.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "cookies.h"
#include "explorer.h"
#include "info_dialog.h"
#include "list_page.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum CookieListControl {
    IDD_COOKIE_LIST = 145,
    IDD_TEXT_VIEWER = 109,
    IDC_LIST_TEXT_FIRST = 1120,
    IDC_LIST_TEXT_SECOND = 1121,
    IDC_REMOVE_UNCHECKED = 1004,
    IDC_REMOVE_CHECKED = 1103,
    IDC_VIEWER_TEXT = 1000,
};
const int kMozillaList = 6044;   // the list identity of the Mozilla columns

const UINT kMozillaHeadings[] = {781, 775, 776, 777, 778};
const UINT kIEHeadings[] = {608, 669};
enum { COLUMN_TITLE, COLUMN_EXPIRES, COLUMN_PATH, COLUMN_VALUE, COLUMN_SSL };

ListPage cookieList = {CMD_PAGE_COOKIES, 2, kIEHeadings, "SortCookie", nullptr, -1};
int listMode = COOKIE_SOURCE_IE;
POINT minimumSize;

int IsMozilla(void)
{
    return listMode == COOKIE_SOURCE_MOZILLA;
}

// The key a row's cookie is kept by; empty when it has none.
void KeyOf(const PageRow *row, char *out, int size)
{
    if (CookieKeyOf(&row->record, out, size) <= 0) out[0] = 0;
}

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    if (IsMozilla()) {
        CopyTextCut(row->cells[COLUMN_TITLE], CELL_SIZE, record.title);
        CopyTextCut(row->cells[COLUMN_EXPIRES], CELL_SIZE, record.info);
        CopyTextCut(row->cells[COLUMN_PATH], CELL_SIZE, record.path);
        CopyTextCut(row->cells[COLUMN_VALUE], CELL_SIZE, record.detail);
        LoadUiString(record.qualifier ? 779 : 780, row->cells[COLUMN_SSL], CELL_SIZE);
    } else {
        char name[PATH_SIZE];
        KeyOf(row, name, sizeof name);
        CopyTextCut(row->cells[COLUMN_TITLE], CELL_SIZE, name);
        CopyTextCut(row->cells[COLUMN_EXPIRES], CELL_SIZE, record.info);
    }
}

void SetTicked(int position, int ticked)
{
    LVITEMA item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    SendMessageA(cookieList.list, LVM_SETITEMSTATE, (WPARAM)position, (LPARAM)&item);
}

int IsTicked(int position)
{
    UINT state = (UINT)SendMessageA(cookieList.list, LVM_GETITEMSTATE, (WPARAM)position, LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
}

// Reads the cookies and shows one row per cookie, ticked when kept.
void FillCookieList(void)
{
    ListPage *p = &cookieList;
    FreeRows(p);
    cookieSource = listMode;
    int count = ReadCookies(0);
    // Mozilla cookies marked for removal are gone as far as the user is concerned.
    if (IsMozilla()) LoadCookieFilter();
    p->rows = count > 0 ? (PageRow *)calloc((size_t)count, sizeof(PageRow)) : nullptr;
    for (int i = 0; p->rows && i < count; i++) {
        const Item *item = GetItem(i);
        if (!item) continue;
        if (IsMozilla() && IsCookieFilterEntry(item->name)) continue;
        if (!IsMozilla() && !strchr(item->path, '\\')) continue;
        if (!CopyItemRecord(&p->rows[p->rowCount].record, item)) continue;
        p->rowCount++;
    }
    if (IsMozilla()) FreeCookieFilter();
    FreeItems();
    for (int i = 0; i < p->rowCount; i++) FillCells(&p->rows[i]);
    ShowRows(p);
    SendMessageA(p->list, WM_SETREDRAW, FALSE, 0);
    int shown = (int)SendMessageA(p->list, LVM_GETITEMCOUNT, 0, 0);
    for (int position = 0; position < shown; position++) {
        PageRow *row = PageRowAt(p, RowIndexAt(p, position));
        char key[1024];
        if (row) KeyOf(row, key, sizeof key);
        SetTicked(position, row && key[0] && IsKeptCookie(key));
    }
    SendMessageA(p->list, WM_SETREDRAW, TRUE, 0);
    ApplySavedSort(p);
}

// Removes the ticked rows' cookies (checked) or the others (unchecked).
void RemoveCookies(HWND dialog, int checked)
{
    if (PageMessage(dialog, checked ? 738 : 728, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST) != IDYES) return;
    ListPage *p = &cookieList;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int shown = (int)SendMessageA(p->list, LVM_GETITEMCOUNT, 0, 0);
    for (int position = 0; position < shown; position++) {
        PageRow *row = PageRowAt(p, RowIndexAt(p, position));
        if (!row) continue;
        char key[1024];
        KeyOf(row, key, sizeof key);
        int ticked = IsTicked(position);
        if (!checked && ticked) {
            SetKeptCookie(key, 1);
            continue;
        }
        if (checked && !ticked) continue;
        SetKeptCookie(key, 0);
        RemoveCookie(&row->record);
    }
    if (IsMozilla()) {
        // The marked cookies leave cookiesnew.txt now and cookies.txt with
        // the monitor's next update.
        cookieSource = listMode;
        ReadCookies(1);
        FreeItems();
    }
    FillCookieList();
    SortRows(p, COLUMN_TITLE);
    SetCursor(old);
}

// --- The text viewer ------------------------------------------------------------------

// A cookie file's text for an edit control: CR LF line ends, no NUL bytes,
// at most 64 KB of the file.
char *ViewerText(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    const DWORD kShown = 65536;
    char *data = (char *)malloc(kShown + 1);
    char *text = (char *)malloc(2 * kShown + 1);
    DWORD got = 0;
    if (!data || !text || !ReadFile(file, data, kShown, &got, nullptr)) got = 0;
    CloseHandle(file);
    if (!data || !text) {
        free(data);
        free(text);
        return nullptr;
    }
    size_t used = 0;
    for (DWORD i = 0; i < got; i++) {
        char c = data[i];
        if (c == '\n' && (i == 0 || data[i - 1] != '\r')) text[used++] = '\r';
        text[used++] = c ? c : ' ';
    }
    text[used] = 0;
    free(data);
    return text;
}

INT_PTR CALLBACK TextViewerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        char caption[128];
        if (LoadUiString(29, caption, sizeof caption) > 0) SetWindowTextA(dialog, caption);
        SetDlgItemUiString(dialog, 304, IDCANCEL);
        SetDlgItemTextA(dialog, IDC_VIEWER_TEXT, (const char *)lParam);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) EndDialog(dialog, IDOK);
        return TRUE;
    default:
        return FALSE;
    }
}

void ViewCookie(HWND dialog)
{
    PageRow *row = PageRowAt(&cookieList, SelectedRecord(&cookieList));
    if (!row) {
        PageMessage(dialog, 58, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    char path[PATH_SIZE];
    if (!CopyText(path, sizeof path, row->record.path) || !FileExists(path)) return;
    char *text = ViewerText(path);
    if (!text) return;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_TEXT_VIEWER), dialog, TextViewerProc, (LPARAM)text);
    free(text);
}

void SetCookiePatrolTime(HWND dialog)
{
    PageMessage(dialog, 965, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    ChangePatrolTimeOfPage(dialog, 787);
}

// --- The dialog -------------------------------------------------------------------

void LayoutCookieList(HWND dialog)
{
    PageMetrics m = MeasurePage(dialog, 64);
    int width = m.width, height = m.height, margin = m.margin, line = m.line, buttonWidth = m.buttonWidth,
        buttonHeight = m.buttonHeight;
    // As on the pages: Monitor at the right, Help left of it.
    int right = PlaceHeaderLabels(dialog, m);
    int headerBottom = margin + line * 4 + 6;
    int half = (headerBottom - margin) / 2;
    MoveWindow(GetDlgItem(dialog, IDC_LIST_TEXT_FIRST), margin, margin, right - 2 * margin, half, TRUE);
    MoveWindow(GetDlgItem(dialog, IDC_LIST_TEXT_SECOND), margin, margin + half, right - 2 * margin, half, TRUE);
    int buttonTop = height - margin - buttonHeight;
    MoveWindow(cookieList.list, margin, headerBottom, width - 2 * margin, buttonTop - margin - headerBottom, TRUE);
    const int buttons[] = {IDC_INFO, IDC_REMOVE_UNCHECKED, IDC_REMOVE_CHECKED, IDCANCEL};
    int slot = (width - margin) / 4;
    int shown = slot - margin < buttonWidth ? slot - margin : buttonWidth;
    for (int i = 0; i < 4; i++)
        MoveWindow(GetDlgItem(dialog, buttons[i]), margin + i * slot + (slot - margin - shown) / 2, buttonTop, shown,
                   buttonHeight, TRUE);
    InvalidateRect(dialog, nullptr, TRUE);
}

void InitCookieList(HWND dialog, int mode)
{
    listMode = mode == COOKIE_SOURCE_MOZILLA ? COOKIE_SOURCE_MOZILLA : COOKIE_SOURCE_IE;
    ListPage *p = &cookieList;
    p->identity = IsMozilla() ? kMozillaList : (int)CMD_PAGE_COOKIES;
    p->headings = IsMozilla() ? kMozillaHeadings : kIEHeadings;
    p->columnCount = IsMozilla() ? 5 : 2;
    const DialogText texts[] = {{231, IDC_LIST_TEXT_FIRST}, {232, IDC_LIST_TEXT_SECOND}, {659, IDC_INFO},
                                {303, IDC_REMOVE_UNCHECKED}, {708, IDC_REMOVE_CHECKED}, {304, IDCANCEL}};
    SetDialogTexts(dialog, 608, texts);
    RECT r;
    GetWindowRect(dialog, &r);
    minimumSize.x = (r.right - r.left) * 2 / 3;
    minimumSize.y = (r.bottom - r.top) * 2 / 3;
    p->list = GetDlgItem(dialog, IDC_LIST);
    RestoreWindowPos(dialog, &POS_COOKIE, currentPage);
    LayoutCookieList(dialog);
    InitListPage(p, dialog);
    SendMessageA(p->list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    SetMonitorLabel(dialog, settings.cookies > 0 ? 1 : 0);
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    if (IsMozilla()) {
        // What the filter removes is taken out first.
        cookieSource = listMode;
        ReadCookies(1);
        FreeItems();
    }
    FillCookieList();
    SetCursor(old);
}

void ShowMenu(void)
{
    // View, Remove Unchecked, Remove Checked, then Zenta Info and Help.
    const int items[] = {IDC_INFO, IDC_REMOVE_UNCHECKED, IDC_REMOVE_CHECKED, 0, IDC_ONLINE_INFO, IDC_HELP_LABEL};
    const UINT texts[] = {659, 303, 0, 0, 0, 0};
    ShowRowMenu(&cookieList, items, sizeof items / sizeof items[0], nullptr, texts);
}

INT_PTR CALLBACK CookieListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitCookieList(dialog, (int)lParam);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_INFO: case IDOK: ViewCookie(dialog); break;
        case IDC_REMOVE_UNCHECKED: RemoveCookies(dialog, 0); break;
        case IDC_REMOVE_CHECKED: RemoveCookies(dialog, 1); break;
        case IDC_ONLINE_INFO: ShowOnlineInfo(&cookieList); break;
        case IDC_MONITOR_LABEL: SetCookiePatrolTime(dialog); break;
        case IDC_HELP_LABEL: OpenHelpPage(CMD_PAGE_COOKIES); break;
        case IDCANCEL:
            SaveWindowPos(dialog, &POS_COOKIE, currentPage);
            EndDialog(dialog, IDCANCEL);
            break;
        default: break;
        }
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR *header = (const NMHDR *)lParam;
        if (header->idFrom != IDC_LIST) return FALSE;
        if (header->code == LVN_COLUMNCLICK)
            SortByHeaderClick(&cookieList, ((const NMLISTVIEW *)header)->iSubItem);
        else if (header->code == NM_RCLICK)
            ShowMenu();
        else if (header->code == NM_DBLCLK)
            ViewCookie(dialog);
        return TRUE;
    }
    case WM_GETMINMAXINFO:
        if (minimumSize.x > 0) {
            MINMAXINFO *info = (MINMAXINFO *)lParam;
            info->ptMinTrackSize = minimumSize;
        }
        return TRUE;
    case WM_SIZE:
        if (cookieList.list) LayoutCookieList(dialog);
        return TRUE;
    case WM_DRAWITEM:
        return DrawPageControl(dialog, (const DRAWITEMSTRUCT *)lParam);
    case WM_DESTROY:
        FreeRows(&cookieList);
        cookieList.list = nullptr;
        cookieList.window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

void ShowCookieList(HWND owner, int mode)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_COOKIE_LIST), owner, CookieListProc, (LPARAM)mode);
    FreeItems();
}
