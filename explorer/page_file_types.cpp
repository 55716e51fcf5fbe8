// SentrelEx.exe: the File Types page (tab 8): the file extensions the
// monitor watches, each with the program that opens it, its company, the
// association's class and where the association is defined; add an
// extension to the watched list or take one off it.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <initializer_list>

#include "explorer.h"
#include "file_facts_cache.h"
#include "file_types.h"
#include "info_dialog.h"
#include "inventory.h"
#include "list_page.h"
#include "report_commands.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {

const UINT kHeadings[] = {627, 628, 699, 747, 748, 714, 3760};
enum FileTypeColumn {
    COLUMN_TITLE,
    COLUMN_COMMAND,
    COLUMN_COMPANY,
    COLUMN_CLASS,
    COLUMN_EXTENSION,
    COLUMN_TYPE,
    COLUMN_PUBLISHER
};

enum FileTypeControl {
    IDC_EXPLANATION_FIRST = 1108,
    IDC_EXPLANATION_SECOND = 1109,
    IDD_ADD_FILE_TYPE = 144,
    IDC_ADD_TEXT = 1005,
    IDC_ADD_EXTENSION = 1004,
};

void FillFacts(PageRow *row);
ListPage fileTypesPage = {CMD_PAGE_FILE_TYPES, 7, kHeadings, "SortFileType", nullptr, 5, FillFacts,
                          FACT_COLUMN(COLUMN_COMPANY) | FACT_COLUMN(COLUMN_PUBLISHER)};

// Where an association is defined, by its method.
UINT MethodLabel(int method)
{
    switch (method) {
    case METHOD_CLASS: return 3263;         // "System"
    case METHOD_APPLICATION:                // "Explorer"
    case METHOD_PROGID: return 3264;
    case METHOD_ROOT: return 3265;          // "Root"
    case METHOD_USER: return 3266;          // "User"
    default: return 0;
    }
}

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    CopyTextCut(row->cells[COLUMN_TITLE], CELL_SIZE, record.title);
    if (OpenCommandProgramName(record.path, row->cells[COLUMN_COMMAND], CELL_SIZE) <= 0)
        CopyTextCut(row->cells[COLUMN_COMMAND], CELL_SIZE, record.path);
    CopyTextCut(row->cells[COLUMN_CLASS], CELL_SIZE, record.detail);
    CopyTextCut(row->cells[COLUMN_EXTENSION], CELL_SIZE, record.info);
    row->cells[COLUMN_TYPE][0] = 0;
    if (UINT label = MethodLabel(record.qualifier)) LoadUiString(label, row->cells[COLUMN_TYPE], CELL_SIZE);
}

// The picture the association names, else the program's own.
int RowImage(const Item &record)
{
    char file[PATH_SIZE];
    int index = 0;
    if (GetAssociationIcon(record.name, record.qualifier, file, &index)) {
        int added = AddIconOf(file, index);
        if (added >= 0) return added;
    }
    return AddFileIcon(record.path);
}

void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    FillPublisherCell(row, record.path, COLUMN_PUBLISHER);
    row->image = RowImage(record);
}

// Selects the row of the same extension and method as record, or none.
void SelectSameFileType(const Item *record)
{
    ListPage *p = &fileTypesPage;
    int count = (int)SendMessageA(p->list, LVM_GETITEMCOUNT, 0, 0);
    for (int position = 0; position < count; position++) {
        const Item *shown = RecordAtPosition(p, position);
        if (shown && SameEntry(shown, record) && shown->qualifier == record->qualifier) {
            SelectRow(p->list, position);
            return;
        }
    }
    SelectRow(p->list, -1);
}

// Fills the page with row 0 selected; after an action (afterAction set) the
// selection stays on the entry keep (found again by its extension and
// method, never by its title), or on none.
void FillList(int afterAction = 0, const Item *keep = nullptr)
{
    ListPage *p = &fileTypesPage;
    ListFileTypes();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr);
    if (!afterAction)
        SelectRow(p->list, 0);
    else if (keep)
        SelectSameFileType(keep);
    else
        SelectRow(p->list, -1);
}

// Refills the page after an action, keeping the selection on the row that
// was selected (or on none).
void Refill(void)
{
    RefillKeepingSelection(&fileTypesPage, [](const Item *keep, void *) { FillList(1, keep); });
}

void SetMonitorFromOptions(HWND page)
{
    SetMonitorLabel(page, settings.realtimeFileType ? 2 : settings.fileType > 0 ? 1 : 0);
}

// --- Commands ---------------------------------------------------------------------

INT_PTR CALLBACK AddFileTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        const DialogText texts[] = {{751, IDC_ADD_TEXT}, {753, IDOK}, {304, IDCANCEL}};
        SetDialogTexts(dialog, 752, texts);
        SendDlgItemMessageA(dialog, IDC_ADD_EXTENSION, EM_LIMITTEXT, 1023, 0);
        RestoreWindowPos(dialog, &POS_ADD_FILE_TYPE, currentPage);
        SetFocus(GetDlgItem(dialog, IDC_ADD_EXTENSION));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            char text[1024] = "";
            GetDlgItemTextA(dialog, IDC_ADD_EXTENSION, text, sizeof text);
            int refusal = AddWatchedFileType(text);
            if (refusal) {
                PageMessage(dialog, (UINT)refusal, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
                SetFocus(GetDlgItem(dialog, IDC_ADD_EXTENSION));
                return TRUE;
            }
            SaveWindowPos(dialog, &POS_ADD_FILE_TYPE, currentPage);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void AddFileType(HWND page)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ADD_FILE_TYPE), page, AddFileTypeProc, 0);
    Refill();
}

void RemoveFileType(void)
{
    PageRow *row = PageRowAt(&fileTypesPage, SelectedRecord(&fileTypesPage));
    if (!row) {
        ShowStringMessage(60);
        return;
    }
    // Every row of the extension goes with it: the watched list names
    // extensions, not methods. No row stands for it afterwards.
    RemoveWatchedFileType(row->record.name);
    Refill();
}

void ShowMenu(HWND)
{
    int items[10];
    int n = RowMenuStart(&fileTypesPage, items, 0);
    items[n++] = IDC_ADD;
    items[n++] = IDC_REMOVE;
    ShowRowMenu(&fileTypesPage, items, RowMenuEnd(items, n));
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&fileTypesPage); break;
    case IDC_ADD: AddFileType(page); break;
    case IDC_REMOVE: RemoveFileType(); break;
    default: break;
    }
}

// The two explanation lines stand where the frame puts its explanation.
void LayoutExplanation(HWND page)
{
    PlaceTwoLinesAtExplanation(page, IDC_EXPLANATION_FIRST, IDC_EXPLANATION_SECOND);
}

const DialogText kTexts[] = {{740, IDC_EXPLANATION_FIRST}, {741, IDC_EXPLANATION_SECOND}, {301, IDC_INFO},
                             {311, IDC_ADD}, {302, IDC_REMOVE}, {304, IDC_CLOSE}};

void Initialise(HWND page)
{
    ShowWindow(GetDlgItem(page, IDC_EXPLANATION), SW_HIDE);
    OpenListPage(&fileTypesPage, page, kTexts);
}

void Activate(HWND page)
{
    FillList();
    ActivatePage(page, CMD_PAGE_FILE_TYPES);
    SetMonitorFromOptions(page);
}

const ListPageKind kKind = {&fileTypesPage, Initialise, Activate, OnCommand, ShowMenu, nullptr, LayoutExplanation,
                            nullptr, 788};

}  // namespace

const DLGPROC FileTypesPageProc = ListPageProc<kKind>;
