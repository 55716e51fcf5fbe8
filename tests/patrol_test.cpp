// The patrol's arithmetic, driven through the real tick handler: which
// pass runs which categories, the express-boot wait, the real-time path
// and its guards. The categories' trace lines tell what ran.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <string>
#include <vector>

#include "checks.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "patrol.h"
#include "platform.h"
#include "store.h"
#include "store_init.h"
#include "patrol_passes.h"
#include "test_support.h"
#include "trace.h"

namespace {
const char *const kCategories[] = {"Startup Programs", "IE Helpers", "Hidden Files",
                                   "Verify System Files", "IE Start/Search Page", "File Types",
                                   "Scheduled Tasks", "Win INIT file", "Check for change to Services",
                                   "Filter Cookies", "Filter Mozilla Cookies", "Check for New Cookies"};

class Patrol : public test::PatrolPasses {
protected:
    void SetUp() override
    {
        PatrolPasses::SetUp();
        groupToggle = 0;
    }
    // The categories that ran, per pass.
    std::vector<std::set<std::string>> Passes()
    {
        std::vector<std::set<std::string>> passes;
        for (const std::string &line : Trace()) {
            if (EndsWith(line, "VERIFY: Enter Verify function")) passes.emplace_back();
            for (const char *category : kCategories)
                if (!passes.empty() && EndsWith(line, std::string("VERIFY: ") + category))
                    passes.back().insert(category);
        }
        return passes;
    }
    static std::vector<int> PassesWith(const std::vector<std::set<std::string>> &passes, const char *category)
    {
        std::vector<int> numbers;
        for (size_t i = 0; i < passes.size(); i++)
            if (passes[i].count(category)) numbers.push_back((int)i + 1);
        return numbers;
    }
    int Count(const std::string &what)
    {
        int n = 0;
        for (const std::string &line : Trace()) n += EndsWith(line, what);
        return n;
    }
};
}  // namespace

TEST_F(Patrol, DefaultScheduleOverTwentyTwoPasses)
{
    Ticks(17 * 22);
    auto passes = Passes();
    ASSERT_EQ(22u, passes.size());
    EXPECT_EQ((std::vector<int>{3, 7, 11, 15, 19}), PassesWith(passes, "Startup Programs"));
    EXPECT_EQ((std::vector<int>{3, 7, 11, 15, 19}), PassesWith(passes, "IE Helpers"));
    EXPECT_EQ((std::vector<int>{5, 11, 17}), PassesWith(passes, "Verify System Files"));
    EXPECT_EQ((std::vector<int>{19}), PassesWith(passes, "File Types"));
    EXPECT_EQ((std::vector<int>{14}), PassesWith(passes, "Check for change to Services"));
    EXPECT_TRUE(PassesWith(passes, "Hidden Files").empty());
    EXPECT_TRUE(PassesWith(passes, "Check for New Cookies").empty());
    EXPECT_TRUE(PassesWith(passes, "Filter Cookies").empty());
    EXPECT_TRUE(PassesWith(passes, "Win INIT file").empty()) << "restart commands are a 9x matter";
}

TEST_F(Patrol, StartIntervalOneZeroAndNegative)
{
    SetOption("Start", 1);
    LoadOptions();
    settings.hideWuffin = 1;
    Ticks(17 * 6);
    EXPECT_EQ((std::vector<int>{1, 3, 5}), PassesWith(Passes(), "Startup Programs"));

    for (const char *off : {"0", "-1"}) {
        DeleteFileA(traceFile.c_str());
        EnableTrace(1);
        test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Start", off);
        LoadOptions();
        settings.hideWuffin = 1;
        Ticks(17 * 8);
        EXPECT_TRUE(PassesWith(Passes(), "Startup Programs").empty()) << off;
    }
}

// Vista to Windows 11 (which reports 6.2 to a program that declares no
// newer Windows) have HOSTS too: it is checked on every version.
TEST_F(Patrol, EveryWindowsChecksSystemFiles)
{
    for (int major : {5, 6, 10}) {
        PretendPlatform(2, major);
        Ticks(17 * 12);
        EXPECT_FALSE(PassesWith(Passes(), "Verify System Files").empty()) << major;
    }
}

TEST_F(Patrol, ExpressBootWaitsFortyFiveTicks)
{
    expressBootCountdown = 45;
    Ticks(44);
    EXPECT_EQ(0, Count("VERIFY: Enter Verify function"));
    Ticks(1);
    EXPECT_EQ(1, Count("VERIFY: Enter Verify function"));
    // ... and no real-time handling during the wait.
    expressBootCountdown = 45;
    tickCounter = 0;
    taskChangeFlag = 1;
    Ticks(3);
    EXPECT_EQ(0, Count("Check for Task Change"));
}

TEST_F(Patrol, RealTimeNoticeMakesTheWatchedCategoriesDue)
{
    // A first notice learns the process count (and counts as a change).
    taskChangeFlag = 1;
    Ticks(1);
    ASSERT_EQ(1, Count("Check for Task Change"));
    tickCounter = 0;
    int before = tickCounter;
    taskChangeFlag = 1;
    Ticks(1);
    EXPECT_EQ(before + 1, tickCounter) << "an unchanged count changes nothing";
    EXPECT_EQ(0, Count("VERIFY: Enter Verify function"));

    // A program not running yet (the count is of distinct program files).
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\desktop_keeper.exe").c_str(),
                          (folder + "\\newcomer.exe").c_str(), FALSE));
    test::Program extra = test::Start(folder, "newcomer.exe", "");
    ASSERT_TRUE(test::WaitUntilReady(extra));
    groupToggle = 1;
    countdowns.start = countdowns.ieHelpers = 5;
    taskChangeFlag = 1;
    Ticks(1);
    EXPECT_EQ(16, tickCounter);
    EXPECT_EQ(0, groupToggle);
    Ticks(1);
    auto passes = Passes();
    ASSERT_EQ(1u, passes.size());
    for (const char *category : {"Startup Programs", "IE Helpers", "Verify System Files", "IE Start/Search Page"})
        EXPECT_TRUE(passes[0].count(category)) << category;
    EXPECT_FALSE(passes[0].count("File Types")) << "file types are not watched in real time by default";
    test::Stop(extra);
}

TEST_F(Patrol, NoticesOnEveryTickAreHandledThreeTimesInFour)
{
    CheckTaskChange();   // the count is known: the notices change nothing
    tickCounter = 0;
    for (int i = 0; i < 8; i++) {
        taskChangeFlag = 1;
        Ticks(1);
    }
    EXPECT_EQ(1 + 6, Count("Check for Task Change"));
    EXPECT_EQ(2, Count("RID: Possible System Conflict"));
}

TEST_F(Patrol, PassesAreNeverNested)
{
    inDialog = 1;
    EXPECT_EQ(1, VerifyPass());
    EXPECT_EQ(0, groupToggle);
    inDialog = 0;
    verifyBusy = 1;
    EXPECT_EQ(1, VerifyPass());
    EXPECT_EQ(0, groupToggle);
    verifyBusy = 0;

    now += 5000;
    EXPECT_EQ(1, VerifyPass());
    EXPECT_EQ(1, groupToggle);
    now += 500;   // two passes within a second: the second ends early
    EXPECT_EQ(0, VerifyPass());
    EXPECT_EQ(1, groupToggle);
    EXPECT_EQ(1, Count("Exit Early because we recently did a verify"));
}

TEST_F(Patrol, HideAlertsLastsOnePass)
{
    settings.hideAlerts = 2;
    Ticks(17);
    EXPECT_EQ(0, settings.hideAlerts);
}

namespace {
// Opens the tray menu on this thread while another reads its entries and
// closes it with the keyboard.
std::vector<std::string> TrayMenuEntries(std::vector<UINT> *ids)
{
    std::vector<std::string> entries;
    std::thread reader([&] {
        HWND menu = test::WaitForWindow("#32768", nullptr, 10000);
        if (!menu) return;
        HMENU handle = (HMENU)SendMessageA(menu, 0x01E1 /* MN_GETHMENU */, 0, 0);
        for (int i = 0; handle && i < GetMenuItemCount(handle); i++) {
            char text[128] = "";
            GetMenuStringA(handle, i, text, sizeof text, MF_BYPOSITION);
            entries.push_back(text);
            ids->push_back(GetMenuItemID(handle, i));
        }
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    OnTrayEvent(6036, WM_RBUTTONUP);
    reader.join();
    return entries;
}
}  // namespace

TEST_F(Patrol, TrayMenuFollowsTheSystem)
{
    std::vector<UINT> ids;
    std::vector<std::string> nt = TrayMenuEntries(&ids);
    ASSERT_EQ(14u, nt.size());   // eleven entries and three separators
    EXPECT_EQ("&Options...", nt[0]);
    EXPECT_EQ(6033u, ids[0]);
    EXPECT_EQ("", nt[1]);   // separator
    EXPECT_EQ("Display Ser&vices...", nt[5]);
    EXPECT_EQ(6038u, ids[5]);
    EXPECT_EQ("E&xit Program", nt.back());
    EXPECT_EQ(6030u, ids.back());
    for (UINT id : ids) EXPECT_NE(6034u, id) << "restart commands are a 9x entry";

    PretendPlatform(1, 4);
    ids.clear();
    std::vector<std::string> old = TrayMenuEntries(&ids);
    ASSERT_EQ(14u, old.size());
    bool services = false, restart = false;
    for (UINT id : ids) {
        services |= id == 6038;
        restart |= id == 6034;
    }
    EXPECT_FALSE(services);
    EXPECT_TRUE(restart);
    EXPECT_EQ(0, trayBusy);
}
