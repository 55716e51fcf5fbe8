// SentrelEx.exe: the Cookies page (tab 7): the cookie filter texts whose
// cookies the monitor removes, the browser whose cookies are meant, its
// cookie folder, and the button that opens the cookie list.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>

#include "cookies.h"
#include "explorer.h"
#include "list_page.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum CookiesControl {
    IDC_FILTER_TEXT = 1004,
    IDC_EXPLANATION_TOP = 1124,
    IDC_EXPLANATION_BROWSER = 1125,
    IDC_EXPLANATION_VIEW = 1126,
    IDC_BROWSER_IE = 1127,
    IDC_BROWSER_MOZILLA = 1128,
    IDC_VIEW_COOKIES = 1129,
    IDC_CHOOSE_FOLDER = 1131,
    IDC_FOLDER = 1143,
    IDC_FILTER_HEADING = 1160,
};

const int kMaxPageFilters = 256;

// The page's rows: the filter texts exactly as they are named in the store.
char **rowTexts;
int rowCount;
int cookieMode = COOKIE_SOURCE_IE;
HFONT headingFont;

void FreeRowTexts(void)
{
    for (int i = 0; i < rowCount; i++) free(rowTexts[i]);
    free(rowTexts);
    rowTexts = nullptr;
    rowCount = 0;
}

// The filter texts entered on this page (number 1). Returns how many.
int FillFilterList(HWND page)
{
    HWND list = GetDlgItem(page, IDC_LIST);
    FreeRowTexts();
    LoadCookieFilter();
    int count = CookieFilterCount();
    rowTexts = (char **)calloc((size_t)(count ? count : 1), sizeof(char *));
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; rowTexts && i < count; i++) {
        if (CookieFilterNumber(i) != 1) continue;
        char *text = DuplicateText(CookieFilterText(i));
        if (!text) continue;
        rowTexts[rowCount] = text;
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = rowCount;
        item.pszText = text;
        item.lParam = rowCount;
        SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        rowCount++;
    }
    FreeCookieFilter();
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return rowCount;
}

// Filter texts counted against the page's limit: the removal marks of single
// cookies do not count.
int PageFilterCount(void)
{
    LoadCookieFilter();
    int count = 0;
    for (int i = 0; i < CookieFilterCount(); i++)
        if (CookieFilterNumber(i) != 2) count++;
    FreeCookieFilter();
    return count;
}

int MozillaProfileExists(void)
{
    char folder[PATH_SIZE];
    return FindMozillaProfileFolder(folder);
}

void ShowFolder(HWND page)
{
    char folder[PATH_SIZE] = "";
    if (cookieMode == COOKIE_SOURCE_IE) {
        FindIECookieFolder(folder);
    } else if (!FindMozillaProfileFolder(folder)) {
        LoadUiString(968, folder, sizeof folder);
    }
    SetDlgItemTextA(page, IDC_FOLDER, folder);
}

void SetBrowserFromOptions(HWND page)
{
    long browser = GetOption("Browser", 1);
    int mozilla = browser == 6 || browser == 2 || browser == 3;
    if (!MozillaProfileExists()) {
        // Only Internet Explorer is offered.
        mozilla = 0;
        ShowWindow(GetDlgItem(page, IDC_BROWSER_MOZILLA), SW_HIDE);
        EnableWindow(GetDlgItem(page, IDC_BROWSER_IE), FALSE);
    } else {
        ShowWindow(GetDlgItem(page, IDC_BROWSER_MOZILLA), SW_SHOW);
        EnableWindow(GetDlgItem(page, IDC_BROWSER_IE), TRUE);
    }
    CheckRadioButton(page, IDC_BROWSER_IE, IDC_BROWSER_MOZILLA, mozilla ? IDC_BROWSER_MOZILLA : IDC_BROWSER_IE);
    cookieMode = mozilla ? COOKIE_SOURCE_MOZILLA : COOKIE_SOURCE_IE;
    ShowFolder(page);
}

// Enter in the filter field adds its text (the sheet would take it otherwise).
WNDPROC fieldProcedure;

LRESULT CALLBACK FilterFieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE && lParam && ((const MSG *)lParam)->message == WM_KEYDOWN &&
        wParam == VK_RETURN)
        return DLGC_WANTALLKEYS | CallWindowProcA(fieldProcedure, field, message, wParam, lParam);
    if (message == WM_KEYDOWN && wParam == VK_RETURN) {
        PostMessageA(GetParent(field), WM_COMMAND, MAKEWPARAM(IDC_ADD, BN_CLICKED), 0);
        return 0;
    }
    if (message == WM_CHAR && wParam == '\r') return 0;   // no beep
    return CallWindowProcA(fieldProcedure, field, message, wParam, lParam);
}

// --- Commands ---------------------------------------------------------------------

void AddFilter(HWND page)
{
    char text[128] = "";
    GetDlgItemTextA(page, IDC_FILTER_TEXT, text, sizeof text);
    if (!text[0]) return;
    if (PageFilterCount() >= kMaxPageFilters) {
        PageMessage(page, 729, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    if (!AddCookieFilter(text)) return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The new text applies at once.
    cookieSource = cookieMode;
    ReadCookies(1);
    FreeItems();
    SetDlgItemTextA(page, IDC_FILTER_TEXT, "");
    FillFilterList(page);
    SetCursor(old);
}

void RemoveFilter(HWND page)
{
    HWND list = GetDlgItem(page, IDC_LIST);
    int position = SelectedRow(list);
    if (position < 0) {
        PageMessage(page, 58, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return;
    }
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = position;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item) || item.lParam < 0 || item.lParam >= rowCount) return;
    RemoveCookieFilter(rowTexts[item.lParam]);
    int count = FillFilterList(page);
    if (count > 0) SelectRow(list, position < count ? position : count - 1);
}

void ChooseBrowser(HWND page, int mozilla)
{
    SetOption("Browser", mozilla ? 6 : 1);
    cookieMode = mozilla ? COOKIE_SOURCE_MOZILLA : COOKIE_SOURCE_IE;
    ShowFolder(page);
}

void ChooseFolder(HWND page)
{
    char title[256] = "", chosen[PATH_SIZE] = "";
    LoadUiString(799, title, sizeof title);
    BROWSEINFOA browse = {};
    browse.hwndOwner = page;
    browse.pszDisplayName = chosen;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST picked = SHBrowseForFolderA(&browse);
    if (!picked) return;
    char folder[PATH_SIZE] = "";
    BOOL ok = SHGetPathFromIDListA(picked, folder);
    CoTaskMemFree(picked);
    if (!ok || !folder[0]) return;
    StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT, cookieMode == COOKIE_SOURCE_IE ? "IECookieFolder" : "CookieFolder",
                     folder);
    ShowFolder(page);
}

void ViewCookies(HWND page)
{
    int mode = IsDlgButtonChecked(page, IDC_BROWSER_MOZILLA) == BST_CHECKED ? COOKIE_SOURCE_MOZILLA : COOKIE_SOURCE_IE;
    cookieMode = mode;
    ShowCookieList(page, mode);
}

void OnCommand(HWND page, int id, int code)
{
    switch (id) {
    case IDC_ADD: AddFilter(page); break;
    case IDC_REMOVE: RemoveFilter(page); break;
    case IDC_VIEW_COOKIES: ViewCookies(page); break;
    case IDC_CHOOSE_FOLDER: ChooseFolder(page); break;
    case IDC_BROWSER_IE:
    case IDC_BROWSER_MOZILLA:
        if (code == BN_CLICKED && IsDlgButtonChecked(page, id) == BST_CHECKED)
            ChooseBrowser(page, id == IDC_BROWSER_MOZILLA);
        break;
    case IDC_OPTION_CHECK: StoreOptionCheck(page, "ViewCookies", &settings.viewCookies); break;
    case IDC_MONITOR_LABEL: ChangePatrolTimeOfPage(page, 789); break;
    case IDC_HELP_LABEL: OpenHelpPage(CMD_PAGE_COOKIES); break;
    default: break;
    }
}

// --- Layout -------------------------------------------------------------------------

// Run after the common layout has placed the header: the filter list on the
// left with its field and buttons, the browser, folder and cookie list on
// the right.
void LayoutCookiesPage(HWND page)
{
    PageMetrics m = MeasurePage(page);
    int width = m.width, height = m.height, margin = m.margin, line = m.line, buttonWidth = m.buttonWidth,
        buttonHeight = m.buttonHeight;
    int headerBottom = margin + line * 4 + 6;
    HWND explanation = GetDlgItem(page, IDC_EXPLANATION_TOP);
    RECT label;
    int labelsLeft = width - 2 * (line * 3 + 2 * margin);
    // The Help label is the left one of the two.
    if (GetWindowRect(GetDlgItem(page, IDC_HELP_LABEL), &label)) {
        MapWindowPoints(nullptr, page, (POINT *)&label, 2);
        labelsLeft = label.left - 2 * margin;
    }
    MoveWindow(explanation, margin + 40, margin, labelsLeft - margin - 40, headerBottom - margin - 2, TRUE);

    int left = (width - 3 * margin) * 11 / 20;
    int rightX = 2 * margin + left, rightWidth = width - rightX - margin;
    int buttonTop = height - margin - buttonHeight;
    int fieldTop = buttonTop - margin - buttonHeight;
    MoveWindow(GetDlgItem(page, IDC_FILTER_HEADING), margin, headerBottom, left, line + 4, TRUE);
    int listTop = headerBottom + line + 6;
    MoveWindow(GetDlgItem(page, IDC_LIST), margin, listTop, left, fieldTop - margin - listTop, TRUE);
    MoveWindow(GetDlgItem(page, IDC_FILTER_TEXT), margin, fieldTop, left, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(page, IDC_ADD), margin, buttonTop, buttonWidth, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(page, IDC_REMOVE), 2 * margin + buttonWidth, buttonTop, buttonWidth, buttonHeight, TRUE);
    HWND list = GetDlgItem(page, IDC_LIST);
    RECT inner;
    GetClientRect(list, &inner);
    SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, inner.right);

    int y = listTop;
    MoveWindow(GetDlgItem(page, IDC_EXPLANATION_BROWSER), rightX, y, rightWidth, 2 * line + 4, TRUE);
    y += 2 * line + 6;
    MoveWindow(GetDlgItem(page, IDC_BROWSER_IE), rightX, y, rightWidth, line + 4, TRUE);
    y += line + 6;
    MoveWindow(GetDlgItem(page, IDC_BROWSER_MOZILLA), rightX, y, rightWidth, line + 4, TRUE);
    y += line + 8;
    int picture = buttonHeight + 4;
    MoveWindow(GetDlgItem(page, IDC_FOLDER), rightX, y, rightWidth - picture - margin, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(page, IDC_CHOOSE_FOLDER), rightX + rightWidth - picture, y - 1, picture, buttonHeight + 2,
               TRUE);
    y += buttonHeight + 2 * margin;
    MoveWindow(GetDlgItem(page, IDC_EXPLANATION_VIEW), rightX, y, rightWidth, 2 * line + 4, TRUE);
    y += 2 * line + 6;
    MoveWindow(GetDlgItem(page, IDC_VIEW_COOKIES), rightX, y, buttonWidth * 3 / 2, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(page, IDC_OPTION_CHECK), rightX, buttonTop + 2, rightWidth, line + 4, TRUE);
    InvalidateRect(page, nullptr, TRUE);
}

const DialogText kTexts[] = {
    {771, IDC_EXPLANATION_TOP}, {772, IDC_EXPLANATION_BROWSER}, {773, IDC_EXPLANATION_VIEW},
    {967, IDC_FILTER_HEADING},  {311, IDC_ADD},                 {302, IDC_REMOVE},
    {774, IDC_VIEW_COOKIES},    {798, IDC_BROWSER_IE},          {797, IDC_BROWSER_MOZILLA},
    {796, IDC_OPTION_CHECK},    {793, IDC_HELP_WORD},           {794, IDC_MONITOR_WORD}};

void Initialise(HWND page)
{
    SetDialogTexts(page, 0, kTexts);
    SendDlgItemMessageA(page, IDC_FILTER_TEXT, EM_LIMITTEXT, 127, 0);
    fieldProcedure = (WNDPROC)SetWindowLongPtrA(GetDlgItem(page, IDC_FILTER_TEXT), GWLP_WNDPROC,
                                                (LONG_PTR)FilterFieldProc);
    SendDlgItemMessageA(page, IDC_HEADER_ICON, STM_SETICON,
                        (WPARAM)LoadImageA(instance, MAKEINTRESOURCEA(ICON_APPLICATION), IMAGE_ICON, 32, 32,
                                           LR_SHARED),
                        0);
    HFONT font = (HFONT)SendMessageA(page, WM_GETFONT, 0, 0);
    LOGFONTA bold;
    if (!headingFont && font && GetObjectA(font, sizeof bold, &bold)) {
        bold.lfWeight = FW_BOLD;
        headingFont = CreateFontIndirectA(&bold);
    }
    if (headingFont) SendDlgItemMessageA(page, IDC_FILTER_HEADING, WM_SETFONT, (WPARAM)headingFont, FALSE);
    // The shell's own picture of a folder.
    char windows[PATH_SIZE];
    SHFILEINFOA shown = {};
    UINT length = GetWindowsDirectoryA(windows, sizeof windows);
    if (length > 0 && length < sizeof windows &&
        SHGetFileInfoA(windows, 0, &shown, sizeof shown, SHGFI_ICON | SHGFI_SMALLICON) && shown.hIcon)
        SendDlgItemMessageA(page, IDC_CHOOSE_FOLDER, BM_SETIMAGE, IMAGE_ICON, (LPARAM)shown.hIcon);

    HWND list = GetDlgItem(page, IDC_LIST);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    char heading[128] = "";
    LoadUiString(722, heading, sizeof heading);
    RECT r;
    GetClientRect(list, &r);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = heading;
    column.cx = r.right;
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, (LPARAM)&column);
    currentPage = CMD_PAGE_COOKIES;
    RestorePlacement(page);
}

void Activate(HWND page)
{
    FillFilterList(page);
    ActivatePage(page, CMD_PAGE_COOKIES);
    SetBrowserFromOptions(page);
    SetMonitorLabel(page, settings.nuts > 0 ? 1 : 0);
    CheckDlgButton(page, IDC_OPTION_CHECK, settings.viewCookies > 0 ? BST_CHECKED : BST_UNCHECKED);
    if (settings.viewCookies > 0) PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_VIEW_COOKIES, BN_CLICKED), 0);
}


const PlainPageKind kKind = {Initialise, Activate, [](HWND) { FreeRowTexts(); }, OnCommand, LayoutCookiesPage};

}  // namespace

const DLGPROC CookiesPageProc = PlainPageProc<kKind>;
