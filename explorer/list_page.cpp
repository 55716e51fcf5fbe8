// The list page framework: see list_page.h.
#include "list_page.h"

#include "delete_on_reboot.h"
#include "file_facts_cache.h"

#include <commdlg.h>
#include <shellapi.h>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <initializer_list>

#include "dates.h"
#include "explorer.h"
#include "first_seen.h"
#include "history.h"
#include "info_dialog.h"
#include "jump_to_entry.h"
#include "options.h"
#include "patrol_time.h"
#include "platform.h"
#include "program_files.h"
#include "program_info.h"
#include "report_commands.h"
#include "signatures.h"
#include "text.h"
#include "ui_strings.h"
#include "unicode_text.h"

#include <cwchar>

namespace {

// Column widths in thousandths of the list's width, by list identity.
const struct {
    int identity;
    short permille[LIST_MAX_COLUMNS];
} kColumnWidths[] = {
    {6026, {240, 130, 150, 140, 150, 190, 0}}, {6028, {600, 390, 0, 0, 0, 0, 0}},
    {6029, {220, 300, 170, 150, 160, 0, 0}},   {6038, {220, 140, 150, 80, 90, 140, 180}},
    {6039, {170, 170, 110, 120, 110, 110, 80, 130}}, {6040, {250, 170, 160, 90, 160, 170, 0}},
    {6041, {350, 220, 220, 380, 0, 0, 0}},     {6042, {240, 150, 160, 110, 70, 90, 180}},
    {6044, {400, 200, 100, 200, 90, 0, 0}},    {6052, {200, 260, 160, 160, 100, 120, 0}},
    {6055, {300, 260, 130, 150, 160, 0, 0}},
};

// Controls that are drawn as push buttons by the page.
int IsLabel(int id)
{
    return id == IDC_HELP_LABEL || id == IDC_MONITOR_LABEL ||
           (id >= IDC_PATROL_LABEL_HOME && id <= IDC_PATROL_LABEL_RESTART);
}

// The idle reading of facts runs on this timer of the page.
const UINT_PTR kFactsTimer = 0x5A1;
const UINT_PTR kRestTimer = 0x5A2;
// While facts are left to read, the list holds the number of rows left
// under this property (for whoever waits for a whole list).
const char kRowsWaiting[] = "SentrelRowsWaiting";

// The row at a list position without reading its facts.
PageRow *ShownRow(ListPage *page, int position)
{
    if (!page->order || position < 0 || position >= page->shownCount) return nullptr;
    return &page->rows[page->order[position]];
}

// 1 when a column's texts come with the facts: the page's fact columns and
// the column whose words say a file is missing.
int IsFactColumn(const ListPage *page, int column)
{
    return column == page->markColumn ||
           (column >= 0 && column < 32 && (page->factColumns & FACT_COLUMN(column)));
}

// The page whose row's facts are being read, whether that row is in view,
// and whether every fact must be known at once (no signature left to the
// checking thread).
ListPage *readingPage;
int readingInView, factsNow;

void ShowRowsWaiting(ListPage *page)
{
    if (!page->list) return;
    int left = page->shownCount - page->factsNext + page->signaturesPending + (page->restFill != nullptr);
    if (left > 0)
        SetPropA(page->list, kRowsWaiting, (HANDLE)(INT_PTR)left);
    else
        RemovePropA(page->list, kRowsWaiting);
}

void StartIdleFacts(ListPage *page)
{
    page->factsNext = 0;
    while (page->factsNext < page->shownCount && ShownRow(page, page->factsNext)->factsRead) page->factsNext++;
    ShowRowsWaiting(page);
    if (page->window && page->factsNext < page->shownCount) SetTimer(page->window, kFactsTimer, 1, nullptr);
}

void StopIdleFacts(ListPage *page)
{
    if (page->window) KillTimer(page->window, kFactsTimer);
    page->factsNext = page->shownCount;
    ShowRowsWaiting(page);
}

HICON LoadSmallIcon(int id)
{
    return (HICON)LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
}

// The label pictures: index 0 help, 1-3 monitor off, on, real time.
HICON labelIcons[4];
int labelIconIds[4] = {ICON_HELP_LABEL, ICON_MONITOR_OFF, ICON_MONITOR_ON, ICON_MONITOR_REALTIME};

HICON LabelIcon(int index)
{
    if (!labelIcons[index])
        labelIcons[index] = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(labelIconIds[index]),
                                              IMAGE_ICON, 32, 32, 0);
    return labelIcons[index];
}

// A menu text whose access key is not taken yet in its menu: its own when
// that is free, else the first free letter or digit of the text (none when
// every one is taken). used collects the keys taken.
void GiveUniqueMnemonic(const char *text, char *used, char *out, size_t size)
{
    auto lower = [](char key) { return key >= 'A' && key <= 'Z' ? (char)(key + 32) : key; };
    auto taken = [&](char key) { return !key || strchr(used, lower(key)) != nullptr; };
    auto take = [&](char key) {
        const char one[2] = {lower(key), 0};
        AppendTextCut(used, 128, one);
    };
    char plain[160];
    size_t n = 0;
    int own = -1;
    for (const char *p = text; *p && n + 1 < sizeof plain; p++) {
        if (*p == '&' && p[1] == '&') {
            plain[n++] = '&';
            if (n + 1 < sizeof plain) plain[n++] = '&';
            p++;
            continue;
        }
        if (*p == '&' && p[1]) {
            own = (int)n;
            continue;
        }
        plain[n++] = *p;
    }
    plain[n] = 0;
    int key = -1;
    if (own >= 0 && !taken(plain[own])) key = own;
    for (size_t i = 0; key < 0 && plain[i] && plain[i] != '\t'; i++) {
        unsigned char c = (unsigned char)plain[i];
        int alphanumeric = ((c | 32) >= 'a' && (c | 32) <= 'z') || (c >= '0' && c <= '9');
        if (alphanumeric && !taken((char)c)) key = (int)i;
    }
    if (key < 0) {
        CopyTextCut(out, size, plain);
        return;
    }
    take(plain[key]);
    CopyTextN(out, size, plain, (size_t)key);
    AppendTextCut(out, size, "&");
    AppendTextCut(out, size, plain + key);
}

// 1 when a cell holds the filter's text, case ignored in any script.
int CellHolds(const char *cell, const wchar_t *filter)
{
    static WCHAR wide[CELL_SIZE];
    int count = TextToWide(cell, -1, wide, CELL_SIZE);
    if (count <= 0) return 0;
    CharLowerBuffW(wide, (DWORD)count);
    return wcsstr(wide, filter) != nullptr;
}

// Every row is matched against the filter's text: its cells, and the
// command it really runs (a cell may show only the file name).
void MatchFilter(ListPage *page, PageRow *row)
{
    row->filteredOut = 0;
    if (!page->filter[0]) return;
    for (int column = 0; column < page->columnCount; column++)
        if (CellHolds(row->cells[column], page->filter)) return;
    if (CellHolds(row->record.path, page->filter)) return;
    row->filteredOut = 1;
}

}  // namespace

// --- Row store ---------------------------------------------------------------

int CopyItemsToRows(ListPage *page)
{
    FreeRows(page);
    int count = ItemCount();
    if (count <= 0) return 0;
    page->rows = (PageRow *)calloc((size_t)count, sizeof(PageRow));
    if (!page->rows) return 0;
    // Each row keeps its own copy of the record, identity included.
    for (int i = 0; i < count; i++) {
        if (!CopyItemRecord(&page->rows[i].record, GetItem(i))) {
            page->rowCount = i;
            FreeRows(page);
            return 0;
        }
    }
    page->rowCount = count;
    return count;
}

void FreeRows(ListPage *page)
{
    for (int i = 0; page->rows && i < page->rowCount; i++) ReleaseItemCopy(&page->rows[i].record);
    free(page->rows);
    page->rows = nullptr;
    page->rowCount = 0;
}

int KeepRowsWithFolder(ListPage *page)
{
    int kept = 0;
    for (int i = 0; page->rows && i < page->rowCount; i++) {
        if (!strchr(page->rows[i].record.path, '\\')) {
            ReleaseItemCopy(&page->rows[i].record);
            continue;
        }
        if (kept != i) page->rows[kept] = page->rows[i];
        kept++;
    }
    page->rowCount = kept;
    return kept;
}

PageRow *PageRowAt(ListPage *page, int index)
{
    if (!page || index < 0 || index >= page->rowCount) return nullptr;
    ReadRowFacts(page, &page->rows[index]);
    return &page->rows[index];
}

const Item *RecordAtPosition(ListPage *page, int position)
{
    int index = RowIndexAt(page, position);
    return index >= 0 ? &page->rows[index].record : nullptr;
}

// --- Columns and rows -----------------------------------------------------------

int ColumnWidthPermille(int identity, int column)
{
    if (column < 0 || column >= LIST_MAX_COLUMNS) return 0;
    for (const auto &row : kColumnWidths)
        if (row.identity == identity) return row.permille[column];
    return 0;
}

void InsertColumns(ListPage *page)
{
    RECT r;
    GetClientRect(page->list, &r);
    int width = r.right - r.left;
    // The lists of scheduled tasks and IE helpers leave no room for a scroll bar.
    if (page->identity != 6039 && page->identity != 6040) width -= GetSystemMetrics(SM_CYVSCROLL);
    for (int column = 0; column < page->columnCount; column++) {
        char heading[128];
        LoadUiString(page->headings[column], heading, sizeof heading);
        LVCOLUMNA c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.pszText = heading;
        c.cx = width * ColumnWidthPermille(page->identity, column) / 1000;
        if (c.cx <= 0) c.cx = width / (page->columnCount ? page->columnCount : 1);
        c.iSubItem = column;
        SendMessageA(page->list, LVM_INSERTCOLUMNA, column, (LPARAM)&c);
    }
}

namespace {
// A disabled entry and one whose file is gone say so in words as well as
// in their colour, for every reader.
void AppendMarkWords(ListPage *page, PageRow *row, UINT words)
{
    if (page->markColumn < 0 || page->markColumn >= page->columnCount) return;
    char text[64];
    if (LoadUiString(words, text, sizeof text) > 0) AppendTextCut(row->cells[page->markColumn], CELL_SIZE, text);
}
}  // namespace

namespace {
void RunFacts(ListPage *page, PageRow *row, int inView)
{
    ListPage *outer = readingPage;
    int outerInView = readingInView;
    readingPage = page;
    readingInView = inView;
    page->facts(row);
    readingPage = outer;
    readingInView = outerInView;
}

void ReadFactsOf(ListPage *page, PageRow *row, int inView)
{
    if (!row || row->factsRead) return;
    row->factsRead = 1;
    if (page->facts) RunFacts(page, row, inView);
    if (row->image < 0 && !row->hidden) row->image = AddFileIcon(row->record.path);
    if (row->missing) AppendMarkWords(page, row, 3813);
}

// The row at a list position is about to be seen.
void ReadFactsInView(ListPage *page, PageRow *row)
{
    ReadFactsOf(page, row, 1);
}

// A file's small icon of that index, made now (any thread may ask); null
// when it has none. The caller destroys it.
HICON SmallIconOf(const char *file, int index)
{
    HICON small = nullptr;
    WideText wide(file);
    UINT found = wide.get() ? ExtractIconExW(wide, index, nullptr, &small, 1) : 0;
    if ((found == 0 || found == UINT_MAX) && small) {
        DestroyIcon(small);
        small = nullptr;
    }
    return small;
}

// Adds icon (destroyed here) to the row pictures and keeps its index for
// the file's slot; a file without one is kept as having none. Returns the
// index, -1 for none.
int KeepIcon(FileFacts *facts, HICON icon)
{
    int added = icon && RowImages() ? ImageList_AddIcon(RowImages(), icon) : -1;
    if (icon) DestroyIcon(icon);
    if (facts) facts->image = added >= 0 ? added : -2;
    return added >= 0 ? added : -1;
}

// What the rows about to be drawn need of their program files, read by two
// threads at once before the list draws them: a program's company and its
// icon are read by the platform's loader, which takes a while for each file.
struct FileRead {
    char file[PATH_SIZE];
    int needCompany, needIcon;
    char company[VERSION_NAME_SIZE];
    HICON icon;
};
struct FileReads {
    FileRead *reads;
    int first, count, step;
};

DWORD WINAPI ReadFiles(LPVOID parameter)
{
    const FileReads *batch = (const FileReads *)parameter;
    for (int i = batch->first; i < batch->count; i += batch->step) {
        FileRead &read = batch->reads[i];
        if (read.needCompany) ReadCompany(read.file, read.company, sizeof read.company);
        if (read.needIcon) read.icon = SmallIconOf(read.file, 0);
    }
    return 0;
}

// The files of the rows in view that no read has reached yet, each once.
// Returns their count; *out is null when there are none.
int FilesToRead(ListPage *page, FileRead **out)
{
    *out = nullptr;
    if (!page->order || !RowImages()) return 0;
    int top = (int)SendMessageA(page->list, LVM_GETTOPINDEX, 0, 0);
    int seen = (int)SendMessageA(page->list, LVM_GETCOUNTPERPAGE, 0, 0) + 1;
    if (top < 0 || seen <= 1 || seen > 200) return 0;
    FileRead *reads = (FileRead *)calloc((size_t)seen, sizeof(FileRead));
    if (!reads) return 0;
    int count = 0;
    for (int position = top; position < top + seen && position < page->shownCount; position++) {
        PageRow *row = ShownRow(page, position);
        char file[PATH_SIZE];
        if (row->factsRead || ResolveCommandPath(row->record.path, file) <= 0) continue;
        FileFacts *known = FindFileFacts(file);
        if (!known || (known->companyRead && known->image != -1)) continue;
        int again = 0;
        for (int i = 0; i < count && !again; i++) again = TextEqualNoCase(reads[i].file, file);
        if (again) continue;
        CopyText(reads[count].file, PATH_SIZE, file);
        reads[count].needCompany = !known->companyRead;
        reads[count].needIcon = known->image == -1;
        count++;
    }
    if (count == 0) {
        free(reads);
        return 0;
    }
    *out = reads;
    return count;
}

// Keeps what was read in each file's slot, unless a read of the row on
// this thread came first.
void KeepFileReads(const FileRead *reads, int count)
{
    for (int i = 0; i < count; i++) {
        FileFacts *known = FindFileFacts(reads[i].file);
        if (reads[i].needCompany && !(known && known->companyRead)) KeepCompany(known, reads[i].company);
        if (!reads[i].needIcon) continue;
        if (known && known->image != -1) {
            if (reads[i].icon) DestroyIcon(reads[i].icon);
        } else
            KeepIcon(known, reads[i].icon);
    }
}

// The reads of the files in view under way on two threads: a fill starts
// them for its first screen, so that they go on while the window is laid
// out and shown; the paint takes them.
struct ReadsUnderWay {
    FileRead *reads;
    int count;
    FileReads halves[2];
    HANDLE threads[2];
} underWay;

// Waits for the reads under way, if any, and keeps what they read.
void FinishFileReads(void)
{
    if (!underWay.reads) return;
    for (int i = 0; i < 2; i++) {
        if (underWay.threads[i]) {
            WaitForSingleObject(underWay.threads[i], INFINITE);
            CloseHandle(underWay.threads[i]);
        } else {
            ReadFiles(&underWay.halves[i]);   // its thread did not start
        }
    }
    KeepFileReads(underWay.reads, underWay.count);
    free(underWay.reads);
    underWay = ReadsUnderWay{};
}

// Starts reading the files of the rows in view that no read has reached yet
// (after taking the reads still under way).
void StartFileReads(ListPage *page)
{
    FinishFileReads();
    FileRead *reads;
    int count = FilesToRead(page, &reads);
    // A few files are read faster than a thread starts: the rows read them.
    if (count < 4) {
        free(reads);
        return;
    }
    underWay.reads = reads;
    underWay.count = count;
    for (int i = 0; i < 2; i++) {
        underWay.halves[i] = {reads, i, count, 2};
        underWay.threads[i] = CreateThread(nullptr, 0, ReadFiles, &underWay.halves[i], 0, nullptr);
    }
}

void ReadFilesInView(ListPage *page)
{
    StartFileReads(page);
    FinishFileReads();
}

// The rest of a list cut short is not filled after all.
void DropRestFill(ListPage *page)
{
    page->restFill = nullptr;
    if (page->window) KillTimer(page->window, kRestTimer);
}
}  // namespace

void ReadRowFacts(ListPage *page, PageRow *row)
{
    ReadFactsOf(page, row, 0);
}

void ReadAllFacts(ListPage *page)
{
    int left = page->signaturesPending > 0;
    for (int i = 0; i < page->rowCount && !left; i++) left = !page->rows[i].factsRead;
    if (!left) return;
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    int outer = factsNow;
    factsNow = 1;
    for (int i = 0; i < page->rowCount; i++) {
        PageRow *row = &page->rows[i];
        ReadRowFacts(page, row);
        // A signature still on the checking thread is taken here (the
        // thread's answer, when it comes, is then dropped).
        if (row->signaturePending && page->facts) {
            row->signaturePending = 0;
            page->signaturesPending--;
            RunFacts(page, row, 0);
        }
    }
    factsNow = outer;
    page->signaturesPending = 0;
    StopIdleFacts(page);
    FitColumns(page);
    SetCursor(old);
}

PageRow *TakeSignatureAnswer(ListPage *page, SignatureAnswer *answer)
{
    PageRow *row = nullptr;
    if (answer && answer->generation == page->generation && answer->row >= 0 && answer->row < page->rowCount &&
        page->rows[answer->row].signaturePending) {
        row = &page->rows[answer->row];
        int column = row->signaturePending - 1;
        PublisherText(&answer->signature, row->cells[column], CELL_SIZE);
        row->unverified = answer->signature.state != SIGNATURE_VERIFIED;
        row->signaturePending = 0;
        page->signaturesPending--;
        // Redrawn when it is in view.
        int top = (int)SendMessageA(page->list, LVM_GETTOPINDEX, 0, 0);
        int last = top + (int)SendMessageA(page->list, LVM_GETCOUNTPERPAGE, 0, 0);
        for (int position = top < 0 ? 0 : top; position <= last && position < page->shownCount; position++)
            if (page->order && page->order[position] == answer->row)
                SendMessageA(page->list, LVM_REDRAWITEMS, position, position);
        ShowRowsWaiting(page);
        if (!page->signaturesPending && page->factsNext >= page->shownCount) FitColumns(page);
    }
    free(answer);
    return row;
}

int ReadFactsInIdle(ListPage *page)
{
    DWORD start = GetTickCount();
    for (int n = 1; page->factsNext < page->shownCount; n++) {
        ReadRowFacts(page, ShownRow(page, page->factsNext++));
        // Input and painting go first; otherwise a slice runs a while, so
        // that the timer's own pace costs little.
        if (n % 8 == 0 && (GetTickCount() - start > 250 || GetQueueStatus(QS_INPUT | QS_PAINT) >> 16)) break;
    }
    int left = page->factsNext < page->shownCount;
    if (!left) {
        StopIdleFacts(page);
        FitColumns(page);   // the facts' texts have their widths now
    } else {
        ShowRowsWaiting(page);
    }
    return left;
}

int FillPageRows(ListPage *page, RowFill fill, void *context, int flags)
{
    // A fill shows the files as they are now.
    CheckFilesAgain();
    DropRestFill(page);
    StopIdleFacts(page);
    // Answers still coming are for the rows of the last fill.
    page->generation++;
    page->signaturesPending = 0;
    if (page->window) DropSignatureRequests(page->window);
    CopyItemsToRows(page);
    if (flags & FILL_WITH_FOLDER_ONLY) KeepRowsWithFolder(page);
    UseRowImages(page);
    // The facts are read now only when they decide what is shown.
    int outer = factsNow;
    factsNow = (flags & FILL_FACTS_FIRST) || page->filter[0];
    for (int i = 0; i < page->rowCount; i++) {
        PageRow *row = &page->rows[i];
        row->image = -1;
        fill(row, context);
        if (row->record.disabled) AppendMarkWords(page, row, 3812);
        if (factsNow) ReadRowFacts(page, row);
        MatchFilter(page, row);
    }
    factsNow = outer;
    // The rows the page leaves out go before anything is shown.
    int kept = 0;
    for (int i = 0; i < page->rowCount; i++) {
        if (page->rows[i].hidden) {
            ReleaseItemCopy(&page->rows[i].record);
            continue;
        }
        if (kept != i) page->rows[kept] = page->rows[i];
        kept++;
    }
    page->rowCount = kept;
    ShowRows(page);
    ApplySavedSort(page);
    FitColumns(page);
    // The first screen's files are read while the window comes up.
    StartFileReads(page);
    return page->rowCount;
}

int ExplanationBottom(HWND page)
{
    HWND below = GetDlgItem(page, IDC_FILTER);
    if (!below) below = GetDlgItem(page, IDC_LIST);
    RECT r;
    if (!below || !GetWindowRect(below, &r)) return 0;
    MapWindowPoints(nullptr, page, (POINT *)&r, 2);
    return r.top - 2;
}

void FitColumns(ListPage *page)
{
    HWND list = page->list;
    int count = page->columnCount < LIST_MAX_COLUMNS ? page->columnCount : LIST_MAX_COLUMNS;
    if (!list || count <= 0) return;
    RECT r;
    GetClientRect(list, &r);
    int width = r.right - r.left;
    if (width <= 0) return;
    HDC dc = GetDC(list);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageA(list, WM_GETFONT, 0, 0));
    // What each column needs: its heading (with room for the sort arrow)
    // and its longest text; the first column also holds the row's picture.
    const int padding = 14;
    int need[LIST_MAX_COLUMNS], share[LIST_MAX_COLUMNS];
    static WCHAR wide[CELL_SIZE];
    for (int column = 0; column < count; column++) {
        char heading[128];
        LoadUiString(page->headings[column], heading, sizeof heading);
        SIZE extent = {0, 0};
        int units = TextToWide(heading, -1, wide, CELL_SIZE);
        if (units > 0) GetTextExtentPoint32W(dc, wide, units, &extent);
        need[column] = extent.cx + padding + 16;
        share[column] = width * ColumnWidthPermille(page->identity, column) / 1000;
        if (share[column] <= 0) share[column] = width / count;
    }
    for (int i = 0; i < page->rowCount; i++) {
        const PageRow &row = page->rows[i];
        if (row.filteredOut) continue;
        for (int column = 0; column < count; column++) {
            int units = TextToWide(row.cells[column], -1, wide, CELL_SIZE);
            if (units <= 0) continue;
            SIZE extent = {0, 0};
            GetTextExtentPoint32W(dc, wide, units, &extent);
            int cell = extent.cx + padding + (column == 0 ? GetSystemMetrics(SM_CXSMICON) + 6 : 0);
            if (cell > need[column]) need[column] = cell;
        }
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    // No column takes more than two thirds of the list.
    long needed = 0;
    for (int column = 0; column < count; column++) {
        if (need[column] > width * 2 / 3) need[column] = width * 2 / 3;
        needed += need[column];
    }
    int give[LIST_MAX_COLUMNS];
    if (needed <= width) {
        // Every text fits: what is left is shared as the table shares it.
        long shares = 0;
        for (int column = 0; column < count; column++) shares += share[column];
        for (int column = 0; column < count; column++)
            give[column] = need[column] + (int)(shares > 0 ? (width - needed) * share[column] / shares : 0);
    } else {
        // Not everything fits: a column keeps at least its share (or what it
        // needs, when that is less); the room left first makes whole the
        // columns that lack little, and what remains is shared evenly by
        // the ones that lack more.
        long floors = 0;
        for (int column = 0; column < count; column++) {
            give[column] = need[column] < share[column] ? need[column] : share[column];
            floors += give[column];
        }
        long spare = width - floors;
        int open[LIST_MAX_COLUMNS];
        for (int column = 0; column < count; column++) open[column] = need[column] > give[column];
        for (int changed = 1; changed && spare > 0;) {
            changed = 0;
            int waiting = 0;
            for (int column = 0; column < count; column++) waiting += open[column];
            if (!waiting) break;
            long fair = spare / waiting;
            for (int column = 0; column < count; column++) {
                if (!open[column] || need[column] - give[column] > fair) continue;
                spare -= need[column] - give[column];
                give[column] = need[column];
                open[column] = 0;
                changed = 1;
            }
            if (!changed)
                for (int column = 0; column < count; column++)
                    if (open[column]) give[column] += (int)fair;
        }
    }
    // The last column takes what remains.
    int used = 0;
    for (int column = 0; column + 1 < count; column++) used += give[column];
    if (width - used > 20) give[count - 1] = width - used;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int column = 0; column < count; column++) SendMessageA(list, LVM_SETCOLUMNWIDTH, column, give[column]);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

int ApplyFilter(ListPage *page)
{
    WCHAR text[128] = L"";
    int length = GetDlgItemTextW(page->window, IDC_FILTER, text, 128);
    if (length > 0) CharLowerBuffW(text, (DWORD)length);
    FillRestNow(page);
    wcsncpy(page->filter, text, 127);
    page->filter[127] = 0;
    // The selection stays on its entry, found again by what it is.
    Item kept;
    PageRow *selected = PageRowAt(page, SelectedRecord(page));
    int keep = selected && CopyItemRecord(&kept, &selected->record);
    // Every cell is matched, the facts' too.
    if (page->filter[0]) ReadAllFacts(page);
    for (int i = 0; i < page->rowCount; i++) MatchFilter(page, &page->rows[i]);
    ShowRows(page);
    ApplySavedSort(page);
    if (!keep || SelectSameEntry(page, &kept) < 0) SelectRow(page->list, 0);
    if (keep) ReleaseItemCopy(&kept);
    return (int)SendMessageA(page->list, LVM_GETITEMCOUNT, 0, 0);
}

void SelectAfterFill(ListPage *page, const Item *keep, int first)
{
    if (keep)
        SelectSameEntry(page, keep);
    else
        SelectRow(page->list, first);
}

void RefillKeeping(const PageRow *row, KeepingFill fill, void *context)
{
    Item keep = {};
    if (!row || !CopyItemRecord(&keep, &row->record)) {
        fill(nullptr, context);
        return;
    }
    fill(&keep, context);
    ReleaseItemCopy(&keep);
}

void RefillKeepingSelection(ListPage *page, KeepingFill fill, void *context)
{
    RefillKeeping(PageRowAt(page, SelectedRecord(page)), fill, context);
}

int FirstScreenRows(ListPage *page)
{
    if (page->fillingRest || page->sortedBy > 0 || page->filter[0] || !page->list) return 0;
    if (page->sortOption && GetOption(page->sortOption, 0) > 0) return 0;
    // A screen and a bit, so that the first scroll finds rows too.
    int screen = (int)SendMessageA(page->list, LVM_GETCOUNTPERPAGE, 0, 0) + 32;
    return screen > 64 ? screen : 64;
}

void FillRestLater(ListPage *page, KeepingFill fill, void *context)
{
    page->restFill = fill;
    page->restContext = context;
    // A timer comes after the painting; the idle reading waits for the whole list.
    if (page->window) {
        KillTimer(page->window, kFactsTimer);
        SetTimer(page->window, kRestTimer, 1, nullptr);
    }
    ShowRowsWaiting(page);
}

void FillRestNow(ListPage *page)
{
    if (!page->restFill) return;
    KeepingFill fill = page->restFill;
    DropRestFill(page);
    int top = (int)SendMessageA(page->list, LVM_GETTOPINDEX, 0, 0);
    page->fillingRest = 1;
    RefillKeepingSelection(page, fill, page->restContext);
    page->fillingRest = 0;
    // The rows the first screen showed are the first rows of the whole list:
    // the list stays where it was scrolled to.
    RECT row = {};
    row.left = LVIR_BOUNDS;
    int shownTop = (int)SendMessageA(page->list, LVM_GETTOPINDEX, 0, 0);
    if (top != shownTop && SendMessageA(page->list, LVM_GETITEMRECT, 0, (LPARAM)&row))
        SendMessageA(page->list, LVM_SCROLL, 0, (LPARAM)((top - shownTop) * (row.bottom - row.top)));
}

void FillFileNameCell(PageRow *row, int column, const char *path)
{
    if (FileNamePart(path, row->cells[column], CELL_SIZE) <= 0) CopyTextCut(row->cells[column], CELL_SIZE, path);
}

void FillFirstSeenCell(PageRow *row, int column, const char *path, int type, const char *detected)
{
    char date[DATE_TEXT_SIZE];
    if (GetFirstSeen(path, type, date) <= 0) {
        RecordFirstSeen(path, detected);
        GetFirstSeen(path, type, date);
    }
    CopyTextCut(row->cells[column], CELL_SIZE, date);
}

int FillPublisherCell(PageRow *row, const char *command, int column, int exactFile)
{
    char signed_[PATH_SIZE] = "";
    if (exactFile) CopyTextCut(signed_, sizeof signed_, command);
    else SignedFileOf(command, signed_);
    Signature signature;
    ListPage *page = readingPage;
    if (!KeptSignature(signed_, &signature)) {
        int index = page && page->rows && row >= page->rows && row < page->rows + page->rowCount
                        ? (int)(row - page->rows) : -1;
        if (!factsNow && index >= 0 && !row->signaturePending &&
            AskSignature(page->window, page->generation, index, signed_, readingInView)) {
            // The file is there (a missing one is known at once); who signed
            // it comes later.
            LoadUiString(3766, row->cells[column], CELL_SIZE);
            row->unverified = row->missing = 0;
            row->signaturePending = column + 1;
            page->signaturesPending++;
            return 0;
        }
        VerifyProgramFile(signed_, &signature);
    }
    PublisherText(&signature, row->cells[column], CELL_SIZE);
    row->unverified = signature.state != SIGNATURE_VERIFIED;
    // Missing: the command names a file, and it is not there.
    char file[PATH_SIZE];
    row->missing = signature.state == SIGNATURE_MISSING &&
                   (exactFile ? command[0] != 0 : ResolveCommandPath(command, file) > 0);
    return signature.microsoft;
}

namespace {
// A list that is not virtual (the cookie list, with its check boxes) holds
// its rows itself: each row is inserted with its texts, its picture and its
// row index as data.
void InsertRows(ListPage *page)
{
    HWND list = page->list;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(list, LVM_SETITEMCOUNT, page->rowCount, 0);
    for (int i = 0; i < page->rowCount; i++) {
        PageRow &row = page->rows[i];
        if (row.filteredOut) continue;
        ReadRowFacts(page, &row);
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
        item.iItem = 0x7fffffff;   // at the end
        item.pszText = row.cells[0];
        item.lParam = i;
        item.iImage = row.image;
        int position = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        if (position < 0) continue;
        for (int column = 1; column < page->columnCount; column++) {
            LVITEMA sub = {};
            sub.iSubItem = column;
            sub.pszText = row.cells[column];
            SendMessageA(list, LVM_SETITEMTEXTA, position, (LPARAM)&sub);
        }
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
}  // namespace

void ShowRows(ListPage *page)
{
    if (!(GetWindowLongPtrA(page->list, GWL_STYLE) & LVS_OWNERDATA)) {
        InsertRows(page);
        return;
    }
    StopIdleFacts(page);
    free(page->order);
    page->order = page->rowCount > 0 ? (int *)malloc((size_t)page->rowCount * sizeof(int)) : nullptr;
    page->shownCount = 0;
    for (int i = 0; page->order && i < page->rowCount; i++)
        if (!page->rows[i].filteredOut) page->order[page->shownCount++] = i;
    HWND list = page->list;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(list, LVM_SETITEMCOUNT, page->shownCount, 0);
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    StartIdleFacts(page);
}

int AnswerListNotice(ListPage *page, const NMHDR *notice, LRESULT *result)
{
    *result = 0;
    switch (notice->code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
        // The A and W items differ only in the type of their text.
        LVITEMA &item = ((NMLVDISPINFOA *)notice)->item;
        PageRow *row = ShownRow(page, item.iItem);
        if (!row) return 1;
        int column = item.iSubItem;
        if ((item.mask & LVIF_IMAGE) || ((item.mask & LVIF_TEXT) && IsFactColumn(page, column)))
            ReadFactsInView(page, row);
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            const char *cell = column >= 0 && column < page->columnCount ? row->cells[column] : "";
            if (notice->code == LVN_GETDISPINFOA) {
                CopyTextCut(item.pszText, (size_t)item.cchTextMax, cell);
            } else {
                WCHAR *wide = (WCHAR *)item.pszText;
                if (TextToWide(cell, -1, wide, item.cchTextMax) < 0) wide[0] = 0;
            }
        }
        if (item.mask & LVIF_IMAGE) item.iImage = row->image >= 0 ? row->image : 1;
        if (item.mask & LVIF_PARAM) item.lParam = page->order[item.iItem];
        return 1;
    }
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW: {
        // A letter typed in the list: the next row whose first cell begins
        // with what was typed.
        const NMLVFINDITEMA *find = (const NMLVFINDITEMA *)notice;
        *result = -1;
        if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return 1;
        char typed[CELL_SIZE];
        if (notice->code == LVN_ODFINDITEMA)
            CopyTextCut(typed, sizeof typed, find->lvfi.psz);
        else if (WideToText((const WCHAR *)find->lvfi.psz, -1, typed, sizeof typed, 0) <= 0)
            return 1;
        int length = (int)strlen(typed), count = page->shownCount;
        int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
        for (int step = 0; step < count && length > 0; step++) {
            int position = start + step;
            if (position >= count) {
                if (!(find->lvfi.flags & LVFI_WRAP)) break;
                position -= count;
            }
            const char *cell = ShownRow(page, position)->cells[0];
            int whole = (find->lvfi.flags & LVFI_PARTIAL) ? 0 : 1;
            int compared = whole ? -1 : length;
            if (!whole && (int)strlen(cell) < length) continue;
            if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, cell, compared, typed, length) == CSTR_EQUAL) {
                *result = position;
                break;
            }
        }
        return 1;
    }
    default:
        return 0;
    }
}

// --- Row pictures ---------------------------------------------------------------

HIMAGELIST RowImages(void)
{
    static HIMAGELIST images;
    static int tried;
    if (images || tried) return images;
    tried = 1;
    int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    images = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 16, 256);
    if (!images) return nullptr;   // rows without pictures
    for (int id : {ICON_APPLICATION, ICON_GENERIC_PROGRAM}) {
        HICON icon = LoadSmallIcon(id);
        ImageList_AddIcon(images, icon);
        if (icon) DestroyIcon(icon);
    }
    return images;
}

void UseRowImages(ListPage *page)
{
    HIMAGELIST images = RowImages();
    if (page->list && images &&
        (HIMAGELIST)SendMessageA(page->list, LVM_GETIMAGELIST, LVSIL_SMALL, 0) != images)
        SendMessageA(page->list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
}

int AddIconOf(const char *file, int index)
{
    if (!RowImages() || !file || !file[0]) return -1;
    FileFacts *facts = FindFileFacts(file, index);
    if (facts && facts->image != -1) return facts->image >= 0 ? facts->image : -1;
    return KeepIcon(facts, SmallIconOf(file, index));
}

int AddFileIcon(const char *command)
{
    if (!RowImages()) return 0;
    char file[PATH_SIZE];
    if (ResolveCommandPath(command, file) <= 0) return 1;
    int index = AddIconOf(file, 0);
    return index >= 0 ? index : 1;
}

// --- Sorting --------------------------------------------------------------------

int CompareSortKeys(const char *key1, int apart1, const char *key2, int apart2, int descending)
{
    // Set-apart rows stay below the others in either direction, whatever
    // script their keys are in.
    if (!apart1 != !apart2) return apart1 ? 1 : -1;
    char a[CELL_SIZE + 4], b[CELL_SIZE + 4];
    CopyTextCut(a, sizeof a, key1);
    CopyTextCut(b, sizeof b, key2);
    size_t shorter = strlen(a) < strlen(b) ? strlen(a) : strlen(b);
    a[shorter] = 0;
    b[shorter] = 0;
    int result = lstrcmpiA(a, b);
    return descending ? -result : result;
}

int DateSortKey(const char *date, char *out, int size)
{
    if (!date || strlen(date) < 12) return (int)CopyText(out, (size_t)size, " ");
    // month/day/year, then hour:minutes; any separators.
    long parts[5] = {0, 0, 0, 0, 0};
    int count = 0;
    const char *p = date;
    while (*p && count < 5) {
        if (*p >= '0' && *p <= '9') {
            parts[count++] = DecimalValue(p);
            while (*p >= '0' && *p <= '9') p++;
        } else {
            p++;
        }
    }
    if (FindTextNoCase(date, "PM") && parts[3] < 12) parts[3] += 12;
    if (FindTextNoCase(date, "AM") && parts[3] == 12) parts[3] = 0;
    return (int)FormatTextCut(out, (size_t)size, "%04ld%02ld%02ld%02ld%02ld", parts[2], parts[0],
                              parts[1], parts[3], parts[4]);
}

namespace {
// The header shows which column the rows are sorted by, and which way.
void ShowSortArrow(ListPage *page, int column, int descending)
{
    HWND header = (HWND)SendMessageA(page->list, LVM_GETHEADER, 0, 0);
    for (int i = 0; i < page->columnCount; i++) {
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        if (!SendMessageA(header, HDM_GETITEMA, i, (LPARAM)&item)) continue;
        int format = item.fmt & ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column) format |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        if (format == item.fmt) continue;
        item.fmt = format;
        SendMessageA(header, HDM_SETITEMA, i, (LPARAM)&item);
    }
}
}  // namespace

namespace {
// The row indexes of the selected rows (malloc) and the focused row's;
// null when none is selected.
int *TakeSelection(ListPage *page, int *count, int *focused)
{
    *count = 0;
    *focused = RowIndexAt(page, (int)SendMessageA(page->list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED));
    int selected = SelectedRowCount(page->list);
    int *rows = selected > 0 ? (int *)malloc((size_t)selected * sizeof(int)) : nullptr;
    if (rows) *count = SelectedRowIndexes(page, rows, selected);
    return rows;
}

// Selects the rows again where they are now shown.
void PutSelection(ListPage *page, const int *rows, int count, int focused)
{
    int *position = (int *)malloc((size_t)(page->rowCount > 0 ? page->rowCount : 1) * sizeof(int));
    if (!position) return;
    for (int i = 0; i < page->rowCount; i++) position[i] = -1;
    for (int i = 0; i < page->shownCount; i++) position[page->order[i]] = i;
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(page->list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&state);
    for (int i = 0; i < count; i++) {
        if (position[rows[i]] < 0) continue;
        state.stateMask = state.state = LVIS_SELECTED | (rows[i] == focused ? LVIS_FOCUSED : 0);
        SendMessageA(page->list, LVM_SETITEMSTATE, position[rows[i]], (LPARAM)&state);
    }
    if (focused >= 0 && position[focused] >= 0) {
        state.stateMask = state.state = LVIS_FOCUSED;
        SendMessageA(page->list, LVM_SETITEMSTATE, position[focused], (LPARAM)&state);
    }
    free(position);
}

struct SortKey {
    const char *text;
    int apart;
    int row;
};

int CALLBACK CompareRanks(LPARAM first, LPARAM second, LPARAM ranks)
{
    const int *rank = (const int *)ranks;
    return rank[first] - rank[second];
}

void SortRowsThisWay(ListPage *page, int column, int descending)
{
    // A column of facts not read yet is read before it is sorted by.
    if (IsFactColumn(page, column)) ReadAllFacts(page);
    // The rows shown, in their order now.
    int count = page->order ? page->shownCount : (int)SendMessageA(page->list, LVM_GETITEMCOUNT, 0, 0);
    int *shown = page->order;
    if (!page->order) {
        shown = (int *)malloc((size_t)(count > 0 ? count : 1) * sizeof(int));
        if (!shown) return;
        int kept = 0;
        for (int position = 0; position < count; position++) {
            int index = RowIndexAt(page, position);
            if (index >= 0) shown[kept++] = index;
        }
        count = kept;
    }
    SortKey *keys = count > 0 ? (SortKey *)malloc((size_t)count * sizeof(SortKey)) : nullptr;
    char *made = count > 0 && page->sortKey ? (char *)malloc((size_t)count * CELL_SIZE) : nullptr;
    if (count > 0 && (!keys || (page->sortKey && !made))) {
        free(keys);
        free(made);
        if (shown != page->order) free(shown);
        return;   // memory short: the order stays
    }
    // Each row's key is made once, not at every comparison.
    for (int i = 0; i < count; i++) {
        PageRow *row = &page->rows[shown[i]];
        keys[i] = {row->cells[column], row->apart, shown[i]};
        if (made && page->sortKey(page, row, column, made + (size_t)i * CELL_SIZE, CELL_SIZE))
            keys[i].text = made + (size_t)i * CELL_SIZE;
    }
    std::stable_sort(keys, keys + count, [descending](const SortKey &a, const SortKey &b) {
        return CompareSortKeys(a.text, a.apart, b.text, b.apart, descending) < 0;
    });
    if (page->order) {
        // A virtual list: the rows take their new places, the selection
        // goes with them.
        int selectedCount, focused;
        int *selected = TakeSelection(page, &selectedCount, &focused);
        for (int i = 0; i < count; i++) page->order[i] = keys[i].row;
        if (selectedCount > 0 || focused >= 0) PutSelection(page, selected, selectedCount, focused);
        free(selected);
        InvalidateRect(page->list, nullptr, TRUE);
        StartIdleFacts(page);   // the rows on top now come first
    } else {
        // The list sorts its own rows by their places in the sorted keys.
        int *ranks = (int *)calloc((size_t)(page->rowCount > 0 ? page->rowCount : 1), sizeof(int));
        for (int i = 0; ranks && i < count; i++) ranks[keys[i].row] = i;
        if (ranks) SendMessageA(page->list, LVM_SORTITEMS, (WPARAM)ranks, (LPARAM)CompareRanks);
        free(ranks);
        free(shown);
    }
    free(keys);
    free(made);
    ShowSortArrow(page, column, descending);
    page->sortedBy = column + 1;
    page->sortedDescending = descending;
}
}  // namespace

void SortRows(ListPage *page, int column)
{
    if (column < 0 || column >= page->columnCount) return;
    SortRowsThisWay(page, column, page->directions[column]);
}

void SortByHeaderClick(ListPage *page, int column)
{
    if (column < 0 || column >= page->columnCount) return;
    FillRestNow(page);
    SortRows(page, column);
    page->directions[column] = !page->directions[column];
    if (page->sortOption) SetOption(page->sortOption, column + 1);
}

void ApplySavedSort(ListPage *page)
{
    // A refill keeps the order the user chose, direction included.
    if (page->sortedBy > 0 && page->sortedBy <= page->columnCount) {
        SortRowsThisWay(page, page->sortedBy - 1, page->sortedDescending);
        return;
    }
    if (!page->sortOption) return;
    long saved = GetOption(page->sortOption, 0);
    if (saved > 0 && saved <= page->columnCount) SortRows(page, (int)saved - 1);
}

// --- Selection ------------------------------------------------------------------

int SelectedRow(HWND list)
{
    return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

int NextSelectedRow(HWND list, int position)
{
    return (int)SendMessageA(list, LVM_GETNEXTITEM, (WPARAM)position, LVNI_SELECTED);
}

int SelectedRowCount(HWND list)
{
    return (int)SendMessageA(list, LVM_GETSELECTEDCOUNT, 0, 0);
}

int RowIndexAt(ListPage *page, int position)
{
    if (position < 0) return -1;
    if (page->order) return position < page->shownCount ? page->order[position] : -1;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = position;
    if (!SendMessageA(page->list, LVM_GETITEMA, 0, (LPARAM)&item)) return -1;
    return item.lParam >= 0 && item.lParam < page->rowCount ? (int)item.lParam : -1;
}

int SelectSameEntry(ListPage *page, const Item *record)
{
    int count = (int)SendMessageA(page->list, LVM_GETITEMCOUNT, 0, 0);
    int found = -1;
    for (int position = 0; position < count; position++) {
        const Item *shown = RecordAtPosition(page, position);
        if (!shown || !SameEntry(shown, record)) continue;
        if (found < 0 || shown->disabled == record->disabled) found = position;
        if (shown->disabled == record->disabled) break;
    }
    SelectRow(page->list, found);
    return RowIndexAt(page, found);
}

PageRow *SelectedRowOrSay(ListPage *page)
{
    PageRow *row = PageRowAt(page, SelectedRecord(page));
    if (!row) ShowStringMessage(57);
    return row;
}

int SelectedRowIndexes(ListPage *page, int *out, int capacity)
{
    int count = 0;
    for (int position = NextSelectedRow(page->list, -1); position >= 0 && count < capacity;
         position = NextSelectedRow(page->list, position)) {
        int index = RowIndexAt(page, position);
        if (index >= 0) out[count++] = index;
    }
    return count;
}

int SelectedRecord(ListPage *page)
{
    return RowIndexAt(page, SelectedRow(page->list));
}

void SelectRow(HWND list, int position)
{
    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&clear);
    if (position < 0 || position >= (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) return;
    LVITEMA set = {};
    set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    set.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, position, (LPARAM)&set);
    SendMessageA(list, LVM_ENSUREVISIBLE, position, FALSE);
}

// --- Menus, messages and help ---------------------------------------------------

void ShowRowMenu(ListPage *page, const int *items, int count, const UINT *flags, const UINT *texts)
{
    if (SelectedRow(page->list) < 0) {
        ShowStringMessage(57);
        return;
    }
    // Menu texts by command number.
    static const struct {
        int command;
        UINT text;
    } kMenuTexts[] = {
        {IDC_INFO, 301},          {IDC_REMOVE, 302},         {IDC_ADD, 311},
        {IDC_CLOSE, 304},         {IDC_REFRESH, 305},        {IDC_KILL_TASK, 306},
        {IDC_ENABLE, 632},        {IDC_DISABLE, 633},        {IDC_HELP_LABEL, 31},
        {IDC_ONLINE_INFO, 641},   {IDC_SYSTEM_REPORT, 310},  {IDC_EXPLORE_FOLDER, 1135},
        {IDC_OPEN_PROPERTIES, 1136}, {IDC_VIEW_NOTE, 971},   {IDC_DELETE_ON_REBOOT, 801},
        {IDC_MOVE_TO_DELAYED, 1116},
        {1103, 708},   // cookie list: Remove Checked
        // Services page.
        {IDC_SERVICE_START, 3610},  {IDC_SERVICE_STOP, 650},    {IDC_SERVICE_AUTOMATIC, 664},
        {IDC_SERVICE_MANUAL, 665},  {IDC_SERVICE_DISABLED, 666},
        // Delayed Start page and history viewer.
        {IDC_LAUNCH, 3740},         {IDC_DELAY_OPTIONS, 1132},  {IDC_RESTORE_DELAYED, 3741},
        {IDC_HISTORY_RESTORE, 717}, {IDC_HISTORY_CLEAR, 711},   {IDOK, 304},
        // Hidden Files page.
        {IDC_DELETE_FILE, 925},     {IDC_VIEW_NOTEPAD, 913},
        // Startup Programs page.
        {IDC_HIDE_MICROSOFT, 3727},
        // Every page.
        {IDC_JUMP_TO_ENTRY, 3852},  {IDC_REFILL, 3853},
    };
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    char used[128] = "";
    auto append = [&](int command, UINT flag, UINT textId) {
        if (command == 0) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            return;
        }
        char text[128] = "";
        for (const auto &t : kMenuTexts)
            if (t.command == command) LoadUiString(t.text, text, sizeof text);
        if (textId) LoadUiString(textId, text, sizeof text);
        char shown[160];
        GiveUniqueMnemonic(text, used, shown, sizeof shown);
        AppendMenuA(menu, MF_STRING | flag, (UINT_PTR)command, shown);
    };
    for (int i = 0; i < count; i++) append(items[i], flags ? flags[i] : 0, texts ? texts[i] : 0);
    // The pages of the sheet (they have a filter box) all offer the
    // entry's place and a refill.
    if (GetDlgItem(page->window, IDC_FILTER)) {
        append(0, 0, 0);
        append(IDC_JUMP_TO_ENTRY, 0, 0);
        append(IDC_REFILL, 0, 0);
    }
    POINT at;
    GetCursorPos(&at);
    int chosen = (int)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0,
                                     page->window, nullptr);
    DestroyMenu(menu);
    if (chosen > 0) PostMessageA(page->window, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

int RowMenuStart(ListPage *page, int *items, int withFile)
{
    int n = 0;
    items[n++] = IDC_INFO;
    if (withFile) {
        items[n++] = IDC_EXPLORE_FOLDER;
        items[n++] = IDC_OPEN_PROPERTIES;
    }
    if (RowHasNote(PageRowAt(page, SelectedRecord(page)))) items[n++] = IDC_VIEW_NOTE;
    return n;
}

int RowMenuEnd(int *items, int n)
{
    for (int id : {0, (int)IDC_ONLINE_INFO, (int)IDC_SYSTEM_REPORT, (int)IDC_HELP_LABEL}) items[n++] = id;
    return n;
}

int ShowStringMessage(UINT id)
{
    char caption[64];
    LoadUiString(31, caption, sizeof caption);
    return UiMessageBox(mainWindow, id, caption, MB_OK | MB_ICONQUESTION | MB_TOPMOST);
}

int PageMessage(HWND owner, UINT id, UINT flags)
{
    char caption[64];
    LoadUiString(622, caption, sizeof caption);
    return UiMessageBox(owner, id, caption, flags);
}

int PageMessageText(HWND owner, const char *text, UINT flags)
{
    char caption[64];
    LoadUiString(622, caption, sizeof caption);
    return UiMessageBoxText(owner, text, caption, flags);
}

void OpenHelpPage(int command)
{
    ShowHelpPage(mainWindow, command);
}

int AskAbout(HWND owner, UINT pattern, const char *title)
{
    char text[1024], question[1400];
    LoadUiString(pattern, text, sizeof text);
    if (!FillTemplate(question, sizeof question, text, &title, 1)) CopyTextCut(question, sizeof question, text);
    return PageMessageText(owner, question, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST) == IDYES;
}

int ChooseProgramFile(HWND owner, const char *filter, const char *folder, char *file, int size)
{
    char title[256] = "";
    LoadUiString(902, title, sizeof title);
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = owner;
    open.lpstrFilter = filter;
    open.lpstrFile = file;
    open.nMaxFile = (DWORD)size;
    open.lpstrTitle = title;
    open.lpstrInitialDir = folder;
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    return GetOpenFileNameA(&open) ? 1 : 0;
}

void ExploreFolder(ListPage *page)
{
    PageRow *row = SelectedRowOrSay(page);
    if (!row) return;
    char file[PATH_SIZE];
    if (ResolveCommandPath(row->record.path, file) <= 0) return;
    int cut = FileNameIndex(file);
    if (cut <= 0) return;
    file[cut - 1] = 0;
    ShellExecuteA(mainWindow, "explore", file, nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenProperties(ListPage *page)
{
    PageRow *row = SelectedRowOrSay(page);
    if (!row) return;
    char file[PATH_SIZE];
    if (ResolveCommandPath(row->record.path, file) <= 0 || !FileExists(file)) return;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST;
    info.hwnd = mainWindow;
    info.lpVerb = "properties";
    info.lpFile = file;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&info);
}

void DeleteFileOnReboot(ListPage *page)
{
    PageRow *row = SelectedRowOrSay(page);
    if (!row) return;
    char file[PATH_SIZE];
    if (ResolveCommandPath(row->record.path, file) <= 0) return;
    DeleteExactFileOnReboot(page, &row->record, file);
}

void DeleteExactFileOnReboot(ListPage *page, const Item *record, const char *file)
{
    if (!record || !file || !file[0]) return;
    // The question names the file it is about.
    char question[PATH_SIZE + 1024], text[1024];
    LoadUiString(800, text, sizeof text);
    FormatTextCut(question, sizeof question, "\n%s\n%s", file, text);
    if (PageMessageText(page->window, question, MB_YESNO | MB_ICONSTOP | MB_TOPMOST) != IDYES) return;
    if (!DeleteOnReboot(file)) {
        PageMessage(page->window, 2191, MB_OK | MB_ICONSTOP | MB_TOPMOST);
        return;
    }
    int type = record->view == VIEW_32 ? record->type | HISTORY_VIEW_32 : record->type;
    WriteHistory(record->title, file, record->name ? record->name : "", type, HISTORY_DELETE_ON_REBOOT);
}

// --- Dialog texts -----------------------------------------------------------------

void SetDialogTexts(HWND dialog, UINT caption, const DialogText *texts, int count)
{
    if (caption) {
        char text[256];
        if (LoadUiString(caption, text, sizeof text) > 0) SetWindowTextA(dialog, text);
    }
    for (int i = 0; i < count; i++) SetDlgItemUiString(dialog, texts[i].text, texts[i].control);
}

// --- Header layout ------------------------------------------------------------------

namespace {
int ControlRect(HWND page, int id, RECT *r)
{
    HWND control = GetDlgItem(page, id);
    if (!control || !GetWindowRect(control, r)) return 0;
    MapWindowPoints(nullptr, page, (POINT *)r, 2);
    return 1;
}
}  // namespace

PageMetrics MeasurePage(HWND page, int buttonWidth)
{
    RECT client;
    GetClientRect(page, &client);
    RECT units = {4, 8, buttonWidth, 14};
    MapDialogRect(page, &units);
    return {client.right, client.bottom, units.left, units.top, units.right, units.bottom};
}

int PlaceHeaderLabels(HWND page, const PageMetrics &m)
{
    int labelSize = m.line * 3, labelWidth = labelSize + m.margin;
    int right = m.width - m.margin;
    const int labels[2][2] = {{IDC_MONITOR_LABEL, IDC_MONITOR_WORD}, {IDC_HELP_LABEL, IDC_HELP_WORD}};
    for (const auto &label : labels) {
        int x = right - labelWidth;
        MoveWindow(GetDlgItem(page, label[0]), x + m.margin / 2, m.margin, labelSize, labelSize, TRUE);
        MoveWindow(GetDlgItem(page, label[1]), x - m.margin, m.margin + labelSize, labelWidth + 2 * m.margin,
                   m.line + 4, TRUE);
        right = x - m.margin;
    }
    return right;
}

int HeaderTextRoom(HWND page, const int *leftOf, int count, int gap, int bottom, RECT *room)
{
    RECT icon, label;
    if (count <= 0 || !ControlRect(page, IDC_HEADER_ICON, &icon) || !ControlRect(page, leftOf[0], &label)) return 0;
    int right = label.left;
    for (int i = 1; i < count; i++)
        if (ControlRect(page, leftOf[i], &label) && label.left < right) right = label.left;
    room->left = icon.left + 40;
    room->right = right - gap;
    room->top = icon.top;
    room->bottom = bottom;
    return room->right - room->left >= 20 && room->bottom - room->top >= 8;
}

void PlaceTwoLines(HWND page, int first, int second, const RECT &room, int firstHeight)
{
    int height = room.bottom - room.top, width = room.right - room.left;
    int upper = firstHeight >= 0 ? firstHeight : height / 2;
    MoveWindow(GetDlgItem(page, first), room.left, room.top, width, upper, TRUE);
    MoveWindow(GetDlgItem(page, second), room.left, room.top + upper, width, height - upper, TRUE);
}

void PlaceTwoLinesAtExplanation(HWND page, int first, int second, int firstPermille)
{
    RECT r;
    if (ControlRect(page, IDC_EXPLANATION, &r))
        PlaceTwoLines(page, first, second, r, (r.bottom - r.top) * firstPermille / 1000);
}

// --- Picture labels and buttons -------------------------------------------------

void SetMonitorLabel(HWND page, int state)
{
    SetLabelState(page, IDC_MONITOR_LABEL, state);
}

void SetLabelState(HWND page, int id, int state)
{
    if (state < 0 || state > 2) state = 0;
    HWND label = GetDlgItem(page, id);
    SetWindowLongPtrA(label, GWLP_USERDATA, state);
    InvalidateRect(label, nullptr, TRUE);
}

int StoreOptionCheck(HWND page, const char *option, int *setting)
{
    int on = IsDlgButtonChecked(page, IDC_OPTION_CHECK) == BST_CHECKED;
    SetOption(option, on);
    *setting = on;
    return on;
}

void ChangePatrolTimeOfPage(HWND page, UINT title)
{
    int state = ChangePatrolTime(page, title);
    if (state >= 0) SetMonitorLabel(page, state);
}

int DrawPageControl(HWND page, const DRAWITEMSTRUCT *draw)
{
    if (draw->CtlType != ODT_BUTTON) return 0;
    HDC dc = draw->hDC;
    RECT r = draw->rcItem;
    int pressed = (draw->itemState & ODS_SELECTED) != 0;
    int id = (int)draw->CtlID;
    if (IsLabel(id)) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        int index = id == IDC_HELP_LABEL
                        ? 0
                        : 1 + (int)GetWindowLongPtrA(GetDlgItem(page, id), GWLP_USERDATA);
        int size = r.bottom - r.top < r.right - r.left ? r.bottom - r.top : r.right - r.left;
        int x = r.left + (r.right - r.left - size) / 2 + pressed;
        int y = r.top + (r.bottom - r.top - size) / 2 + pressed;
        DrawIconEx(dc, x, y, LabelIcon(index), size, size, 0, nullptr, DI_NORMAL);
        return 1;
    }
    // Push buttons: the text twice, light grey one pixel right and down, then
    // dark blue (grey when disabled).
    UINT state = DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0);
    DrawFrameControl(dc, &r, DFC_BUTTON, state);
    char text[128];
    GetWindowTextA(draw->hwndItem, text, sizeof text);
    int disabled = (draw->itemState & ODS_DISABLED) != 0;
    SetBkMode(dc, TRANSPARENT);
    HFONT font = (HFONT)SendMessageA(draw->hwndItem, WM_GETFONT, 0, 0);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    UINT format = strchr(text, '\n') ? DT_CENTER | DT_WORDBREAK : DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    RECT shadow = r;
    OffsetRect(&shadow, 1 + pressed, 1 + pressed);
    SetTextColor(dc, RGB(192, 192, 192));
    DrawTextA(dc, text, -1, &shadow, format);
    RECT face = r;
    OffsetRect(&face, pressed, pressed);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 64));
    DrawTextA(dc, text, -1, &face, format);
    if (draw->itemState & ODS_FOCUS) {
        RECT focus = r;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
    if (old) SelectObject(dc, old);
    return 1;
}

// --- Life cycle -----------------------------------------------------------------

void InitListPage(ListPage *page, HWND window)
{
    page->window = window;
    page->list = GetDlgItem(window, IDC_LIST);
    for (int &direction : page->directions) direction = 0;
    SetDlgItemUiString(window, 793, IDC_HELP_WORD);
    SetDlgItemUiString(window, 794, IDC_MONITOR_WORD);
    SendMessageA(page->list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
    UseRowImages(page);
    InsertColumns(page);
    SendDlgItemMessageA(window, IDC_HEADER_ICON, STM_SETICON,
                        (WPARAM)LoadImageA(instance, MAKEINTRESOURCEA(ICON_APPLICATION), IMAGE_ICON,
                                           32, 32, LR_SHARED),
                        0);
}

void OpenListPage(ListPage *page, HWND window, const DialogText *texts, int count)
{
    SetDialogTexts(window, 0, texts, count);
    InitListPage(page, window);
    currentPage = page->identity;
    RestorePlacement(window);
}

void LayoutListPage(HWND page)
{
    PageMetrics m = MeasurePage(page);
    int width = m.width, height = m.height, margin = m.margin, buttonHeight = m.buttonHeight;
    int top = margin;
    HWND icon = GetDlgItem(page, IDC_HEADER_ICON);
    MoveWindow(icon, margin, top, 32, 32, TRUE);
    int right = PlaceHeaderLabels(page, m);
    int headerBottom = top + m.line * 4 + 6;
    MoveWindow(GetDlgItem(page, IDC_EXPLANATION), margin + 40, top, right - margin - 40,
               headerBottom - top - 2, TRUE);
    // The filter box, on a line of its own above the list.
    HWND filter = GetDlgItem(page, IDC_FILTER);
    if (filter) {
        RECT sizes = {40, 12, 170, 0};   // label width, box height, box width
        MapDialogRect(page, &sizes);
        int boxWidth = width - 2 * margin - sizes.left;
        if (boxWidth > sizes.right) boxWidth = sizes.right;
        MoveWindow(GetDlgItem(page, IDC_FILTER_LABEL), margin, headerBottom + 3, sizes.left, sizes.top - 3, TRUE);
        MoveWindow(filter, margin + sizes.left, headerBottom, boxWidth, sizes.top, TRUE);
        headerBottom += sizes.top + margin / 2;
    }

    // The button row at the bottom, the check box above it, the list between.
    // Enable and Disable share one place: only one of them shows at a time.
    static const int kSlots[][2] = {{IDC_INFO, 0},       {IDC_ADD, 0},       {IDC_DELAY_OPTIONS, 0}, {IDC_REMOVE, 0},
                                    {IDC_ENABLE, IDC_DISABLE}, {IDC_REFRESH, 0}, {IDC_KILL_TASK, 0},
                                    {IDC_SERVICE_START, 0}, {IDC_SERVICE_STOP, 0}, {IDC_CLOSE, 0}};
    const int(*slots[sizeof kSlots / sizeof kSlots[0]])[2];
    int count = 0;
    for (const auto &slot : kSlots) {
        HWND first = GetDlgItem(page, slot[0]), second = slot[1] ? GetDlgItem(page, slot[1]) : nullptr;
        if (!first && !second) continue;
        // The Close button is hidden on older systems and takes no place there.
        if (slot[0] == IDC_CLOSE && !IsNtFamily()) continue;
        slots[count++] = &slot;
    }
    int buttonTop = height - margin - buttonHeight;
    HWND check = GetDlgItem(page, IDC_OPTION_CHECK);
    int listBottom = buttonTop - margin;
    if (check) {
        listBottom -= m.line + 4;
        MoveWindow(check, margin, listBottom + 2, width - 2 * margin, m.line + 2, TRUE);
    }
    MoveWindow(GetDlgItem(page, IDC_LIST), margin, headerBottom, width - 2 * margin,
               listBottom - headerBottom, TRUE);
    if (count > 0) {
        int slot = (width - margin) / count;
        int buttonWidth = slot - margin < m.buttonWidth ? slot - margin : m.buttonWidth;
        for (int i = 0; i < count; i++)
            for (int id : *slots[i])
                if (id)
                    MoveWindow(GetDlgItem(page, id),
                               margin + i * slot + (slot - margin - buttonWidth) / 2, buttonTop,
                               buttonWidth, buttonHeight, TRUE);
    }
    SendMessageA(page, WM_PAGE_LAYOUT, 0, 0);
    InvalidateRect(page, nullptr, TRUE);
}

void CloseListPage(ListPage *page)
{
    DropRestFill(page);
    if (page->window) DropSignatureRequests(page->window);
    page->generation++;
    page->signaturesPending = 0;
    StopIdleFacts(page);
    FreeRows(page);
    free(page->order);
    page->order = nullptr;
    page->shownCount = page->factsNext = 0;
}

// --- The page procedure ---------------------------------------------------------

namespace {
// Rows whose program file is not verified are drawn in a warning colour
// (their Publisher cell says why, for every reader); high contrast keeps
// the system's colours.
LRESULT DrawRowMark(ListPage *page, NMLVCUSTOMDRAW *draw)
{
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        // The files of the rows about to be drawn are read first, two at a time.
        ReadFilesInView(page);
        return CDRF_NOTIFYITEMDRAW;
    }
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    // The row about to be drawn is seen: its facts are read now.
    PageRow *row = page->order ? ShownRow(page, (int)draw->nmcd.dwItemSpec)
                               : PageRowAt(page, (int)draw->nmcd.lItemlParam);
    ReadFactsInView(page, row);
    HIGHCONTRASTA contrast = {sizeof contrast, 0, nullptr};
    if (!row || !(row->unverified || row->missing || row->record.disabled || row->dimmed) ||
        (SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON)))
        return CDRF_DODEFAULT;
    // Disabled: grey; a file that is gone: the warning colour, slanted.
    draw->clrText = row->record.disabled || row->dimmed ? GetSysColor(COLOR_GRAYTEXT) : RGB(176, 0, 32);
    if (row->missing) {
        static HFONT slanted;
        if (!slanted) {
            LOGFONTW font;
            HGDIOBJ shown = (HGDIOBJ)SendMessageA(page->list, WM_GETFONT, 0, 0);
            if (shown && GetObjectW(shown, sizeof font, &font)) {
                font.lfItalic = TRUE;
                slanted = CreateFontIndirectW(&font);
            }
        }
        if (slanted) SelectObject(draw->nmcd.hdc, slanted);
    }
    return CDRF_NEWFONT;
}

// The filter box above the list and its label, after the page's own
// controls and before the list in the tab order.
void CreateFilterBox(HWND window)
{
    HWND list = GetDlgItem(window, IDC_LIST);
    if (!list) return;
    char label[64], cue[256];
    LoadUiString(3850, label, sizeof label);
    LoadUiString(3851, cue, sizeof cue);
    HWND caption = CreateWindowExA(0, "STATIC", label, WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 10, 10, window,
                                   (HMENU)(INT_PTR)IDC_FILTER_LABEL, instance, nullptr);
    HWND box = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                               0, 0, 10, 10, window, (HMENU)(INT_PTR)IDC_FILTER, instance, nullptr);
    if (!caption || !box) return;
    HFONT font = (HFONT)SendMessageA(window, WM_GETFONT, 0, 0);
    SendMessageA(caption, WM_SETFONT, (WPARAM)font, FALSE);
    SendMessageA(box, WM_SETFONT, (WPARAM)font, FALSE);
    SendMessageA(box, EM_LIMITTEXT, 120, 0);
    WCHAR wideCue[256];
    if (TextToWide(cue, -1, wideCue, 256) > 0) SendMessageW(box, EM_SETCUEBANNER, TRUE, (LPARAM)wideCue);
    HWND before = GetWindow(list, GW_HWNDPREV);
    SetWindowPos(caption, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(box, caption, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void JumpToSelectedEntry(ListPage *page)
{
    PageRow *row = SelectedRowOrSay(page);
    if (!row) return;
    if (!JumpToEntry(&row->record)) PageMessage(page->window, 3854, MB_OK | MB_ICONINFORMATION);
}

// What every page's procedure does alike: the page's own controls laid out
// after the common ones, the owner-drawn controls drawn. FALSE for other
// messages.
INT_PTR PageFrameMessage(HWND window, UINT message, LPARAM lParam, void (*layoutOwn)(HWND window))
{
    switch (message) {
    case WM_PAGE_LAYOUT:
        if (!layoutOwn) return FALSE;
        layoutOwn(window);
        return TRUE;
    case WM_DRAWITEM:
        return DrawPageControl(window, (const DRAWITEMSTRUCT *)lParam);
    default:
        return FALSE;
    }
}

// The page is filled under the wait cursor.
void ActivateKind(const ListPageKind *kind, HWND window)
{
    HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    kind->activate(window);
    SetCursor(old);
}

LRESULT OnListPageNotify(const ListPageKind *kind, HWND window, const NMHDR *header)
{
    if (header->idFrom == IDC_LIST) {
        LRESULT answer;
        if (AnswerListNotice(kind->page, header, &answer)) return answer;
        switch (header->code) {
        case LVN_ODSTATECHANGED:   // a range of rows selected at once
            if (kind->selectionChanged) kind->selectionChanged(window);
            break;
        case LVN_COLUMNCLICK:
            SortByHeaderClick(kind->page, ((const NMLISTVIEW *)header)->iSubItem);
            break;
        case LVN_ITEMCHANGED:
            if ((((const NMLISTVIEW *)header)->uChanged & LVIF_STATE) && kind->selectionChanged)
                kind->selectionChanged(window);
            break;
        case LVN_KEYDOWN:
            // F5 fills the page again, as it is when the page is opened.
            if (((const NMLVKEYDOWN *)header)->wVKey == VK_F5) {
                ActivateKind(kind, window);
                break;
            }
            if (kind->selectionChanged) kind->selectionChanged(window);
            break;
        case NM_CLICK:
            if (kind->selectionChanged) kind->selectionChanged(window);
            break;
        case NM_RCLICK:
            kind->menu(window);
            break;
        case NM_DBLCLK:
            ShowOnlineInfo(kind->page);
            break;
        case NM_CUSTOMDRAW:
            return DrawRowMark(kind->page, (NMLVCUSTOMDRAW *)header);
        default:
            break;
        }
        return 0;
    }
    switch (header->code) {
    case PSN_SETACTIVE: ActivateKind(kind, window); break;
    case PSN_KILLACTIVE: LeavePage(window); break;
    case PSN_RESET: ResetPage(window); CloseListPage(kind->page); break;
    default: break;
    }
    return 0;
}
}  // namespace

INT_PTR ListPageProcedure(const ListPageKind *kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        kind->initialise(window);
        CreateFilterBox(window);
        LayoutListPage(window);
        return TRUE;
    case WM_NOTIFY:
        SetWindowLongPtrA(window, DWLP_MSGRESULT, OnListPageNotify(kind, window, (const NMHDR *)lParam));
        return TRUE;
    case WM_COMMAND:
        // What every page does with its selected row's program.
        switch (LOWORD(wParam)) {
        case IDC_ONLINE_INFO: ShowOnlineInfo(kind->page); break;
        case IDC_VIEW_NOTE: ViewNote(kind->page); break;
        case IDC_EXPLORE_FOLDER: ExploreFolder(kind->page); break;
        case IDC_OPEN_PROPERTIES: OpenProperties(kind->page); break;
        case IDC_JUMP_TO_ENTRY: JumpToSelectedEntry(kind->page); break;
        case IDC_REFILL: ActivateKind(kind, window); break;
        case IDC_SYSTEM_REPORT: WriteSystemReport(window); break;
        case IDC_HELP_LABEL: OpenHelpPage(kind->page->identity); break;
        case IDC_CLOSE: CloseSheet(window); break;
        case IDC_MONITOR_LABEL:
            if (kind->patrolTitle)
                ChangePatrolTimeOfPage(window, kind->patrolTitle);
            else
                kind->command(window, IDC_MONITOR_LABEL, HIWORD(wParam));
            break;
        case IDC_FILTER:
            if (HIWORD(wParam) == EN_CHANGE) {
                ApplyFilter(kind->page);
                if (kind->selectionChanged) kind->selectionChanged(window);
            }
            break;
        default: kind->command(window, LOWORD(wParam), HIWORD(wParam)); break;
        }
        return TRUE;
    case WM_SIZE:
        LayoutListPage(window);
        if (kind->layout) kind->layout(window);
        FitColumns(kind->page);
        return TRUE;
    case WM_TIMER:
        if (wParam == kFactsTimer) ReadFactsInIdle(kind->page);
        if (wParam == kRestTimer) FillRestNow(kind->page);
        return TRUE;
    case WM_SIGNATURE_KNOWN: {
        PageRow *row = TakeSignatureAnswer(kind->page, (SignatureAnswer *)lParam);
        // The buttons show what is known of the selected row.
        if (row && kind->selectionChanged && row == PageRowAt(kind->page, SelectedRecord(kind->page)))
            kind->selectionChanged(window);
        return TRUE;
    }
    default:
        return PageFrameMessage(window, message, lParam, kind->layoutOwn);
    }
}

namespace {
void OnPlainPageNotify(const PlainPageKind *kind, HWND window, const NMHDR *header)
{
    if (header->idFrom == IDC_LIST) return;
    switch (header->code) {
    case PSN_SETACTIVE: kind->activate(window); break;
    case PSN_KILLACTIVE: LeavePage(window); break;
    case PSN_RESET:
        ResetPage(window);
        if (kind->reset) kind->reset(window);
        break;
    default: break;
    }
}
}  // namespace

INT_PTR PlainPageProcedure(const PlainPageKind *kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        kind->initialise(window);
        return TRUE;
    case WM_NOTIFY:
        OnPlainPageNotify(kind, window, (const NMHDR *)lParam);
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_COMMAND:
        kind->command(window, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_SIZE:
        LayoutListPage(window);
        return TRUE;
    default:
        return PageFrameMessage(window, message, lParam, kind->layoutOwn);
    }
}
