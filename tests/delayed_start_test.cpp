// The delayed start launcher: real Delay keys in the test prefix and a real
// sample program that notes how it was started (ran.txt beside it).
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <string>

#include "checks.h"
#include "delayed_start.h"
#include "items.h"
#include "monitor.h"
#include "store.h"
#include "test_support.h"

using namespace test::keys;

namespace {
const DWORD kWait = 20000;

class DelayedStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        folder = test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        sample = folder + "\\alert_sample.exe";
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_sample.exe").c_str(), sample.c_str(), FALSE));
        delayHandled = 0;
    }
    void TearDown() override
    {
        if (running.process) test::Stop(running);
        FreeItems();
        test::ResetSentrelRegistry();
    }
    void Delay(HKEY root, const std::string &command, const std::string &seconds,
               const std::string &parameters = "")
    {
        test::WriteString(root, kDelay, command, root == HKEY_CURRENT_USER ? "11" : "1");
        test::WriteString(root, std::string(kDelay) + "\\Time", command, seconds);
        if (!parameters.empty())
            test::WriteString(root, std::string(kDelay) + "\\Parameters", command, parameters);
    }
    // Waits for the sample's note of its start.
    std::string WaitForRun()
    {
        std::string text;
        DWORD start = GetTickCount();
        while (!test::ReadFile(folder + "\\ran.txt", &text) || text.find('\n') == std::string::npos) {
            if (GetTickCount() - start > kWait) return "";
            Sleep(50);
        }
        return text;
    }
    // Processes that run the sample of this test.
    int SamplesRunning()
    {
        DWORD ids[1024], bytes = 0;
        if (!EnumProcesses(ids, sizeof ids, &bytes)) return -1;
        int n = 0;
        for (DWORD i = 0; i < bytes / sizeof(DWORD); i++) {
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
            if (!process) continue;
            char name[PATH_SIZE] = "";
            GetModuleFileNameExA(process, nullptr, name, sizeof name);
            CloseHandle(process);
            if (_stricmp(name, sample.c_str()) == 0) n++;
        }
        return n;
    }
    std::string folder, sample;
    test::Program running;
};
}  // namespace

TEST_F(DelayedStart, StartsAProgramWhenItsDelayHasCome)
{
    Delay(HKEY_CURRENT_USER, sample, "30", " -from-delay");
    LaunchDelayed(10);
    LaunchDelayed(20);
    EXPECT_EQ(0, delayHandled);
    EXPECT_FALSE(test::FileExistsAt(folder + "\\ran.txt"));
    LaunchDelayed(30);
    EXPECT_EQ(1, delayHandled);
    std::string ran = WaitForRun();
    EXPECT_NE(std::string::npos, ran.find("-from-delay")) << ran;
    EXPECT_NE(std::string::npos, ran.find("show=1 ")) << "shown normally: " << ran;
}

TEST_F(DelayedStart, MachineAndUserEntriesBothCount)
{
    Delay(HKEY_LOCAL_MACHINE, sample, "20", " -machine");
    Delay(HKEY_CURRENT_USER, "C:\\nowhere\\missing.exe", "20");
    LaunchDelayed(20);
    EXPECT_EQ(2, delayHandled) << "a start that fails is still handled";
    EXPECT_NE(std::string::npos, WaitForRun().find("-machine"));
}

TEST_F(DelayedStart, DelaysThatAreNoMultipleOfTenNeverMatch)
{
    Delay(HKEY_CURRENT_USER, sample, "25");
    for (int seconds = 10; seconds <= 60; seconds += 10) LaunchDelayed(seconds);
    EXPECT_EQ(0, delayHandled);
}

TEST_F(DelayedStart, AProgramThatRunsAlreadyIsNotStartedTwice)
{
    running = test::Start(folder, "alert_sample.exe", "-stay");
    ASSERT_NE(nullptr, running.process);
    // A process just created is not listed with its file until it has loaded.
    ASSERT_TRUE(test::WaitUntil([&] { return SamplesRunning() == 1; }, 10000));
    Delay(HKEY_CURRENT_USER, sample, "10", " -second");
    LaunchDelayed(10);
    EXPECT_EQ(1, delayHandled) << "counted as handled";
    EXPECT_EQ(1, SamplesRunning()) << "started a second time";
}

TEST_F(DelayedStart, LeavesTheItemListAlone)
{
    // A check may be walking the list while its alert is open.
    FreeItems();
    AddItem("first", "C:\\a.exe", "", "", 11, 0);
    AddItem("second", "C:\\b.exe", "", "", 11, 0);
    Delay(HKEY_CURRENT_USER, sample, "10", " -list");
    LaunchDelayed(10);
    ASSERT_EQ(2, ItemCount());
    EXPECT_STREQ("first", GetItemTitle(0));
    EXPECT_STREQ("C:\\b.exe", GetItemPath(1));
    WaitForRun();
}

TEST_F(DelayedStart, AppletEntryRunsTheHostWithCommandAndParametersJoined)
{
    std::string command = "C:\\x\\y.dll";
    Delay(HKEY_CURRENT_USER, command, "10", ",Start");
    test::WriteString(HKEY_CURRENT_USER, std::string(kDelay) + "\\Applet", command, sample);
    LaunchDelayed(10);
    std::string ran = WaitForRun();
    // The program file is taken in its long form, which may change its case.
    CharUpperA(&ran[0]);
    EXPECT_NE(std::string::npos, ran.find("ARGS=C:\\X\\Y.DLL,START")) << ran;
}

TEST_F(DelayedStart, OpenAsChoosesTheWindowState)
{
    Delay(HKEY_CURRENT_USER, sample, "10", " -max");
    test::WriteString(HKEY_CURRENT_USER, std::string(kDelay) + "\\OpenAs", sample, "2");
    LaunchDelayed(10);
    EXPECT_NE(std::string::npos, WaitForRun().find("show=3 ")) << "maximized";

    DeleteFileA((folder + "\\ran.txt").c_str());
    test::WriteString(HKEY_CURRENT_USER, std::string(kDelay) + "\\OpenAs", sample, "7");
    LaunchDelayed(10);
    EXPECT_NE(std::string::npos, WaitForRun().find("show=1 ")) << "any other value is normal";
}

TEST_F(DelayedStart, RemoveDelayEntryKeepsTheWindowState)
{
    const char *const keys[] = {"", "\\Time", "\\Parameters", "\\Shortcuts", "\\Applet", "\\Title",
                                "\\OpenAs"};
    for (const char *key : keys)
        test::WriteString(HKEY_LOCAL_MACHINE, std::string(kDelay) + key, sample, "1");
    test::WriteString(HKEY_CURRENT_USER, std::string(kDelay) + "\\Time", sample, "10");
    RemoveDelayEntry(HKEY_LOCAL_MACHINE, sample.c_str());
    for (const char *key : keys)
        EXPECT_EQ(std::string(key) == "\\OpenAs",
                  test::ValueExists(HKEY_LOCAL_MACHINE, std::string(kDelay) + key, sample))
            << key;
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, std::string(kDelay) + "\\Time", sample))
        << "the other root stays";
}
