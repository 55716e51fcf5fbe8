// The real SentrelEx.exe on its Active Tasks and Hidden Files pages: the
// rows they show for real programs and files of the prefix, Kill Task on
// the selected program, and Unhide and Delete on the selected file.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "remote_list.h"
#include "test_support.h"
#include "text.h"

namespace {

const DWORD kWait = 15000;
const char kSheetCaption[] = "Sentrel Zenta";
enum { kModule, kDescription, kCompany, kFirstSeen };
enum { kFile, kFolder, kHiddenFirstSeen, kWritten, kType };

struct Search {
    DWORD process;
    HWND exclude;
    const char *caption;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    Search *search = (Search *)param;
    char cls[64] = "", caption[128] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (window != search->exclude && owner == search->process && IsWindowVisible(window) &&
        std::string(cls) == "#32770" && std::string(caption) == search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

bool Running(const test::Program &program)
{
    return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

class ExplorerPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer of another test still runs";
        test::ResetSentrelRegistry();
        folder = test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                              FALSE));
    }
    void TearDown() override
    {
        remote.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !test::WaitForExit(program, kWait)) ADD_FAILURE() << "the explorer did not end";
        test::Stop(program);
        test::ResetSentrelRegistry();
    }
    void StartExplorer(const char *page_switch)
    {
        program = test::Start(folder, "SentrelEx.exe", page_switch);
        ASSERT_NE(nullptr, program.process);
        sheet = test::WaitForWindow("#32770", kSheetCaption, kWait);
        ASSERT_NE(nullptr, sheet) << "the property sheet did not open";
        page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        ASSERT_NE(nullptr, page);
        Settle();
        remote.reset(new test::RemoteList(program.process, GetDlgItem(page, 1000)));
    }
    void Settle()
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(page, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &ignored);
    }
    void Press(int id)
    {
        PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
    }
    void Command(int id) { PostMessageA(page, WM_COMMAND, id, 0); }
    HWND WaitForBox(const char *caption)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kWait; Sleep(20)) {
            Search search = {program.id, sheet, caption, nullptr};
            EnumWindows(FindBox, (LPARAM)&search);
            if (search.found) return search.found;
        }
        return nullptr;
    }
    // Rows whose column holds the text.
    std::vector<int> RowsWith(int columns, int column, const std::string &text)
    {
        std::vector<int> found;
        auto rows = remote->Rows(columns);
        for (size_t i = 0; i < rows.size(); i++)
            if (_stricmp(rows[i][column].c_str(), text.c_str()) == 0) found.push_back((int)i);
        return found;
    }
    void SelectRow(int row)
    {
        // Only this row: the list's state set from here, as a click would.
        remote->SelectNone();
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        void *memory = VirtualAllocEx(program.process, nullptr, sizeof item, MEM_COMMIT, PAGE_READWRITE);
        WriteProcessMemory(program.process, memory, &item, sizeof item, nullptr);
        SendMessageA(GetDlgItem(page, 1000), LVM_SETITEMSTATE, row, (LPARAM)memory);
        VirtualFreeEx(program.process, memory, 0, MEM_RELEASE);
        Settle();
    }
    std::string History()
    {
        std::string text;
        test::ReadFile(folder + "\\history.txt", &text);
        return text;
    }

    std::string folder;
    test::Program program;
    HWND sheet = nullptr, page = nullptr;
    std::unique_ptr<test::RemoteList> remote;
};

}  // namespace

// Two programs of one file name from two folders are two rows; Kill on the
// second stops that one and leaves the first running.
TEST_F(ExplorerPage, KillTaskStopsTheSelectedRowsOwnProgramNotAnotherOfTheSameName)
{
    std::string first = test::FreshFolder("twin-one"), second = test::FreshFolder("twin-two");
    std::string build = test::BuildFolder();
    ASSERT_TRUE(CopyFileA((build + "\\alert_sample.exe").c_str(), (first + "\\twin.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((build + "\\alert_huge.exe").c_str(), (second + "\\twin.exe").c_str(), FALSE));
    test::Program one = test::Start(first, "twin.exe", "-stay");
    test::Program two = test::Start(second, "twin.exe", "-stay");
    ASSERT_TRUE(Running(one));
    ASSERT_TRUE(Running(two));

    StartExplorer("-TASK");
    ASSERT_TRUE(test::WaitUntil([&] { return RowsWith(4, kModule, "twin.exe").size() == 2; }, kWait));
    auto rows = remote->Rows(4);
    int secondRow = -1;
    for (int row : RowsWith(4, kModule, "twin.exe")) {
        EXPECT_FALSE(rows[row][kFirstSeen].empty()) << "first-seen date shown";
        if (rows[row][kDescription] == std::string(127, 'D')) secondRow = row;
    }
    ASSERT_GE(secondRow, 0) << "the second program's own description";
    for (const auto &row : rows) EXPECT_FALSE(row[kModule].empty());

    SelectRow(secondRow);
    Press(1007);
    EXPECT_TRUE(test::WaitForExit(two, kWait)) << "the selected program was stopped";
    Settle();
    EXPECT_TRUE(Running(one)) << "the other program of the same name runs on";
    EXPECT_TRUE(test::WaitUntil([&] { return RowsWith(4, kModule, "twin.exe").size() == 1; }, kWait));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("TASK_Kill")) << history;
    EXPECT_NE(std::string::npos, history.find("TWIN-TWO\\TWIN.EXE")) << history;
    EXPECT_EQ(std::string::npos, history.find("TWIN-ONE")) << history;
    std::string date;
    EXPECT_TRUE(test::ReadString(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\ActiveTasks",
                                 "C:\\SENTREL-TESTS\\TWIN-ONE\\TWIN.EXE", &date))
        << "recorded when first shown";

    // Without a selection the page says so.
    remote->SelectNone();
    Settle();
    Press(1007);
    HWND box = WaitForBox("Sentrel Help");
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, kWait);
    test::Stop(one);
    test::Stop(two);
}

TEST_F(ExplorerPage, HiddenFilesAreListedAndCanBeUnhiddenOrMovedToTheVault)
{
    char temp[PATH_SIZE], longTemp[PATH_SIZE];
    GetTempPathA(sizeof temp, temp);
    GetLongPathNameA(temp, longTemp, sizeof longTemp);
    std::string files = std::string(longTemp) + "sentrel-page";
    CreateDirectoryA(files.c_str(), nullptr);
    std::string shown = files + "\\shown.dat", gone = files + "\\gone.dat", held = files + "\\held.dat";
    for (const auto &path : {shown, gone, held}) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(test::WriteFile(path, "content of " + path));
    }
    SetFileAttributesA(shown.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA(gone.c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA(held.c_str(), FILE_ATTRIBUTE_HIDDEN);

    StartExplorer("-HIDDEN");
    auto rows = remote->Rows(5);
    std::vector<int> mine = RowsWith(5, kFolder, files);
    ASSERT_EQ(3u, mine.size());
    for (int row : mine) {
        EXPECT_FALSE(rows[row][kHiddenFirstSeen].empty());
        EXPECT_FALSE(rows[row][kWritten].empty());
        EXPECT_NE("File in Use", rows[row][kWritten]);
        EXPECT_EQ(rows[row][kFile] == "shown.dat" ? "SYSTEM" : "", rows[row][kType]) << rows[row][kFile];
    }

    // Unhide: the file keeps its place but leaves the list.
    ASSERT_GE(remote->Select(kFile, "shown.dat"), 0);
    Settle();
    Press(1007);
    const DWORD marks = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    EXPECT_TRUE(test::WaitUntil([&] { return (GetFileAttributesA(shown.c_str()) & marks) == 0; }, kWait));
    EXPECT_TRUE(test::WaitUntil([&] { return RowsWith(5, kFile, "shown.dat").empty(); }, kWait));

    // Delete asks, then moves the file into the vault.
    ASSERT_GE(remote->Select(kFile, "gone.dat"), 0);
    Settle();
    Command(1184);
    HWND box = WaitForBox(kSheetCaption);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("Are you sure you want this file deleted?"));
    test::PressButton(box, IDYES);
    EXPECT_TRUE(test::WaitUntil([&] { return !test::FileExistsAt(gone); }, kWait));
    EXPECT_TRUE(test::WaitUntil([&] { return RowsWith(5, kFile, "gone.dat").empty(); }, kWait));
    EXPECT_NE(std::string::npos, History().find("*HIDDEN_DeleteFile\tTYPE_HIDDEN\t")) << History();

    // A file held open is left where it is, and the user is told.
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    ASSERT_GE(remote->Select(kFile, "held.dat"), 0);
    Settle();
    Command(1184);
    box = WaitForBox(kSheetCaption);
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitForWindowGone(box, kWait));
    box = WaitForBox(kSheetCaption);
    ASSERT_NE(nullptr, box) << "no word of the failure";
    EXPECT_NE(std::string::npos, test::DialogText(box).find("could not be removed")) << test::DialogText(box);
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, kWait);
    CloseHandle(handle);
    EXPECT_TRUE(test::FileExistsAt(held));
    Settle();
    EXPECT_EQ(1u, RowsWith(5, kFile, "held.dat").size());

    // Delete File on Reboot: the shared question naming the file, the
    // deletion scheduled, and the line in the history.
    ASSERT_GE(remote->Select(kFile, "held.dat"), 0);
    Settle();
    Command(1144);
    box = WaitForBox(kSheetCaption);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find(held)) << test::DialogText(box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitForWindowGone(box, kWait));
    EXPECT_TRUE(test::WaitUntil([&] { return History().find("FILE_DeleteOnReboot\tTYPE_HIDDEN\t") != std::string::npos; },
                                kWait))
        << History();
    std::string pending = test::ReadRawValue(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                                             L"PendingFileRenameOperations");
    EXPECT_NE(std::string::npos, test::Utf8(std::wstring((const wchar_t *)pending.data(), pending.size() / 2))
                                     .find("held.dat"));

    for (const auto &path : {shown, gone, held}) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(files.c_str());
}
