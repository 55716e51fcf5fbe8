// SentrelEx.exe: the history viewer (Options page, "View History..."):
// history.txt as a list, newest entries in view, undo of the reversible
// events and clearing of the file.
#include "history_viewer.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "delayed_programs.h"
#include "explorer.h"
#include "file_facts_cache.h"
#include "hidden_files.h"
#include "history.h"
#include "items.h"
#include "list_page.h"
#include "location_words.h"
#include "options.h"
#include "platform.h"
#include "program_files.h"
#include "program_info.h"
#include "registered_tasks.h"
#include "report_commands.h"
#include "startup_changes.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "sysfiles.h"
#include "tasks.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum HistoryControl {
    IDD_HISTORY = 141,
    IDC_HISTORY_TEXT = 1102,
};

enum HistoryAction { ACTION_START_REMOVE = 0, ACTION_IEHELPER_REMOVE = 3, ACTION_TASK_REJECT = 4,
                     ACTION_IEHELPER_RESTORE = 14, ACTION_TASK_REMOVE = 15, ACTION_HIDDEN_DELETE = 29 };

const UINT kHeadings[] = {627, 715, 628, 713};
const int kColumns = 4;

// The lines read, in file order; row data values index them.
struct HistoryRows {
    HistoryEntry *entries;
    int count;
};
HistoryRows shown;
// The viewer shows the newest lines of history.txt, at most this many.
const int kLinesShown = 4096;

ListPage historyList = {6041, kColumns, kHeadings, "SortHistory", nullptr, -1};

int Collect(const HistoryEntry *entry, void *)
{
    if (shown.count >= kLinesShown) return 0;
    shown.entries[shown.count++] = *entry;
    return 1;
}

void SetCell(HWND list, int position, int column, const char *text)
{
    LVITEMA sub = {};
    sub.iSubItem = column;
    sub.pszText = (char *)text;
    SendMessageA(list, LVM_SETITEMTEXTA, position, (LPARAM)&sub);
}

const HistoryEntry *SelectedEntry(void)
{
    int index = RowIndexAt(&historyList, SelectedRow(historyList.list));
    // RowIndexAt checks the page's row store, which this list does not use.
    if (index < 0) {
        int position = SelectedRow(historyList.list);
        if (position < 0) return nullptr;
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = position;
        if (!SendMessageA(historyList.list, LVM_GETITEMA, 0, (LPARAM)&item)) return nullptr;
        index = (int)item.lParam;
    }
    return index >= 0 && index < shown.count ? &shown.entries[index] : nullptr;
}

void UpdateRestoreButton(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE), CanRestoreHistoryEvent(SelectedEntry()));
}

// Reads history.txt (its newest lines when it has more than the list
// holds) and shows them in file order, the newest in view.
void Fill(HWND dialog)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HWND list = historyList.list;
    CheckFilesAgain();
    shown.count = 0;
    if (!shown.entries) shown.entries = (HistoryEntry *)calloc(kLinesShown, sizeof(HistoryEntry));
    if (shown.entries) ReadHistory(kLinesShown, Collect, nullptr);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    UseRowImages(&historyList);
    SendMessageA(list, LVM_SETITEMCOUNT, shown.count, 0);
    for (int i = 0; i < shown.count; i++) {
        const HistoryEntry &entry = shown.entries[i];
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = (char *)entry.title;
        item.lParam = i;
        item.iImage = AddFileIcon(entry.command);
        int position = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        if (position < 0) continue;
        SetCell(list, position, 1, HistoryActionName(entry.action));
        SetCell(list, position, 2, HistoryTypeName(entry.type));
        SetCell(list, position, 3, entry.time);
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    if (shown.count > 0) SendMessageA(list, LVM_ENSUREVISIBLE, shown.count - 1, FALSE);
    InvalidateRect(list, nullptr, TRUE);
    UpdateRestoreButton(dialog);
    SetCursor(old);
}

void ClearFile(HWND dialog)
{
    char path[HISTORY_PATH_SIZE];
    if (GetHistoryPath(path) > 0) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
    Fill(dialog);
}

// What an undo will write, asked before it is written: the line comes
// from a file any program can write.
int ConfirmRestore(HWND dialog, const HistoryEntry &entry)
{
    int type = entry.type & ~HISTORY_VIEW_32;
    char place[512] = "", pattern[1024], text[4096];
    if (entry.action == ACTION_START_REMOVE) {
        DescribeLocationOfType(type, 0, place, sizeof place);
        if (entry.type & HISTORY_VIEW_32) {
            char view[64];
            LoadUiString(2115, view, sizeof view);
            AppendTextCut(place, sizeof place, view);
        }
        if (type == ITEM_STARTUP_FOLDER) CopyText(place, sizeof place, entry.detail);
    } else {
        CopyText(place, sizeof place, HistoryTypeName(entry.type));
    }
    if (LoadUiString(3748, pattern, sizeof pattern) <= 0) return 0;
    const char *values[] = {place, entry.title, entry.command};
    if (!FillTemplate(text, sizeof text, pattern, values, 3)) return 0;
    return PageMessageText(dialog, text, MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION | MB_TOPMOST) == IDYES;
}

void RestoreSelected(HWND dialog)
{
    const HistoryEntry *entry = SelectedEntry();
    if (!entry) {
        ShowStringMessage(57);
        return;
    }
    HistoryEntry copy = *entry;
    // A line that cannot be undone does nothing, whichever way it was asked.
    if (!CanRestoreHistoryEvent(&copy)) {
        if (HistoryActionIsReversible(copy.action))
            PageMessage(dialog, 3747, MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
        return;
    }
    if (!ConfirmRestore(dialog, copy)) return;
    if (!RestoreHistoryEvent(&copy)) {
        DWORD error = GetLastError();
        PageMessage(dialog, error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? 3749 : 3750,
                    MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    }
    Fill(dialog);
}

void ShowMenu(void)
{
    const int items[] = {IDC_HISTORY_RESTORE, IDC_HISTORY_CLEAR, IDOK, 0, IDC_ONLINE_INFO, IDC_SYSTEM_REPORT,
                         IDC_HELP_LABEL};
    const HistoryEntry *entry = SelectedEntry();
    UINT flags[sizeof items / sizeof items[0]] = {};
    if (!CanRestoreHistoryEvent(entry)) flags[0] = MF_GRAYED;
    ShowRowMenu(&historyList, items, sizeof items / sizeof items[0], flags);
}

// Centred across, a third of the free height above it.
void PlaceDialog(HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int x = (screenWidth - width) / 2, y = (screenHeight - height) / 3;
    SetWindowPos(dialog, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const DialogText texts[] = {{710, IDC_HISTORY_TEXT}, {717, IDC_HISTORY_RESTORE}, {711, IDC_HISTORY_CLEAR},
                                    {304, IDOK}};
        SetDialogTexts(dialog, 712, texts);
        historyList.window = dialog;
        historyList.list = GetDlgItem(dialog, IDC_LIST);
        for (int &direction : historyList.directions) direction = 0;
        SendMessageA(historyList.list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        InsertColumns(&historyList);
        PlaceDialog(dialog);
        Fill(dialog);
        return TRUE;
    }
    case WM_NOTIFY: {
        const NMHDR *header = (const NMHDR *)lParam;
        if (header->idFrom != IDC_LIST) return FALSE;
        switch (header->code) {
        case LVN_ITEMCHANGED:
            // Only a change of selection: the fill's own text changes would
            // look for the selection once per cell, over the whole list.
            if (((const NMLISTVIEW *)header)->uChanged & LVIF_STATE) UpdateRestoreButton(dialog);
            break;
        case NM_CLICK: case LVN_KEYDOWN:
            UpdateRestoreButton(dialog);
            break;
        case NM_DBLCLK:
            // A double click undoes what can be undone, whatever the button says.
            RestoreSelected(dialog);
            break;
        case NM_RCLICK:
            ShowMenu();
            break;
        case LVN_COLUMNCLICK: {
            // The history keeps the order of the file: a click only turns
            // the column's flag and stores the choice.
            int column = ((const NMLISTVIEW *)header)->iSubItem;
            if (column >= 0 && column < kColumns) {
                historyList.directions[column] = !historyList.directions[column];
                SetOption("SortHistory", column + 1);
            }
            break;
        }
        default:
            break;
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_HISTORY_RESTORE: RestoreSelected(dialog); break;
        case IDC_HISTORY_CLEAR: ClearFile(dialog); break;
        case IDC_ONLINE_INFO:
            if (const HistoryEntry *entry = SelectedEntry())
                ShowProgramInfo(dialog, (entry->type & ~HISTORY_VIEW_32) + 1000, entry->command, entry->title);
            else
                ShowStringMessage(57);
            break;
        case IDC_SYSTEM_REPORT: WriteSystemReport(dialog); break;
        case IDOK: case IDCANCEL: EndDialog(dialog, 0); break;
        case IDC_HELP_LABEL: OpenHelpPage(CMD_PAGE_OPTIONS); break;
        default: break;
        }
        return TRUE;
    case WM_DESTROY:
        historyList.list = historyList.window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

int IsRunType(int type)
{
    return (type >= 1 && type <= 7) || (type >= 11 && type <= 17);
}

}  // namespace

void ShowHistory(HWND owner)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_HISTORY), owner, HistoryProc, 0);
    free(shown.entries);
    shown.entries = nullptr;
    shown.count = 0;
}

int CanRestoreHistoryEvent(const HistoryEntry *entry)
{
    // Only a line read exactly, of an event that kept what it removed.
    if (!entry || !entry->exact || !entry->title[0]) return 0;
    switch (entry->action) {
    case ACTION_START_REMOVE: return entry->command[0] != 0;
    case ACTION_HIDDEN_DELETE: return entry->command[0] != 0;
    case ACTION_IEHELPER_REMOVE: return entry->command[0] != 0;
    case ACTION_TASK_REJECT: case ACTION_TASK_REMOVE: return entry->detail[0] != 0;
    default: return 0;
    }
}

int RestoreHistoryEvent(const HistoryEntry *entry)
{
    if (!CanRestoreHistoryEvent(entry)) return 0;
    int type = entry->type & ~HISTORY_VIEW_32;
    int view = (entry->type & HISTORY_VIEW_32) ? VIEW_32 : VIEW_NATIVE;
    switch (entry->action) {
    case ACTION_START_REMOVE:
        // Written only where nothing is now, and approved by nobody: the
        // monitor asks about it like anything new.
        if (!IsRunType(type) && type != ITEM_WIN_LOAD && type != ITEM_WIN_RUN && type != ITEM_STARTUP_FOLDER &&
            !IsStartupHookType(type))
            return 0;
        if (!PutBackStartupEntry(view, entry->title, entry->command, entry->detail, type)) return 0;
        WriteHistory(entry->title, entry->command, entry->detail, entry->type, HISTORY_START_RESTORE);
        return 1;
    case ACTION_HIDDEN_DELETE:
        // From the very copy its line names.
        if (!RestoreHiddenFile(entry->command, entry->detail)) return 0;
        WriteHistory(entry->title, entry->command, entry->detail, entry->type, HISTORY_HIDDEN_RESTORE);
        return 1;
    case ACTION_IEHELPER_REMOVE:
        if (!ReregisterFileIn(view, entry->command)) return 0;
        WriteHistory(entry->title, entry->command, entry->detail, entry->type, ACTION_IEHELPER_RESTORE);
        return 1;
    case ACTION_TASK_REJECT: case ACTION_TASK_REMOVE:
        if (type == ITEM_TASK2) return RestoreRegisteredTask(entry->title, entry->detail);
        return RestoreScheduledTask(entry->title, entry->detail);
    default:
        return 0;
    }
}
