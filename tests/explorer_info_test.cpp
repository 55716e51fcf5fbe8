// The program information dialog of the real SentrelEx.exe, opened from
// the Startup Programs page: the facts of the selected row, Next and
// Previous through the rows in the page's order, the note, and the online
// lookup (a recorder program is the prefix's https handler).
#include "explorer_pages.h"

#include <algorithm>

#include "program_info.h"

using namespace test::keys;

namespace {

enum { IDC_INFO = 1008, IDC_ONLINE_INFO = 1067, IDC_NOTE_BUTTON = 1069, IDC_NEXT = 1082, IDC_PREVIOUS = 1083,
       IDC_NOTE = 1033, IDC_STATUS = 1010 };

std::string Caption(HWND window)
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool EndsWithNoCase(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && _stricmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

class InfoDialog : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        SetUpIn("info explorer");
        test::ClearRunKeys();
        programs = test::FreshFolder("info programs");
        recorder = test::FreshFolder("info page browser");
        std::string build = test::BuildFolder();
        ASSERT_TRUE(CopyFileA((build + "\\url_recorder.exe").c_str(), (recorder + "\\url_recorder.exe").c_str(), FALSE));
        for (const char *name : {"alpha.exe", "beta.exe"})
            ASSERT_TRUE(CopyFileA((build + "\\info_sample.exe").c_str(), (programs + "\\" + name).c_str(), FALSE));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Info Alpha", programs + "\\alpha.exe"));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Info Beta", "\"" + programs + "\\beta.exe\" -x"));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Info Gamma", programs + "\\gamma.exe"));
        test::ReadString(HKEY_CLASSES_ROOT, "https\\shell\\open\\command", "", &httpsCommand);
        test::WriteString(HKEY_CLASSES_ROOT, "https\\shell\\open\\command", "",
                          "\"" + recorder + "\\url_recorder.exe\" \"%1\"");
        char note[PATH_SIZE];
        if (UserNoteFilePath((programs + "\\alpha.exe").c_str(), note)) DeleteFileA(note);
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        test::WriteString(HKEY_CLASSES_ROOT, "https\\shell\\open\\command", "", httpsCommand);
        test::ClearRunKeys();
    }
    // Sends a dialog command and waits until the dialog shows the title.
    bool Command(HWND dialog, int id, const std::string &title)
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
        return test::WaitUntil([&] { return Caption(dialog) == title; }, wait);
    }
    std::string programs, recorder, httpsCommand;
};

}  // namespace

TEST_F(InfoDialog, ShowsTheRowAndWalksThePageOrder)
{
    StartExplorer("-START");
    std::vector<std::string> titles;
    for (const auto &row : remote->Rows(1)) titles.push_back(row[0]);
    int count = (int)titles.size();
    int alpha = remote->Select(0, "Info Alpha");
    ASSERT_GE(alpha, 0);

    PostMessageA(page, WM_COMMAND, IDC_INFO, 0);
    HWND dialog = test::WaitForWindow("#32770", "Info Alpha", wait);
    ASSERT_NE(nullptr, dialog) << "the information dialog did not open";
    Settle(dialog);
    EXPECT_EQ("Info <Sample>", test::ControlText(dialog, 100));
    EXPECT_EQ("2.0 #beta", test::ControlText(dialog, 1029));
    EXPECT_EQ("Smith & \"Sons\" #1 100% <script>alert(1)</script>", test::ControlText(dialog, 1030));
    EXPECT_TRUE(EndsWithNoCase(test::ControlText(dialog, 1026), "\\alpha.exe")) << test::ControlText(dialog, 1026);
    EXPECT_EQ("Ready", test::ControlText(dialog, IDC_STATUS));
    EXPECT_EQ(0u, test::ControlText(dialog, 1039).find("Startup Location: ")) << test::ControlText(dialog, 1039);
    EXPECT_NE("", test::ControlText(dialog, 1014)) << "the first-seen date";
    EXPECT_NE("", test::ControlText(dialog, 1181)) << "the file size";
    EXPECT_EQ(0u, test::ControlText(dialog, IDC_NOTE).find("The program information listed above"))
        << test::ControlText(dialog, IDC_NOTE);

    // Next walks the rows as the list shows them, and wraps around.
    for (int step = 1; step <= count; step++)
        ASSERT_TRUE(Command(dialog, IDC_NEXT, titles[(alpha + step) % count])) << Caption(dialog);
    ASSERT_TRUE(Command(dialog, IDC_PREVIOUS, titles[(alpha + count - 1) % count])) << Caption(dialog);
    auto next = [&] {
        size_t at = std::find(titles.begin(), titles.end(), Caption(dialog)) - titles.begin();
        return titles[(at + 1) % count];
    };
    while (Caption(dialog) != "Info Gamma") ASSERT_TRUE(Command(dialog, IDC_NEXT, next()));
    EXPECT_EQ("Local File not found.", test::ControlText(dialog, IDC_STATUS));
    EXPECT_EQ("", test::ControlText(dialog, 100));
    while (Caption(dialog) != "Info Alpha") ASSERT_TRUE(Command(dialog, IDC_NEXT, next()));

    // Create Note starts the note with the title and path, then it is saved
    // as edited, for this program file only.
    char note[PATH_SIZE], other[PATH_SIZE];
    ASSERT_GT(UserNoteFilePath((programs + "\\alpha.exe").c_str(), note), 0);
    ASSERT_GT(UserNoteFilePath(("\"" + programs + "\\beta.exe\" -x").c_str(), other), 0);
    PostMessageA(dialog, WM_COMMAND, IDC_NOTE_BUTTON, 0);
    std::string text;
    ASSERT_TRUE(test::WaitUntil([&] { return test::ReadFile(note, &text); }, wait));
    EXPECT_EQ(0u, text.find("Info Alpha\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("alpha.exe\r\n")) << text;
    // Typed over the whole text, as the user types.
    HWND field = GetDlgItem(dialog, IDC_NOTE);
    SendMessageA(field, EM_SETSEL, 0, -1);
    for (char c : std::string("Known updater & friend")) PostMessageA(field, WM_CHAR, (WPARAM)(unsigned char)c, 1);
    EXPECT_TRUE(test::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_NOTE_BUTTON)) != 0; }, wait))
        << "Save Note follows the edit";
    PostMessageA(dialog, WM_COMMAND, IDC_NOTE_BUTTON, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReadFile(note, &text) && text == "Known updater & friend"; }, wait))
        << text;
    EXPECT_FALSE(test::FileExistsAt(other));

    // The online lookup of the record shown.
    PostMessageA(dialog, WM_COMMAND, IDC_ONLINE_INFO, 0);
    std::vector<std::string> lines = test::RecordedLines(recorder, 1, wait);
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find("/cgi-bin/zentainfo.pl?program=ALPHA.EXE&vendor=Smith%20+%20%22Sons%22%20%231%20100%25%20%3Cscript%3E"))
        << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("&Type=1011&Loc=en&ext=EXE")) << lines[0];

    // Closed: the page's row is selected again and the place is kept.
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    Settle();
    EXPECT_EQ(alpha, remote->Selected());
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kStore, "xInfo"));
    // The row menu's "View Note..." finds the note of this row only.
    EXPECT_TRUE(HasNote((programs + "\\alpha.exe").c_str()));
    EXPECT_FALSE(HasNote(("\"" + programs + "\\beta.exe\" -x").c_str()));

    // Zenta Info on the page: the selected row's lookup.
    ASSERT_GE(remote->Select(0, "Info Beta"), 0);
    PostMessageA(page, WM_COMMAND, IDC_ONLINE_INFO, 0);
    lines = test::RecordedLines(recorder, 2, wait);
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[1].find("?program=BETA.EXE&vendor=")) << lines[1];
    DeleteFileA(note);
}
