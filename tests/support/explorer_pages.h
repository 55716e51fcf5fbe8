// Driving a page of the real SentrelEx.exe from a test: start it on a page,
// read its list, press its buttons, find its dialogs and message boxes.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "remote_list.h"
#include "test_support.h"

namespace test {

const DWORD kPageWait = 20000;

struct WindowSearch {
    DWORD process;
    HWND exclude;
    std::string caption;
    HWND found;
};

inline BOOL CALLBACK FindProcessDialog(HWND window, LPARAM param)
{
    WindowSearch *search = (WindowSearch *)param;
    char cls[64] = "", caption[256] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (window != search->exclude && owner == search->process && IsWindowVisible(window) &&
        std::string(cls) == "#32770" && search->caption == caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class ExplorerPage : public ::testing::Test {
protected:
    void StartExplorerIn(const std::string &where, const std::string &arguments)
    {
        folder = where;
        ASSERT_TRUE(CopyFileA((BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                              FALSE));
        program = Start(folder, "SentrelEx.exe", arguments);
        ASSERT_NE(nullptr, program.process);
        sheet = WaitForWindow("#32770", "Sentrel Zenta", kPageWait);
        ASSERT_NE(nullptr, sheet) << "the property sheet did not open";
        page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        ASSERT_NE(nullptr, page);
        Settle();
        list = GetDlgItem(page, 1000);
        if (list) remote.reset(new RemoteList(program.process, list));
    }
    void StopExplorer()
    {
        remote.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !WaitForExit(program, kPageWait)) ADD_FAILURE() << "the explorer did not end";
        Stop(program);
        sheet = page = list = nullptr;
    }
    void Settle(HWND window = nullptr)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(window ? window : page, WM_NULL, 0, 0, SMTO_NORMAL, kPageWait, &ignored);
    }
    // A command of the page, as its button or menu item sends it.
    void Command(int id) { PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Click(HWND window, int id) { PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
    // Clicks and waits until the click has been handled, or until what it
    // opened (a message box) waits for the user.
    void ClickAndWait(HWND window, int id, DWORD milliseconds = 3000)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_NORMAL, milliseconds, &ignored);
    }
    // A visible dialog of the explorer with this caption (not the sheet).
    HWND WaitForDialog(const std::string &caption)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kPageWait; Sleep(20)) {
            WindowSearch search = {program.id, sheet, caption, nullptr};
            EnumWindows(FindProcessDialog, (LPARAM)&search);
            if (search.found) return search.found;
        }
        return nullptr;
    }
    template <typename Condition> bool WaitFor(Condition condition) { return WaitUntil(condition, kPageWait); }
    static std::string Value(HKEY root, const std::string &path, const std::string &name)
    {
        std::string text;
        return ReadString(root, path, name, &text) ? text : "<missing>";
    }

    std::string folder;
    Program program;
    HWND sheet = nullptr, page = nullptr, list = nullptr;
    std::unique_ptr<RemoteList> remote;
};

}  // namespace test
