// SentrelEx.exe: the IE Helpers page (tab 3): the browser helper objects,
// toolbars and toolbar buttons registered with Internet Explorer, with
// their program file, company, kind and first-seen date. A helper's
// registration can be removed and its file deleted at the next restart.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <initializer_list>

#include "dates.h"
#include "explorer.h"
#include "file_facts_cache.h"
#include "first_seen.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "list_page.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "info_dialog.h"
#include "report_commands.h"
#include "platform.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {

// The two explanation lines of the page.
enum { IDC_EXPLANATION_1 = 1100, IDC_EXPLANATION_2 = 1101 };

const UINT kHeadings[] = {681, 684, 699, 714, 912, 3760};
enum HelperColumn { COLUMN_NAME, COLUMN_PROGRAM, COLUMN_COMPANY, COLUMN_TYPE, COLUMN_FIRST_SEEN, COLUMN_PUBLISHER };

// The type column shows the kind; it sorts by the type number.
int HelperSortKey(const ListPage *, const PageRow *row, int column, char *out, int size)
{
    if (column == COLUMN_TYPE) return (int)FormatText(out, (size_t)size, "%d", row->record.type);
    if (column == COLUMN_FIRST_SEEN) return DateSortKey(row->cells[column], out, size);
    return 0;
}

void FillFacts(PageRow *row);
ListPage helpersPage = {CMD_PAGE_IE_HELPERS, 6, kHeadings, "SortIEHelper", HelperSortKey, 3, FillFacts,
                        FACT_COLUMN(COLUMN_COMPANY) | FACT_COLUMN(COLUMN_FIRST_SEEN) | FACT_COLUMN(COLUMN_PUBLISHER)};

const char *KindLabel(int type)
{
    switch (type) {
    case ITEM_BHO: return "BHO";
    case ITEM_TOOLBAR: return "TOOLBAR";
    case ITEM_EXTENSION: return "EXTENSION";
    default: return "";
    }
}

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    CopyTextCut(row->cells[COLUMN_NAME], CELL_SIZE, record.title);
    FillFileNameCell(row, COLUMN_PROGRAM, record.path);
    CopyText(row->cells[COLUMN_TYPE], CELL_SIZE, KindLabel(record.type));
}

void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    FillFirstSeenCell(row, COLUMN_FIRST_SEEN, record.path, record.type, DETECTED_IEHELPER);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER);
    // A button that names an icon file shows that icon.
    if (FindTextNoCase(record.info, ".ico")) row->image = AddFileIcon(record.info);
}

PageRow *SelectedHelper(void)
{
    return PageRowAt(&helpersPage, SelectedRecord(&helpersPage));
}

void ShowLocation(void)
{
    PageRow *row = SelectedHelper();
    MarkInfoButton(helpersPage.window, row);
    if (!row) {
        SetStatusText("");
        return;
    }
    char status[600], key[400];
    LoadUiString(716, status, sizeof status);
    DescribeIEHelperLocation(row->record.type, row->record.view, key, sizeof key);
    AppendTextCut(status, sizeof status, ": HKLM\\");
    AppendTextCut(status, sizeof status, key);
    SetStatusText(status);
}

// Fills the page; the selection goes to the entry keep (found again by what
// it is), to none when it is gone, or to the first row without one.
void FillList(const Item *keep = nullptr)
{
    ListPage *p = &helpersPage;
    EnumerateIEHelpers();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr);
    SelectAfterFill(p, keep);
    ShowLocation();
}

void RemoveSelected(HWND page)
{
    PageRow *row = SelectedRowOrSay(&helpersPage);
    if (!row || !AskAbout(page, 698, row->record.title)) return;
    Item removed = {};
    if (!CopyItemRecord(&removed, &row->record)) return;
    RemoveIEHelperEntry(&removed);
    FillList(&removed);
    ReleaseItemCopy(&removed);
}

void ShowMenu(HWND)
{
    int items[16];
    int n = RowMenuStart(&helpersPage, items);
    items[n++] = IDC_REMOVE;
    items[n++] = IDC_DELETE_ON_REBOOT;
    ShowRowMenu(&helpersPage, items, RowMenuEnd(items, n));
}

void Activate(HWND page)
{
    // The rows keep their own records, so a fresh fill costs nothing in
    // correctness and shows what is registered now.
    FillList();
    ActivatePage(page, CMD_PAGE_IE_HELPERS);
    ShowLocation();   // the activation cleared the status bar
    SetMonitorLabel(page, settings.realtimeIEHelper ? 2 : settings.ieHelpers > 0 ? 1 : 0);
    currentPage = CMD_PAGE_IE_HELPERS;
}

const DialogText kTexts[] = {{695, IDC_EXPLANATION_1}, {696, IDC_EXPLANATION_2}, {301, IDC_INFO},
                             {302, IDC_REMOVE}, {304, IDC_CLOSE}};

void Initialise(HWND page)
{
    OpenListPage(&helpersPage, page, kTexts);
}

// The frame's explanation place holds the page's two lines, one above the other.
void Layout(HWND page)
{
    PlaceTwoLinesAtExplanation(page, IDC_EXPLANATION_1, IDC_EXPLANATION_2);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&helpersPage); break;
    case IDC_REMOVE: RemoveSelected(page); break;
    case IDC_DELETE_ON_REBOOT: DeleteFileOnReboot(&helpersPage); break;
    default: break;
    }
}

void ShowLocationOf(HWND)
{
    ShowLocation();
}

const ListPageKind kKind = {&helpersPage, Initialise, Activate, OnCommand, ShowMenu, ShowLocationOf, Layout, nullptr,
                            785};

}  // namespace

const DLGPROC IEHelpersPageProc = ListPageProc<kKind>;
