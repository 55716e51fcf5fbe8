// A list view of another process (the explorer's pages), read and selected
// from a test: the LVITEM and its text buffer live in memory allocated
// inside that process.
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
    std::string Text(int row, int column)
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
    std::vector<std::vector<std::string>> Rows(int columns)
    {
        std::vector<std::vector<std::string>> rows;
        for (int row = 0, n = Count(); row < n; row++) {
            std::vector<std::string> cells;
            for (int column = 0; column < columns; column++) cells.push_back(Text(row, column));
            rows.push_back(cells);
        }
        return rows;
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
        SetState(-1, 0);
        if (row >= 0) SetState(row, LVIS_SELECTED | LVIS_FOCUSED);
    }
    // Selects only the first row whose column holds text; -1 when none does.
    int Select(int column, const std::string &text)
    {
        int found = -1;
        for (int row = 0, n = Count(); row < n && found < 0; row++)
            if (Text(row, column) == text) found = row;
        if (found < 0) return -1;
        SetState(-1, 0);
        SetState(found, LVIS_SELECTED | LVIS_FOCUSED);
        return found;
    }
    void SelectNone() { SetState(-1, 0); }
    // Selects only the row at a position.
    void SelectAt(int row)
    {
        SetState(-1, 0);
        SetState(row, LVIS_SELECTED | LVIS_FOCUSED);
    }
    int Selected() { return (int)SendMessageA(list_, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }
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

private:
    void SetState(int row, UINT state)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = state;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)memory_);
    }
    HANDLE process_;
    HWND list_;
    char *memory_ = nullptr;
};

}  // namespace test
