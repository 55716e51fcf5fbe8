// Running programs: the list, the look-up by path or bare name, and
// stopping one, on real child processes.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "items.h"
#include "platform.h"
#include "processes.h"
#include "test_support.h"

namespace {
const char kSleeper[] = u8"спящий 更新.exe";

class Processes : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A program whose folder and name no ANSI code page holds.
        folder = test::FreshFolder(u8"процессы Ω");
        program = folder + "\\" + kSleeper;
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\desktop_keeper.exe").c_str(), program.c_str(), FALSE));
        test::ClearHistory();
    }
    void TearDown() override
    {
        for (test::Program *p : {&first, &second}) test::Stop(*p);
        PretendPlatform(0, 0);
        FreeItems();
    }
    std::string folder, program;
    test::Program first, second;
};
}  // namespace

TEST_F(Processes, TwoProcessesOfOneProgramAreOneItem)
{
    first = test::Start(folder, kSleeper, "");
    second = test::Start(folder, kSleeper, "");
    ASSERT_TRUE(test::WaitUntilReady(first));
    ASSERT_TRUE(test::WaitUntilReady(second));
    int count = CountProcesses();
    EXPECT_GT(count, 1);
    int found = 0;
    for (int i = 0; i < ItemCount(); i++) {
        if (_stricmp(GetItemPath(i), program.c_str()) == 0) {
            found++;
            EXPECT_EQ(600, GetItemType(i));
            EXPECT_TRUE(GetItemQualifier(i) == (int)first.id || GetItemQualifier(i) == (int)second.id);
        }
    }
    EXPECT_EQ(1, found);
}

TEST_F(Processes, FoundByFullPathAndByBareName)
{
    EXPECT_EQ(0, IsProgramRunning(program.c_str()));
    first = test::Start(folder, kSleeper, "");
    ASSERT_TRUE(test::WaitUntilReady(first));
    EXPECT_EQ(1, IsProgramRunning(program.c_str()));
    EXPECT_EQ(1, IsProgramRunning(("\"" + program + "\" -arg").c_str()));
    EXPECT_EQ(1, IsProgramRunning(u8"СПЯЩИЙ 更新.EXE")) << "case is ignored in every script";
    EXPECT_EQ(0, IsProgramRunning(u8"спящий 更新"));
    EXPECT_EQ(0, IsProgramRunning(""));
    // The walk of Windows 9x finds it too.
    PretendPlatform(1, 4);
    EXPECT_EQ(1, IsProgramRunning(kSleeper));
}

TEST_F(Processes, StopEndsTheProcessAndLogsIt)
{
    first = test::Start(folder, kSleeper, "");
    ASSERT_TRUE(test::WaitUntilReady(first));
    EXPECT_EQ(first.id, StopProgram(program.c_str(), "Sleeper", 0));
    DWORD code = 0;
    ASSERT_TRUE(test::WaitForExit(first, 5000, &code));
    EXPECT_NE(259u, code) << "a stopped program must not look still active";
    EXPECT_NE(std::string::npos, test::HistoryText().find("\tTASK_Kill\tINFO_TASK\tSleeper\t" + program + "\t\r\n"))
        << test::HistoryText();
    EXPECT_EQ(0u, StopProgram(program.c_str(), "Sleeper", 0));

    // A bare file name finds the program in any folder.
    second = test::Start(folder, kSleeper, "");
    ASSERT_TRUE(test::WaitUntilReady(second));
    EXPECT_EQ(second.id, StopProgram(kSleeper, "Sleeper", 0));
    EXPECT_TRUE(test::WaitForExit(second, 5000));
}

TEST_F(Processes, NoAtTheQuestionLeavesItRunning)
{
    first = test::Start(folder, kSleeper, "");
    ASSERT_TRUE(test::WaitUntilReady(first));
    std::string text;
    std::thread presser([&text] {
        HWND box = test::WaitForWindow("#32770", "Sentrel", 10000);
        if (!box) return;
        text = test::DialogText(box);
        test::PressButton(box, IDNO);
    });
    EXPECT_EQ(first.id, StopProgram(program.c_str(), "Sleeper %s", 1));
    presser.join();
    EXPECT_NE(std::string::npos, text.find("Sleeper %s is currently an actively running program.")) << text;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(first.process, 200));
    EXPECT_EQ("", test::HistoryText());
}
