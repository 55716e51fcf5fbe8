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
#include "report_commands.h"
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

void FillFacts(PageRow *row);
ListPage tasksPage = {CMD_PAGE_TASKS, 5, kHeadings, "SortActiveTask", ActiveTaskSortKey, -1, FillFacts,
                      FACT_COLUMN(COLUMN_COMPANY) | FACT_COLUMN(COLUMN_FIRST_SEEN) | FACT_COLUMN(COLUMN_PUBLISHER)};

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    FillFileNameCell(row, COLUMN_MODULE, record.path);
    CopyTextCut(row->cells[COLUMN_DESCRIPTION], CELL_SIZE, record.title);
}

void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    // A program seen here first is recorded now.
    FillFirstSeenCell(row, COLUMN_FIRST_SEEN, record.path, ITEM_PROCESS, DETECTED_ACTIVETASKS);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER, 1);
}

// Fills the page; after an action the selection stays on the program it was
// on (found again by its program file), or on none.
void FillList(int afterAction = 0, const Item *keep = nullptr)
{
    ListPage *p = &tasksPage;
    CountProcesses();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr, 1);
    SelectAfterFill(p, afterAction ? keep : nullptr, afterAction ? -1 : 0);
}

void Refill(void)
{
    RefillKeepingSelection(&tasksPage, [](const Item *keep, void *) { FillList(1, keep); });
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
    int items[16];
    int n = RowMenuStart(&tasksPage, items);
    for (int id : {(int)IDC_REFRESH, (int)IDC_KILL_TASK, (int)IDC_DELETE_ON_REBOOT}) items[n++] = id;
    ShowRowMenu(&tasksPage, items, RowMenuEnd(items, n));
}

// The two explanation lines share the room left of the labels.
void LayoutExplanations(HWND page)
{
    RECT list, room;
    if (!GetWindowRect(GetDlgItem(page, IDC_LIST), &list)) return;
    MapWindowPoints(nullptr, page, (POINT *)&list, 2);
    const int labels[] = {IDC_MONITOR_LABEL, IDC_HELP_LABEL};
    if (HeaderTextRoom(page, labels, 2, 8, list.top - 2, &room))
        PlaceTwoLines(page, IDC_TASKS_EXPLANATION, IDC_TASKS_EXPLANATION2, room);
}

void Activate(HWND page)
{
    FillList();
    ActivatePage(page, CMD_PAGE_TASKS);
    SetMonitorLabel(page, 0);
}

const DialogText kTexts[] = {{221, IDC_TASKS_EXPLANATION}, {222, IDC_TASKS_EXPLANATION2}, {301, IDC_INFO},
                             {305, IDC_REFRESH}, {306, IDC_KILL_TASK}, {304, IDC_CLOSE}};

void Initialise(HWND page)
{
    OpenListPage(&tasksPage, page, kTexts);
}

void OnCommand(HWND, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&tasksPage); break;
    case IDC_REFRESH: Refill(); break;
    case IDC_KILL_TASK: KillSelected(); break;
    case IDC_DELETE_ON_REBOOT: DeleteFileOnReboot(&tasksPage); Refill(); break;
    default: break;
    }
}

// The Info button is bold while the selected program has a note.
void SelectionChanged(HWND page)
{
    MarkInfoButton(page, PageRowAt(&tasksPage, SelectedRecord(&tasksPage)));
}

const ListPageKind kKind = {&tasksPage, Initialise, Activate, OnCommand, ShowMenu, SelectionChanged, LayoutExplanations,
                            nullptr, 0};

}  // namespace

void RefreshActiveTasks(void)
{
    if (tasksPage.list) Refill();
}

const DLGPROC ActiveTasksPageProc = ListPageProc<kKind>;
