// SentrelEx.exe: the Services page (NT family only): the Windows services
// with their program file, company, state, start type and first-seen date.
// A selected service can be started or stopped and its start type changed;
// each change goes through the service control manager and is written to
// the history, and a change the manager refuses is shown as such.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstring>
#include <initializer_list>

#include "dates.h"
#include "explorer.h"
#include "file_facts_cache.h"
#include "store.h"
#include "first_seen.h"
#include "info_dialog.h"
#include "inventory.h"
#include "list_page.h"
#include "report_commands.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "program_files.h"
#include "services.h"
#include "text.h"
#include "ui_strings.h"

namespace {

// Controls of this page only.
enum {
    IDC_EXPLANATION2 = 1048,
    IDC_START_TYPE = 1090,
    IDC_START_TYPE_LABEL = 1212,
    IDC_APPLY_START_TYPE = 1213,
};

const UINT kHeadings[] = {627, 628, 699, 648, 651, 912, 3760};
enum ServiceColumn {
    COLUMN_TITLE,
    COLUMN_COMMAND,
    COLUMN_COMPANY,
    COLUMN_STATUS,
    COLUMN_STARTUP,
    COLUMN_FIRST_SEEN,
    COLUMN_PUBLISHER
};

int ServiceSortKey(const ListPage *, const PageRow *row, int column, char *out, int size)
{
    if (column == COLUMN_FIRST_SEEN) return DateSortKey(row->cells[column], out, size);
    if (column == COLUMN_COMMAND) {
        // The file-name part, without the "svchost.exe " of a hosted service.
        if (FileNamePart(row->record.path, out, (size_t)size) > 0) return 1;
        return (int)CopyTextCut(out, (size_t)size, row->record.path) > 0;
    }
    return 0;   // the column's own text
}

void FillFacts(PageRow *row);
ListPage servicesPage = {CMD_PAGE_SERVICES, 7, kHeadings, "SortService", ServiceSortKey, 3, FillFacts,
                         FACT_COLUMN(COLUMN_COMPANY) | FACT_COLUMN(COLUMN_FIRST_SEEN) | FACT_COLUMN(COLUMN_PUBLISHER)};

// The start type shown in the list when the row was selected; -1 none.
int shownStart = -1;

void FillCells(PageRow *row, const ServiceSnapshot *states)
{
    const Item &record = row->record;
    CopyTextCut(row->cells[COLUMN_TITLE], CELL_SIZE, record.title);

    char name[CELL_SIZE];
    if (FileNamePart(record.path, name, sizeof name) <= 0) CopyTextCut(name, sizeof name, record.path);
    FormatTextCut(row->cells[COLUMN_COMMAND], CELL_SIZE, "%s%s",
                  record.type == ITEM_SERVICE_SVCHOST ? "svchost.exe " : "", name);

    // A service the manager cannot be asked about shows no state.
    char state[256];
    if (SnapshotStateText(states, record.name, state)) CopyTextCut(row->cells[COLUMN_STATUS], CELL_SIZE, state);
    CopyTextCut(row->cells[COLUMN_STARTUP], CELL_SIZE, record.detail);
    // A service Windows never starts is drawn as a disabled entry is.
    char disabled[64];
    row->dimmed = LoadUiString(666, disabled, sizeof disabled) > 0 && strcmp(record.detail, disabled) == 0;
}

void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    FillFirstSeenCell(row, COLUMN_FIRST_SEEN, record.path, record.type, DETECTED_SERVICES);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER);
}

void UpdateButtons(HWND page);

// Fills the page. After an action the selection stays on the service it
// was on (found again by its key name), or on none.
void FillList(HWND page, const Item *keep = nullptr)
{
    ListPage *p = &servicesPage;
    EnumerateServices(0);
    ServiceSnapshot *states = TakeServiceSnapshot();
    FillPageRows(p, [](PageRow *row, void *context) { FillCells(row, (const ServiceSnapshot *)context); }, states);
    FreeServiceSnapshot(states);
    SelectAfterFill(p, keep);
    UpdateButtons(page);
}

PageRow *SelectedService(void)
{
    return PageRowAt(&servicesPage, SelectedRecord(&servicesPage));
}

void UpdateButtons(HWND page)
{
    PageRow *row = SelectedService();
    HWND types = GetDlgItem(page, IDC_START_TYPE);
    shownStart = -1;
    if (!row) {
        for (int id : {(int)IDC_SERVICE_START, (int)IDC_SERVICE_STOP, (int)IDC_APPLY_START_TYPE, (int)IDC_START_TYPE})
            EnableWindow(GetDlgItem(page, id), FALSE);
        SendMessageA(types, CB_SETCURSEL, (WPARAM)-1, 0);
        SetStatusText("");
        return;
    }
    const char *name = row->record.name;
    ServiceStatusFacts facts;
    int known = QueryServiceFacts(name, &facts);
    int start = ServiceStartValue(name);
    EnableWindow(GetDlgItem(page, IDC_SERVICE_START),
                 known && facts.state == SERVICE_STOPPED && start != SERVICE_DISABLED);
    EnableWindow(GetDlgItem(page, IDC_SERVICE_STOP),
                 known && facts.state != SERVICE_STOPPED && (facts.controls & SERVICE_ACCEPT_STOP));
    if (start >= SERVICE_AUTO_START && start <= SERVICE_DISABLED) shownStart = start;
    SendMessageA(types, CB_SETCURSEL, shownStart >= 0 ? (WPARAM)(shownStart - SERVICE_AUTO_START) : (WPARAM)-1, 0);
    EnableWindow(types, start >= 0);
    EnableWindow(GetDlgItem(page, IDC_APPLY_START_TYPE), FALSE);

    // The status bar names the service by what it is: its key name.
    char status[512];
    LoadUiString(3614, status, sizeof status);
    AppendTextCut(status, sizeof status, name);
    SetStatusText(status);
}

// Refills the page after a change of the service in row, keeping it selected.
void Refill(HWND page, const PageRow *row)
{
    RefillKeeping(row, [](const Item *keep, void *window) { FillList((HWND)window, keep); }, page);
}

void ReportFailure(HWND page, UINT text, const Item &record, DWORD error)
{
    char message[1024];
    if (ServiceFailureText(text, record.title, record.name, error, message, sizeof message) > 0)
        PageMessageText(page, message, MB_OK | MB_ICONSTOP | MB_TOPMOST);
}

// The changes: on the selected row's own record.
enum ServiceChange { CHANGE_START, CHANGE_STOP, CHANGE_START_TYPE };

void ChangeSelected(HWND page, ServiceChange change, int start = 0)
{
    PageRow *row = SelectedRowOrSay(&servicesPage);
    if (!row) return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ServiceRef service = ServiceRefOf(row->record);
    DWORD error = 0;
    UINT failure = 0;
    switch (change) {
    case CHANGE_START:
        error = StartServiceLogged(service);
        failure = STR_SERVICE_START_FAILED;
        break;
    case CHANGE_STOP:
        error = StopServiceLogged(service);
        failure = STR_SERVICE_STOP_FAILED;
        break;
    case CHANGE_START_TYPE:
        error = SetServiceStartLogged(service, start);
        failure = STR_SERVICE_TYPE_FAILED;
        break;
    }
    SetCursor(old);
    if (error) ReportFailure(page, failure, row->record, error);
    Refill(page, row);
}

void ApplyStartType(HWND page)
{
    int chosen = (int)SendDlgItemMessageA(page, IDC_START_TYPE, CB_GETCURSEL, 0, 0);
    if (chosen < 0 || chosen > 2) return;
    ChangeSelected(page, CHANGE_START_TYPE, SERVICE_AUTO_START + chosen);
}

void ShowMenu(HWND page)
{
    PageRow *row = SelectedService();
    int items[20];
    UINT flags[20] = {};
    int n = RowMenuStart(&servicesPage, items);
    items[n++] = 0;
    // The service's own changes, offered as the buttons offer them.
    items[n] = IDC_SERVICE_START;
    flags[n++] = IsWindowEnabled(GetDlgItem(page, IDC_SERVICE_START)) ? 0 : MF_GRAYED;
    items[n] = IDC_SERVICE_STOP;
    flags[n++] = IsWindowEnabled(GetDlgItem(page, IDC_SERVICE_STOP)) ? 0 : MF_GRAYED;
    int types[] = {IDC_SERVICE_AUTOMATIC, IDC_SERVICE_MANUAL, IDC_SERVICE_DISABLED};
    for (int i = 0; i < 3; i++) {
        items[n] = types[i];
        int current = row && shownStart == SERVICE_AUTO_START + i;
        flags[n++] = current ? MF_CHECKED | MF_GRAYED : 0;
    }
    ShowRowMenu(&servicesPage, items, RowMenuEnd(items, n), flags);
}

void Activate(HWND page)
{
    FillList(page);
    ActivatePage(page, CMD_PAGE_SERVICES);
    UpdateButtons(page);   // the status bar was cleared by the activation
    SetMonitorLabel(page, settings.services > 0 ? 1 : 0);
    CheckDlgButton(page, IDC_OPTION_CHECK,
                   GetOption("HideMicrosoftServices", 1) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

const DialogText kTexts[] = {{638, IDC_EXPLANATION},       {639, IDC_EXPLANATION2},  {301, IDC_INFO},
                             {3610, IDC_SERVICE_START},    {650, IDC_SERVICE_STOP},  {667, IDC_START_TYPE_LABEL},
                             {662, IDC_APPLY_START_TYPE},  {304, IDC_CLOSE},         {721, IDC_OPTION_CHECK}};

void Initialise(HWND page)
{
    HWND types = GetDlgItem(page, IDC_START_TYPE);
    for (UINT id : {664u, 665u, 666u}) {
        char text[64];
        LoadUiString(id, text, sizeof text);
        SendMessageA(types, CB_ADDSTRING, 0, (LPARAM)text);
    }
    OpenListPage(&servicesPage, page, kTexts);
}

// The page's own row between the list and the check box: the start type
// of the selected service and its Apply button.
void LayoutOwnControls(HWND page)
{
    RECT units = {60, 14, 80, 4};   // label width, row height, list width, margin
    MapDialogRect(page, &units);
    int labelWidth = units.left, rowHeight = units.top, listWidth = units.right, margin = units.bottom;

    // The two explanation lines share the header's text area.
    PlaceTwoLinesAtExplanation(page, IDC_EXPLANATION, IDC_EXPLANATION2);

    HWND list = GetDlgItem(page, IDC_LIST);
    RECT r;
    GetWindowRect(list, &r);
    MapWindowPoints(nullptr, page, (POINT *)&r, 2);
    int bottom = r.bottom - rowHeight - margin;
    if (bottom <= r.top) return;
    MoveWindow(list, r.left, r.top, r.right - r.left, bottom - r.top, TRUE);
    int y = bottom + margin / 2, x = r.left;
    RECT button;
    GetWindowRect(GetDlgItem(page, IDC_INFO), &button);
    int buttonWidth = button.right - button.left;
    MoveWindow(GetDlgItem(page, IDC_START_TYPE_LABEL), x, y + rowHeight / 5, labelWidth, rowHeight, TRUE);
    x += labelWidth + margin;
    // A drop-down list's height includes its open list.
    MoveWindow(GetDlgItem(page, IDC_START_TYPE), x, y, listWidth, rowHeight * 6, TRUE);
    x += listWidth + margin;
    MoveWindow(GetDlgItem(page, IDC_APPLY_START_TYPE), x, y, buttonWidth, rowHeight, TRUE);
}

// The check box: the services signed by Microsoft left out, or shown again.
void ShowMicrosoftServicesOrNot(HWND page)
{
    StoreOptionCheck(page, "HideMicrosoftServices", &settings.hideMicrosoftServices);
    FillList(page);
}

void OnCommand(HWND page, int id, int code)
{
    switch (id) {
    case IDOK: case IDC_INFO: {
        // The dialog may have stopped the service or changed its start type.
        PageRow *row = SelectedService();
        Item shown = {};
        int kept = row && CopyItemRecord(&shown, &row->record);
        if (ShowInfo(&servicesPage)) FillList(page, kept ? &shown : nullptr);
        if (kept) ReleaseItemCopy(&shown);
        break;
    }
    case IDC_SERVICE_START: ChangeSelected(page, CHANGE_START); break;
    case IDC_SERVICE_STOP: ChangeSelected(page, CHANGE_STOP); break;
    case IDC_APPLY_START_TYPE: ApplyStartType(page); break;
    case IDC_SERVICE_AUTOMATIC: ChangeSelected(page, CHANGE_START_TYPE, SERVICE_AUTO_START); break;
    case IDC_SERVICE_MANUAL: ChangeSelected(page, CHANGE_START_TYPE, SERVICE_DEMAND_START); break;
    case IDC_SERVICE_DISABLED: ChangeSelected(page, CHANGE_START_TYPE, SERVICE_DISABLED); break;
    case IDC_START_TYPE:
        if (code == CBN_SELCHANGE) {
            int chosen = (int)SendDlgItemMessageA(page, IDC_START_TYPE, CB_GETCURSEL, 0, 0);
            EnableWindow(GetDlgItem(page, IDC_APPLY_START_TYPE),
                         chosen >= 0 && SERVICE_AUTO_START + chosen != shownStart && SelectedService());
        }
        break;
    case IDC_OPTION_CHECK: ShowMicrosoftServicesOrNot(page); break;
    default: break;
    }
}

const ListPageKind kKind = {&servicesPage, Initialise, Activate, OnCommand, ShowMenu, UpdateButtons, nullptr,
                            LayoutOwnControls, 957};

}  // namespace

const DLGPROC ServicesPageProc = ListPageProc<kKind>;
