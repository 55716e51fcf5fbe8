// SentrelEx.exe: the Delayed Start page (tab 2): the programs the monitor
// starts itself some time after logon, with their delays; set a program's
// delay and options, launch it now, put it back into Windows' startup,
// remove it, add a new one.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <prsht.h>
#include <cstring>
#include <initializer_list>

#include "delayed_programs.h"
#include "explorer.h"
#include "info_dialog.h"
#include "list_page.h"
#include "pages.h"
#include "report_commands.h"
#include "platform.h"
#include "processes.h"
#include "program_files.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

enum DelayControl {
    IDD_DELAY_OPTIONS = 198,
    IDD_PROGRAM_TYPE = 199,
    IDC_DELAY_EXPLANATION = 1187,
    IDC_DELAY_HINT = 1200,
    // The Delay options dialog.
    IDC_OPTIONS_TEXT = 1111,
    IDC_MINUTES = 1113,
    IDC_SECONDS = 1114,
    IDC_OPEN_AS = 1141,
    IDC_PARAMETERS = 1142,
    IDC_TITLE = 1131,
    IDC_MINUTES_LABEL = 1115,
    IDC_SECONDS_LABEL = 1116,
    IDC_OPEN_AS_LABEL = 1117,
    IDC_PARAMETERS_LABEL = 1118,
    IDC_TITLE_LABEL = 1119,
    // The Startup Program Type dialog.
    IDC_TYPE_QUESTION = 1126,
    IDC_ALL_USERS = 1127,
    IDC_CURRENT_USER = 1128,
};

const UINT kHeadings[] = {627, 628, 648, 1119, 3760};
enum DelayColumn { COLUMN_TITLE, COLUMN_COMMAND, COLUMN_STATUS, COLUMN_DELAY, COLUMN_PUBLISHER };

int DelaySortKey(const ListPage *, const PageRow *row, int column, char *out, int size)
{
    if (column == COLUMN_STATUS) {
        char running[CELL_SIZE];
        LoadUiString(655, running, sizeof running);
        return (int)CopyText(out, (size_t)size, strcmp(row->cells[COLUMN_STATUS], running) == 0 ? "0" : "1");
    }
    if (column == COLUMN_DELAY) {
        long seconds = DelaySeconds(DelayHive(row->record), row->record.name);
        return (int)FormatTextCut(out, (size_t)size, "%04ld", seconds > 9999 ? 9999 : seconds);
    }
    return 0;   // the column's own text
}

void FillFacts(PageRow *row);
ListPage delayPage = {CMD_PAGE_DELAY, 5, kHeadings, "SortPrograms", DelaySortKey, -1, FillFacts,
                      FACT_COLUMN(COLUMN_PUBLISHER)};

// The program file of an entry.
void EntryFile(const Item &record, char *file)
{
    char split[PATH_SIZE];
    if (SplitCommand(record.path, file, split) <= 0) RemoveQuotes(record.path, file, PATH_SIZE);
}

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    CopyTextCut(row->cells[COLUMN_TITLE], CELL_SIZE, record.title);
    char file[PATH_SIZE];
    EntryFile(record, file);
    // The file name as the entry writes it (the long form found on disk
    // may differ in case).
    char written[PATH_SIZE];
    RemoveQuotes(record.path, written, sizeof written);
    if (FileNamePart(written, row->cells[COLUMN_COMMAND], CELL_SIZE) <= 0)
        CopyTextCut(row->cells[COLUMN_COMMAND], CELL_SIZE, written);
    row->cells[COLUMN_STATUS][0] = 0;
    char exists[PATH_SIZE];
    CopyTextCut(exists, sizeof exists, file);
    if (!file[0] || !FileExists(exists)) {
        LoadUiString(730, row->cells[COLUMN_STATUS], CELL_SIZE);
    } else if (IsProgramRunning(file)) {
        LoadUiString(655, row->cells[COLUMN_STATUS], CELL_SIZE);
    }
    FormatDelayTime(DelaySeconds(DelayHive(record), record.name), row->cells[COLUMN_DELAY], CELL_SIZE);
}

void FillFacts(PageRow *row)
{
    char file[PATH_SIZE];
    EntryFile(row->record, file);
    FillPublisherCell(row, file, COLUMN_PUBLISHER, 1);
}

void FillList(const Item *keep = nullptr)
{
    ListPage *p = &delayPage;
    ListDelayedPrograms();
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr);
    FreeItems();
    SelectAfterFill(p, keep);
}

// Refills after an action, keeping the selection on the entry of the row
// (found again by its hive and command, never by its title).
void Refill(int rowIndex)
{
    RefillKeeping(PageRowAt(&delayPage, rowIndex), [](const Item *keep, void *) { FillList(keep); });
}

// Acts on the record of each selected row, in list order, until act
// returns 0. Returns the row-store index of the first of them; -1, with
// the message that none is selected, when there is none.
int ForSelectedRows(HWND page, int (*act)(HWND page, const Item &record))
{
    static int rows[ITEM_MAX];
    int count = SelectedRowIndexes(&delayPage, rows, ITEM_MAX);
    if (count <= 0) {
        ShowStringMessage(57);
        return -1;
    }
    for (int i = 0; i < count; i++)
        if (!act(page, delayPage.rows[rows[i]].record)) break;
    return rows[0];
}

// --- Add ---------------------------------------------------------------------------

INT_PTR CALLBACK ProgramTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        const DialogText texts[] = {{1126, IDC_TYPE_QUESTION}, {1127, IDC_ALL_USERS}, {1128, IDC_CURRENT_USER},
                                    {304, IDCANCEL}};
        SetDialogTexts(dialog, 1129, texts);
        CheckRadioButton(dialog, IDC_ALL_USERS, IDC_CURRENT_USER, IDC_CURRENT_USER);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(dialog, IsDlgButtonChecked(dialog, IDC_ALL_USERS) == BST_CHECKED ? 1 : 2);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

void AddProgram(HWND page)
{
    char filter[256] = "", file[PATH_SIZE] = "";
    // "%" separates the parts of the filter; the list ends with two zeros.
    LoadUiString(903, filter, sizeof filter - 2);
    ReplaceChar(filter, '%', 0);
    if (!ChooseProgramFile(page, filter, nullptr, file, sizeof file)) return;
    INT_PTR choice = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRAM_TYPE), page, ProgramTypeProc, 0);
    if (choice == 1 || choice == 2) AddDelayedProgram(file, choice == 1);
    FillList();
}

// --- Delay options ------------------------------------------------------------------

INT_PTR CALLBACK DelayOptionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const Item *record = (const Item *)GetWindowLongPtrA(dialog, GWLP_USERDATA);
    switch (message) {
    case WM_INITDIALOG: {
        record = (const Item *)lParam;
        SetWindowLongPtrA(dialog, GWLP_USERDATA, (LONG_PTR)record);
        const DialogText texts[] = {{1111, IDC_OPTIONS_TEXT},  {662, IDOK},
                                    {304, IDCANCEL},          {1113, IDC_MINUTES_LABEL},
                                    {1114, IDC_SECONDS_LABEL}, {1141, IDC_OPEN_AS_LABEL},
                                    {3742, IDC_PARAMETERS_LABEL}, {1131, IDC_TITLE_LABEL}};
        SetDialogTexts(dialog, 1112, texts);
        char text[DELAY_TEXT_SIZE];
        SendDlgItemMessageA(dialog, IDC_PARAMETERS, EM_LIMITTEXT, 256, 0);
        SendDlgItemMessageA(dialog, IDC_TITLE, EM_LIMITTEXT, 256, 0);
        for (int minute = 0; minute <= 60; minute++) {
            FormatText(text, sizeof text, "%d", minute);
            SendDlgItemMessageA(dialog, IDC_MINUTES, CB_ADDSTRING, 0, (LPARAM)text);
        }
        for (int tens = 0; tens <= 5; tens++) {
            FormatText(text, sizeof text, "%d", tens * 10);
            SendDlgItemMessageA(dialog, IDC_SECONDS, CB_ADDSTRING, 0, (LPARAM)text);
        }
        for (UINT id : {1138u, 1139u, 1140u}) {
            LoadUiString(id, text, sizeof text);
            SendDlgItemMessageA(dialog, IDC_OPEN_AS, CB_ADDSTRING, 0, (LPARAM)text);
        }
        HKEY hive = DelayHive(*record);
        long seconds = DelaySeconds(hive, record->name);
        long minutes = seconds / 60 > 60 ? 60 : seconds / 60;
        SendDlgItemMessageA(dialog, IDC_MINUTES, CB_SETCURSEL, (WPARAM)minutes, 0);
        SendDlgItemMessageA(dialog, IDC_SECONDS, CB_SETCURSEL, (WPARAM)((seconds % 60) / 10), 0);
        // The window state is kept in HKCU, named by the file that is started.
        long openAs = 0;
        if (StoreReadString(HKEY_CURRENT_USER, DELAY_KEY "\\" DELAY_OPEN_AS, record->name, text, 32) > 0)
            openAs = DecimalValue(text);
        SendDlgItemMessageA(dialog, IDC_OPEN_AS, CB_SETCURSEL, openAs >= 0 && openAs <= 2 ? (WPARAM)openAs : 0, 0);
        ReadDelayValue(hive, DELAY_PARAMETERS, record->name, text, sizeof text);
        SetDlgItemTextA(dialog, IDC_PARAMETERS, text);
        ReadDelayValue(hive, DELAY_TITLE, record->name, text, sizeof text);
        SetDlgItemTextA(dialog, IDC_TITLE, text);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && record) {
            HKEY hive = DelayHive(*record);
            long minutes = (long)SendDlgItemMessageA(dialog, IDC_MINUTES, CB_GETCURSEL, 0, 0);
            long tens = (long)SendDlgItemMessageA(dialog, IDC_SECONDS, CB_GETCURSEL, 0, 0);
            long openAs = (long)SendDlgItemMessageA(dialog, IDC_OPEN_AS, CB_GETCURSEL, 0, 0);
            char text[DELAY_TEXT_SIZE];
            FormatText(text, sizeof text, "%ld", (minutes < 0 ? 0 : minutes) * 60 + (tens < 0 ? 0 : tens) * 10);
            WriteDelayValue(hive, DELAY_TIME, record->name, text);
            FormatText(text, sizeof text, "%ld", openAs < 0 ? 0 : openAs);
            StoreWriteString(HKEY_CURRENT_USER, DELAY_KEY "\\" DELAY_OPEN_AS, record->name, text);
            GetDlgItemTextA(dialog, IDC_PARAMETERS, text, 257);
            WriteDelayValue(hive, DELAY_PARAMETERS, record->name, text);
            GetDlgItemTextA(dialog, IDC_TITLE, text, 257);
            // The title of a registry entry is its value name: an emptied
            // field keeps the name it had.
            int registry = (record->type >= 1 && record->type <= 7) || (record->type >= 11 && record->type <= 17);
            if (text[0] || !registry)
                WriteDelayValue(hive, DELAY_TITLE, record->name, text);
            EndDialog(dialog, 0);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, -1);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowDelayOptions(HWND page)
{
    int index = SelectedRecord(&delayPage);
    PageRow *row = SelectedRowOrSay(&delayPage);
    if (!row) return;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_DELAY_OPTIONS), page, DelayOptionsProc, (LPARAM)&row->record);
    Refill(index);
}

// --- Launch, restore, remove ---------------------------------------------------------

// The parameters come from the hive the entry is kept in.
int LaunchOne(HWND page, const Item &r)
{
    LaunchDelayedProgram(page, DelayHive(r), r.name);
    return 1;
}

int RestoreOne(HWND page, const Item &r)
{
    if (!RestoreDelayedProgram(r)) PageMessage(page, 3743, MB_OK | MB_ICONSTOP | MB_TOPMOST);
    return 1;
}

// Cancel leaves the rest as they are.
int RemoveOne(HWND page, const Item &r)
{
    int answer = PageMessage(page, 1134, MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST);
    if (answer == IDCANCEL) return 0;
    if (answer == IDYES) {
        // Back into Windows' startup first; the delay goes with it.
        if (!RestoreDelayedProgram(r)) PageMessage(page, 3743, MB_OK | MB_ICONSTOP | MB_TOPMOST);
    } else if (answer == IDNO) {
        RemoveDelayEntry(DelayHive(r), r.name);
    }
    return 1;
}

void LaunchSelected(HWND page)
{
    int first = ForSelectedRows(page, LaunchOne);
    if (first >= 0) Refill(first);
}

void RestoreSelected(HWND page)
{
    if (ForSelectedRows(page, RestoreOne) >= 0) FillList();
}

void RemoveSelected(HWND page)
{
    if (ForSelectedRows(page, RemoveOne) >= 0) FillList();
}

void ShowMenu(HWND)
{
    int items[16];
    int n = RowMenuStart(&delayPage, items);
    for (int id : {(int)IDC_ADD, (int)IDC_LAUNCH, (int)IDC_DELAY_OPTIONS, 0, (int)IDC_REMOVE, (int)IDC_RESTORE_DELAYED})
        items[n++] = id;
    ShowRowMenu(&delayPage, items, RowMenuEnd(items, n));
}

// The explanation and the hint stand where the frame puts its explanation.
void LayoutExplanation(HWND page)
{
    PlaceTwoLinesAtExplanation(page, IDC_DELAY_EXPLANATION, IDC_DELAY_HINT, 600);
}

const DialogText kTexts[] = {{1100, IDC_DELAY_EXPLANATION}, {1133, IDC_DELAY_HINT}, {301, IDC_INFO}, {311, IDC_ADD},
                             {1132, IDC_DELAY_OPTIONS}, {302, IDC_REMOVE}, {304, IDC_CLOSE}};

void Initialise(HWND page)
{
    ShowWindow(GetDlgItem(page, IDC_EXPLANATION), SW_HIDE);
    if (!IsNtFamily()) ShowWindow(GetDlgItem(page, IDC_CLOSE), SW_HIDE);
    OpenListPage(&delayPage, page, kTexts);
}

void Activate(HWND page)
{
    FillList();
    ActivatePage(page, CMD_PAGE_DELAY);
    SetMonitorLabel(page, 0);
    EnableWindow(GetDlgItem(page, IDC_MONITOR_LABEL), FALSE);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: case IDOK: ShowInfo(&delayPage); break;
    case IDC_ADD: AddProgram(page); break;
    case IDC_LAUNCH: LaunchSelected(page); break;
    case IDC_DELAY_OPTIONS: ShowDelayOptions(page); break;
    case IDC_REMOVE: RemoveSelected(page); break;
    case IDC_RESTORE_DELAYED: RestoreSelected(page); break;
    default: break;
    }
}

const ListPageKind kKind = {&delayPage, Initialise, Activate, OnCommand, ShowMenu, nullptr, nullptr, LayoutExplanation,
                            0};

}  // namespace

const DLGPROC DelayedStartPageProc = ListPageProc<kKind>;
