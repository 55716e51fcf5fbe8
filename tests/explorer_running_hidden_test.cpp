// The real SentrelEx.exe on its Active Tasks and Hidden Files pages: the
// rows they show for real programs and files of the prefix, Kill Task on
// the selected program, and Unhide and Delete on the selected file.
#include "explorer_pages.h"
#include "text.h"

namespace {

enum { kModule, kDescription, kCompany, kFirstSeen };
enum { kFile, kFolder, kHiddenFirstSeen, kWritten, kType };

bool Running(const test::Program &program)
{
    return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

class ExplorerPage : public test::ExplorerPage {
protected:
    // Rows whose column holds the text.
    std::vector<int> RowsWith(int columns, int column, const std::string &text)
    {
        std::vector<int> found;
        auto rows = remote->Rows(columns);
        for (size_t i = 0; i < rows.size(); i++)
            if (_stricmp(rows[i][column].c_str(), text.c_str()) == 0) found.push_back((int)i);
        return found;
    }
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
    ASSERT_TRUE(test::WaitUntil([&] { return RowsWith(4, kModule, "twin.exe").size() == 2; }, wait));
    auto rows = remote->Rows(4);
    int secondRow = -1;
    for (int row : RowsWith(4, kModule, "twin.exe")) {
        EXPECT_FALSE(rows[row][kFirstSeen].empty()) << "first-seen date shown";
        if (rows[row][kDescription] == std::string(127, 'D')) secondRow = row;
    }
    ASSERT_GE(secondRow, 0) << "the second program's own description";
    for (const auto &row : rows) EXPECT_FALSE(row[kModule].empty());

    remote->SelectOnly(secondRow);
    Settle();
    Press(1007);
    EXPECT_TRUE(test::WaitForExit(two, wait)) << "the selected program was stopped";
    Settle();
    EXPECT_TRUE(Running(one)) << "the other program of the same name runs on";
    EXPECT_TRUE(test::WaitUntil([&] { return RowsWith(4, kModule, "twin.exe").size() == 1; }, wait));
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
    HWND box = WaitForDialog("Sentrel Help");
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, wait);
    test::Stop(one);
    test::Stop(two);
}

TEST_F(ExplorerPage, HiddenFilesAreListedAndCanBeUnhiddenOrMovedToTheVault)
{
    std::string files = test::TempFolder() + "\\sentrel-page";
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
    EXPECT_TRUE(test::WaitUntil([&] { return (GetFileAttributesA(shown.c_str()) & marks) == 0; }, wait));
    EXPECT_TRUE(test::WaitUntil([&] { return RowsWith(5, kFile, "shown.dat").empty(); }, wait));

    // Delete asks, then moves the file into the vault.
    ASSERT_GE(remote->Select(kFile, "gone.dat"), 0);
    Settle();
    Command(1184);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("Are you sure you want this file deleted?"));
    test::PressButton(box, IDYES);
    EXPECT_TRUE(test::WaitUntil([&] { return !test::FileExistsAt(gone); }, wait));
    EXPECT_TRUE(test::WaitUntil([&] { return RowsWith(5, kFile, "gone.dat").empty(); }, wait));
    EXPECT_NE(std::string::npos, History().find("*HIDDEN_DeleteFile\tTYPE_HIDDEN\t")) << History();

    // A file held open is left where it is, and the user is told.
    HANDLE handle = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    ASSERT_GE(remote->Select(kFile, "held.dat"), 0);
    Settle();
    Command(1184);
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitForWindowGone(box, wait));
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box) << "no word of the failure";
    EXPECT_NE(std::string::npos, test::DialogText(box).find("could not be removed")) << test::DialogText(box);
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, wait);
    CloseHandle(handle);
    EXPECT_TRUE(test::FileExistsAt(held));
    Settle();
    EXPECT_EQ(1u, RowsWith(5, kFile, "held.dat").size());

    // Delete File on Reboot: the shared question naming the file, the
    // deletion scheduled, and the line in the history.
    ASSERT_GE(remote->Select(kFile, "held.dat"), 0);
    Settle();
    Command(1144);
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find(held)) << test::DialogText(box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitForWindowGone(box, wait));
    EXPECT_TRUE(test::WaitUntil([&] { return History().find("FILE_DeleteOnReboot\tTYPE_HIDDEN\t") != std::string::npos; },
                                wait))
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
