// SentrelEx.exe: the Active Tasks page (tab 6): the programs running now,
// one row per program file, with description, company and the date the
// program was first seen running; a program can be stopped, its file
// deleted at the next restart.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <cstdlib>
#include <initializer_list>

#include "dates.h"
#include "explorer.h"
#include "file_facts_cache.h"
#include "store.h"
#include "first_seen.h"
#include "history.h"
#include "items.h"
#include "info_dialog.h"
#include "list_page.h"
#include "reports.h"
#include "options.h"
#include "pages.h"
#include "processes.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum ActiveTaskControl { IDC_TASKS_EXPLANATION = 1052, IDC_TASKS_EXPLANATION2 = 1053 };

const UINT kHeadings[] = {629, 631, 699, 912, 3760};
enum ActiveTaskColumn { COLUMN_MODULE, COLUMN_DESCRIPTION, COLUMN_COMPANY, COLUMN_FIRST_SEEN, COLUMN_PUBLISHER };

int ActiveTaskSortKey(const ListPage *, const PageRow *row, int column, char *out, int size)
{
    if (column == COLUMN_FIRST_SEEN) return DateSortKey(row->cells[column], out, size);
    return 0;   // the column's own text
}

ListPage tasksPage = {CMD_PAGE_TASKS, 5, kHeadings, "SortActiveTask", ActiveTaskSortKey, -1,
                      nullptr, nullptr, {}, nullptr, 0, nullptr, 0, 0, {}};

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    if (FileNamePart(record.path, row->cells[COLUMN_MODULE], CELL_SIZE) <= 0)
        CopyTextCut(row->cells[COLUMN_MODULE], CELL_SIZE, record.path);
    CopyTextCut(row->cells[COLUMN_DESCRIPTION], CELL_SIZE, record.title);
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    char date[DATE_TEXT_SIZE];
    // A program seen here first is recorded now.
    if (GetFirstSeen(record.path, ITEM_PROCESS, date) <= 0) {
        RecordFirstSeen(record.path, DETECTED_ACTIVETASKS);
        GetFirstSeen(record.path, ITEM_PROCESS, date);
    }
    CopyTextCut(row->cells[COLUMN_FIRST_SEEN], CELL_SIZE, date);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER, 1);
}

// Fills the page; after an action the selection stays on the program it was
// on (found again by its program file), or on none.
void FillList(int afterAction = 0, const Item *keep = nullptr)
{
    ListPage *p = &tasksPage;
    CountProcesses();
    ClearFileFacts();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr, 1);
    SelectAfterFill(p, afterAction ? keep : nullptr, afterAction ? -1 : 0);
}

void Refill(void)
{
    PageRow *row = PageRowAt(&tasksPage, SelectedRecord(&tasksPage));
    Item keep = {};
    if (!row || !CopyItemRecord(&keep, &row->record)) {
        FillList(1);
        return;
    }
    FillList(1, &keep);
    ReleaseItemCopy(&keep);
}

// Stops the program of each selected row: the row's own process, never one
// found by the row's text (two programs of one file name in two folders are
// two rows, and the first might be the shell).
void KillSelected(void)
{
    ListPage *p = &tasksPage;
    if (SelectedRowCount(p->list) <= 0) {
        ShowStringMessage(57);
        return;
    }
    int selected = SelectedRowCount(p->list);
    Item *chosen = (Item *)calloc((size_t)selected, sizeof(Item));
    if (!chosen) return;
    int count = 0;
    for (int position = NextSelectedRow(p->list, -1); position >= 0 && count < selected;
         position = NextSelectedRow(p->list, position)) {
        PageRow *row = PageRowAt(p, RowIndexAt(p, position));
        if (row && CopyItemRecord(&chosen[count], &row->record)) count++;
    }
    for (int i = 0; i < count; i++) {
        const Item &record = chosen[i];
        if (!StopProcess((DWORD)record.qualifier, record.path)) continue;
        char file[PATH_SIZE];
        if (ResolveCommandPath(record.path, file) <= 0) CopyTextCut(file, sizeof file, record.path);
        WriteHistory(record.title, file, record.info, ITEM_PROCESS, 5);
    }
    for (int i = 0; i < count; i++) ReleaseItemCopy(&chosen[i]);
    free(chosen);
    // The stopped programs are gone from the list; nothing stays selected.
    FillList(1);
}

void ShowMenu(HWND)
{
    int items[16], n = 0;
    for (int id : {(int)IDC_INFO, (int)IDC_EXPLORE_FOLDER, (int)IDC_OPEN_PROPERTIES}) items[n++] = id;
    if (RowHasNote(PageRowAt(&tasksPage, SelectedRecord(&tasksPage)))) items[n++] = IDC_VIEW_NOTE;
    for (int id : {(int)IDC_REFRESH, (int)IDC_KILL_TASK, (int)IDC_DELETE_ON_REBOOT, 0, (int)IDC_ONLINE_INFO,
                   (int)IDC_SYSTEM_REPORT, (int)IDC_HELP_LABEL})
        items[n++] = id;
    ShowRowMenu(&tasksPage, items, n);
}

// The two explanation lines share the room left of the labels.
void LayoutExplanations(HWND page)
{
    HWND icon = GetDlgItem(page, IDC_HEADER_ICON), help = GetDlgItem(page, IDC_MONITOR_LABEL),
         list = GetDlgItem(page, IDC_LIST);
    RECT iconRect, helpRect, listRect;
    if (!GetWindowRect(icon, &iconRect) || !GetWindowRect(help, &helpRect) || !GetWindowRect(list, &listRect))
        return;
    MapWindowPoints(nullptr, page, (POINT *)&iconRect, 2);
    MapWindowPoints(nullptr, page, (POINT *)&helpRect, 2);
    MapWindowPoints(nullptr, page, (POINT *)&listRect, 2);
    RECT otherRect;
    if (GetWindowRect(GetDlgItem(page, IDC_HELP_LABEL), &otherRect)) {
        MapWindowPoints(nullptr, page, (POINT *)&otherRect, 2);
        if (otherRect.left < helpRect.left) helpRect.left = otherRect.left;
    }
    int left = iconRect.left + 40, right = helpRect.left - 8, top = iconRect.top, bottom = listRect.top - 2;
    if (right - left < 20 || bottom - top < 8) return;
    int half = (bottom - top) / 2;
    MoveWindow(GetDlgItem(page, IDC_TASKS_EXPLANATION), left, top, right - left, half, TRUE);
    MoveWindow(GetDlgItem(page, IDC_TASKS_EXPLANATION2), left, top + half, right - left, bottom - top - half,
               TRUE);
}

void Activate(HWND page)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    FillList();
    ActivatePage(page, CMD_PAGE_TASKS);
    SetMonitorLabel(page, 0);
    SetCursor(old);
}

void Initialise(HWND page)
{
    SetDlgItemUiString(page, 221, IDC_TASKS_EXPLANATION);
    SetDlgItemUiString(page, 222, IDC_TASKS_EXPLANATION2);
    SetDlgItemUiString(page, 301, IDC_INFO);
    SetDlgItemUiString(page, 305, IDC_REFRESH);
    SetDlgItemUiString(page, 306, IDC_KILL_TASK);
    SetDlgItemUiString(page, 304, IDC_CLOSE);
    InitListPage(&tasksPage, page);
    currentPage = CMD_PAGE_TASKS;
    RestorePlacement(page);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&tasksPage); break;
    case IDC_REFRESH: Refill(); break;
    case IDC_KILL_TASK: KillSelected(); break;
    case IDC_DELETE_ON_REBOOT: DeleteFileOnReboot(&tasksPage); Refill(); break;
    case IDC_HELP_LABEL: OpenHelpPage(CMD_PAGE_TASKS); break;
    case IDC_CLOSE: CloseSheet(page); break;
    case IDC_SYSTEM_REPORT: WriteSystemReport(page); break;
    default: break;
    }
}

// The Info button is bold while the selected program has a note.
void SelectionChanged(HWND page)
{
    MarkInfoButton(page, PageRowAt(&tasksPage, SelectedRecord(&tasksPage)));
}

const ListPageKind kKind = {&tasksPage, Initialise, Activate, OnCommand, ShowMenu, SelectionChanged,
                            LayoutExplanations, nullptr};

}  // namespace

void RefreshActiveTasks(void)
{
    if (tasksPage.list) Refill();
}

INT_PTR CALLBACK ActiveTasksPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ListPageProcedure(&kKind, page, message, wParam, lParam);
}
