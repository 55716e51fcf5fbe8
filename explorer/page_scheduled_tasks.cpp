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
#include "reports.h"
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
ListPage tasksPage = {CMD_PAGE_SCHEDULE, 8, kHeadings, "SortScheduledTask", nullptr, COLUMN_KIND,
                      nullptr, nullptr, {}, nullptr, 0, nullptr, 0, 0, {}};

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    TaskShownName(record.name, row->cells[COLUMN_NAME], CELL_SIZE);
    if (FileNamePart(record.path, row->cells[COLUMN_PROGRAM], CELL_SIZE) <= 0)
        CopyTextCut(row->cells[COLUMN_PROGRAM], CELL_SIZE, record.path);
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    CopyTextCut(row->cells[COLUMN_NEXT_RUN], CELL_SIZE, record.detail);
    CopyTextCut(row->cells[COLUMN_LAST_RUN], CELL_SIZE, record.info);
    // Which scheduler runs it, and when a 2.0 task starts.
    RegisteredTaskFacts facts;
    int version2 = record.type == ITEM_TASK2;
    if (version2 && RegisteredTaskFactsOf(record.name, &facts))
        CopyTextCut(row->cells[COLUMN_TRIGGERS], CELL_SIZE, facts.file.triggers);
    LoadUiString(!version2 ? 3885 : record.qualifier ? 3887 : 3886, row->cells[COLUMN_KIND], CELL_SIZE);
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
    PageRow *row = PageRowAt(&tasksPage, SelectedRecord(&tasksPage));
    if (!row) {
        ShowStringMessage(57);
        return;
    }
    if (row->record.type != ITEM_TASK2) return;
    Item task = {};
    if (!CopyItemRecord(&task, &row->record)) return;
    if (FAILED(SetRegisteredTaskEnabled(task.name, enabled))) PageMessage(page, 3890, MB_OK | MB_ICONSTOP);
    FillList(&task);
    UpdateButtons(page);
    ReleaseItemCopy(&task);
}

void RemoveSelected(HWND page)
{
    PageRow *row = PageRowAt(&tasksPage, SelectedRecord(&tasksPage));
    if (!row) {
        ShowStringMessage(57);
        return;
    }
    char pattern[1024], question[1024];
    LoadUiString(687, pattern, sizeof pattern);
    const char *title = row->record.title;
    if (!FillTemplate(question, sizeof question, pattern, &title, 1)) CopyTextCut(question, sizeof question, pattern);
    if (PageMessageText(page, question, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST) != IDYES) return;

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
    int items[14], n = 0;
    for (int id : {(int)IDC_INFO, (int)IDC_EXPLORE_FOLDER, (int)IDC_OPEN_PROPERTIES}) items[n++] = id;
    PageRow *row = PageRowAt(&tasksPage, SelectedRecord(&tasksPage));
    if (RowHasNote(row)) items[n++] = IDC_VIEW_NOTE;
    items[n++] = IDC_REMOVE;
    if (row && row->record.type == ITEM_TASK2) items[n++] = row->record.disabled ? IDC_ENABLE : IDC_DISABLE;
    for (int id : {(int)IDC_DELETE_ON_REBOOT, 0, (int)IDC_ONLINE_INFO, (int)IDC_SYSTEM_REPORT, (int)IDC_HELP_LABEL})
        items[n++] = id;
    ShowRowMenu(&tasksPage, items, n);
}

// The two explanation lines share the room left of the labels.
void LayoutExplanations(HWND page)
{
    HWND icon = GetDlgItem(page, IDC_HEADER_ICON), help = GetDlgItem(page, IDC_HELP_WORD),
         list = GetDlgItem(page, IDC_LIST);
    RECT iconRect, helpRect, listRect;
    if (!GetWindowRect(icon, &iconRect) || !GetWindowRect(help, &helpRect) || !GetWindowRect(list, &listRect))
        return;
    MapWindowPoints(nullptr, page, (POINT *)&iconRect, 2);
    MapWindowPoints(nullptr, page, (POINT *)&helpRect, 2);
    MapWindowPoints(nullptr, page, (POINT *)&listRect, 2);
    int left = iconRect.left + 40, right = helpRect.left, top = iconRect.top, bottom = ExplanationBottom(page);
    if (right - left < 20 || bottom - top < 8) return;
    int half = (bottom - top) / 2;
    MoveWindow(GetDlgItem(page, IDC_TASK_EXPLANATION), left, top, right - left, half, TRUE);
    MoveWindow(GetDlgItem(page, IDC_TASK_EXPLANATION2), left, top + half, right - left, bottom - top - half, TRUE);
}

void Activate(HWND page)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    FillList();
    UpdateButtons(page);
    ActivatePage(page, CMD_PAGE_SCHEDULE);
    SetMonitorLabel(page, GetOption("Tasks", 11) > 0 ? 1 : 0);
    SetCursor(old);
}

void Initialise(HWND page)
{
    SetDlgItemUiString(page, 678, IDC_TASK_EXPLANATION);
    SetDlgItemUiString(page, 679, IDC_TASK_EXPLANATION2);
    SetDlgItemUiString(page, 301, IDC_INFO);
    SetDlgItemUiString(page, 302, IDC_REMOVE);
    SetDlgItemUiString(page, 632, IDC_ENABLE);
    SetDlgItemUiString(page, 633, IDC_DISABLE);
    SetDlgItemUiString(page, 304, IDC_CLOSE);
    InitListPage(&tasksPage, page);
    currentPage = CMD_PAGE_SCHEDULE;
    RestorePlacement(page);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&tasksPage); break;
    case IDC_REMOVE: RemoveSelected(page); UpdateButtons(page); break;
    case IDC_DISABLE: SetSelectedEnabled(page, 0); break;
    case IDC_ENABLE: SetSelectedEnabled(page, 1); break;
    case IDC_DELETE_ON_REBOOT: DeleteFileOnReboot(&tasksPage); break;
    case IDC_MONITOR_LABEL: {
        int state = ChangePatrolTime(page, 786);
        if (state >= 0) SetMonitorLabel(page, state);
        break;
    }
    case IDC_SYSTEM_REPORT: WriteSystemReport(page); break;
    case IDC_HELP_LABEL: OpenHelpPage(CMD_PAGE_SCHEDULE); break;
    case IDC_CLOSE: CloseSheet(page); break;
    default:
        break;
    }
}

const ListPageKind kKind = {&tasksPage, Initialise, Activate, OnCommand, ShowMenu, UpdateButtons, LayoutExplanations,
                            nullptr};

}  // namespace

INT_PTR CALLBACK ScheduledTasksPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ListPageProcedure(&kKind, page, message, wParam, lParam);
}
