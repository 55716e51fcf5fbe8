// The real SentrelEx.exe on its IE Helpers page: the rows it shows for
// planted helpers of each kind, the location in the status bar, and Remove
// on the selected row, which removes that helper and no other.
#include "explorer_pages.h"
#include "ie_helper_plant.h"

using namespace ie_test;

namespace {

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

class IEHelpersPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        SetUpIn("IEHelpersPage");
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
        ExplorerPage::TearDown();
        plant.Clear();
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
        std::string text = Answer(answer);
        Settle();
        return text;
    }

    Planter plant;
    std::string sample, icon;
};

}  // namespace

TEST_F(IEHelpersPage, ShowsEachHelperAndRemovesOnlyTheSelectedOne)
{
    StartExplorer("-BHO");
    HWND tab = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    EXPECT_EQ(2, (int)SendMessageA(tab, TCM_GETCURSEL, 0, 0));

    int row = remote->Find(kName, "Sample Browser Helper");
    ASSERT_GE(row, 0);
    EXPECT_EQ("sample helper.dll", remote->Text(row, kProgram));
    EXPECT_EQ("Orvendale Samples", remote->Text(row, kCompany));
    EXPECT_EQ("BHO", remote->Text(row, kType));
    EXPECT_FALSE(remote->Text(row, kFirstSeen).empty()) << "recorded as today";
    EXPECT_EQ(2, remote->CountOf(kName, "twin.dll"));
    row = remote->Find(kName, "bar.dll");
    ASSERT_GE(row, 0);
    EXPECT_EQ("TOOLBAR (file missing)", remote->Text(row, kType)) << "its file is not there, and it says so";
    EXPECT_EQ("", remote->Text(row, kCompany)) << "a missing file has no company";
    EXPECT_EQ(1, remote->Image(row)) << "a missing file: the generic picture";
    int button = remote->Find(kName, "Page Button");
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
    std::string question = RemoveRow(remote->Find(kName, "twin.dll"), IDNO);
    EXPECT_NE(std::string::npos, question.find("You have chosen to remove twin.dll from the Windows registry"))
        << question;
    EXPECT_TRUE(BhoExists(TestClass(72)) && BhoExists(TestClass(73)));
    EXPECT_EQ(before, remote->Count());

    // Yes removes the helper of the selected row; its twin of the same
    // title stays.
    RemoveRow(remote->Find(kName, "twin.dll"), IDYES);
    ASSERT_TRUE(test::WaitUntil([&] { return remote->Count() == before - 1; }, wait));
    EXPECT_NE(BhoExists(TestClass(72)), BhoExists(TestClass(73))) << "exactly one of the two goes";
    EXPECT_EQ(1, remote->CountOf(kName, "twin.dll"));
    EXPECT_EQ(-1, (int)SendMessageA(GetDlgItem(page, 1000), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED))
        << "nothing stays selected when the entry is gone";

    RemoveRow(remote->Find(kName, "Sample Browser Helper"), IDYES);
    ASSERT_TRUE(test::WaitUntil([] { return !BhoExists(TestClass(71)); }, wait));
    Settle();
    EXPECT_EQ(-1, remote->Find(kName, "Sample Browser Helper"));
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
    HWND box = test::WaitForWindow("#32770", "Sentrel Help", wait);
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("No selection has been made"));
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, wait);

    // The Monitor label asks the patrol time of the IE helpers.
    Press(1112);
    box = test::WaitForWindow("#32770", "Patrol Time for IE Helpers", wait);
    ASSERT_NE(nullptr, box);
    SetDlgItemTextA(box, 1004, "12");
    test::PressButton(box, IDOK);
    test::WaitForWindowGone(box, wait);
    std::string minutes;
    EXPECT_TRUE(test::WaitUntil([&] {
        return test::ReadString(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Options", "IEHelpers", &minutes) &&
               minutes == "12";
    }, wait)) << minutes;
}
