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
// The caption of the explorer's property sheet, which its message boxes share.
const char kSheetCaption[] = "Sentrel Zenta";

struct DialogSearch {
    DWORD process;
    HWND exclude;
    const std::vector<std::string> *captions;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectProcessDialog(HWND window, LPARAM param)
{
    DialogSearch *search = (DialogSearch *)param;
    char cls[64] = "", caption[256] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (window != search->exclude && owner == search->process && IsWindowVisible(window) &&
        std::string(cls) == "#32770")
        for (const std::string &wanted : *search->captions)
            if (wanted == caption) search->found.push_back(window);
    return TRUE;
}

// The visible dialogs of a process with one of the captions, but for exclude.
inline std::vector<HWND> ProcessDialogs(DWORD process, const std::vector<std::string> &captions,
                                        HWND exclude = nullptr)
{
    DialogSearch search = {process, exclude, &captions, {}};
    EnumWindows(CollectProcessDialog, (LPARAM)&search);
    return search.found;
}

// A test of the explorer: no explorer of another test runs, Sentrel's
// store starts empty, and a fresh folder named after the test holds a copy
// of SentrelEx.exe. At the end the explorer and any monitor are closed and
// the store is emptied again.
class ExplorerPage : public ::testing::Test {
protected:
    void SetUp() override { SetUpIn(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
    // The same with the folder C:\sentrel-tests\<name>.
    void SetUpIn(const std::string &name)
    {
        ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer of another test still runs";
        ResetSentrelRegistry();
        folder = FreshFolder(name);
        ASSERT_TRUE(CopyFileA((BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                              FALSE));
    }
    void TearDown() override
    {
        StopExplorer();
        if (HWND monitor = MonitorWindow()) PostMessageA(monitor, WM_COMMAND, 6030, 0);
        WaitForNoMonitor(wait);
        ResetSentrelRegistry();
    }
    // Starts the explorer of the folder with the arguments (a page switch)
    // and waits until its current page (the one holding pageControl, when
    // given) has been filled.
    void StartExplorer(const std::string &arguments = "", int pageControl = 0)
    {
        program = Start(folder, "SentrelEx.exe", arguments);
        ASSERT_NE(nullptr, program.process);
        sheet = WaitForWindow("#32770", kSheetCaption, wait);
        ASSERT_NE(nullptr, sheet) << "the property sheet did not open";
        ASSERT_TRUE(WaitUntil(
            [&] {
                page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
                return page && (!pageControl || GetDlgItem(page, pageControl));
            },
            wait))
            << "the page asked for is not the current page";
        Settle();
        list = GetDlgItem(page, 1000);
        if (list) remote.reset(new RemoteList(program.process, list));
    }
    void StopExplorer()
    {
        remote.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !WaitForExit(program, wait)) ADD_FAILURE() << "the explorer did not end";
        Stop(program);
        sheet = page = list = nullptr;
    }
    // Waits until the window (the page) has handled everything posted to it so far.
    void Settle(HWND window = nullptr)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(window ? window : page, WM_NULL, 0, 0, SMTO_NORMAL, wait, &ignored);
    }
    // A command of the page, as its button or menu item sends it.
    void Command(int id) { PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Click(HWND window, int id) { PostMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
    // Clicks a button of the page.
    void Press(int id) { Click(page, id); }
    // Clicks and waits until the click has been handled, or until what it
    // opened (a message box) waits for the user.
    void ClickAndWait(HWND window, int id, DWORD milliseconds = 3000)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(GetDlgItem(window, id), BM_CLICK, 0, 0, SMTO_NORMAL, milliseconds, &ignored);
    }
    // A visible dialog of the explorer with one of the captions (not the sheet).
    HWND WaitForDialog(const std::vector<std::string> &captions)
    {
        HWND found = nullptr;
        WaitUntil(
            [&] {
                std::vector<HWND> dialogs = ProcessDialogs(program.id, captions, sheet);
                found = dialogs.empty() ? nullptr : dialogs[0];
                return found != nullptr;
            },
            wait);
        return found;
    }
    HWND WaitForDialog(const std::string &caption) { return WaitForDialog(std::vector<std::string>{caption}); }
    // A message box of the explorer (captioned like the sheet).
    HWND WaitForMessageBox() { return WaitForDialog(kSheetCaption); }
    // Waits for a message box of the explorer with one of the captions,
    // presses button in it and waits until it has gone. Its text, or
    // "<no message>" when none came.
    std::string Answer(int button, const std::vector<std::string> &captions = {kSheetCaption})
    {
        HWND box = WaitForDialog(captions);
        if (!box) return "<no message>";
        std::string text = DialogText(box);
        PressButton(box, button);
        WaitForWindowGone(box, wait);
        return text;
    }
    template <typename Condition> bool WaitFor(Condition condition) { return WaitUntil(condition, wait); }
    // The history the explorer of the folder wrote.
    std::string History() const
    {
        std::string text;
        ReadFile(folder + "\\history.txt", &text);
        return text;
    }

    DWORD wait = kPageWait;
    std::string folder;
    Program program;
    HWND sheet = nullptr, page = nullptr, list = nullptr;
    std::unique_ptr<RemoteList> remote;
};

}  // namespace test
