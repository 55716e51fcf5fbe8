// The history log: the exact bytes of each line, the "History" option,
// texts that would break the line structure, reading a file back into codes,
// two programs appending at once, and files that cannot be written.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "history.h"
#include "options.h"
#include "store.h"
#include "test_support.h"

namespace {
std::string HistoryPath()
{
    char path[HISTORY_PATH_SIZE];
    GetHistoryPath(path);
    return path;
}

void RemoveFile(const std::string &path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

// The lines of a text, each without its CR LF.
std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> SplitFields(const std::string &line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos
                                                                      : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

int Collect(const HistoryEntry *entry, void *context)
{
    static_cast<std::vector<HistoryEntry> *>(context)->push_back(*entry);
    return 1;
}

std::vector<HistoryEntry> ReadBack(const std::string &path, int maxEntries = 0)
{
    std::vector<HistoryEntry> entries;
    ReadHistoryFile(path.c_str(), maxEntries, Collect, &entries);
    return entries;
}

std::string TimeText(const SYSTEMTIME &time)
{
    char text[HISTORY_TIME_SIZE];
    FormatHistoryTime(&time, text);
    return text;
}

class History : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        path = HistoryPath();
        RemoveFile(path);
    }
    void TearDown() override
    {
        RemoveFile(path);
        test::ResetSentrelRegistry();
    }
    std::string Contents()
    {
        std::string text;
        test::ReadFile(path, &text);
        return text;
    }
    std::string path;
};
}  // namespace

TEST(HistoryTime, TwelveHourClockWithTwoBlanks)
{
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 7;
    time.wHour = 14;
    time.wMinute = 5;
    EXPECT_EQ("12/07/2026  2:05 PM", TimeText(time));
    time.wHour = 0;
    time.wMinute = 30;
    EXPECT_EQ("12/07/2026  12:30 AM", TimeText(time));
    time.wHour = 12;
    time.wMinute = 0;
    EXPECT_EQ("12/07/2026  12:00 PM", TimeText(time));
    time.wHour = 23;
    time.wMinute = 59;
    EXPECT_EQ("12/07/2026  11:59 PM", TimeText(time));
    time.wMonth = 1;
    time.wDay = 2;
    time.wHour = 11;
    EXPECT_EQ("01/02/2026  11:59 AM", TimeText(time));
    SYSTEMTIME never = {};
    EXPECT_EQ("Never", TimeText(never));
}

TEST_F(History, LinesAreAppendedByteForByte)
{
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(1, WriteHistory("Updater", "C:\\Program Files\\Up\\up.exe -min", "", 11, 6));
    ASSERT_EQ(1, WriteHistory("Toolbar", "C:\\x\\bar.dll", "{1234-5678}", 901, 3));
    // Codes outside the tables still give readable names.
    ASSERT_EQ(1, WriteHistory("Odd", "odd.exe", "d", 4242, 16));
    GetLocalTime(&after);

    std::vector<std::string> lines = SplitLines(Contents());
    ASSERT_EQ(3u, lines.size());
    const std::string rest[] = {"\tSTART_Alert\tCURRENT_RUN\tUpdater\tC:\\Program Files\\Up\\up.exe -min\t",
                                "\tIEHELPER_Remove\tTYPE_TOOLBAR\tToolbar\tC:\\x\\bar.dll\t{1234-5678}",
                                "\tLOG_UNKNOWN\tTYPE_UNKNOWN\tOdd\todd.exe\td"};
    for (int i = 0; i < 3; i++) {
        // The minute may turn between two writes.
        std::string early = TimeText(before) + rest[i], late = TimeText(after) + rest[i];
        EXPECT_TRUE(lines[i] == early || lines[i] == late) << lines[i];
    }
    std::string text = Contents();
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
}

TEST_F(History, OptionHistoryIsReadAtEachWrite)
{
    // Missing: the default is to write.
    EXPECT_EQ(1, WriteHistory("A", "a.exe", "", 1, 6));
    ASSERT_TRUE(SetOption("History", 0));
    EXPECT_EQ(0, WriteHistory("B", "b.exe", "", 1, 6));
    ASSERT_TRUE(SetOption("History", -3));
    EXPECT_EQ(0, WriteHistory("C", "c.exe", "", 1, 6));
    ASSERT_TRUE(SetOption("History", 1));
    EXPECT_EQ(1, WriteHistory("D", "d.exe", "", 1, 6));
    std::vector<HistoryEntry> entries = ReadBack(path);
    ASSERT_EQ(2u, entries.size());
    EXPECT_STREQ("A", entries[0].title);
    EXPECT_STREQ("D", entries[1].title);

    RemoveFile(path);
    ASSERT_TRUE(SetOption("History", 0));
    EXPECT_EQ(0, WriteHistory("E", "e.exe", "", 1, 6));
    EXPECT_FALSE(test::FileExistsAt(path)) << "History = 0 must not even create the file";
}

TEST_F(History, ControlCharactersCannotForgeLines)
{
    // A program names its Run value so that it reads like a second,
    // reversible event.
    const char forged[] = "X\n12/07/2026  2:05 PM\t*START_Remove\tCURRENT_RUN\tUpd\tC:\\evil.exe";
    ASSERT_EQ(1, WriteHistory(forged, "C:\\a\tb.exe\r\n", "one\rtwo", 11, 6));
    std::vector<std::string> lines = SplitLines(Contents());
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(6u, SplitFields(lines[0]).size());

    std::vector<HistoryEntry> entries = ReadBack(path);
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(6, entries[0].action);
    EXPECT_EQ(11, entries[0].type);
    EXPECT_STREQ("X 12/07/2026  2:05 PM *START_Remove CURRENT_RUN Upd C:\\evil.exe",
                 entries[0].title);
    EXPECT_STREQ("C:\\a b.exe  ", entries[0].command);
    EXPECT_STREQ("one two", entries[0].detail);
}

TEST_F(History, OverlongTextsAreShortenedAndTheLineStillEnds)
{
    std::string title(2000, 't'), command(2000, 'c'), detail(2000, 'd');
    ASSERT_EQ(1, WriteHistory(title.c_str(), command.c_str(), detail.c_str(), 200, 1));
    ASSERT_EQ(1, WriteHistory("After", "after.exe", "", 200, 2));
    std::vector<std::string> lines = SplitLines(Contents());
    ASSERT_EQ(2u, lines.size());
    EXPECT_LE(lines[0].size() + 2, HISTORY_LINE_SIZE - 1u);
    std::vector<std::string> fields = SplitFields(lines[0]);
    ASSERT_EQ(6u, fields.size());
    EXPECT_EQ("START_Disable", fields[1]);
    EXPECT_EQ("GROUP_STARTUP", fields[2]);
    EXPECT_EQ(std::string(fields[3].size(), 't'), fields[3]);

    // Read back, the first line's texts are too long for their fields and
    // read as empty; the next line is untouched.
    std::vector<HistoryEntry> entries = ReadBack(path);
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(1, entries[0].action);
    EXPECT_STREQ("", entries[0].title);
    EXPECT_STREQ("", entries[0].command);
    EXPECT_EQ(2, entries[1].action);
    EXPECT_STREQ("After", entries[1].title);
    EXPECT_STREQ("after.exe", entries[1].command);
}

TEST_F(History, ReadingTurnsNamesBackIntoCodes)
{
    // The fields as long as they may be, and one byte longer.
    std::string title127(HISTORY_TITLE_SIZE - 1, 'T'), title128(HISTORY_TITLE_SIZE, 'T'),
        path259(HISTORY_PATH_SIZE - 1, 'p'), path260(HISTORY_PATH_SIZE, 'p');
    std::string text =
        std::string("12/07/2026  2:05 PM\t*START_Remove\tCURRENT_RUN\tUpd\tC:\\up.exe\t\r\n"   // CR LF
        "12/07/2026  2:06 PM\tstart_disable\tmachine_run\tLower\tl.exe\tdet\n"     // LF, any case
        "\r\n"                                                                       // empty: skipped
        "12/07/2026  2:07 PM\tSTART_Explode\tNO_SUCH_TYPE\tOdd\todd.exe\t\r\n"      // unknown names
        "12/07/2026  2:08 PM\tTASK_Kill\r\n"                                        // two fields
        "12/07/2026  2:09 PM\tHIDDEN_Alert\tTYPE_HIDDEN\tMany\tm.exe\td\textra\tmore\r\n") +
        "x\t*HIDDEN_DeleteFile\tTYPE_HIDDEN\t" + title127 + "\t" + path259 + "\t" + path260 + "\r\n" +
        "y\tSTART_Alert\tINFO_TASK\t" + title128 + "\tnul\x01" + std::string(1, '\0') + "s\t\r\n" +
        std::string(40, 'z') + "\tSERVICE_Stop\tSERVICE_EXE\tLast\tsvc.exe\t";   // no LF at the end
    ASSERT_TRUE(test::WriteFile(path, text));

    std::vector<HistoryEntry> entries = ReadBack(path);
    ASSERT_EQ(8u, entries.size());
    EXPECT_STREQ("12/07/2026  2:05 PM", entries[0].time);
    EXPECT_EQ(0, entries[0].action);
    EXPECT_EQ(11, entries[0].type);
    EXPECT_STREQ("C:\\up.exe", entries[0].command);
    EXPECT_STREQ("", entries[0].detail);
    EXPECT_TRUE(HistoryActionIsReversible(entries[0].action));

    EXPECT_EQ(1, entries[1].action);
    EXPECT_EQ(1, entries[1].type);
    EXPECT_STREQ("det", entries[1].detail);

    // An unknown action must not read as the reversible removal (code 0).
    EXPECT_EQ(31, entries[2].action);
    EXPECT_EQ(3000, entries[2].type);
    EXPECT_FALSE(HistoryActionIsReversible(entries[2].action));

    EXPECT_EQ(5, entries[3].action);
    EXPECT_EQ(3000, entries[3].type);
    EXPECT_STREQ("", entries[3].title);

    EXPECT_EQ(28, entries[4].action);
    EXPECT_STREQ("Many", entries[4].title);
    EXPECT_STREQ("d", entries[4].detail);

    EXPECT_EQ(29, entries[5].action);
    EXPECT_EQ(title127, entries[5].title);
    EXPECT_EQ(path259, entries[5].command);
    EXPECT_STREQ("", entries[5].detail);

    EXPECT_STREQ("", entries[6].title);
    EXPECT_STREQ("nul  s", entries[6].command);
    EXPECT_EQ(600, entries[6].type);

    EXPECT_STREQ("", entries[7].time);   // 40 characters do not fit the time field
    EXPECT_EQ(9, entries[7].action);
    EXPECT_STREQ("svc.exe", entries[7].command);

    EXPECT_EQ(0u, ReadBack("C:\\sentrel-tests\\no-such-history.txt").size());
}

TEST_F(History, ALongFileShowsItsNewestLines)
{
    std::string text;
    for (int i = 0; i < 5000; i++)
        text += "t\tSTART_Alert\tCURRENT_RUN\tline " + std::to_string(i) + "\tc.exe\t\r\n";
    ASSERT_TRUE(test::WriteFile(path, text));
    std::vector<HistoryEntry> entries = ReadBack(path, 4096);
    ASSERT_EQ(4096u, entries.size());
    EXPECT_STREQ("line 904", entries.front().title);
    EXPECT_STREQ("line 4999", entries.back().title);
    EXPECT_EQ(5000u, ReadBack(path).size());

    // The visitor can stop the reading.
    int seen = 0;
    EXPECT_EQ(3, ReadHistoryFile(path.c_str(), 0,
                                 [](const HistoryEntry *, void *context) {
                                     return ++*static_cast<int *>(context) < 3 ? 1 : 0;
                                 },
                                 &seen));
}

TEST_F(History, TwoProgramsAppendingAtOnceLoseNothing)
{
    // history.txt lives beside the program that writes it: two writers run
    // from one folder.
    std::string folder = test::FreshFolder("history_two_writers");
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\history_writer.exe").c_str(),
                          (folder + "\\history_writer.exe").c_str(), FALSE));
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "SentrelHistoryWritersGo");
    ASSERT_NE(nullptr, go);
    test::Program first = test::Start(folder, "history_writer.exe", "200 first SentrelHistoryWritersGo");
    test::Program second = test::Start(folder, "history_writer.exe", "200 second SentrelHistoryWritersGo");
    ASSERT_NE(nullptr, first.process);
    ASSERT_NE(nullptr, second.process);
    Sleep(500);   // both wait for the event by now, or start late: the outcome is the same
    SetEvent(go);
    DWORD firstFailed = 99, secondFailed = 99;
    EXPECT_TRUE(test::WaitForExit(first, 120000, &firstFailed));
    EXPECT_TRUE(test::WaitForExit(second, 120000, &secondFailed));
    test::Stop(first);
    test::Stop(second);
    CloseHandle(go);
    EXPECT_EQ(0u, firstFailed);
    EXPECT_EQ(0u, secondFailed);

    std::string text;
    ASSERT_TRUE(test::ReadFile(folder + "\\history.txt", &text));
    std::vector<std::string> lines = SplitLines(text);
    ASSERT_EQ(400u, lines.size());
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    std::map<std::string, int> seen;
    for (size_t i = 0; i < 400; i++) {
        std::vector<std::string> fields = SplitFields(lines[i]);
        ASSERT_EQ(6u, fields.size()) << "torn line " << i << ": " << lines[i];
        EXPECT_EQ("START_Alert", fields[1]);
        EXPECT_EQ("detail", fields[5]);
        seen[fields[3]]++;
    }
    for (const char *tag : {"first", "second"})
        for (int n = 0; n < 200; n++)
            EXPECT_EQ(1, seen[std::string(tag) + " " + std::to_string(n)]) << tag << " " << n;
}

TEST_F(History, LinesThatCannotBeWrittenYetAreKeptAndWrittenInOrder)
{
    ASSERT_TRUE(test::WriteFile(path, "kept\r\n"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, WriteHistory("A", "a.exe", "", 1, 6));
    EXPECT_EQ("kept\r\n", Contents());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Held open by another writer for good: given up after the retries.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, WriteHistory("B", "b.exe", "", 1, 6));
    CloseHandle(held);
    EXPECT_EQ("kept\r\n", Contents());

    // Held only for a moment, as by the other program's append: the line
    // lands, behind the two that waited.
    held = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    HANDLE releaser = CreateThread(
        nullptr, 0,
        [](void *handle) -> DWORD {
            Sleep(150);
            CloseHandle(static_cast<HANDLE>(handle));
            return 0;
        },
        held, 0, nullptr);
    ASSERT_NE(nullptr, releaser);
    EXPECT_EQ(1, WriteHistory("C", "c.exe", "", 1, 6));
    WaitForSingleObject(releaser, INFINITE);
    CloseHandle(releaser);
    std::vector<HistoryEntry> entries = ReadBack(path);
    ASSERT_EQ(4u, entries.size());
    EXPECT_STREQ("A", entries[1].title);
    EXPECT_STREQ("B", entries[2].title);
    EXPECT_STREQ("C", entries[3].title);
    EXPECT_EQ(1, WriteHistory("D", "d.exe", "", 1, 6));
    EXPECT_EQ(5u, ReadBack(path).size());
}

// Lines still waiting when the program ends are kept in a file beside
// history.txt, and the next line written (by either program) brings them
// in first.
TEST_F(History, LinesWaitingAtTheEndAreKeptForTheNextWrite)
{
    const std::string kept = test::BuildFolder() + "\\history-pending.txt";
    DeleteFileA(kept.c_str());
    ASSERT_TRUE(test::WriteFile(path, "old\r\n"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0, WriteHistory("Waiting", "w.exe", "", 1, 6));
    EXPECT_EQ(1, FlushHistory()) << "kept beside, not lost";
    EXPECT_TRUE(test::FileExistsAt(kept));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(1, WriteHistory("Next", "n.exe", "", 1, 6));
    std::vector<HistoryEntry> entries = ReadBack(path);
    ASSERT_EQ(3u, entries.size());
    EXPECT_STREQ("Waiting", entries[1].title);
    EXPECT_STREQ("Next", entries[2].title);
    EXPECT_FALSE(test::FileExistsAt(kept));
    EXPECT_EQ(1, FlushHistory()) << "nothing waits";
}

TEST_F(History, AFileWithoutItsLastLineEndGetsOneFirst)
{
    ASSERT_TRUE(test::WriteFile(path, "t\tSTART_Alert\tCURRENT_RUN\tedited\tc.exe\t"));
    ASSERT_EQ(1, WriteHistory("Next", "n.exe", "", 11, 6));
    std::vector<std::string> lines = SplitLines(Contents());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(6u, SplitFields(lines[0]).size());
    EXPECT_EQ("Next", SplitFields(lines[1])[3]);
}
