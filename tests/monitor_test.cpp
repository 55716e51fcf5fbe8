// The real Sentrel.exe: single instance, "-Q", opening the explorer, exit
// confirmation and the Run-key registration.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

using namespace test::keys;

namespace {
const DWORD kWait = 15000;

class Monitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = test::MonitorFolder(::testing::UnitTest::GetInstance()->current_test_info()->name(), true, kWait);
        ASSERT_FALSE(folder.empty()) << "a monitor of another test still runs, or the monitor could not be copied";
    }
    void TearDown() override
    {
        if (HWND window = test::MonitorWindow()) PostMessageA(window, WM_COMMAND, 6030, 0);
        for (test::Program *p : {&first, &second}) {
            if (!test::WaitForExit(*p, kWait)) ADD_FAILURE() << "a monitor did not end";
            test::Stop(*p);
        }
        test::ResetSentrelRegistry();
    }
    // Starts the first monitor and waits until it has initialised its store.
    void StartFirst(const std::string &arguments = "")
    {
        first = test::Start(folder, "Sentrel.exe", arguments);
        ASSERT_NE(nullptr, first.process);
        ASSERT_NE(nullptr, test::WaitForWindow("Sentrel", nullptr, kWait));
        ASSERT_TRUE(test::WaitUntil(
            [] { return test::ValueExists(HKEY_CURRENT_USER, kStore, "Version"); },
            kWait))
            << "the store was not initialised";
    }
    std::string folder;
    test::Program first, second;
};
}  // namespace

TEST_F(Monitor, QuitWithNoMonitorRunningLeavesNoTrace)
{
    first = test::Start(folder, "Sentrel.exe", "-Q");
    ASSERT_NE(nullptr, first.process);
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(first, kWait, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, test::MonitorWindow());
    EXPECT_FALSE(test::KeyExists(HKEY_CURRENT_USER, "Software\\Orvendale"));
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, "Software\\Orvendale"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    EXPECT_FALSE(test::FileExistsAt(folder + "\\history.txt"));
    EXPECT_FALSE(test::FileExistsAt(folder + "\\send2ov.txt"));
}

TEST_F(Monitor, SecondStartWithQuitEndsTheFirst)
{
    StartFirst();
    // Switches count anywhere in the argument text, in any case.
    second = test::Start(folder, "Sentrel.exe", "/x -q");
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(second, kWait, &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(test::WaitForExit(first, kWait, &code)) << "the first monitor kept running";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, test::MonitorWindow());
}

TEST_F(Monitor, SecondStartOpensTheExplorerOrSaysItIsMissing)
{
    StartFirst();
    second = test::Start(folder, "Sentrel.exe", "");
    HWND box = test::WaitForWindow("#32770", "Sentrel", kWait);
    ASSERT_NE(nullptr, box) << "no message about the missing explorer";
    EXPECT_NE(std::string::npos,
              test::DialogText(box).find("SentrelEx.exe must exist in the same folder as Sentrel.exe"))
        << test::DialogText(box);
    test::PressButton(box, IDOK);
    ASSERT_TRUE(test::WaitForExit(second, kWait));
    EXPECT_TRUE(IsWindow(test::MonitorWindow())) << "the first monitor must go on";

    // With "-NoOpen" the second start ends silently.
    test::Program third = test::Start(folder, "Sentrel.exe", "-NoOpen");
    EXPECT_TRUE(test::WaitForExit(third, kWait));
    test::Stop(third);
    EXPECT_EQ(nullptr, FindWindowA("#32770", "Sentrel"));
}

TEST_F(Monitor, RegistersItselfAsAnApprovedStartupEntry)
{
    StartFirst("-expressboot");
    std::string command, approved;
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", &command));
    EXPECT_EQ(folder + "\\sentrel.exe -expressboot", command);
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, kRunBaseline, command,
                                 &approved));
    EXPECT_EQ("1", approved);
}

TEST_F(Monitor, ConfirmedExitAsksFirst)
{
    test::WriteString(HKEY_CURRENT_USER, kOptions, "ConfirmExit", "1");
    StartFirst();
    second = test::Start(folder, "Sentrel.exe", "-Q");
    ASSERT_TRUE(test::WaitForExit(second, kWait));
    test::Stop(second);

    HWND box = test::WaitForWindow("#32770", "Sentrel", kWait);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("Do you want Sentrel.exe to Exit?"));
    test::PressButton(box, IDNO);
    ASSERT_TRUE(test::WaitForWindowGone(box, kWait));
    Sleep(500);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first.process, 0)) << "No must keep the monitor";
    EXPECT_NE(nullptr, test::MonitorWindow());

    second = test::Start(folder, "Sentrel.exe", "-Q");
    box = test::WaitForWindow("#32770", "Sentrel", kWait);
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    EXPECT_TRUE(test::WaitForExit(first, kWait));
    EXPECT_EQ(nullptr, test::MonitorWindow());
}

TEST_F(Monitor, TrayIconFollowsTheExplorersRequests)
{
    StartFirst();
    ASSERT_TRUE(test::WaitForTrayIcons(1, kWait)) << "no tray icon after start";
    HWND window = test::MonitorWindow();
    PostMessageA(window, WM_COMMAND, 6053, 1);   // the explorer hides the icon
    EXPECT_TRUE(test::WaitForTrayIcons(0, kWait));
    PostMessageA(window, WM_COMMAND, 6053, 0);   // ... and shows it again
    EXPECT_TRUE(test::WaitForTrayIcons(1, kWait));
    PostMessageA(window, WM_COMMAND, 6030, 0);
    EXPECT_TRUE(test::WaitForExit(first, kWait));
    EXPECT_TRUE(test::WaitForTrayIcons(0, kWait)) << "the icon must go with the monitor";
}

TEST_F(Monitor, HiddenIconCanBeShownAgain)
{
    test::WriteString(HKEY_CURRENT_USER, kOptions, "HideWuffin", "1");
    StartFirst();
    Sleep(300);
    EXPECT_EQ(0, test::VisibleTrayIcons());
    // A monitor started hidden still honours the request to show the icon.
    PostMessageA(test::MonitorWindow(), WM_COMMAND, 6053, 0);
    EXPECT_TRUE(test::WaitForTrayIcons(1, kWait));
}

TEST_F(Monitor, RunsWithoutItsHelperLibrary)
{
    DeleteFileA((folder + "\\sentrelaux.dll").c_str());
    StartFirst();
    PostMessageA(test::MonitorWindow(), 9024, 0, 0);   // a real-time notice is harmless
    second = test::Start(folder, "Sentrel.exe", "-Q");
    EXPECT_TRUE(test::WaitForExit(first, kWait));
}

TEST_F(Monitor, HelperLibraryReportsStartedPrograms)
{
    test::WriteString(HKEY_CURRENT_USER, kOptions, "Debug", "1");
    StartFirst();
    std::string trace = folder + "\\send2ov.txt";
    Sleep(1000);   // the watcher takes its first look
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\desktop_keeper.exe").c_str(),
                          (folder + "\\newcomer.exe").c_str(), FALSE));
    test::Program newcomer = test::Start(folder, "newcomer.exe", "");
    // The notice arrives within a second; the next 2-second tick handles it.
    DWORD start = GetTickCount();
    std::string text;
    while (GetTickCount() - start < 8000) {
        test::ReadFile(trace, &text);
        if (text.find("NEW TASK DETECTED") != std::string::npos) break;
        Sleep(100);
    }
    test::Stop(newcomer);
    EXPECT_NE(std::string::npos, text.find("Check for Task Change")) << text;
    EXPECT_NE(std::string::npos, text.find("NEW TASK DETECTED")) << text;
}

TEST_F(Monitor, TrayMenuOffersItsEntriesAndPostsTheChoice)
{
    StartFirst();
    ASSERT_TRUE(test::WaitForTrayIcons(1, kWait));
    PostMessageA(test::MonitorWindow(), 6035, 6036, WM_RBUTTONUP);
    HWND menu = test::WaitForWindow("#32768", nullptr, kWait);
    ASSERT_NE(nullptr, menu);
    HMENU handle = (HMENU)SendMessageA(menu, 0x01E1 /* MN_GETHMENU */, 0, 0);
    int count = handle ? GetMenuItemCount(handle) : -1;
    if (count > 0) {
        // Eleven entries and three separators on the NT family.
        EXPECT_EQ(14, count);
        char text[128];
        GetMenuStringA(handle, 6038, text, sizeof text, MF_BYCOMMAND);
        EXPECT_STREQ("Display Ser&vices...", text);
        EXPECT_EQ(0, GetMenuStringA(handle, 6034, text, sizeof text, MF_BYCOMMAND));
        GetMenuStringA(handle, count - 1, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ("E&xit Program", text);
    }
    // The last entry, "Exit Program", chosen with the keyboard.
    PostMessageA(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(test::WaitForExit(first, kWait)) << "the menu's choice must reach the monitor";
}

TEST(HelperLibrary, ExportsItsOrdinals)
{
    HMODULE library = LoadLibraryA((test::BuildFolder() + "\\sentrelaux.dll").c_str());
    ASSERT_NE(nullptr, library);
    EXPECT_NE(nullptr, (void *)GetProcAddress(library, MAKEINTRESOURCEA(2)));
    EXPECT_NE(nullptr, (void *)GetProcAddress(library, MAKEINTRESOURCEA(3)));
    FreeLibrary(library);
}
