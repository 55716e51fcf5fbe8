// The store's first-run and upgrade initialisation.
#include <gtest/gtest.h>

#include <string>

#include "always_run.h"
#include "data_folders.h"
#include "options.h"
#include "program_files.h"
#include "store.h"
#include "store_init.h"
#include "test_support.h"

using namespace test::keys;

namespace {

class StoreInit : public ::testing::Test {
protected:
    void SetUp() override { test::ResetSentrelRegistry(); }
    void TearDown() override { test::ResetSentrelRegistry(); }

    static std::string OwnCommand()
    {
        char folder[PATH_SIZE];
        GetProgramFolder(folder);
        return std::string(folder) + "\\sentrel.exe -expressboot";
    }
    static std::string Snapshot()
    {
        return test::DumpTree(HKEY_CURRENT_USER, "Software\\Orvendale") +
               test::DumpTree(HKEY_LOCAL_MACHINE, "Software\\Orvendale") +
               test::DumpTree(HKEY_LOCAL_MACHINE, kRun);
    }
};
}  // namespace

TEST_F(StoreInit, FirstRunCreatesEveryKeyAndMark)
{
    InitStore();
    std::string text;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, STORE_ROOT, "", &text));
    EXPECT_FALSE(text.empty());
    for (const char *sub : {"Nuts", "Cookies", "Options", "Run", "IEHelpers", "HostFile", "Tasks"})
        EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, std::string(STORE_ROOT "\\") + sub)) << sub;

    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, STORE_DETECTED, "", &text));
    EXPECT_FALSE(text.empty());
    for (const char *sub :
         {"Startup", "IEHelper", "Services", "Tasks", "ActiveTasks", "FileTypes", "Hidden"})
        EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, std::string(STORE_DETECTED "\\") + sub)) << sub;

    EXPECT_EQ("P", test::Value(HKEY_CURRENT_USER, STORE_ROOT "\\Services", ""));
    EXPECT_EQ("P", test::Value(HKEY_CURRENT_USER, STORE_ROOT "\\Hidden", ""));
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, STORE_ROOT "\\Sysfiles", "", &text));
    EXPECT_FALSE(text.empty());
    EXPECT_EQ("12.5.2007.0", test::Value(HKEY_CURRENT_USER, STORE_ROOT, "Version"));

    // The monitor registers itself and approves its own entry.
    EXPECT_EQ(OwnCommand(), test::Value(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, kRunBaseline, OwnCommand()));
    EXPECT_EQ(1, IsAlwaysRun());
}

TEST_F(StoreInit, SecondStartChangesNothing)
{
    InitStore();
    std::string before = Snapshot();
    InitStore();
    EXPECT_EQ(before, Snapshot());

    // ... but the options are loaded again.
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Start", "6");
    InitStore();
    EXPECT_EQ(6, settings.start);
}

TEST_F(StoreInit, AnotherVersionRebuildsTheBaselinesOnce)
{
    InitStore();
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, "C:\\OLD\\GONE.EXE", "11");
    test::WriteString(HKEY_CURRENT_USER, STORE_ROOT, "Version", "11.0.2005.3");
    InitStore();
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRunBaseline, "C:\\OLD\\GONE.EXE"));
    std::string text;
    EXPECT_EQ("12.5.2007.0", test::Value(HKEY_CURRENT_USER, STORE_ROOT, "Version"));
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, kRunBaseline, OwnCommand()));

    // The same version again: the baseline is left alone.
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, "C:\\KEPT.EXE", "11");
    InitStore();
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kRunBaseline, "C:\\KEPT.EXE"));

    // A version text that contains the current one counts as current.
    test::WriteString(HKEY_CURRENT_USER, STORE_ROOT, "Version", "v12.5.2007.0 beta");
    InitStore();
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kRunBaseline, "C:\\KEPT.EXE"));
}

TEST_F(StoreInit, CleanupOptionRebuildsAndResets)
{
    InitStore();
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, "C:\\STALE.EXE", "11");
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Cleanup", "1");
    InitStore();
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRunBaseline, "C:\\STALE.EXE"));
    EXPECT_EQ(0, GetOption("Cleanup", 5));
}

TEST_F(StoreInit, ServiceBaselineWithoutItsMarkIsRebuilt)
{
    InitStore();
    const std::string key = STORE_ROOT "\\Services";
    test::WriteString(HKEY_CURRENT_USER, key, "", "broken");
    test::WriteString(HKEY_CURRENT_USER, key, "Leftover", "700");
    InitStore();
    EXPECT_EQ("P", test::Value(HKEY_CURRENT_USER, key, ""));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, key, "Leftover"));
}

TEST_F(StoreInit, AutomaticUpdatesBaselineIsTakenOnce)
{
    const char auKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
    test::WriteDword(HKEY_LOCAL_MACHINE, auKey, "AUOptions", 4);
    InitStore();
    EXPECT_EQ(4, StoreReadSmallNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions"));
    test::WriteDword(HKEY_LOCAL_MACHINE, auKey, "AUOptions", 2);
    InitStore();
    EXPECT_EQ(4, StoreReadSmallNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions"));
    test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate");
}

TEST_F(StoreInit, ARemovedRunValueStaysRemoved)
{
    InitStore();
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueA(key, "Sentrel");
    RegCloseKey(key);
    InitStore();
    EXPECT_EQ(0, IsAlwaysRun());
    // "Sentrel Zenta" of older versions counts as a registration too, when
    // it starts this monitor.
    test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel Zenta", "C:\\x\\sentrel.exe");
    EXPECT_EQ(0, IsAlwaysRun());
    test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel Zenta", test::BuildFolder() + "\\sentrel.exe");
    EXPECT_EQ(1, IsAlwaysRun());
}
