// A list view of another process (the explorer's pages and dialogs), read
// and selected from a test: the LVITEM and its text buffer live in memory
// allocated inside that process.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace test {

class RemoteList {
public:
    RemoteList(HANDLE process, HWND list) : process_(process), list_(list)
    {
        memory_ = (char *)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteList()
    {
        if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    }
    RemoteList(const RemoteList &) = delete;
    RemoteList &operator=(const RemoteList &) = delete;

    int Count() { return (int)SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0); }
    // A cell's text. A publisher still being checked on the explorer's
    // checking thread is waited for (a few seconds at most).
    std::string Text(int row, int column)
    {
        std::string text = ReadText(row, column);
        for (int tries = 0; text == "Checking..." && tries < 500; tries++) {
            Sleep(10);
            text = ReadText(row, column);
        }
        return text;
    }
    std::string ReadText(int row, int column)
    {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = memory_ + 1024;
        item.cchTextMax = 1024;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_GETITEMTEXTA, row, (LPARAM)memory_);
        char text[1024] = "";
        ReadProcessMemory(process_, memory_ + 1024, text, sizeof text - 1, nullptr);
        return text;
    }
    // The first columns of a row; empty for no row (-1).
    std::vector<std::string> Cells(int row, int columns)
    {
        std::vector<std::string> cells;
        for (int column = 0; row >= 0 && column < columns; column++) cells.push_back(Text(row, column));
        return cells;
    }
    std::vector<std::vector<std::string>> Rows(int columns)
    {
        std::vector<std::vector<std::string>> rows;
        for (int row = 0, n = Count(); row < n; row++) rows.push_back(Cells(row, columns));
        return rows;
    }
    // Every row with as many cells as the list has column headings.
    std::vector<std::vector<std::string>> Rows()
    {
        HWND header = (HWND)SendMessageA(list_, LVM_GETHEADER, 0, 0);
        return Rows((int)SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    }
    // One column of every row, top to bottom.
    std::vector<std::string> Column(int column)
    {
        std::vector<std::string> texts;
        for (int row = 0, n = Count(); row < n; row++) texts.push_back(Text(row, column));
        return texts;
    }
    // The row whose column holds text, skipping the first skip such rows;
    // -1 when there is none.
    int Find(int column, const std::string &text, int skip = 0)
    {
        for (int row = 0, n = Count(); row < n; row++)
            if (Text(row, column) == text && skip-- == 0) return row;
        return -1;
    }
    // The first row whose two columns hold the two texts; -1 when none does.
    int Find(int column, const std::string &text, int other, const std::string &otherText)
    {
        for (int row = 0, n = Count(); row < n; row++)
            if (Text(row, column) == text && Text(row, other) == otherText) return row;
        return -1;
    }
    // How many rows hold text in column.
    int CountOf(int column, const std::string &text)
    {
        int count = 0;
        for (int row = 0, n = Count(); row < n; row++) count += Text(row, column) == text;
        return count;
    }
    // The picture of a row (its image index).
    int Image(int row)
    {
        LVITEMA item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_GETITEMA, 0, (LPARAM)memory_);
        ReadProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        return item.iImage;
    }
    // Selects only the given row (-1: none).
    void SelectOnly(int row)
    {
        SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        if (row >= 0) SetState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    void SelectNone() { SelectOnly(-1); }
    // Selects only the row Find gives; the selection stays as it was when
    // there is none (-1).
    int Select(int column, const std::string &text)
    {
        int found = Find(column, text);
        if (found >= 0) SelectOnly(found);
        return found;
    }
    int Select(int column, const std::string &text, int other, const std::string &otherText)
    {
        int found = Find(column, text, other, otherText);
        if (found >= 0) SelectOnly(found);
        return found;
    }
    // Selects these rows and no other.
    void SelectRows(const std::vector<int> &rows)
    {
        SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int row : rows) SetState(row, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // The first selected row, or -1.
    int Selected() { return (int)SendMessageA(list_, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }
    // A column of the first selected row; "" when none is selected.
    std::string SelectedText(int column)
    {
        int row = Selected();
        return row < 0 ? "" : Text(row, column);
    }
    // Ticks a row's check box, and whether it is ticked.
    void Tick(int row) { SetState(row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK); }
    bool Ticked(int row)
    {
        UINT state = (UINT)SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
        return (state >> 12) == 2;
    }
    // Clicks a column heading as the mouse would.
    void ClickHeader(int column)
    {
        HWND header = (HWND)SendMessageA(list_, LVM_GETHEADER, 0, 0);
        int x = (int)SendMessageA(list_, LVM_GETCOLUMNWIDTH, column, 0) / 2;
        for (int c = 0; c < column; c++) x += (int)SendMessageA(list_, LVM_GETCOLUMNWIDTH, c, 0);
        // Sent, not posted: a later WM_NULL to settle would overtake posted clicks.
        DWORD_PTR ignored;
        SendMessageTimeoutA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5), SMTO_NORMAL, 10000, &ignored);
        SendMessageTimeoutA(header, WM_LBUTTONUP, 0, MAKELPARAM(x, 5), SMTO_NORMAL, 10000, &ignored);
    }
    // The sort arrow a column heading shows: HDF_SORTUP, HDF_SORTDOWN or 0.
    int SortArrow(int column)
    {
        HWND header = (HWND)SendMessageA(list_, LVM_GETHEADER, 0, 0);
        HDITEMA item = {};
        item.mask = HDI_FORMAT;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(header, HDM_GETITEMA, column, (LPARAM)memory_);
        ReadProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    }

private:
    void SetState(int row, UINT state, UINT mask)
    {
        LVITEMA item = {};
        item.stateMask = mask;
        item.state = state;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)memory_);
    }
    HANDLE process_;
    HWND list_;
    char *memory_ = nullptr;
};

// The row of rows whose column holds text; null when there is none.
inline const std::vector<std::string> *RowWith(const std::vector<std::vector<std::string>> &rows, int column,
                                               const std::string &text)
{
    for (const auto &row : rows)
        if (row[column] == text) return &row;
    return nullptr;
}

}  // namespace test
