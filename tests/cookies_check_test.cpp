// The cookie steps of the real Sentrel.exe's patrol: with the cookie filter
// due, the IE cookie files the filter names disappear and the others stay;
// with the new-cookie check due, the question appears, and Yes opens the
// explorer's cookie list.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "monitor.h"
#include "remote_list.h"
#include "test_support.h"

using namespace test::keys;

namespace {
const DWORD kWait = 15000;

// The monitor's question: a message box captioned with the program's title.
// The patrol runs fast until it is there.
HWND WaitForQuestion(HWND monitor, DWORD process, DWORD milliseconds)
{
    HWND found = nullptr;
    test::WaitWithFastPatrol(
        monitor,
        [&] {
            HWND window = nullptr;
            while ((window = FindWindowExA(nullptr, window, "#32770", "Sentrel")) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == process && IsWindowVisible(window) && GetDlgItem(window, 0xFFFF)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        milliseconds);
    return found;
}
}  // namespace

TEST(CookiesCheckMonitor, FiltersCookiesAndAsksAboutNewOnes)
{
    ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr));
    std::string folder = test::MonitorFolder("CookiesCheckMonitor");
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                          FALSE));
    std::string ie = folder + "\\Cookies";
    CreateDirectoryA(ie.c_str(), nullptr);
    ASSERT_TRUE(test::WriteFile(ie + "\\index.dat", "index"));
    for (const char *name : {"root@ads.example[1].txt", "root@news.site[1].txt", "root@known.site[1].txt"})
        ASSERT_TRUE(test::WriteFile(ie + "\\" + name, "cookie\n"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kStore, "IECookieFolder", ie));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kNuts, "ads", "1"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kKept, "root@known.site[1].txt", "1"));
    test::SetOptions({{"Nuts", "1"}, {"Cookies", "1"}, {"HideWuffin", "1"}});

    test::Program monitor = test::Start(folder, "Sentrel.exe", "");
    ASSERT_NE(nullptr, monitor.process);
    HWND window = test::WaitForWindow("Sentrel", nullptr, kWait);
    ASSERT_NE(nullptr, window);

    // The first group B pass filters, then asks about the unknown cookie.
    HWND question = WaitForQuestion(window, monitor.id, 120000);
    ASSERT_NE(nullptr, question) << "no new-cookie question from the patrol";
    EXPECT_FALSE(test::FileExistsAt(ie + "\\root@ads.example[1].txt"));
    EXPECT_TRUE(test::FileExistsAt(ie + "\\root@news.site[1].txt"));
    EXPECT_TRUE(test::FileExistsAt(ie + "\\root@known.site[1].txt"));
    EXPECT_TRUE(test::FileExistsAt(ie + "\\index.dat"));
    std::string asked = test::ControlText(question, 0xFFFF);
    EXPECT_TRUE(test::Contains(asked, "new cookies")) << asked;
    test::PressButton(question, IDYES);
    EXPECT_TRUE(test::WaitForWindowGone(question, kWait));

    // Yes opens the explorer's cookie list.
    HWND list = test::WaitForWindow("#32770", "Cookies", 30000);
    ASSERT_NE(nullptr, list) << "the cookie list did not open";
    DWORD explorerId = 0;
    GetWindowThreadProcessId(list, &explorerId);
    HANDLE explorer = OpenProcess(PROCESS_ALL_ACCESS, FALSE, explorerId);
    ASSERT_NE(nullptr, explorer);
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(list, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &ignored);
        test::RemoteList rows(explorer, GetDlgItem(list, 1000));
        ASSERT_EQ(2, rows.Count());
        std::string shown = rows.Text(0, 0) + "|" + rows.Text(1, 0);
        EXPECT_NE(std::string::npos, shown.find("root@news.site[1].txt")) << shown;
        EXPECT_NE(std::string::npos, shown.find("root@known.site[1].txt")) << shown;
    }
    PostMessageA(list, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(test::WaitForWindowGone(list, kWait));
    if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
    WaitForSingleObject(explorer, kWait);
    CloseHandle(explorer);

    PostMessageA(window, WM_COMMAND, CMD_EXIT, 0);
    EXPECT_TRUE(test::WaitForExit(monitor, kWait));
    test::Stop(monitor);
    test::ResetSentrelRegistry();
}
