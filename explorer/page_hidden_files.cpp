// SentrelEx.exe: the Hidden Files page (tab 9): the files marked hidden in
// the places the hidden-files scan watches, with their folder, first-seen
// date, last write time and whether they are system files. A file can be
// unhidden, moved into the vault, deleted at the next restart or viewed in
// Notepad.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <initializer_list>

#include "dates.h"
#include "explorer.h"
#include "store.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "items.h"
#include "info_dialog.h"
#include "list_page.h"
#include "report_commands.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "platform.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum HiddenControl { IDC_HIDDEN_EXPLANATION = 1178, IDC_HIDDEN_EXPLANATION2 = 1179, IDC_UNHIDE = 1007 };

const UINT kHeadings[] = {629, 776, 912, 914, 714, 3760};
enum HiddenColumn { COLUMN_MODULE, COLUMN_FOLDER, COLUMN_FIRST_SEEN, COLUMN_WRITTEN, COLUMN_TYPE, COLUMN_PUBLISHER };

int HiddenSortKey(const ListPage *, const PageRow *row, int column, char *out, int size)
{
    if (column == COLUMN_FIRST_SEEN || column == COLUMN_WRITTEN) return DateSortKey(row->cells[column], out, size);
    return 0;   // the column's own text
}

void FillFacts(PageRow *row);
ListPage hiddenPage = {CMD_PAGE_HIDDEN, 6, kHeadings, "SortHidden", HiddenSortKey, -1, FillFacts,
                       FACT_COLUMN(COLUMN_FIRST_SEEN) | FACT_COLUMN(COLUMN_PUBLISHER)};

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    int cut = FileNameIndex(record.path);
    CopyTextCut(row->cells[COLUMN_MODULE], CELL_SIZE, record.path + cut);
    // The folder without its last backslash ("C:" for the root's files).
    CopyTextN(row->cells[COLUMN_FOLDER], CELL_SIZE, record.path, cut > 0 ? (size_t)(cut - 1) : 0);

    char written[FILE_DATE_SIZE], size[FILE_DATE_SIZE];
    if (GetFileDateSize(record.path, written, size) > 0)
        CopyTextCut(row->cells[COLUMN_WRITTEN], CELL_SIZE, written);
    else
        LoadUiString(923, row->cells[COLUMN_WRITTEN], CELL_SIZE);   // "File in Use"

    // The scan marks a file that is also a system file with qualifier 0.
    row->cells[COLUMN_TYPE][0] = 0;
    if (record.qualifier == 0) LoadUiString(3702, row->cells[COLUMN_TYPE], CELL_SIZE);
}

void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    FillFirstSeenCell(row, COLUMN_FIRST_SEEN, record.path, ITEM_HIDDEN, DETECTED_HIDDEN);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER, 1);
}

// A status line when the scan found more files than the list holds.
void ShowLeftOut(void)
{
    int left = HiddenFilesLeftOut();
    if (left <= 0) {
        SetStatusText("");
        return;
    }
    char number[16], pattern[256], text[300];
    FormatText(number, sizeof number, "%d", left);
    LoadUiString(3701, pattern, sizeof pattern);
    const char *value = number;
    if (!FillTemplate(text, sizeof text, pattern, &value, 1)) CopyTextCut(text, sizeof text, pattern);
    SetStatusText(text);
}

// Fills the page; after an action the selection stays on the file it was
// on (found again by its path), or on none.
void FillList(int afterAction = 0, const Item *keep = nullptr)
{
    ListPage *p = &hiddenPage;
    ListHiddenFiles();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr, 1);
    SelectAfterFill(p, afterAction ? keep : nullptr, afterAction ? -1 : 0);
    ShowLeftOut();
}

void Refill(void)
{
    RefillKeepingSelection(&hiddenPage, [](const Item *keep, void *) { FillList(1, keep); });
}

// The selected row's own record, copied (a refill cannot change it); 0
// with message 57 when no row is selected.
int TakeSelected(Item *record)
{
    PageRow *row = SelectedRowOrSay(&hiddenPage);
    return row && CopyItemRecord(record, &row->record);
}

void Unhide(void)
{
    Item record = {};
    if (!TakeSelected(&record)) return;
    SetFileAttributesA(record.name, FILE_ATTRIBUTE_NORMAL);
    ReleaseItemCopy(&record);
    Refill();
}

void DeleteSelected(HWND page)
{
    Item record = {};
    if (!TakeSelected(&record)) return;
    if (PageMessage(page, 926, MB_YESNO | MB_ICONSTOP | MB_TOPMOST) == IDYES &&
        !RemoveHiddenFile(record.title, record.name)) {
        char text[1024];
        DescribeRemovalFailure(record.name, GetLastError(), text, sizeof text);
        PageMessageText(page, text, MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
    }
    ReleaseItemCopy(&record);
    Refill();
}

// The file itself is scheduled, never a program its name might be read as
// ("x.exe.manifest" is not x.exe).
void DeleteOnRebootSelected(HWND page)
{
    (void)page;
    Item record = {};
    if (!TakeSelected(&record)) return;
    // The shared question, the Windows 9x way, the message on a refusal and
    // the history line, for the file itself.
    DeleteExactFileOnReboot(&hiddenPage, &record, record.name);
    ReleaseItemCopy(&record);
    Refill();
}

void ViewInNotepad(void)
{
    Item record = {};
    if (!TakeSelected(&record)) return;
    ViewTextFile(record.name);
    ReleaseItemCopy(&record);
}

void SetMonitorFromOptions(HWND page)
{
    SetMonitorLabel(page, settings.realtimeHidden ? 2 : settings.hidden > 0 ? 1 : 0);
}

void ShowMenu(HWND)
{
    int items[16];
    int n = RowMenuStart(&hiddenPage, items);
    for (int id : {(int)IDC_REFRESH, (int)IDC_DELETE_FILE, (int)IDC_DELETE_ON_REBOOT, (int)IDC_VIEW_NOTEPAD})
        items[n++] = id;
    ShowRowMenu(&hiddenPage, items, RowMenuEnd(items, n));
}

// The two explanation lines share the room left of the labels.
void LayoutExplanations(HWND page)
{
    RECT room;
    const int labels[] = {IDC_MONITOR_LABEL, IDC_HELP_LABEL};
    if (!HeaderTextRoom(page, labels, 2, 8, ExplanationBottom(page), &room)) return;
    // The long warning takes all but one line.
    RECT line = {0, 0, 0, 10};
    MapDialogRect(page, &line);
    int height = room.bottom - room.top, first = height - line.bottom;
    if (first < height / 2) first = height / 2;
    PlaceTwoLines(page, IDC_HIDDEN_EXPLANATION, IDC_HIDDEN_EXPLANATION2, room, first);
}

void Activate(HWND page)
{
    FillList();
    ActivatePage(page, CMD_PAGE_HIDDEN);
    EnableWindow(GetDlgItem(page, IDC_MONITOR_LABEL), TRUE);
    SetMonitorFromOptions(page);
    ShowLeftOut();
}

const DialogText kTexts[] = {{910, IDC_HIDDEN_EXPLANATION}, {911, IDC_HIDDEN_EXPLANATION2}, {301, IDC_INFO},
                             {305, IDC_REFRESH}, {931, IDC_UNHIDE}, {304, IDC_CLOSE}};

void Initialise(HWND page)
{
    if (!IsNtFamily()) ShowWindow(GetDlgItem(page, IDC_CLOSE), SW_HIDE);
    OpenListPage(&hiddenPage, page, kTexts);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&hiddenPage); break;
    case IDC_REFRESH: Refill(); break;
    case IDC_UNHIDE: Unhide(); break;
    case IDC_DELETE_FILE: DeleteSelected(page); break;
    case IDC_DELETE_ON_REBOOT: DeleteOnRebootSelected(page); break;
    case IDC_VIEW_NOTEPAD: ViewInNotepad(); break;
    default: break;
    }
}

const ListPageKind kKind = {&hiddenPage, Initialise, Activate, OnCommand, ShowMenu, nullptr, LayoutExplanations,
                            nullptr, 924};

}  // namespace

const DLGPROC HiddenFilesPageProc = ListPageProc<kKind>;
