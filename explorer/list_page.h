// The list page framework shared by every tab of the explorer: the page's
// own row store shown through a virtual list (the list asks for the rows it
// draws), columns and their widths, row icons, the facts of a row's program
// read when the row is seen or in idle time, sorting by column with the
// saved sort, the right-click menu, the selection helpers, the picture
// labels, the drawn buttons and the page life cycle.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "items.h"
#include "signature_checks.h"

#define LIST_MAX_COLUMNS 8
#define CELL_SIZE 784   // a path of any script (UTF-8)

// Common control and menu numbers: the same number means the same function
// on every page, and a menu item uses the number of the button it stands for.
enum PageControl {
    IDC_ENABLE = 10,
    IDC_DISABLE = 11,
    IDC_SYSTEM_REPORT = 9,
    IDC_LIST = 1000,
    IDC_REMOVE = 1003,
    IDC_CLOSE = 1004,
    IDC_REFRESH = 1006,
    IDC_KILL_TASK = 1007,
    IDC_INFO = 1008,
    IDC_OPTION_CHECK = 1014,
    IDC_EXPLANATION = 1047,
    IDC_ADD = 1064,
    IDC_ONLINE_INFO = 1067,
    IDC_HELP_LABEL = 1077,
    IDC_MONITOR_LABEL = 1112,
    IDC_HEADER_ICON = 1130,
    IDC_HELP_WORD = 1134,
    IDC_MONITOR_WORD = 1135,
    IDC_DELETE_ON_REBOOT = 1144,
    IDC_VIEW_NOTE = 1164,
    IDC_MOVE_TO_DELAYED = 1195,
    IDC_EXPLORE_FOLDER = 1201,
    IDC_OPEN_PROPERTIES = 1202,
    // Services page: start and stop a service, set its start type (menu).
    IDC_SERVICE_START = 1210,
    IDC_SERVICE_STOP = 1211,
    IDC_SERVICE_AUTOMATIC = 1214,
    IDC_SERVICE_MANUAL = 1215,
    IDC_SERVICE_DISABLED = 1216,
    // Delayed Start page: launch now, the delay options, back to startup.
    IDC_LAUNCH = 1065,
    IDC_DELAY_OPTIONS = 1197,
    IDC_RESTORE_DELAYED = 1198,
    // History viewer (menu).
    IDC_HISTORY_RESTORE = 1104,
    IDC_HISTORY_CLEAR = 1106,
    // Options page: the patrol-time picture labels.
    IDC_PATROL_LABEL_HOME = 1136,
    IDC_PATROL_LABEL_HOSTS = 1137,
    IDC_PATROL_LABEL_RESTART = 1138,
    // Hidden Files page: delete a file into the vault, view it in Notepad (menu).
    IDC_DELETE_FILE = 1184,
    IDC_VIEW_NOTEPAD = 1180,
    // Startup Programs page: leave out the entries signed by Microsoft (menu).
    IDC_HIDE_MICROSOFT = 1220,
    // Every page: the row's place in the Registry Editor or its folder, a
    // refill (menu), and the filter box above the list with its label.
    IDC_JUMP_TO_ENTRY = 1222,
    IDC_REFILL = 1223,
    IDC_FILTER = 1224,
    IDC_FILTER_LABEL = 1225,
};

// Sent to a page at the end of LayoutListPage, so that a page with controls
// of its own places them after the common ones.
#define WM_PAGE_LAYOUT (WM_APP + 40)

// Icons of the explorer's resources.
enum ExplorerIcon {
    ICON_APPLICATION = 101,
    ICON_GENERIC_PROGRAM = 115,
    ICON_HELP_LABEL = 2301,
    ICON_MONITOR_OFF = 2302,
    ICON_MONITOR_ON = 2303,
    ICON_MONITOR_REALTIME = 2304,
};

// One row of a page: its own copy of the record it shows (so a later
// refill of the shared item list cannot change what the row means), the
// texts of its columns, its picture and whether it is set apart (sorted to
// the bottom: the disabled entries of the Startup Programs page).
struct PageRow {
    Item record;
    char cells[LIST_MAX_COLUMNS][CELL_SIZE];
    int image;
    int apart;
    int unverified;   // its program file is missing, unsigned or badly signed: shown marked
    int missing;      // its command names a file that is not there
    int dimmed;       // set by a page's fill: drawn grey as a disabled entry is (a disabled service)
    int hidden;       // set by a page's fill: the row is left out of the list
    int filteredOut;  // the filter box's text is in none of its cells
    int factsRead;    // the page's facts of its program are in its cells
    int signaturePending;   // its publisher is being checked: the column + 1
};

struct ListPage;
typedef int (*SortKeyRule)(const ListPage *page, const PageRow *row, int column, char *out,
                           int size);

// What a page reads of a row's program file (its company, its publisher,
// its first-seen date, a picture of its own): the costly part of a row,
// read only when the row is drawn, asked for, sorted or filtered by, or
// when the idle time reaches it. Sets the cells of the page's fact columns
// and the row's marks (unverified, missing).
typedef void (*RowFacts)(PageRow *row);
#define FACT_COLUMN(column) (1u << (column))

// A page: its list identity (the page command), its columns, its sort
// option, its facts, and the rows it shows.
struct ListPage {
    int identity;
    int columnCount;
    const UINT *headings;         // string ids of the column headings
    const char *sortOption;       // "SortStartup", ...
    SortKeyRule sortKey;          // null: the column's text
    int markColumn;               // the column whose words say "disabled" or "file missing"; -1 none
    RowFacts facts = nullptr;     // null: the page's fill reads everything
    unsigned factColumns = 0;     // FACT_COLUMN of each column facts fills
    HWND window = nullptr, list = nullptr;
    int directions[LIST_MAX_COLUMNS] = {};
    PageRow *rows = nullptr;
    int rowCount = 0;
    int *order = nullptr;         // the rows shown, by list position (a virtual list)
    int shownCount = 0;
    int factsNext = 0;            // the next position the idle time reads facts for
    int generation = 0;           // counts the fills (answers for an earlier one are dropped)
    int signaturesPending = 0;    // rows whose publisher is being checked
    int sortedBy = 0;             // the column the rows are sorted by + 1; 0 unsorted
    int sortedDescending = 0;
    wchar_t filter[128] = {};     // the filter box's text, lower case
    void (*restFill)(const Item *keep, void *context) = nullptr;   // the rest of a list cut short
    void *restContext = nullptr;
    int fillingRest = 0;
};

// --- Row store ---------------------------------------------------------------
// Makes room for count rows (emptied) and copies the records of the item
// list into them. Returns the row count, 0 when memory is short.
int CopyItemsToRows(ListPage *page);
void FreeRows(ListPage *page);
// Drops the rows whose record's path has no folder part (Active Tasks and
// Hidden Files list only files with a folder). Returns the row count.
int KeepRowsWithFolder(ListPage *page);
// The row behind a row's data value, its facts read; null when out of range.
PageRow *PageRowAt(ListPage *page, int index);
// The record of the row at a list position, without reading its facts;
// null when there is none.
const Item *RecordAtPosition(ListPage *page, int position);

// --- Columns and rows -----------------------------------------------------------
// Inserts the page's columns with widths from the width table.
void InsertColumns(ListPage *page);
// Width fraction of a column of a list, in thousandths; 0 when not in the table.
int ColumnWidthPermille(int identity, int column);
// Shows the rows of the row store that the filter keeps, in store order.
void ShowRows(ListPage *page);
// Fills the page from the item list: each row gets its own copy of its
// record and its cells from fill; the page's facts (and the row's picture,
// the icon of the record's program unless facts chose one) come when the
// row is seen. The rows are shown in the saved sort. Flags:
// FILL_WITH_FOLDER_ONLY drops the records whose path has no folder part;
// FILL_FACTS_FIRST reads every row's facts before anything is shown (the
// facts decide which rows are hidden). Returns the row count.
typedef void (*RowFill)(PageRow *row, void *context);
enum FillFlags { FILL_WITH_FOLDER_ONLY = 1, FILL_FACTS_FIRST = 2 };
int FillPageRows(ListPage *page, RowFill fill, void *context, int flags = 0);
// Reads the facts of a row now, when they are not read yet.
void ReadRowFacts(ListPage *page, PageRow *row);
// A signature checked for the page: its row's Publisher cell filled and
// redrawn. Frees answer. Returns the row, null when the answer is stale.
PageRow *TakeSignatureAnswer(ListPage *page, SignatureAnswer *answer);
// Reads the facts of every row not read yet (under the wait cursor).
void ReadAllFacts(ListPage *page);
// Reads facts for the rows not seen yet, from the top of the list, until
// input waits or about a quarter second has passed. 1 while rows are left.
int ReadFactsInIdle(ListPage *page);
// Answers the list's questions about its rows (a virtual list): the texts
// and pictures it draws, the row it looks for when a letter is typed.
// Returns 1 when the notice was one of these (*result set).
int AnswerListNotice(ListPage *page, const NMHDR *notice, LRESULT *result);
// The bottom of the room above the list and its filter box, where a page
// places explanations of its own (page coordinates).
int ExplanationBottom(HWND page);
// Sizes the columns to their texts where the list has room: no column
// narrower than its share in the width table, the last one taking what
// is left.
void FitColumns(ListPage *page);
// Takes the filter box's text and shows only the rows that hold it in one
// of their cells (case ignored); the selection stays on its entry when
// that is still shown. Returns the number of rows shown.
int ApplyFilter(ListPage *page);
// After a fill: selects the row of keep's entry when keep is given, else the
// row at position first (-1: none).
void SelectAfterFill(ListPage *page, const Item *keep, int first = 0);
// Fills a page again with the selection kept on the entry of row: fill is
// given a copy of row's record (released afterwards), or null when there is
// no row or no memory for the copy.
typedef void (*KeepingFill)(const Item *keep, void *context);
void RefillKeeping(const PageRow *row, KeepingFill fill, void *context = nullptr);
// The same for the selected row.
void RefillKeepingSelection(ListPage *page, KeepingFill fill, void *context = nullptr);

// A cell of a program's file name (the whole path when it has no name part).
void FillFileNameCell(PageRow *row, int column, const char *path);
// A cell of the date the program at path was first seen as an item of type;
// one not seen before is recorded now, under the category detected.
void FillFirstSeenCell(PageRow *row, int column, const char *path, int type, const char *detected);

// The Publisher cell of a row: the verified signer of the program behind
// command (exactFile: command is the file itself), or "Not verified" with
// the reason; marks the row when it is not verified. Called by a page's
// facts: a signature not known yet is checked on the checking thread (the
// cell says so meanwhile and is filled when the answer comes), unless
// every fact is needed now (a sort, a filter, a fill that hides by it).
// Returns 1 when the file is verified as Microsoft's.
int FillPublisherCell(PageRow *row, const char *command, int column, int exactFile = 0);

// --- A long list's first screen ---------------------------------------------------
// How many records a fill may take so that its first screen shows before
// the whole list is read (SetItemLimit); 0 for the whole list: when the
// page is sorted or filtered (any record could come first) or while it
// fills its rest.
int FirstScreenRows(ListPage *page);
// After a fill that stopped at FirstScreenRows: the page fills again with
// the whole list (fill, keeping the selection and the scroll position) once
// the first screen is drawn. Any other fill drops this.
void FillRestLater(ListPage *page, KeepingFill fill, void *context);
// Fills the rest of the list now when it is still to come (a sort or a
// filter needs every row).
void FillRestNow(ListPage *page);

// --- Row pictures ---------------------------------------------------------------
// The row pictures every list shares for the life of the process: the
// application icon (image 0), the generic program icon (image 1) and each
// program's icon, added once per file. Null when it cannot be made.
HIMAGELIST RowImages(void);
// Gives the page's list the shared row pictures.
void UseRowImages(ListPage *page);
// The picture of the program file a command starts (its first small
// icon), read once per file. Returns its index, 1 (the generic icon) when
// the file has none.
int AddFileIcon(const char *command);
// The small icon index of file added to the row pictures; -1 when there
// is none.
int AddIconOf(const char *file, int index);

// --- Sorting --------------------------------------------------------------------
// Sorts by column with its current direction flag.
void SortRows(ListPage *page, int column);
// A header click: sorts, inverts the flag and stores the page's sort option.
void SortByHeaderClick(ListPage *page, int column);
// After a fill: the sort the rows had before (column and direction), else
// the saved sort, if any.
void ApplySavedSort(ListPage *page);
// The comparison of two sort keys: set-apart rows at the bottom, keys cut to
// the shorter length, case ignored, reversed for descending.
int CompareSortKeys(const char *key1, int apart1, const char *key2, int apart2, int descending);
// "month/day/year  hour:minutes" as a key whose text order is time order.
int DateSortKey(const char *date, char *out, int size);

// --- Selection ------------------------------------------------------------------
// The row index (row store) of the first selected row, or -1.
int SelectedRecord(ListPage *page);
// The position of the first selected row, or -1.
int SelectedRow(HWND list);
void SelectRow(HWND list, int position);
// Next selected position after position (-1 for the first), or -1.
int NextSelectedRow(HWND list, int position);
int SelectedRowCount(HWND list);
// The selected row; null, with the message that no row is selected (57),
// when there is none.
PageRow *SelectedRowOrSay(ListPage *page);
// The row store index behind a list position; -1 when none.
int RowIndexAt(ListPage *page, int position);
// Selects the row of the same entry as record (in the same disabled state
// when there are two), or no row at all. Returns the row index or -1.
int SelectSameEntry(ListPage *page, const Item *record);
// The rows selected now, as row-store indexes in list order (at most
// capacity). Returns their count.
int SelectedRowIndexes(ListPage *page, int *out, int capacity);

// --- Menus, messages and help ---------------------------------------------------
// The right-click menu of the list; its choice is sent to the page as a
// command. flags (optional, one per item) adds MF_GRAYED or MF_CHECKED.
// texts (optional) gives an item's string where its command number means
// another text on this list (0: the usual one).
void ShowRowMenu(ListPage *page, const int *items, int count, const UINT *flags = nullptr,
                 const UINT *texts = nullptr);
// The beginning of a row menu in items: Info, then Explore and Properties
// (withFile), then View Note when the selected row has a note. Returns the
// item count.
int RowMenuStart(ListPage *page, int *items, int withFile = 1);
// Appends the end every row menu has after n items: a separator, Online
// Info, System Report and Help. Returns the item count.
int RowMenuEnd(int *items, int n);
// Message box of a string, owned by the main window, caption "Sentrel Help".
int ShowStringMessage(UINT id);
// Message box of the explorer with a string (the caption is the sheet's).
int PageMessage(HWND owner, UINT id, UINT flags);
int PageMessageText(HWND owner, const char *text, UINT flags);
void OpenHelpPage(int command);
// Asks the question of string pattern with title filled in (Yes and No).
// 1 when the answer is Yes.
int AskAbout(HWND owner, UINT pattern, const char *title);
// The Open dialog for a program file, titled by string 902, with filter (its
// parts apart, two zeros at the end), starting in folder (null: the
// dialog's choice). 1 when a file was chosen into file (size bytes).
int ChooseProgramFile(HWND owner, const char *filter, const char *folder, char *file, int size);
// Program-file actions on the selected row.
void ExploreFolder(ListPage *page);
void OpenProperties(ListPage *page);
// Asks (string 800) and has the selected row's program file deleted at the
// next restart.
void DeleteFileOnReboot(ListPage *page);
// The same for a file known exactly (a hidden file is its own record).
void DeleteExactFileOnReboot(ListPage *page, const Item *record, const char *file);

// --- Dialog texts -----------------------------------------------------------------
// One control's text: its string id and the control.
struct DialogText {
    UINT text;
    int control;
};
// Sets the texts of a dialog's controls, and its caption from string caption
// unless that is 0.
void SetDialogTexts(HWND dialog, UINT caption, const DialogText *texts, int count);
template <int N> void SetDialogTexts(HWND dialog, UINT caption, const DialogText (&texts)[N])
{
    SetDialogTexts(dialog, caption, texts, N);
}

// --- Header layout ------------------------------------------------------------------
// A page's client size and its spacing in pixels: the margin (4 dialog
// units), a text line (8), a button (buttonWidth by 14).
struct PageMetrics {
    int width, height;
    int margin, line, buttonWidth, buttonHeight;
};
PageMetrics MeasurePage(HWND page, int buttonWidth = 56);
// The Monitor label at the top right, Help left of it, their words under
// them. Returns the left edge of the labels less a margin.
int PlaceHeaderLabels(HWND page, const PageMetrics &m);
// The room of the header's text: from 40 right of the header icon to gap
// left of the leftmost of the controls named (the first one must be there),
// from the icon's top down to bottom. 1 when it is at least 20 wide and 8
// high.
int HeaderTextRoom(HWND page, const int *leftOf, int count, int gap, int bottom, RECT *room);
// Two text controls one above the other in room: the first firstHeight
// high (-1: half the room), the second the rest.
void PlaceTwoLines(HWND page, int first, int second, const RECT &room, int firstHeight = -1);
// The same where the frame puts its explanation (IDC_EXPLANATION).
void PlaceTwoLinesAtExplanation(HWND page, int first, int second, int firstPermille = 500);

// --- Picture labels and buttons -------------------------------------------------
// Monitor label state: 0 off, 1 on, 2 real time.
void SetMonitorLabel(HWND page, int state);
// The same for another picture label of the page (the Options page's).
void SetLabelState(HWND page, int id, int state);
// The option check box clicked: stores its state as option and in
// *setting. Returns the state (1 checked).
int StoreOptionCheck(HWND page, const char *option, int *setting);
// The Monitor label clicked: asks for the patrol time of the category whose
// dialog title is the string title and shows the label's new state.
void ChangePatrolTimeOfPage(HWND page, UINT title);
// Draws an owner-drawn control of a page (labels and push buttons). 1 when drawn.
int DrawPageControl(HWND page, const DRAWITEMSTRUCT *draw);

// --- Life cycle -----------------------------------------------------------------
// Sets the common texts (Help/Monitor words), the list's styles and columns,
// zeroes the direction flags.
void InitListPage(ListPage *page, HWND window);
// A page's initialisation: its own texts, InitListPage, the page made the
// current one and its saved placement.
void OpenListPage(ListPage *page, HWND window, const DialogText *texts, int count);
template <int N> void OpenListPage(ListPage *page, HWND window, const DialogText (&texts)[N])
{
    OpenListPage(page, window, texts, N);
}
// Spreads the page's controls over its size.
void LayoutListPage(HWND page);
// The page is closed for good (the explorer ends).
void CloseListPage(ListPage *page);

// --- The page procedure ---------------------------------------------------------
// What a list page does itself. The rest of its dialog procedure is the same
// for every list page: ListPageProcedure sorts on a header click, opens the
// menu on a right click, looks the program up online on a double click,
// activates (under the wait cursor), leaves and closes the page with the
// sheet, lays it out and draws its owner-drawn controls. Zenta Info, View
// Note, Explore and Properties act on the selected row's program on every
// page alike, and so do System Report, Help (the page's own help), Close and
// the Monitor label of a page with a patrol category.
struct ListPageKind {
    ListPage *page;
    void (*initialise)(HWND window);                  // WM_INITDIALOG
    void (*activate)(HWND window);                    // the page comes to the front
    void (*command)(HWND window, int id, int code);   // buttons, menu items, labels
    void (*menu)(HWND window);                        // right click on the list
    void (*selectionChanged)(HWND window);            // optional: selection, click or key
    void (*layout)(HWND window);                      // optional: after LayoutListPage
    void (*layoutOwn)(HWND window);                   // optional: WM_PAGE_LAYOUT
    UINT patrolTitle = 0;   // the Monitor label's patrol category (its dialog title); 0: the page's command
};
INT_PTR ListPageProcedure(const ListPageKind *kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The dialog procedure of the list page kind.
template <const ListPageKind &kind>
INT_PTR CALLBACK ListPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ListPageProcedure(&kind, window, message, wParam, lParam);
}

// The dialog procedure of a page without the list framework (Cookies,
// Options): its own set-up, activation and commands; it leaves and closes
// with the sheet, and is laid out and drawn as every page is.
struct PlainPageKind {
    void (*initialise)(HWND window);                  // WM_INITDIALOG
    void (*activate)(HWND window);                    // the page comes to the front
    void (*reset)(HWND window);                       // optional: the sheet closes
    void (*command)(HWND window, int id, int code);   // WM_COMMAND
    void (*layoutOwn)(HWND window);                   // optional: WM_PAGE_LAYOUT
};
INT_PTR PlainPageProcedure(const PlainPageKind *kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
template <const PlainPageKind &kind>
INT_PTR CALLBACK PlainPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return PlainPageProcedure(&kind, window, message, wParam, lParam);
}
