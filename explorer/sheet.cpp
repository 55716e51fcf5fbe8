// SentrelEx.exe: the tabbed property sheet, its tabs, layout and placement.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <prsht.h>
#include <initializer_list>

#include "explorer.h"
#include "items.h"
#include "list_page.h"
#include "options.h"
#include "pages.h"
#include "platform.h"
#include "report_commands.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

int currentPage;
HWND activePage;

namespace {

// The tabs in their order on the sheet.
struct TabSpec {
    int dialogTemplate;
    UINT title;
    int icon;
    int command;
    DLGPROC procedure;
};
const TabSpec kTabs[] = {
    {102, 606, 174, CMD_PAGE_STARTUP, StartupPageProc},
    {197, 609, 200, CMD_PAGE_DELAY, DelayedStartPageProc},
    {139, 694, 180, CMD_PAGE_IE_HELPERS, IEHelpersPageProc},
    {137, 680, 182, CMD_PAGE_SCHEDULE, ScheduledTasksPageProc},
    {132, 636, 173, CMD_PAGE_SERVICES, ServicesPageProc},   // NT family only
    {110, 607, 176, CMD_PAGE_TASKS, ActiveTasksPageProc},
    {108, 608, 183, CMD_PAGE_COOKIES, CookiesPageProc},
    {142, 739, 179, CMD_PAGE_FILE_TYPES, FileTypesPageProc},
    {195, 973, 198, CMD_PAGE_HIDDEN, HiddenFilesPageProc},
    {114, 610, 181, CMD_PAGE_OPTIONS, OptionsPageProc},
};
const int kTabCount = sizeof kTabs / sizeof kTabs[0];

HWND sheetWindow;
HWND statusBar;
WNDPROC sheetProcedure;
POINT minimumSize;
int placementRestored;
int resizable;

void LayoutSheet(HWND sheet)
{
    RECT client;
    GetClientRect(sheet, &client);
    int statusHeight = 0;
    if (statusBar) {
        SendMessageA(statusBar, WM_SIZE, 0, 0);
        RECT r;
        GetWindowRect(statusBar, &r);
        statusHeight = r.bottom - r.top;
    }
    HWND tab = PropSheet_GetTabControl(sheet);
    if (!tab) return;
    const int margin = 6;
    int width = client.right - 2 * margin, height = client.bottom - statusHeight - 2 * margin;
    if (width < 50 || height < 50) return;
    MoveWindow(tab, margin, margin, width, height, TRUE);
    // The sheet's own buttons give way to the pages' Close buttons.
    for (int id : {IDOK, IDCANCEL, IDHELP, 0x3021 /* Apply */}) {
        HWND button = GetDlgItem(sheet, id);
        if (button) ShowWindow(button, SW_HIDE);
    }
    RECT display = {margin, margin, margin + width, margin + height};
    TabCtrl_AdjustRect(tab, FALSE, &display);
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    if (page) {
        SetWindowPos(page, HWND_TOP, display.left, display.top, display.right - display.left,
                     display.bottom - display.top, SWP_NOACTIVATE);
        LayoutListPage(page);
    }
    InvalidateRect(sheet, nullptr, TRUE);
}

LRESULT CALLBACK SheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETMINMAXINFO: {
        MINMAXINFO *info = (MINMAXINFO *)lParam;
        if (minimumSize.x > 0) info->ptMinTrackSize = minimumSize;
        return 0;
    }
    case WM_SIZE: {
        LRESULT result = CallWindowProcA(sheetProcedure, sheet, message, wParam, lParam);
        LayoutSheet(sheet);
        return result;
    }
    default:
        return CallWindowProcA(sheetProcedure, sheet, message, wParam, lParam);
    }
}

int CALLBACK SheetCallback(HWND, UINT message, LPARAM lParam)
{
    if (message != PSCB_PRECREATE || !lParam) return 0;
    DWORD add = WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | DS_SETFONT | DS_3DLOOK | WS_MINIMIZEBOX |
                WS_MAXIMIZEBOX;
    DWORD addEx = WS_EX_CONTROLPARENT | WS_EX_WINDOWEDGE;
    WORD *words = (WORD *)lParam;
    if (words[1] == 0xFFFF) {   // extended template: version, signature, help id, ex style, style
        DWORD *exStyle = (DWORD *)(words + 4), *style = (DWORD *)(words + 6);
        *style = (*style | add) & ~DS_CONTEXTHELP;
        *exStyle = (*exStyle | addEx) & ~WS_EX_CONTEXTHELP;
    } else {
        DLGTEMPLATE *dialog = (DLGTEMPLATE *)lParam;
        dialog->style = (dialog->style | add) & ~DS_CONTEXTHELP;
        dialog->dwExtendedStyle = (dialog->dwExtendedStyle | addEx) & ~WS_EX_CONTEXTHELP;
    }
    return 0;
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+Page Down and Ctrl+Page Up move between
// the pages as in every property sheet: the keys are handed to the sheet's
// own handling before a page or its list sees them, whichever message loop
// runs the sheet.
HHOOK pageKeysHook;

LRESULT CALLBACK PageKeys(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *message = (MSG *)lParam;
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_KEYDOWN && sheetWindow &&
        (message->wParam == VK_TAB || message->wParam == VK_NEXT || message->wParam == VK_PRIOR) &&
        (GetKeyState(VK_CONTROL) & 0x8000) &&
        (message->hwnd == sheetWindow || IsChild(sheetWindow, message->hwnd))) {
        int step = message->wParam == VK_PRIOR || (message->wParam == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000))
                       ? -1
                       : 1;
        HWND tabs = (HWND)SendMessageA(sheetWindow, PSM_GETTABCONTROL, 0, 0);
        int count = tabs ? (int)SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0) : 0;
        if (count > 0) {
            int current = (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0);
            SendMessageA(sheetWindow, PSM_SETCURSEL, (WPARAM)((current + step + count) % count), 0);
            message->message = WM_NULL;   // handled: nobody else moves again
        }
    }
    return CallNextHookEx(pageKeysHook, code, wParam, lParam);
}

void PlayOpenSound(void)
{
    if (GetOption("Sound", 1) <= 0) return;
    char file[PATH_SIZE] = "";
    StoreReadString(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Sentrel\\Open\\.current", "", file,
                    sizeof file);
    if (file[0])
        PlaySoundA(file, nullptr, SND_FILENAME | SND_SYNC | SND_NOSTOP | SND_NODEFAULT);
    else
        PlaySoundA(MAKEINTRESOURCEA(170), instance, SND_RESOURCE | SND_SYNC | SND_NOSTOP | SND_NODEFAULT);
}

// A stored placement value: its number, or -1 when missing.
long ReadPlacementValue(const char *name)
{
    char text[33];
    if (StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, name, text, sizeof text) <= 0) return -1;
    return DecimalValue(text);
}

}  // namespace

int SheetIsResizable(void)
{
    return resizable;
}

void SetStatusText(const char *text)
{
    if (statusBar) SendMessageA(statusBar, SB_SETTEXTA, 0, (LPARAM)(text ? text : ""));
}

void OpenSheet(HWND owner, int command)
{
    if (currentPage > 0) {
        // The sheet is open: it turns to the page asked for (a second start,
        // the monitor's tray menu), and a page of running programs is read
        // again.
        for (int i = 0, shown = 0; i < kTabCount; i++) {
            if (kTabs[i].command == CMD_PAGE_SERVICES && !IsNtFamily()) continue;
            if (kTabs[i].command == command && sheetWindow) PropSheet_SetCurSel(sheetWindow, nullptr, shown);
            shown++;
        }
        if (command == CMD_PAGE_TASKS) RefreshActiveTasks();
        HWND front = sheetWindow ? sheetWindow : owner;
        ShowWindow(front, SW_RESTORE);
        BringWindowToTop(front);
        SetForegroundWindow(front);
        return;
    }
    currentPage = 1;
    LoadUiString(622, sheetCaption, sizeof sheetCaption);

    static char titles[kTabCount][256];
    PROPSHEETPAGEA pages[kTabCount] = {};
    int count = 0, start = 0;
    int nt = IsNtFamily();
    for (int i = 0; i < kTabCount; i++) {
        const TabSpec &tab = kTabs[i];
        if (tab.command == CMD_PAGE_SERVICES && !nt) continue;
        LoadUiString(tab.title, titles[i], sizeof titles[i]);
        PROPSHEETPAGEA &page = pages[count];
        page.dwSize = sizeof page;
        page.dwFlags = PSP_USETITLE | PSP_USEHICON;
        page.hInstance = instance;
        page.pszTemplate = MAKEINTRESOURCEA(tab.dialogTemplate);
        page.hIcon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(tab.icon), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       LR_SHARED);
        page.pszTitle = titles[i];
        page.pfnDlgProc = tab.procedure;
        page.lParam = tab.command;
        if (tab.command == command) start = count;
        count++;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USEHICON;
    header.hwndParent = owner;
    header.hInstance = instance;
    header.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    header.pszCaption = sheetCaption;
    header.nPages = (UINT)count;
    header.nStartPage = (UINT)start;
    header.ppsp = pages;
    resizable = nt;
    if (nt) {
        header.dwFlags |= PSH_USECALLBACK;
        header.pfnCallback = SheetCallback;
    }
    PlayOpenSound();
    // An explorer whose file is named for the hijack log writes that log
    // as it starts.
    char self[PATH_SIZE];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length > 0 && length < sizeof self && FindTextNoCase(self + FileNameIndex(self), "hijack"))
        WriteHijackLog(owner);
    pageKeysHook = SetWindowsHookExA(WH_GETMESSAGE, PageKeys, nullptr, GetCurrentThreadId());
    INT_PTR result = PropertySheetA(&header);
    if (pageKeysHook) UnhookWindowsHookEx(pageKeysHook);
    pageKeysHook = nullptr;
    // The page the sheet was on when it closed is the next start's page.
    if (result >= 0 && currentPage > 1 && GetOption("StartTab", 0) != currentPage) SetOption("StartTab", currentPage);
    sheetWindow = nullptr;
    statusBar = nullptr;
    activePage = nullptr;
    if (result < 0) {
        currentPage = 0;
        PageMessage(owner, 24, MB_OK | MB_ICONSTOP);
        return;
    }
    currentPage = 0;
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
}

void RestorePlacement(HWND page)
{
    HWND sheet = GetParent(page);
    if (placementRestored || !sheet) return;
    placementRestored = 1;
    sheetWindow = sheet;
    if (!IsNtFamily()) {
        RestoreWindowPos(sheet, &POS_EXPLORER, currentPage);
        return;
    }
    SetOption("StartTab", currentPage);

    // The sheet's window procedure is wrapped once, with the status bar.
    RECT client;
    GetClientRect(sheet, &client);
    minimumSize.x = client.right - 10;
    minimumSize.y = client.bottom - 32;
    sheetProcedure = (WNDPROC)SetWindowLongPtrA(sheet, GWLP_WNDPROC, (LONG_PTR)SheetProc);
    statusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                                0, sheet, (HMENU)(INT_PTR)STATUS_BAR_ID, instance, nullptr);

    RECT r;
    GetWindowRect(sheet, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    long x = ReadPlacementValue("xPos"), y = ReadPlacementValue("yPos");
    if (x >= 0 && y >= 0) {
        if (x > screenWidth) x = 0;
        if (y > screenHeight) y = 0;
        long w = ReadPlacementValue("dxPos"), h = ReadPlacementValue("dyPos");
        // A missing or too small size keeps the sheet's own.
        if (w < minimumSize.x || h < minimumSize.y) {
            w = width;
            h = height;
        }
        if (w > screenWidth) w = screenWidth;
        if (h > screenHeight) h = screenHeight;
        MoveWindow(sheet, (int)x, (int)y, (int)w, (int)h, TRUE);
        return;
    }
    // No place stored (or one off the screen, as a minimised window leaves
    // it): centred, a third of the free height above it.
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(sheet, nullptr, (sw - width) / 2, (sh - height) / 3, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void ActivatePage(HWND page, int command)
{
    HWND sheet = GetParent(page);
    if (!sheet) return;
    sheetWindow = sheet;
    SetWindowLongA(sheet, GWL_EXSTYLE, GetWindowLongA(sheet, GWL_EXSTYLE) & ~WS_EX_CONTEXTHELP);
    HWND ok = GetDlgItem(sheet, IDOK);
    ShowWindow(ok, SW_HIDE);
    EnableWindow(ok, FALSE);
    SetDlgItemUiString(sheet, 304, IDCANCEL);
    SetWindowTextA(mainWindow, sheetCaption);
    activePage = page;
    currentPage = command;
    SetStatusText("");
    if (resizable) LayoutSheet(sheet);
    RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void LeavePage(HWND page)
{
    FreeItems();
    SetStatusText("");
    HWND sheet = GetParent(page);
    if (sheet) SaveWindowPos(sheet, &POS_EXPLORER, currentPage);
}

void CloseSheet(HWND page)
{
    HWND sheet = GetParent(page);
    if (sheet) PropSheet_PressButton(sheet, PSBTN_CANCEL);
}

void ResetPage(HWND page)
{
    if (page != activePage || currentPage <= 0) return;
    LeavePage(page);
    currentPage = 0;
}
