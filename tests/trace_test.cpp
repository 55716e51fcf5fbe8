// The trace log: off unless "Debug" is set, its keys and values, texts that
// would break the INI structure, the cap of 9001 lines, and the monitor's
// trace file written by the real program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "baselines.h"
#include "data_folders.h"
#include "options.h"
#include "program_files.h"
#include "store.h"
#include "test_support.h"
#include "trace.h"

namespace {
struct TraceLine {
    unsigned long tick;
    unsigned counter;
    std::string value;
};

// The "Trace" section of a trace file, in file order.
std::vector<TraceLine> ReadTrace(const std::string &file)
{
    std::vector<TraceLine> lines;
    std::vector<char> section(4 * 1024 * 1024);
    DWORD n = GetPrivateProfileSectionA("Trace", section.data(), (DWORD)section.size(), file.c_str());
    for (const char *entry = section.data(); entry < section.data() + n && *entry;
         entry += strlen(entry) + 1) {
        TraceLine line = {};
        int used = 0;
        if (sscanf(entry, "%lu.%u=%n", &line.tick, &line.counter, &used) == 2 && used > 0)
            line.value = entry + used;
        else
            line.value = std::string("?") + entry;
        lines.push_back(line);
    }
    return lines;
}

// The value of a timing line without its marks: "text = elapsed".
bool ParseTiming(const std::string &value, std::string *text, unsigned *elapsed, int *marks)
{
    const std::string head = "**:**:** NanoCycles: ";
    if (value.compare(0, head.size(), head) != 0) return false;
    size_t equals = value.rfind(" = ");
    if (equals == std::string::npos) return false;
    *text = value.substr(head.size(), equals - head.size());
    char *end = nullptr;
    *elapsed = strtoul(value.c_str() + equals + 3, &end, 10);
    std::string rest = end;
    *marks = 0;
    size_t tab = rest.find('\t');
    if (tab != std::string::npos)
        for (size_t i = tab + 1; i < rest.size() && rest[i] == '*'; i++) ++*marks;
    return true;
}

class Trace : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = test::FreshFolder("trace");
        file = folder + "\\send2ov.txt";
        SetTraceFile(file.c_str());
    }
    void TearDown() override
    {
        EnableTrace(0);
        SetTraceFile("");
    }
    std::string folder, file;
};
}  // namespace

TEST_F(Trace, NothingIsWrittenUntilTracingIsOn)
{
    EnableTrace(0);
    EXPECT_FALSE(TraceEnabled());
    EXPECT_EQ(0, TraceLog("VERIFY", "Startup Programs"));
    EXPECT_EQ(0, TraceTiming());
    EXPECT_FALSE(test::FileExistsAt(file));
    EXPECT_EQ(1, TraceNote("InitRegStartups", "noted"));
    EXPECT_FALSE(test::FileExistsAt(file));
}

TEST_F(Trace, StepAndTimingLinesHaveTheirFormats)
{
    EnableTrace(1);
    SYSTEMTIME now;
    GetLocalTime(&now);
    ASSERT_EQ(1, TraceLog("VERIFY", "Startup Programs"));
    ASSERT_EQ(1, TraceTiming());
    ASSERT_EQ(1, TraceLog("VERIFY", "IE Helpers"));
    TraceWaitedForUser();   // an alert was open: the user's time does not count
    ASSERT_EQ(1, TraceTiming());
    ASSERT_EQ(1, TraceTiming());   // the flag was used up

    std::vector<TraceLine> lines = ReadTrace(file);
    ASSERT_EQ(5u, lines.size());
    for (unsigned i = 0; i < lines.size(); i++) EXPECT_EQ(i + 1, lines[i].counter);
    EXPECT_LE(lines[0].tick, lines[4].tick);

    int month, day, hour, minute, second, used = 0;
    ASSERT_EQ(5, sscanf(lines[0].value.c_str(), "%2d-%2d  %2d:%2d:%2d %n", &month, &day, &hour,
                        &minute, &second, &used))
        << lines[0].value;
    EXPECT_EQ(now.wMonth, month);
    EXPECT_EQ(16, used) << "two blanks between date and time, one before the context";
    EXPECT_EQ("VERIFY: Startup Programs", lines[0].value.substr(used));
    EXPECT_EQ(' ', lines[0].value[5]);
    EXPECT_EQ(':', lines[0].value[9]);

    std::string text;
    unsigned elapsed;
    int marks;
    ASSERT_TRUE(ParseTiming(lines[1].value, &text, &elapsed, &marks)) << lines[1].value;
    EXPECT_EQ("Startup Programs", text);
    EXPECT_EQ(0, marks);
    ASSERT_TRUE(ParseTiming(lines[3].value, &text, &elapsed, &marks)) << lines[3].value;
    EXPECT_EQ("IE Helpers", text);
    EXPECT_EQ(1u, elapsed);
    ASSERT_TRUE(ParseTiming(lines[4].value, &text, &elapsed, &marks));
    EXPECT_EQ("IE Helpers", text);
    EXPECT_EQ(0, marks);
}

TEST_F(Trace, LongStepsGetOneMarkPerThousand)
{
    EnableTrace(1);
    ASSERT_EQ(1, TraceLog("VERIFY", "Hidden Files"));
    Sleep(2200);
    ASSERT_EQ(1, TraceTiming());
    std::vector<TraceLine> lines = ReadTrace(file);
    ASSERT_EQ(2u, lines.size());
    std::string text;
    unsigned elapsed;
    int marks;
    ASSERT_TRUE(ParseTiming(lines[1].value, &text, &elapsed, &marks)) << lines[1].value;
    EXPECT_GE(elapsed, 1000u);   // half the milliseconds
    EXPECT_EQ((int)(elapsed / 1000 > 16 ? 16 : elapsed / 1000), marks) << lines[1].value;
}

TEST_F(Trace, TextsCannotBreakTheFileStructure)
{
    EnableTrace(1);
    std::string longText(400, 'L');
    ASSERT_EQ(1, TraceLog("CTX\r\n[Other]", "first\r\n[Evil]\r\nkey=1"));
    ASSERT_EQ(1, TraceTiming());
    ASSERT_EQ(1, TraceLog("VERIFY", longText.c_str()));
    ASSERT_EQ(1, TraceTiming());

    char names[256] = "";
    DWORD n = GetPrivateProfileSectionNamesA(names, sizeof names, file.c_str());
    EXPECT_EQ(std::string("Trace"), std::string(names, n > 0 ? n - 1 : 0));
    std::vector<TraceLine> lines = ReadTrace(file);
    ASSERT_EQ(4u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].value.find("CTX  [Other]: first  [Evil]  key=1"))
        << lines[0].value;
    std::string text;
    unsigned elapsed;
    int marks;
    ASSERT_TRUE(ParseTiming(lines[1].value, &text, &elapsed, &marks));
    EXPECT_EQ("first  [Evil]  key=1", text);
    // The last step's text is kept to 255 characters.
    ASSERT_TRUE(ParseTiming(lines[3].value, &text, &elapsed, &marks));
    EXPECT_EQ(std::string(255, 'L'), text);
}

TEST_F(Trace, ATracedRunStopsAfter9001Lines)
{
    EnableTrace(1);
    // The first 8,990 lines go to the null device (a private-profile file
    // is rewritten whole at every key, so 9,001 real keys take a minute);
    // the last ones, and what would come after them, to the real file.
    SetTraceFile("NUL");
    int written = 0;
    for (int i = 0; i < 4495; i++) {
        written += TraceLog("VERIFY", "Cookies");
        written += TraceTiming();
    }
    ASSERT_EQ(8990, written);
    SetTraceFile(file.c_str());
    for (int i = 0; i < 10; i++) {
        written += TraceLog("VERIFY", "Cookies");
        written += TraceTiming();
    }
    EXPECT_EQ(9001, written);
    EXPECT_FALSE(TraceEnabled());
    std::vector<TraceLine> lines = ReadTrace(file);
    ASSERT_EQ(11u, lines.size());
    EXPECT_EQ(8991u, lines.front().counter);
    EXPECT_EQ(9001u, lines.back().counter);

    WIN32_FILE_ATTRIBUTE_DATA before, after;
    ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &before));
    EXPECT_EQ(0, TraceLog("VERIFY", "one more"));
    EXPECT_EQ(0, TraceTiming());
    ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(before.nFileSizeLow, after.nFileSizeLow);
}

TEST(TraceFile, EachProgramHasItsOwnFile)
{
    char folder[PATH_SIZE];
    ASSERT_GT(GetProgramFolder(folder), 0);
    std::string explorer = std::string(folder) + "\\sendex2ov.txt";
    std::string monitor = std::string(folder) + "\\send2ov.txt";
    DeleteFileA(explorer.c_str());
    DeleteFileA(monitor.c_str());

    ASSERT_EQ(1, SetProgramTraceFile(PROGRAM_EXPLORER));
    EnableTrace(1);
    EXPECT_EQ(1, TraceLog("START", "Explorer"));
    EXPECT_TRUE(test::FileExistsAt(explorer));
    EXPECT_FALSE(test::FileExistsAt(monitor));
    ASSERT_EQ(1, SetProgramTraceFile(PROGRAM_MONITOR));
    EXPECT_EQ(1, TraceLog("START", "Monitor"));
    EXPECT_TRUE(test::FileExistsAt(monitor));
    EnableTrace(0);
    SetTraceFile("");
    DeleteFileA(explorer.c_str());
    DeleteFileA(monitor.c_str());
}

TEST(TraceFile, MonitorTracesWhenDebugIsSet)
{
    const DWORD kWait = 15000;
    ASSERT_TRUE(test::WaitForNoMonitor(kWait));
    test::ResetSentrelRegistry();
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Debug", "1"));
    std::string folder = test::FreshFolder("trace_monitor");
    ASSERT_TRUE(test::InstallMonitor(folder, true));
    std::string file = folder + "\\send2ov.txt";

    test::Program monitor = test::Start(folder, "Sentrel.exe", "");
    ASSERT_NE(nullptr, monitor.process);
    std::vector<TraceLine> lines;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < kWait) {
        lines = ReadTrace(file);
        if (lines.size() >= 2) break;
        Sleep(50);
    }
    test::Program quit = test::Start(folder, "Sentrel.exe", "-Q");
    EXPECT_TRUE(test::WaitForExit(quit, kWait));
    EXPECT_TRUE(test::WaitForExit(monitor, kWait));
    test::Stop(quit);
    test::Stop(monitor);
    test::ResetSentrelRegistry();

    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(1u, lines[0].counter);
    EXPECT_NE(std::string::npos, lines[0].value.find(" START: From Initialize to Post"))
        << lines[0].value;
    std::string text;
    unsigned elapsed;
    int marks;
    ASSERT_TRUE(ParseTiming(lines[1].value, &text, &elapsed, &marks)) << lines[1].value;
    EXPECT_EQ("From Initialize to Post", text);
}
