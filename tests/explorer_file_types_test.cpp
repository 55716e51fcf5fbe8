// The real SentrelEx.exe on its File Types page: the rows of the watched
// extensions by each method, adding an extension through the Add dialog
// (and its refusals), removing the selected one.
#include "explorer_pages.h"

using namespace test::keys;
using test::Value;

namespace {

const char kAddCaption[] = "Add File Type Extension";
const char kPrograms[] = "C:\\ft-programs";
enum { kTitle, kCommand, kCompany, kClassColumn, kExtension, kType, kColumns };

class FileTypesPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        ExplorerPage::SetUp();
        RemovePlanted();
        // Programs with version facts ("Orvendale") for the associations.
        CreateDirectoryA(kPrograms, nullptr);
        for (const char *name : {"ftapp.exe", "ftview.exe"})
            ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(),
                                  (std::string(kPrograms) + "\\" + name).c_str(), FALSE));
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
        ExplorerPage::TearDown();
        RemovePlanted();
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
    // Types text into the Add dialog and presses Add.
    void AddText(HWND dialog, const std::string &text)
    {
        SendMessageTimeoutA(GetDlgItem(dialog, 1004), WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_NORMAL, wait,
                            nullptr);
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    }
    // The row of an extension by a method's label; -1 when none.
    int Row(const std::string &extension, const std::string &type)
    {
        return remote->Find(kExtension, extension, kType, type);
    }
    // The refusal shown by the Add dialog, closed again.
    std::string Refusal() { return Answer(IDOK, {test::kSheetCaption, "Sentrel Help"}); }
};

}  // namespace

TEST_F(FileTypesPage, ShowsEachWatchedExtensionByEachMethod)
{
    StartExplorer("-FILETYPES");
    auto rows = remote->Rows(kColumns);
    std::string shown;
    for (const auto &row : rows) {
        for (const auto &cell : row) shown += cell + " | ";
        shown += "\n";
    }
    ASSERT_EQ(3u, rows.size()) << shown;
    int system = Row(".FTONE", "System"), chosen = Row(".FTONE", "Explorer");
    int two = Row(".FTTWO", "System");
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
    StartExplorer("-FILETYPES");
    // The selection stays on its entry across the refill.
    int two = Row(".FTTWO", "System");
    ASSERT_GE(two, 0);
    remote->SelectOnly(two);
    Settle();

    Press(1064);
    HWND dialog = test::WaitForWindow("#32770", kAddCaption, wait);
    ASSERT_NE(nullptr, dialog);
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, wait, nullptr);   // past its initialisation
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
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    Settle();
    EXPECT_EQ("FTONE;FTTWO;ftthree;", Value(HKEY_CURRENT_USER, kClass, ""));
    EXPECT_EQ("ftthree.file", Value(HKEY_CURRENT_USER, kExt, ".ftthree")) << "approved as it is now";
    EXPECT_GE(Row(".ftthree", "System"), 0);
    EXPECT_EQ(Row(".FTTWO", "System"), remote->Selected());
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kStore, "xPosAddFileType"));
}

TEST_F(FileTypesPage, RemoveTakesTheSelectedExtensionOffTheList)
{
    StartExplorer("-FILETYPES");
    remote->SelectNone();
    Settle();
    Press(1003);
    EXPECT_NE(std::string::npos, Refusal().find("No selection has been made"));

    // The row of the program the user chose stands for its extension too.
    int chosen = Row(".FTONE", "Explorer");
    ASSERT_GE(chosen, 0);
    remote->SelectOnly(chosen);
    Settle();
    Press(1003);
    ASSERT_TRUE(test::WaitUntil([] { return Value(HKEY_CURRENT_USER, kClass, "") == "FTTWO;"; }, wait));
    Settle();
    EXPECT_EQ(-1, Row(".FTONE", "System"));
    EXPECT_EQ(-1, Row(".FTONE", "Explorer"));
    EXPECT_GE(Row(".FTTWO", "System"), 0);
    EXPECT_EQ(-1, remote->Selected()) << "the removed entry has no row to stay on";
    EXPECT_EQ("<missing>", Value(HKEY_CURRENT_USER, kExt, ".FTONE"));
    EXPECT_EQ("<missing>", Value(HKEY_CURRENT_USER, kClass, "ftone.file"));
    EXPECT_EQ("fttwo.file", Value(HKEY_CURRENT_USER, kExt, ".FTTWO"));
    // Nothing of the association itself changed.
    EXPECT_EQ("ftone.file", Value(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone", ""));
}
