// Reading and selecting the rows of a list view in another process (the
// explorer's pages): the LVITEM and its text buffer live in memory
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
    // Selects only the given row (-1: none).
    void SelectOnly(int row)
    {
        SetState(-1, 0);
        if (row >= 0) SetState(row, LVIS_SELECTED | LVIS_FOCUSED);
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
