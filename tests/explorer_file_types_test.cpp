// The real SentrelEx.exe on its File Types page: the rows of the watched
// extensions by each method, adding an extension through the Add dialog
// (and its refusals), removing the selected one.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const DWORD kWait = 15000;
const char kClasses[] = "Software\\Classes\\";
const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const char kClass[] = "Software\\Orvendale\\Sentrel\\Class";
const char kExt[] = "Software\\Orvendale\\Sentrel\\Ext";
const char kSheetCaption[] = "Sentrel Zenta";
const char kAddCaption[] = "Add File Type Extension";
const char kPrograms[] = "C:\\ft-programs";
enum { kTitle, kCommand, kCompany, kClassColumn, kExtension, kType, kColumns };

// Texts and states of a list view in the explorer's process.
class RemoteList {
public:
    RemoteList(HANDLE process, HWND list) : process_(process), list_(list)
    {
        memory_ = (char *)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteList()
    {
        if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    }
    int Count() { return (int)SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0); }
    std::string Text(int row, int column)
    {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = memory_ + 1024;
        item.cchTextMax = 1024;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_GETITEMTEXTA, row, (LPARAM)memory_);
        char text[1024] = "";
        ReadProcessMemory(process_, memory_ + 1024, text, sizeof text - 1, nullptr);
        return text;
    }
    std::vector<std::vector<std::string>> Rows()
    {
        std::vector<std::vector<std::string>> rows;
        for (int row = 0, n = Count(); row < n; row++) {
            std::vector<std::string> cells;
            for (int column = 0; column < kColumns; column++) cells.push_back(Text(row, column));
            rows.push_back(cells);
        }
        return rows;
    }
    // The row of an extension by a method's label; -1 when none.
    int Find(const std::string &extension, const std::string &type)
    {
        for (int row = 0, n = Count(); row < n; row++)
            if (Text(row, kExtension) == extension && Text(row, kType) == type) return row;
        return -1;
    }
    void Select(int row)
    {
        SetState(-1, 0);
        if (row >= 0) SetState(row, LVIS_SELECTED | LVIS_FOCUSED);
    }
    int Selected() { return (int)SendMessageA(list_, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }

private:
    void SetState(int row, UINT state)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = state;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)memory_);
    }
    HANDLE process_;
    HWND list_;
    char *memory_ = nullptr;
};

struct TopLevelSearch {
    DWORD process;
    HWND exclude;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMessageBox(HWND window, LPARAM param)
{
    TopLevelSearch *search = (TopLevelSearch *)param;
    char cls[64] = "", caption[128] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (window != search->exclude && owner == search->process && IsWindowVisible(window) &&
        std::string(cls) == "#32770" && (std::string(caption) == kSheetCaption || std::string(caption) == "Sentrel Help"))
        search->found.push_back(window);
    return TRUE;
}

std::string Value(HKEY root, const std::string &path, const std::string &name)
{
    std::string text;
    return test::ReadString(root, path, name, &text) ? text : "<missing>";
}

class FileTypesPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer of another test still runs";
        test::ResetSentrelRegistry();
        RemovePlanted();
        folder = test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::string build = test::BuildFolder();
        ASSERT_TRUE(CopyFileA((build + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(), FALSE));
        // Programs with version facts ("Orvendale") for the associations.
        CreateDirectoryA(kPrograms, nullptr);
        for (const char *name : {"ftapp.exe", "ftview.exe"})
            ASSERT_TRUE(CopyFileA((build + "\\SentrelEx.exe").c_str(), (std::string(kPrograms) + "\\" + name).c_str(),
                                  FALSE));
        Plant(".ftone", "ftone.file", "FT One Document", "\"C:\\ft-programs\\ftapp.exe\" \"%1\"");
        Plant(".fttwo", "fttwo.file", "FT Two Document", "C:\\ft-programs\\ftapp.exe /two \"%1\"");
        Plant(".ftthree", "ftthree.file", "FT Three Document", "C:\\ft-programs\\ftapp.exe /three \"%1\"");
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kFileExts) + ".ftone", "Application", "ftview.exe"));
        ASSERT_TRUE(test::WriteString(HKEY_CLASSES_ROOT, "Applications\\ftview.exe\\shell\\open\\command", "",
                                      "C:\\ft-programs\\ftview.exe \"%1\""));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "", "FTONE;FTTWO;"));
    }
    void TearDown() override
    {
        StopExplorer();
        RemovePlanted();
        test::ResetSentrelRegistry();
    }
    static void Plant(const std::string &extension, const std::string &cls, const std::string &description,
                      const std::string &command)
    {
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kClasses + extension, "", cls));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kClasses + cls, "", description));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kClasses + cls + "\\shell\\open\\command", "", command));
    }
    static void RemovePlanted()
    {
        for (const char *name : {".ftone", ".fttwo", ".ftthree", "ftone.file", "fttwo.file", "ftthree.file",
                                 "Applications\\ftview.exe"}) {
            test::DeleteTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + name);
            test::DeleteTree(HKEY_CURRENT_USER, std::string(kClasses) + name);
        }
        test::DeleteTree(HKEY_CURRENT_USER, std::string(kFileExts) + ".ftone");
    }
    void StartExplorer()
    {
        program = test::Start(folder, "SentrelEx.exe", "-FILETYPES");
        ASSERT_NE(nullptr, program.process);
        sheet = test::WaitForWindow("#32770", kSheetCaption, kWait);
        ASSERT_NE(nullptr, sheet) << "the property sheet did not open";
        page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        ASSERT_NE(nullptr, page);
        Settle();
        list = GetDlgItem(page, 1000);
        remote.reset(new RemoteList(program.process, list));
    }
    void StopExplorer()
    {
        remote.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !test::WaitForExit(program, kWait)) ADD_FAILURE() << "the explorer did not end";
        test::Stop(program);
    }
    void Settle()
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(page, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &ignored);
    }
    void Press(int id) { PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }
    // A message box of the explorer (not the sheet, which has the same caption).
    HWND WaitForMessageBox()
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kWait; Sleep(20)) {
            TopLevelSearch search = {program.id, sheet, {}};
            EnumWindows(CollectMessageBox, (LPARAM)&search);
            if (!search.found.empty()) return search.found[0];
        }
        return nullptr;
    }
    // Types text into the Add dialog and presses Add.
    void AddText(HWND dialog, const std::string &text)
    {
        SendMessageTimeoutA(GetDlgItem(dialog, 1004), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_NORMAL, kWait,
                            nullptr);
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }
    // The refusal shown by the Add dialog, closed again.
    std::string Refusal()
    {
        HWND box = WaitForMessageBox();
        if (!box) return "<no message>";
        char text[1024] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        test::PressButton(box, IDOK);
        test::WaitForWindowGone(box, kWait);
        return text;
    }

    std::string folder;
    test::Program program;
    HWND sheet = nullptr, page = nullptr, list = nullptr;
    std::unique_ptr<RemoteList> remote;
};

}  // namespace

TEST_F(FileTypesPage, ShowsEachWatchedExtensionByEachMethod)
{
    StartExplorer();
    auto rows = remote->Rows();
    std::string shown;
    for (const auto &row : rows) {
        for (const auto &cell : row) shown += cell + " | ";
        shown += "\n";
    }
    ASSERT_EQ(3u, rows.size()) << shown;
    int system = remote->Find(".FTONE", "System"), chosen = remote->Find(".FTONE", "Explorer");
    int two = remote->Find(".FTTWO", "System");
    ASSERT_GE(system, 0) << shown;
    ASSERT_GE(chosen, 0) << shown;
    ASSERT_GE(two, 0) << shown;
    EXPECT_EQ("FT One Document", rows[system][kTitle]);
    EXPECT_STRCASEEQ("ftapp.exe", rows[system][kCommand].c_str());
    EXPECT_EQ("Orvendale", rows[system][kCompany]);
    EXPECT_EQ("ftone.file", rows[system][kClassColumn]);
    // The program the user chose has no class description: its program's
    // facts stand in.
    EXPECT_STRCASEEQ("ftview.exe", rows[chosen][kCommand].c_str());
    EXPECT_EQ("Sentrel", rows[chosen][kTitle]);
    EXPECT_EQ("Sentrel explorer", rows[chosen][kClassColumn]);
    EXPECT_EQ("FT Two Document", rows[two][kTitle]);
    // The associations were approved when the explorer first ran.
    EXPECT_EQ("ftone.file", Value(HKEY_CURRENT_USER, kExt, ".FTONE"));
    EXPECT_EQ("\"C:\\ft-programs\\ftapp.exe\" \"%1\"", Value(HKEY_CURRENT_USER, kClass, "ftone.file"));
}

TEST_F(FileTypesPage, AddWatchesAnExtensionAndRefusesWhatItCannotWatch)
{
    StartExplorer();
    // The selection stays on its entry across the refill.
    int two = remote->Find(".FTTWO", "System");
    ASSERT_GE(two, 0);
    remote->Select(two);
    Settle();

    Press(1064);
    HWND dialog = test::WaitForWindow("#32770", kAddCaption, kWait);
    ASSERT_NE(nullptr, dialog);
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);   // past its initialisation
    EXPECT_NE(std::string::npos, test::DialogText(dialog).find("Enter the File Extension type"));
    char caption[64] = "";
    GetDlgItemTextA(dialog, IDOK, caption, sizeof caption);
    EXPECT_STREQ("&Add", caption);

    AddText(dialog, ".fTone");
    EXPECT_NE(std::string::npos, Refusal().find("already being monitored"));
    AddText(dialog, "a;b");
    EXPECT_NE(std::string::npos, Refusal().find("not a file extension"));
    AddText(dialog, "..");
    EXPECT_NE(std::string::npos, Refusal().find("not a file extension"));
    EXPECT_TRUE(IsWindow(dialog)) << "a refusal keeps the dialog open";
    EXPECT_EQ("FTONE;FTTWO;", Value(HKEY_CURRENT_USER, kClass, ""));

    AddText(dialog, "ftthree");
    ASSERT_TRUE(test::WaitForWindowGone(dialog, kWait));
    Settle();
    EXPECT_EQ("FTONE;FTTWO;ftthree;", Value(HKEY_CURRENT_USER, kClass, ""));
    EXPECT_EQ("ftthree.file", Value(HKEY_CURRENT_USER, kExt, ".ftthree")) << "approved as it is now";
    EXPECT_GE(remote->Find(".ftthree", "System"), 0);
    EXPECT_EQ(remote->Find(".FTTWO", "System"), remote->Selected());
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel", "xPosAddFileType"));
}

TEST_F(FileTypesPage, RemoveTakesTheSelectedExtensionOffTheList)
{
    StartExplorer();
    remote->Select(-1);
    Settle();
    Press(1003);
    EXPECT_NE(std::string::npos, Refusal().find("No selection has been made"));

    // The row of the program the user chose stands for its extension too.
    int chosen = remote->Find(".FTONE", "Explorer");
    ASSERT_GE(chosen, 0);
    remote->Select(chosen);
    Settle();
    Press(1003);
    ASSERT_TRUE(test::WaitUntil([] { return Value(HKEY_CURRENT_USER, kClass, "") == "FTTWO;"; }, kWait));
    Settle();
    EXPECT_EQ(-1, remote->Find(".FTONE", "System"));
    EXPECT_EQ(-1, remote->Find(".FTONE", "Explorer"));
    EXPECT_GE(remote->Find(".FTTWO", "System"), 0);
    EXPECT_EQ(-1, remote->Selected()) << "the removed entry has no row to stay on";
    EXPECT_EQ("<missing>", Value(HKEY_CURRENT_USER, kExt, ".FTONE"));
    EXPECT_EQ("<missing>", Value(HKEY_CURRENT_USER, kClass, "ftone.file"));
    EXPECT_EQ("fttwo.file", Value(HKEY_CURRENT_USER, kExt, ".FTTWO"));
    // Nothing of the association itself changed.
    EXPECT_EQ("ftone.file", Value(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone", ""));
}
