// The real SentrelEx.exe on its IE Helpers page: the rows it shows for
// planted helpers of each kind, the location in the status bar, and Remove
// on the selected row, which removes that helper and no other.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "ie_helper_plant.h"
#include "remote_list.h"
#include "test_support.h"

using namespace ie_test;

namespace {

const DWORD kWait = 15000;
const char kSheetCaption[] = "Sentrel Zenta";
const char kFolder[] = "C:\\ie helper tests\\Page";
enum { kName, kProgram, kCompany, kType, kFirstSeen };

// A 16 x 16 icon file of one colour.
bool WriteIconFile(const std::string &path)
{
    std::string data;
    auto put16 = [&](int v) { data += (char)(v & 255); data += (char)((v >> 8) & 255); };
    auto put32 = [&](int v) { put16(v & 0xFFFF); put16((v >> 16) & 0xFFFF); };
    const int pixels = 16 * 16 * 4, mask = 16 * 4, image = 40 + pixels + mask;
    put16(0); put16(1); put16(1);                                   // icon directory, one image
    data += (char)16; data += (char)16; data += (char)0; data += (char)0;
    put16(1); put16(32); put32(image); put32(22);
    put32(40); put32(16); put32(32); put16(1); put16(32);           // bitmap header (height doubled)
    put32(0); put32(pixels + mask); put32(0); put32(0); put32(0); put32(0);
    for (int i = 0; i < 16 * 16; i++) data += std::string("\x20\x80\xE0\xFF", 4);
    data += std::string(mask, '\0');
    return test::WriteFile(path, data);
}

struct TopLevelSearch {
    DWORD process;
    HWND exclude;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    TopLevelSearch *search = (TopLevelSearch *)param;
    char cls[64] = "", caption[128] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (window != search->exclude && owner == search->process && IsWindowVisible(window) &&
        std::string(cls) == "#32770" && std::string(caption) == kSheetCaption)
        search->found.push_back(window);
    return TRUE;
}

class IEHelpersPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer of another test still runs";
        test::ResetSentrelRegistry();
        folder = test::FreshFolder("IEHelpersPage");
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                              FALSE));
        CreateDirectoryA("C:\\ie helper tests", nullptr);
        CreateDirectoryA(kFolder, nullptr);
        sample = std::string(kFolder) + "\\sample helper.dll";
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\" + kSampleDll).c_str(), sample.c_str(), FALSE));
        icon = std::string(kFolder) + "\\button.ico";
        ASSERT_TRUE(WriteIconFile(icon));

        plant.Class(TestClass(71), sample);
        plant.Bho(TestClass(71));
        // Two helpers that show the same title, in different folders.
        plant.Class(TestClass(72), "C:\\nowhere\\one\\twin.dll");
        plant.Bho(TestClass(72));
        plant.Class(TestClass(73), "C:\\nowhere\\two\\twin.dll");
        plant.Bho(TestClass(73));
        plant.Class(TestClass(74), "C:\\nowhere\\bar.dll");
        plant.Toolbar(TestClass(74));
        plant.Extension(TestClass(75), "Page Button", "C:\\nowhere\\button.exe", "", icon);
    }
    void TearDown() override
    {
        remote.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !test::WaitForExit(program, kWait)) ADD_FAILURE() << "the explorer did not end";
        test::Stop(program);
        plant.Clear();
        test::ResetSentrelRegistry();
    }
    void StartExplorer()
    {
        program = test::Start(folder, "SentrelEx.exe", "-BHO");
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
    void Press(int id) { PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }
    HWND WaitForMessageBox()
    {
        HWND box = nullptr;
        test::WaitUntil(
            [&] {
                TopLevelSearch search = {program.id, sheet, {}};
                EnumWindows(CollectDialog, (LPARAM)&search);
                if (!search.found.empty()) box = search.found[0];
                return box != nullptr;
            },
            kWait);
        return box;
    }
    int RowNamed(const std::string &name, int skip = 0)
    {
        for (int row = 0, n = remote->Count(); row < n; row++)
            if (remote->Text(row, kName) == name && skip-- == 0) return row;
        return -1;
    }
    int CountNamed(const std::string &name)
    {
        int count = 0;
        for (int row = 0, n = remote->Count(); row < n; row++) count += remote->Text(row, kName) == name;
        return count;
    }
    std::string StatusText()
    {
        char text[512] = "";
        // WM_GETTEXT itself: GetWindowText does not ask a window of another process.
        SendMessageA(GetDlgItem(sheet, 6050), WM_GETTEXT, sizeof text, (LPARAM)text);
        return text;
    }
    // Selects a row, presses Remove and answers the question.
    std::string RemoveRow(int row, int answer)
    {
        remote->SelectOnly(row);
        Settle();
        Press(1003);
        HWND box = WaitForMessageBox();
        if (!box) return "<no question>";
        std::string text = test::DialogText(box);
        test::PressButton(box, answer);
        test::WaitForWindowGone(box, kWait);
        Settle();
        return text;
    }

    Planter plant;
    std::string folder, sample, icon;
    test::Program program;
    HWND sheet = nullptr, page = nullptr;
    std::unique_ptr<test::RemoteList> remote;
};

}  // namespace

TEST_F(IEHelpersPage, ShowsEachHelperAndRemovesOnlyTheSelectedOne)
{
    StartExplorer();
    HWND tab = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    EXPECT_EQ(2, (int)SendMessageA(tab, TCM_GETCURSEL, 0, 0));

    int row = RowNamed("Sample Browser Helper");
    ASSERT_GE(row, 0);
    EXPECT_EQ("sample helper.dll", remote->Text(row, kProgram));
    EXPECT_EQ("Orvendale Samples", remote->Text(row, kCompany));
    EXPECT_EQ("BHO", remote->Text(row, kType));
    EXPECT_FALSE(remote->Text(row, kFirstSeen).empty()) << "recorded as today";
    EXPECT_EQ(2, CountNamed("twin.dll"));
    row = RowNamed("bar.dll");
    ASSERT_GE(row, 0);
    EXPECT_EQ("TOOLBAR (file missing)", remote->Text(row, kType)) << "its file is not there, and it says so";
    EXPECT_EQ("", remote->Text(row, kCompany)) << "a missing file has no company";
    EXPECT_EQ(1, remote->Image(row)) << "a missing file: the generic picture";
    int button = RowNamed("Page Button");
    ASSERT_GE(button, 0);
    EXPECT_EQ("EXTENSION (file missing)", remote->Text(button, kType));
    EXPECT_EQ("button.exe", remote->Text(button, kProgram));
    EXPECT_GE(remote->Image(button), 2) << "the icon file the button names";

    // The status bar names the key of the selected helper's kind.
    remote->SelectOnly(row);
    Settle();
    EXPECT_EQ("Location: HKLM\\SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar", StatusText());

    // Remove asks by the title; No keeps the helper.
    int before = remote->Count();
    std::string question = RemoveRow(RowNamed("twin.dll"), IDNO);
    EXPECT_NE(std::string::npos, question.find("You have chosen to remove twin.dll from the Windows registry"))
        << question;
    EXPECT_TRUE(BhoExists(TestClass(72)) && BhoExists(TestClass(73)));
    EXPECT_EQ(before, remote->Count());

    // Yes removes the helper of the selected row; its twin of the same
    // title stays.
    RemoveRow(RowNamed("twin.dll"), IDYES);
    ASSERT_TRUE(test::WaitUntil([&] { return remote->Count() == before - 1; }, kWait));
    EXPECT_NE(BhoExists(TestClass(72)), BhoExists(TestClass(73))) << "exactly one of the two goes";
    EXPECT_EQ(1, CountNamed("twin.dll"));
    EXPECT_EQ(-1, (int)SendMessageA(GetDlgItem(page, 1000), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED))
        << "nothing stays selected when the entry is gone";

    RemoveRow(RowNamed("Sample Browser Helper"), IDYES);
    ASSERT_TRUE(test::WaitUntil([] { return !BhoExists(TestClass(71)); }, kWait));
    Settle();
    EXPECT_EQ(-1, RowNamed("Sample Browser Helper"));
    EXPECT_TRUE(test::FileExistsAt(sample)) << "the file stays on disk";
    std::string history;
    ASSERT_TRUE(test::ReadFile(folder + "\\history.txt", &history));
    EXPECT_NE(std::string::npos, history.find("IEHELPER_Remove\tTYPE_BHO\tsample helper.dll")) << history;
    EXPECT_TRUE(ToolbarExists(TestClass(74)));
    EXPECT_TRUE(ExtensionExists(TestClass(75)));

    // Without a selection Remove only says so.
    remote->SelectOnly(-1);
    Settle();
    Press(1003);
    HWND box = test::WaitForWindow("#32770", "Sentrel Help", kWait);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("No selection has been made"));
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, kWait);

    // The Monitor label asks the patrol time of the IE helpers.
    Press(1112);
    box = test::WaitForWindow("#32770", "Patrol Time for IE Helpers", kWait);
    ASSERT_NE(nullptr, box);
    SetDlgItemTextA(box, 1004, "12");
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, kWait);
    std::string minutes;
    EXPECT_TRUE(test::WaitUntil([&] {
        return test::ReadString(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Options", "IEHelpers", &minutes) &&
               minutes == "12";
    }, kWait)) << minutes;
}
