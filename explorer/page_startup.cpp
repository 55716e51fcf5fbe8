// SentrelEx.exe: the Startup Programs page (tab 1): every program Windows
// starts by itself, with add, remove, disable, enable, move to delayed
// start, stop and delete-at-restart.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <prsht.h>
#include <cstring>
#include <initializer_list>

#include "explorer.h"
#include "first_seen.h"
#include "dates.h"
#include "delayed_programs.h"
#include "file_facts_cache.h"
#include "info_dialog.h"
#include "list_page.h"
#include "location_words.h"
#include "report_commands.h"
#include "options.h"
#include "pages.h"
#include "patrol_time.h"
#include "platform.h"
#include "processes.h"
#include "program_files.h"
#include "startup_changes.h"
#include "startup_hooks.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

const UINT kHeadings[] = {627, 628, 699, 714, 912, 3760};
enum StartupColumn { COLUMN_TITLE, COLUMN_COMMAND, COLUMN_COMPANY, COLUMN_TYPE, COLUMN_FIRST_SEEN, COLUMN_PUBLISHER };

int StartupSortKey(const ListPage *, const PageRow *row, int column, char *out, int size)
{
    if (column == COLUMN_FIRST_SEEN) return DateSortKey(row->cells[column], out, size);
    return 0;   // the column's own text
}

void FillFacts(PageRow *row);
ListPage startupPage = {CMD_PAGE_STARTUP, 6, kHeadings, "SortStartup", StartupSortKey, COLUMN_TYPE, FillFacts,
                        FACT_COLUMN(COLUMN_COMPANY) | FACT_COLUMN(COLUMN_FIRST_SEEN) | FACT_COLUMN(COLUMN_PUBLISHER)};

int IsDisabled(const Item &record)
{
    return record.disabled;
}

// A translatable template with one "%s": only the first is filled.
void FillTemplate(UINT id, const char *value, char *out, size_t size)
{
    char format[1024];
    LoadUiString(id, format, sizeof format);
    const char *slot = strstr(format, "%s");
    if (!slot) {
        CopyTextCut(out, size, format);
        return;
    }
    CopyTextN(out, size, format, (size_t)(slot - format));
    AppendTextCut(out, size, value);
    AppendTextCut(out, size, slot + 2);
}

void FillCells(PageRow *row)
{
    const Item &record = row->record;
    CopyTextCut(row->cells[COLUMN_TITLE], CELL_SIZE, record.title);

    char name[CELL_SIZE];
    if (FileNamePart(record.path, name, sizeof name) <= 0) CopyTextCut(name, sizeof name, record.path);
    FormatTextCut(row->cells[COLUMN_COMMAND], CELL_SIZE, "%s%s",
                  record.qualifier == 1 ? "RunDLL32.exe " : "", name);

    // Where it lives, in words; a disabled entry still says where.
    row->apart = IsDisabled(record);
    LocationWords(&record, row->cells[COLUMN_TYPE], CELL_SIZE);
}

// What the entry's program is: its company, when it was first seen, who
// signed it.
void FillFacts(PageRow *row)
{
    const Item &record = row->record;
    ProgramCompany(record.path, row->cells[COLUMN_COMPANY], CELL_SIZE);
    FillFirstSeenCell(row, COLUMN_FIRST_SEEN, record.path, record.type, DETECTED_STARTUP);
    // Microsoft's own entries, by a signature under a Microsoft root, may be
    // left out; a disabled one always shows, so that it can be enabled.
    int microsoft = FillPublisherCell(row, record.path, COLUMN_PUBLISHER);
    row->hidden = microsoft && !row->apart && GetOption("HideMicrosoftStartup", 0) > 0;
}

void UpdateButtons(HWND page);
void FillKeeping(const Item *keep, void *page);

// Fills the page. After an action the selection stays on the entry it was
// on (found again by what it is, never by its title), or on none.
void FillList(HWND page, const Item *keep = nullptr)
{
    ListPage *p = &startupPage;
    // Leaving out Microsoft's entries takes every signature before the list
    // shows. Otherwise a long list shows its first screen at once and the
    // rest follows; a refill after an action takes the whole list.
    int hideMicrosoft = GetOption("HideMicrosoftStartup", 0) > 0;
    int limit = keep || hideMicrosoft ? 0 : FirstScreenRows(p);
    SetItemLimit(limit);
    BuildStartupList(1);
    SetItemLimit(0);
    FillPageRows(p, [](PageRow *row, void *) { FillCells(row); }, nullptr, hideMicrosoft ? FILL_FACTS_FIRST : 0);
    SelectAfterFill(p, keep);
    UpdateButtons(page);
    if (limit && ItemListCut()) FillRestLater(p, FillKeeping, page);
}

void FillKeeping(const Item *keep, void *page)
{
    FillList((HWND)page, keep);
}

void ShowButton(HWND page, int id, int shown, int enabled)
{
    HWND button = GetDlgItem(page, id);
    ShowWindow(button, shown ? SW_SHOW : SW_HIDE);
    EnableWindow(button, enabled);
}

void UpdateButtons(HWND page)
{
    ListPage *p = &startupPage;
    int index = SelectedRecord(p);
    PageRow *row = PageRowAt(p, index);
    MarkInfoButton(page, row);
    if (!row) {
        ShowButton(page, IDC_ENABLE, 0, 0);
        ShowButton(page, IDC_DISABLE, 0, 0);
        return;
    }
    int type = row->record.type;
    SetDlgItemUiString(page, 302, IDC_REMOVE);
    EnableWindow(GetDlgItem(page, IDC_REMOVE), TRUE);
    ShowButton(page, IDC_ENABLE, row->apart, 1);
    ShowButton(page, IDC_DISABLE, !row->apart, 1);

    char status[512], location[400] = "";
    DescribeEntryLocation(&row->record, row->apart, location, sizeof location);
    LoadUiString(646, status, sizeof status);
    AppendTextCut(status, sizeof status, location);
    SetStatusText(status);

    if (type == ITEM_WINLOGON_USERINIT || type == ITEM_WINLOGON_SHELL) {
        SetDlgItemUiString(page, 677, IDC_REMOVE);
        EnableWindow(GetDlgItem(page, IDC_ENABLE), FALSE);
        EnableWindow(GetDlgItem(page, IDC_DISABLE), FALSE);
    } else if ((type >= ITEM_DELAYLOAD && type <= ITEM_APPINIT_DLLS) || IsStartupHookType(type)) {
        // These places have no disabled form of their own: Remove only.
        EnableWindow(GetDlgItem(page, IDC_ENABLE), FALSE);
        EnableWindow(GetDlgItem(page, IDC_DISABLE), FALSE);
    } else if (type == ITEM_WINLOGON_NOTIFY) {
        EnableWindow(GetDlgItem(page, IDC_REMOVE), FALSE);
    }
}

// The rows selected now, as row-store indexes in list order. Each action
// works on the row's own record, never on a record found again by name.
int SelectedRows(int *out, int capacity)
{
    return SelectedRowIndexes(&startupPage, out, capacity);
}

// Refills the page after an action on the selected rows, keeping the
// selection on the first of them.
void Refill(HWND page, const int *rows, int selected)
{
    if (selected <= 0) {
        ShowStringMessage(57);
        return;
    }
    RefillKeeping(&startupPage.rows[rows[0]], FillKeeping, page);
}

// A Startup-folder file that could not be moved (a folder that cannot be
// written, a file in use): the file and the system's reason.
void SayFileNotMoved(HWND page, const Item &r)
{
    DWORD error = GetLastError();
    char reason[512] = "", pattern[512], text[2048];
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error ? error : ERROR_WRITE_FAULT, 0, reason, sizeof reason, nullptr);
    LoadUiString(3726, pattern, sizeof pattern);
    const char *values[] = {r.detail[0] ? r.detail : r.path, reason};
    if (!::FillTemplate(text, sizeof text, pattern, values, 2)) CopyTextCut(text, sizeof text, pattern);
    PageMessageText(page, text, MB_OK | MB_ICONEXCLAMATION);
}

void EnableOrDisable(HWND page, int enable)
{
    static int rows[ITEM_MAX];
    int count = SelectedRows(rows, ITEM_MAX);
    for (int i = 0; i < count; i++) {
        const PageRow &row = startupPage.rows[rows[i]];
        const Item &r = row.record;
        if ((enable != 0) != (IsDisabled(r) != 0)) continue;
        if (!enable) StopProgram(r.path, r.title, count == 1);
        SetLastError(0);
        if (!ToggleStartupEntry(StartupRefOf(r)) && r.type == ITEM_STARTUP_FOLDER) SayFileNotMoved(page, r);
    }
    Refill(page, rows, count);
}

void RemoveSelected(HWND page)
{
    static int rows[ITEM_MAX];
    int count = SelectedRows(rows, ITEM_MAX);
    for (int i = 0; i < count; i++) {
        const Item &r = startupPage.rows[rows[i]].record;
        if (r.type >= ITEM_WINLOGON_USERINIT && !IsStartupHookType(r.type)) {
            RemoveKeyLocationEntry(page, StartupRefOf(r));
        } else if (count == 1) {
            StopProgram(r.path, r.title, 1);
            char question[1024];
            FillTemplate(15, r.path, question, sizeof question);
            if (PageMessageText(page, question, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST) == IDYES)
                DeleteStartupEntry(StartupRefOf(r));
        } else {
            StopProgram(r.path, r.title, 0);
            DeleteStartupEntry(StartupRefOf(r));
        }
    }
    Refill(page, rows, count);
}

// The delayed-start values of one program, written in hive. 1 when all were
// written; otherwise none is left behind.
int WriteDelayEntry(HKEY hive, const Item &r, const char *file, const char *parameters)
{
    char type[16];
    FormatText(type, sizeof type, "%d", r.type);
    const char *const base = STORE_ROOT "\\Delay";
    // A registry entry goes back under its exact value name (its title may
    // have been cut or rewritten for showing), and into its registry view.
    int registry = (r.type >= 1 && r.type <= 7) || (r.type >= 11 && r.type <= 17);
    const char *title = registry && r.name && r.name[0] ? r.name : r.title;
    int written = StoreWriteString(hive, base, file, type) &&
                  StoreWriteName(hive, STORE_ROOT "\\Delay\\Title", file, title) &&
                  (r.view != VIEW_32 || StoreWriteString(hive, STORE_ROOT "\\Delay\\View", file, "32")) &&
                  StoreWriteString(hive, STORE_ROOT "\\Delay\\Time", file, "30") &&
                  (!parameters[0] || StoreWriteString(hive, STORE_ROOT "\\Delay\\Parameters", file, parameters)) &&
                  StoreWriteString(hive, STORE_ROOT "\\Delay\\Shortcuts", file, r.detail) &&
                  (!r.qualifier || StoreWriteString(hive, STORE_ROOT "\\Delay\\Applet", file, "RunDLL32.exe"));
    if (written) return 1;
    for (const char *key : {base, STORE_ROOT "\\Delay\\Title", STORE_ROOT "\\Delay\\Time",
                            STORE_ROOT "\\Delay\\Parameters", STORE_ROOT "\\Delay\\Shortcuts",
                            STORE_ROOT "\\Delay\\Applet", STORE_ROOT "\\Delay\\View"})
        StoreDeleteValue(hive, key, file);
    return 0;
}

void MoveToDelayedStart(HWND page)
{
    static int rows[ITEM_MAX];
    int count = SelectedRows(rows, ITEM_MAX);
    for (int i = 0; i < count; i++) {
        const Item &r = startupPage.rows[rows[i]].record;
        if (r.type >= ITEM_WINLOGON_USERINIT) {
            PageMessage(page, 1130, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
            continue;
        }
        if (ContainsNoCase(r.path, "sentrel.exe")) {
            PageMessage(page, 1130, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
            break;
        }
        char file[PATH_SIZE], parameters[DELAY_TEXT_SIZE], folder[PATH_SIZE] = "";
        if (SplitCommand(r.path, file, parameters) <= 0) {
            CopyTextCut(file, sizeof file, r.path);
            parameters[0] = 0;
        }
        // A shortcut's arguments and working folder go with it.
        if (r.type == ITEM_STARTUP_FOLDER) ReadShortcutParts(r.detail, parameters, folder);
        HKEY hive = HKEY_CURRENT_USER;
        if (r.type < 10) {
            if (PageMessage(page, 1120, MB_OKCANCEL | MB_ICONEXCLAMATION | MB_TOPMOST) != IDOK) continue;
            hive = HKEY_LOCAL_MACHINE;
        }
        // The delayed entry is written before the startup entry goes, so a
        // failed write never leaves the program on neither list.
        // A registry entry is kept as it stands, so Restore gives back the
        // very value (its quotes, case and type).
        HKEY root;
        const char *live;
        int registry = !r.disabled && RunLocation(r.type, &root, &live);
        if (!WriteDelayEntry(hive, r, file, parameters) ||
            (folder[0] && !WriteDelayValue(hive, DELAY_FOLDER, file, folder)) ||
            (registry && !KeepOriginalStartupValue(hive, file, root, r.view, live, r.name))) {
            RemoveDelayEntry(hive, file);
            PageMessage(page, 3202, MB_OK | MB_ICONSTOP | MB_TOPMOST);
            continue;
        }
        DeleteStartupEntry(StartupRefOf(r));
        char baseline[PATH_SIZE];
        if (StartupBaselineNameIn(r.view, r.path, baseline) > 0)
            StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline, "1103");
    }
    Refill(page, rows, count);
}

void AddProgram(HWND page)
{
    char filter[256] = "", file[PATH_SIZE] = "";
    // "%" separates the parts of the filter; the list ends with two zeros.
    LoadUiString(903, filter, sizeof filter - 2);
    size_t length = strlen(filter);
    for (size_t i = 0; i < length; i++)
        if (filter[i] == '%') filter[i] = 0;
    filter[length + 1] = 0;
    // Programs are usually installed in the Program Files folder.
    char programs[PATH_SIZE] = "";
    int found = SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programs));
    if (!ChooseProgramFile(page, filter, found ? programs : nullptr, file, sizeof file)) return;

    static VersionFacts facts;
    ReadVersionFacts(file, facts);
    char name[ITEM_TITLE_SIZE] = "";
    if (facts[VERSION_FILE_DESCRIPTION][0])
        CopyTextCut(name, sizeof name, facts[VERSION_FILE_DESCRIPTION]);
    else if (facts[VERSION_PRODUCT_NAME][0])
        CopyTextCut(name, sizeof name, facts[VERSION_PRODUCT_NAME]);
    else if (FileNamePart(file, name, sizeof name) > 4)
        name[strlen(name) - 4] = 0;
    if (!name[0]) return;

    HKEY root;
    const char *run;
    RunLocation(ITEM_CURRENT_RUN, &root, &run);
    // An entry of the same name is replaced only when the user says so.
    if (StoreValueExists(root, run, name)) {
        char question[1024];
        FillTemplate(3203, name, question, sizeof question);
        if (PageMessageText(page, question, MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_TOPMOST) !=
            IDYES)
            return;
    }
    if (!StoreWriteString(root, run, name, file)) return;
    char baseline[PATH_SIZE];
    if (StartupBaselineName(file, baseline) > 0)
        StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT "\\Run", baseline, "1");
    FillList(page);
}

void ShowMenu(HWND)
{
    PageRow *row = PageRowAt(&startupPage, SelectedRecord(&startupPage));
    int items[20];
    int n = RowMenuStart(&startupPage, items);
    items[n++] = IDC_ADD;
    if (row && row->record.type < ITEM_WINLOGON_USERINIT) {
        items[n++] = IDC_MOVE_TO_DELAYED;
        items[n++] = 0;
        items[n++] = IDC_REMOVE;
        items[n++] = row->apart ? IDC_ENABLE : IDC_DISABLE;
        items[n++] = IDC_DELETE_ON_REBOOT;
    }
    n = RowMenuEnd(items, n);
    items[n++] = 0;
    items[n++] = IDC_HIDE_MICROSOFT;
    UINT flags[20] = {};
    flags[n - 1] = GetOption("HideMicrosoftStartup", 0) > 0 ? MF_CHECKED : 0;
    ShowRowMenu(&startupPage, items, n, flags);
}

void SetMonitorFromOptions(HWND page)
{
    SetMonitorLabel(page, settings.realtimeStartup ? 2 : settings.start > 0 ? 1 : 0);
}

void Activate(HWND page)
{
    EnableWindow(GetDlgItem(page, IDC_OPTION_CHECK), TRUE);
    FillList(page);
    ActivatePage(page, CMD_PAGE_STARTUP);
    UpdateButtons(page);   // the status bar was cleared by the activation
    SetMonitorFromOptions(page);
    CheckDlgButton(page, IDC_OPTION_CHECK, GetOption("ShowAllStartup", 0) > 0 ? BST_CHECKED : BST_UNCHECKED);
}

const DialogText kTexts[] = {{211, IDC_EXPLANATION}, {301, IDC_INFO},    {311, IDC_ADD},   {302, IDC_REMOVE},
                             {632, IDC_ENABLE},      {633, IDC_DISABLE}, {304, IDC_CLOSE}, {929, IDC_OPTION_CHECK}};

void Initialise(HWND page)
{
    ShowWindow(GetDlgItem(page, IDC_DISABLE), SW_HIDE);
    if (!IsNtFamily()) ShowWindow(GetDlgItem(page, IDC_CLOSE), SW_HIDE);
    OpenListPage(&startupPage, page, kTexts);
}

// The menu's switch: the entries signed by Microsoft left out, or shown
// again; the selection stays on its entry.
void ToggleHideMicrosoft(HWND page)
{
    SetOption("HideMicrosoftStartup", GetOption("HideMicrosoftStartup", 0) > 0 ? 0 : 1);
    RefillKeepingSelection(&startupPage, FillKeeping, page);
}

// The check box: the entries of the further startup places listed too, or not.
void ShowAllOrNot(HWND page)
{
    StoreOptionCheck(page, "ShowAllStartup", &settings.showAllStartup);
    FillList(page);
}

void OnCommand(HWND page, int id, int)
{
    switch (id) {
    case IDC_INFO: ShowInfo(&startupPage); break;
    case IDC_ADD: AddProgram(page); break;
    case IDC_MOVE_TO_DELAYED: MoveToDelayedStart(page); break;
    case IDC_REMOVE: RemoveSelected(page); break;
    case IDC_ENABLE: EnableOrDisable(page, 1); break;
    case IDC_DISABLE: EnableOrDisable(page, 0); break;
    case IDC_DELETE_ON_REBOOT: DeleteFileOnReboot(&startupPage); break;
    case IDC_HIDE_MICROSOFT: ToggleHideMicrosoft(page); break;
    case IDC_OPTION_CHECK: ShowAllOrNot(page); break;
    default: break;
    }
}

const ListPageKind kKind = {&startupPage, Initialise, Activate, OnCommand, ShowMenu, UpdateButtons, nullptr, nullptr,
                            784};

}  // namespace

const DLGPROC StartupPageProc = ListPageProc<kKind>;
