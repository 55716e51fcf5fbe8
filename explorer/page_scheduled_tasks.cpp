// SentrelEx.exe: the Scheduled Tasks page (tab 4): the jobs of Task
// Scheduler 1.0 and the tasks of Task Scheduler 2.0 together, with their
// command, company, triggers, run times and kind; a task can be removed,
// a 2.0 task disabled and enabled, its program deleted at the next restart.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <initializer_list>

#include "explorer.h"
#include "file_facts_cache.h"
#include "info_dialog.h"
#include "inventory.h"
#include "list_page.h"
#include "report_commands.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "program_files.h"
#include "registered_tasks.h"
#include "store.h"
#include "tasks.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum TaskControl { IDC_TASK_EXPLANATION = 1095, IDC_TASK_EXPLANATION2 = 1096 };

const UINT kHeadings[] = {681, 684, 699, 3888, 683, 682, 3889, 3760};
enum TaskColumn {
    COLUMN_NAME,
    COLUMN_PROGRAM,
    COLUMN_COMPANY,
    COLUMN_TRIGGERS,
    COLUMN_NEXT_RUN,
    COLUMN_LAST_RUN,
    COLUMN_KIND,
    COLUMN_PUBLISHER
};

// Every column sorts by its text, run times too (month first).
void FillFacts(PageRow *row);
ListPage tasksPage = {CMD_PAGE_SCHEDULE, 8, kHeadings, "SortScheduledTask", nullptr, COLUMN_KIND, FillFacts,
                      FACT_COLUMN(COLUMN_COMPANY) | FACT_COLUMN(COLUMN_TRIGGERS) | FACT_COLUMN(COLUMN_PUBLISHER)};

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    TaskShownName(record.name, row->cells[COLUMN_NAME], CELL_SIZE);
    FillFileNameCell(row, COLUMN_PROGRAM, record.path);
    CopyTextCut(row->cells[COLUMN_NEXT_RUN], CELL_SIZE, record.detail);
    CopyTextCut(row->cells[COLUMN_LAST_RUN], CELL_SIZE, record.info);
    // Which scheduler runs it.
    int version2 = record.type == ITEM_TASK2;
    LoadUiString(!version2 ? 3885 : record.qualifier ? 3887 : 3886, row->cells[COLUMN_KIND], CELL_SIZE);
}

// The program's company and signer, and when a 2.0 task starts (from its file).
void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    RegisteredTaskFacts facts;
    if (record.type == ITEM_TASK2 && RegisteredTaskFactsOf(record.name, &facts))
        CopyTextCut(row->cells[COLUMN_TRIGGERS], CELL_SIZE, facts.file.triggers);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER);
}

// Fills the page from the scheduler. After an action the selection stays
// on the job it was on (found again by its name), or on none.
void FillList(const Item *keep = nullptr)
{
    ListPage *p = &tasksPage;
    EnumerateTasks();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr);
    SelectAfterFill(p, keep);
}

void UpdateButtons(HWND page)
{
    PageRow *row = PageRowAt(&tasksPage, SelectedRecord(&tasksPage));
    // Only a 2.0 task has an enabled flag of its own.
    int version2 = row && row->record.type == ITEM_TASK2;
    int disabled = version2 && row->record.disabled;
    ShowWindow(GetDlgItem(page, IDC_ENABLE), version2 && disabled ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_DISABLE), !(version2 && disabled) ? SW_SHOW : SW_HIDE);
    EnableWindow(GetDlgItem(page, IDC_DISABLE), version2);
}

// Disable or Enable on the selected 2.0 task: its own enabled flag.
void SetSelectedEnabled(HWND page, int enabled)
{
    PageRow *row = SelectedRowOrSay(&tasksPage);
    if (!row || row->record.type != ITEM_TASK2) return;
    Item task = {};
    if (!CopyItemRecord(&task, &row->record)) return;
    if (FAILED(SetRegisteredTaskEnabled(task.name, enabled))) PageMessage(page, 3890, MB_OK | MB_ICONSTOP);
    FillList(&task);
    UpdateButtons(page);
    ReleaseItemCopy(&task);
}

void RemoveSelected(HWND page)
{
    PageRow *row = SelectedRowOrSay(&tasksPage);
    if (!row || !AskAbout(page, 687, row->record.title)) return;

    // The row's own record: the job it shows, whatever the list holds now.
    Item job = {};
    if (!CopyItemRecord(&job, &row->record)) return;
    // Forgotten by the monitor too: a task of this name added later is new.
    if (job.type == ITEM_TASK2) {
        if (FAILED(DeleteRegisteredTaskAs(job.name, 15))) PageMessage(page, 3891, MB_OK | MB_ICONSTOP);
        StoreDeleteValue(HKEY_CURRENT_USER, TASK2_BASELINE, job.name);
    } else {
        DeleteScheduledTask(job.name);
        StoreDeleteValue(HKEY_CURRENT_USER, TASK_BASELINE, job.name);
    }
    FillList(&job);
    ReleaseItemCopy(&job);
}

void ShowMenu(HWND)
{
    int items[14];
    int n = RowMenuStart(&tasksPage, items);
    PageRow *row = PageRowAt(&tasksPage, SelectedRecord(&tasksPage));
    items[n++] = IDC_REMOVE;
    if (row && row->record.type == ITEM_TASK2) items[n++] = row->record.disabled ? IDC_ENABLE : IDC_DISABLE;
    items[n++] = IDC_DELETE_ON_REBOOT;
    ShowRowMenu(&tasksPage, items, RowMenuEnd(items, n));
}

// The two explanation lines share the room left of the labels.
void LayoutExplanations(HWND page)
{
    RECT room;
    const int labels[] = {IDC_HELP_WORD};
    if (HeaderTextRoom(page, labels, 1, 0, ExplanationBottom(page), &room))
        PlaceTwoLines(page, IDC_TASK_EXPLANATION, IDC_TASK_EXPLANATION2, room);
}

void Activate(HWND page)
{
    FillList();
    UpdateButtons(page);
    ActivatePage(page, CMD_PAGE_SCHEDULE);
    SetMonitorLabel(page, GetOption("Tasks", 11) > 0 ? 1 : 0);
}

const DialogText kTexts[] = {{678, IDC_TASK_EXPLANATION}, {679, IDC_TASK_EXPLANATION2}, {301, IDC_INFO},
                             {302, IDC_REMOVE}, {632, IDC_ENABLE}, {633, IDC_DISABLE}, {304, IDC_CLOSE}};

void Initialise(HWND page)
{
    OpenListPage(&tasksPage, page, kTexts);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&tasksPage); break;
    case IDC_REMOVE: RemoveSelected(page); UpdateButtons(page); break;
    case IDC_DISABLE: SetSelectedEnabled(page, 0); break;
    case IDC_ENABLE: SetSelectedEnabled(page, 1); break;
    case IDC_DELETE_ON_REBOOT: DeleteFileOnReboot(&tasksPage); break;
    default: break;
    }
}

const ListPageKind kKind = {&tasksPage, Initialise, Activate, OnCommand, ShowMenu, UpdateButtons, LayoutExplanations,
                            nullptr, 786};

}  // namespace

const DLGPROC ScheduledTasksPageProc = ListPageProc<kKind>;
