// SentrelEx.exe: the Scheduled Tasks page (tab 4): the jobs of the Windows
// Task Scheduler with their program, company and run times; a job can be
// removed, its program deleted at the next restart.
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
#include "store.h"
#include "tasks.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum TaskControl { IDC_TASK_EXPLANATION = 1095, IDC_TASK_EXPLANATION2 = 1096 };

const UINT kHeadings[] = {681, 684, 699, 683, 682, 3760};
enum TaskColumn { COLUMN_NAME, COLUMN_PROGRAM, COLUMN_COMPANY, COLUMN_NEXT_RUN, COLUMN_LAST_RUN, COLUMN_PUBLISHER };

// Every column sorts by its text, run times too (month first).
ListPage tasksPage = {CMD_PAGE_SCHEDULE, 6, kHeadings, "SortScheduledTask", nullptr, 1,
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
    DeleteScheduledTask(job.name);
    // Forgotten by the monitor too: a job of this name added later is new.
    StoreDeleteValue(HKEY_CURRENT_USER, TASK_BASELINE, job.name);
    FillList(&job);
    ReleaseItemCopy(&job);
}

void ShowMenu(HWND)
{
    int items[12], n = 0;
    for (int id : {(int)IDC_INFO, (int)IDC_EXPLORE_FOLDER, (int)IDC_OPEN_PROPERTIES}) items[n++] = id;
    if (RowHasNote(PageRowAt(&tasksPage, SelectedRecord(&tasksPage)))) items[n++] = IDC_VIEW_NOTE;
    for (int id : {(int)IDC_REMOVE, (int)IDC_DELETE_ON_REBOOT, 0, (int)IDC_ONLINE_INFO,
                   (int)IDC_SYSTEM_REPORT, (int)IDC_HELP_LABEL})
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
    int left = iconRect.left + 40, right = helpRect.left, top = iconRect.top, bottom = listRect.top - 2;
    if (right - left < 20 || bottom - top < 8) return;
    int half = (bottom - top) / 2;
    MoveWindow(GetDlgItem(page, IDC_TASK_EXPLANATION), left, top, right - left, half, TRUE);
    MoveWindow(GetDlgItem(page, IDC_TASK_EXPLANATION2), left, top + half, right - left, bottom - top - half, TRUE);
}

void Activate(HWND page)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    FillList();
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
    SetDlgItemUiString(page, 304, IDC_CLOSE);
    InitListPage(&tasksPage, page);
    currentPage = CMD_PAGE_SCHEDULE;
    RestorePlacement(page);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&tasksPage); break;
    case IDC_REMOVE: RemoveSelected(page); break;
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

const ListPageKind kKind = {&tasksPage, Initialise, Activate, OnCommand, ShowMenu, nullptr, LayoutExplanations, nullptr};

}  // namespace

INT_PTR CALLBACK ScheduledTasksPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ListPageProcedure(&kKind, page, message, wParam, lParam);
}
