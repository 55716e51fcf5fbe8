// The real SentrelEx.exe on its Delayed Start page: the rows and their
// delays, the options dialog, Restore putting the exact startup entry back
// before the delay goes, Restore all with an entry that cannot go back,
// Launch with the parameters of the entry's own hive, and the monitor's
// launcher starting a program at the delay set in the dialog.
#include "explorer_pages.h"
#include "items.h"
#include "text.h"

using namespace test::keys;
using test::Value;

namespace {

enum { kTitle, kCommand, kStatus, kDelayTime };

std::string Sub(const char *which)
{
    return std::string(kDelay) + "\\" + which;
}

class DelayPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        ExplorerPage::SetUp();
        test::ClearRunKeys();
        // A blank in the folder (restored commands quote it) and letters no
        // ANSI code page holds (every path is kept exactly).
        programs = folder + u8"\\dl программы 更新";
        CreateDirectoryA(programs.c_str(), nullptr);
        tool = programs + "\\tool.exe";
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_sample.exe").c_str(), tool.c_str(), FALSE));
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        test::ClearRunKeys();
    }
    void Delay(HKEY root, const std::string &command, const std::string &type, const std::string &title,
               const std::string &seconds, const std::string &parameters = "")
    {
        ASSERT_TRUE(test::WriteString(root, kDelay, command, type));
        if (!title.empty()) {
            ASSERT_TRUE(test::WriteString(root, Sub("Title"), command, title));
        }
        ASSERT_TRUE(test::WriteString(root, Sub("Time"), command, seconds));
        if (!parameters.empty()) {
            ASSERT_TRUE(test::WriteString(root, Sub("Parameters"), command, parameters));
        }
    }
    void Open() { StartExplorer("-DELAY"); }
    std::string Ran()
    {
        std::string text;
        return test::ReadFile(programs + "\\ran.txt", &text) ? text : "";
    }
    std::string programs, tool;
};

}  // namespace

TEST_F(DelayPage, RowsShowTheDelaysAndTheOptionsDialogStoresWhatItShows)
{
    Delay(HKEY_CURRENT_USER, tool, "11", "Tool Ninety-Five", "95");
    Delay(HKEY_CURRENT_USER, programs + "\\gone.exe", "11", "Gone", "abc");
    Delay(HKEY_LOCAL_MACHINE, programs + "\\minus.exe", "1", "Minus", "-20");
    Open();
    ASSERT_EQ(3, remote->Count());
    int row = remote->Select(kTitle, "Tool Ninety-Five");
    ASSERT_GE(row, 0);
    EXPECT_EQ("1 Min. : 35 Sec.", remote->Text(row, kDelayTime));
    EXPECT_EQ("tool.exe", remote->Text(row, kCommand));
    // Times that are not a positive number show as none.
    int gone = remote->Select(kTitle, "Gone");
    EXPECT_EQ("0 Sec.", remote->Text(gone, kDelayTime));
    EXPECT_EQ("Local File not found.", remote->Text(gone, kStatus));
    EXPECT_EQ("0 Sec.", remote->Text(remote->Select(kTitle, "Minus"), kDelayTime));

    // The dialog shows 1 minute and 30 (35 rounded down to the ten); Apply
    // stores 90, the parameters and the window state.
    remote->Select(kTitle, "Tool Ninety-Five");
    Command(1197);
    HWND dialog = WaitForDialog("Program Delay Startup Options");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(1, SendDlgItemMessageA(dialog, 1113, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(3, SendDlgItemMessageA(dialog, 1114, CB_GETCURSEL, 0, 0));
    SetDlgItemTextA(dialog, 1142, ",Start now");
    SendDlgItemMessageA(dialog, 1141, CB_SETCURSEL, 2, 0);
    Click(dialog, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    Settle();
    EXPECT_EQ("90", Value(HKEY_CURRENT_USER, Sub("Time"), tool));
    EXPECT_EQ(",Start now", Value(HKEY_CURRENT_USER, Sub("Parameters"), tool));
    EXPECT_EQ("2", Value(HKEY_CURRENT_USER, Sub("OpenAs"), tool));
    EXPECT_EQ("Tool Ninety-Five", Value(HKEY_CURRENT_USER, Sub("Title"), tool));
    EXPECT_EQ("1 Min. : 30 Sec.", remote->Text(remote->Select(kTitle, "Tool Ninety-Five"), kDelayTime));

    // Sorting by the delay orders the seconds as numbers.
    remote->ClickHeader(kDelayTime);
    EXPECT_TRUE(WaitFor([&] { return remote->Text(2, kTitle) == "Tool Ninety-Five"; }));
    EXPECT_NE("Tool Ninety-Five", remote->Text(0, kTitle));

    // Info shows the program information of the selected row.
    remote->Select(kTitle, "Tool Ninety-Five");
    Command(1008);
    dialog = WaitForDialog("Tool Ninety-Five");
    ASSERT_NE(nullptr, dialog);
    char path[PATH_SIZE] = "";
    GetDlgItemTextA(dialog, 1026, path, sizeof path);
    EXPECT_EQ(0, lstrcmpiA(tool.c_str(), path)) << path;
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(test::WaitForWindowGone(dialog, wait));
}

TEST_F(DelayPage, RestorePutsTheExactEntryBackBeforeTheDelayGoes)
{
    // The value name is longer than a title, holds a TAB and letters of
    // several scripts; the program's folder has a blank, the parameters
    // begin with a comma.
    std::string name = u8"Tool\tзапись 🙂 " + std::string(ITEM_TITLE_SIZE, 'n');
    Delay(HKEY_CURRENT_USER, tool, "11", name, "30", ",Start");
    Delay(HKEY_CURRENT_USER, programs + "\\other.exe", "11", "Other", "30", "-q");
    Open();
    ASSERT_EQ(2, remote->Count());
    ASSERT_GE(remote->Select(kCommand, "tool.exe"), 0);
    Command(1198);
    ASSERT_TRUE(WaitFor([&] { return test::ValueExists(HKEY_CURRENT_USER, kRun, name); }));
    EXPECT_EQ("\"" + tool + "\",Start", Value(HKEY_CURRENT_USER, kRun, name));
    // Approved under the name the startup check reads it by (the command as
    // listed, without its quotes), so the monitor does not ask about it.
    EXPECT_TRUE(WaitFor([&] {
        std::string type;
        return test::ReadString(HKEY_CURRENT_USER, kRunBaseline, tool + ",Start", &type) &&
               type == "11";
    }));
    for (const char *which : {"", "\\Time", "\\Title", "\\Parameters"})
        EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, std::string(kDelay) + which, tool)) << which;
    // The other entry stays as it was.
    EXPECT_EQ("-q", Value(HKEY_CURRENT_USER, Sub("Parameters"), programs + "\\other.exe"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Other"));
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == 1; }));

    // Remove with No takes the other off the list without a startup entry.
    remote->Select(kTitle, "Other");
    Command(1003);
    HWND question = WaitForDialog("Sentrel Zenta");
    ASSERT_NE(nullptr, question);
    test::PressButton(question, IDNO);
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == 0; }));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kDelay, programs + "\\other.exe"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Other"));
}

TEST_F(DelayPage, RestoreAllKeepsTheEntriesThatCannotGoBack)
{
    Delay(HKEY_LOCAL_MACHINE, tool, "1", "Machine Tool", "30", "-m");
    Delay(HKEY_CURRENT_USER, programs + "\\user.exe", "11", "User Tool", "40");
    // Parameters that are not text, and a Startup-folder entry without its
    // shortcut file: neither can be put back as it was.
    Delay(HKEY_CURRENT_USER, programs + "\\binary.exe", "11", "Binary", "30");
    ASSERT_TRUE(test::WriteValue(HKEY_CURRENT_USER, Sub("Parameters"), programs + "\\binary.exe", REG_BINARY,
                                 "\x01\x02", 2));
    Delay(HKEY_CURRENT_USER, programs + "\\folder.exe", "200", "Folder", "30");
    // A program wrote a value of the same name meanwhile: it is left as it
    // is, and that entry stays delayed.
    Delay(HKEY_CURRENT_USER, programs + "\\taken.exe", "11", "Taken", "30");
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Taken", "C:\\someone\\else.exe"));

    test::Program restore = test::Start(test::BuildFolder(), "SentrelEx.exe", "-Restore");
    ASSERT_NE(nullptr, restore.process);
    DWORD exitCode = 0;
    ASSERT_TRUE(test::WaitForExit(restore, wait, &exitCode));
    test::Stop(restore);
    EXPECT_EQ(1u, exitCode) << "entries stay delayed: the switch did not do all its work";
    EXPECT_EQ("C:\\someone\\else.exe", Value(HKEY_CURRENT_USER, kRun, "Taken"));
    EXPECT_EQ("11", Value(HKEY_CURRENT_USER, kDelay, programs + "\\taken.exe"));

    EXPECT_EQ("\"" + tool + "\" -m", Value(HKEY_LOCAL_MACHINE, kRun, "Machine Tool"));
    EXPECT_EQ("\"" + programs + "\\user.exe\"", Value(HKEY_CURRENT_USER, kRun, "User Tool"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kDelay, tool));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kDelay, programs + "\\user.exe"));
    EXPECT_EQ("11", Value(HKEY_CURRENT_USER, kDelay, programs + "\\binary.exe"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Binary"));
    EXPECT_EQ("200", Value(HKEY_CURRENT_USER, kDelay, programs + "\\folder.exe"));
    EXPECT_EQ("30", Value(HKEY_CURRENT_USER, Sub("Time"), programs + "\\folder.exe"));
}

TEST_F(DelayPage, LaunchUsesTheParametersOfTheEntrysOwnHive)
{
    Delay(HKEY_LOCAL_MACHINE, tool, "1", "Machine Tool", "30", "-from-machine");
    // The same program's parameters in the other hive must not be used.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, Sub("Parameters"), tool, "-from-user"));
    Open();
    ASSERT_GE(remote->Select(kTitle, "Machine Tool"), 0);
    Command(1065);
    ASSERT_TRUE(WaitFor([&] { return Ran().find('\n') != std::string::npos; })) << Ran();
    EXPECT_NE(std::string::npos, Ran().find("-from-machine")) << Ran();
    EXPECT_EQ(std::string::npos, Ran().find("-from-user")) << Ran();
}

TEST_F(DelayPage, TheMonitorStartsTheProgramAtTheDelaySetInTheDialog)
{
    Delay(HKEY_CURRENT_USER, tool, "11", "Tool", "600", " -delayed");
    Open();
    ASSERT_GE(remote->Select(kTitle, "Tool"), 0);
    Command(1197);
    HWND dialog = WaitForDialog("Program Delay Startup Options");
    ASSERT_NE(nullptr, dialog);
    SendDlgItemMessageA(dialog, 1113, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageA(dialog, 1114, CB_SETCURSEL, 1, 0);   // 10 seconds
    Click(dialog, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    ASSERT_EQ("10", Value(HKEY_CURRENT_USER, Sub("Time"), tool));
    StopExplorer();

    ASSERT_TRUE(test::InstallMonitor(folder, true));
    DWORD started = GetTickCount();
    test::Program monitor = test::Start(folder, "Sentrel.exe", "-NoOpen");
    ASSERT_NE(nullptr, monitor.process);
    ASSERT_TRUE(test::WaitUntil([&] { return Ran().find('\n') != std::string::npos; }, 60000)) << Ran();
    DWORD elapsed = GetTickCount() - started;
    EXPECT_NE(std::string::npos, Ran().find("-delayed")) << Ran();
    // The first call of the launcher (10 seconds) comes at the sixth tick.
    EXPECT_GE(elapsed, 8000u);
    if (HWND window = test::MonitorWindow()) PostMessageA(window, WM_COMMAND, 6030, 0);
    test::WaitForExit(monitor, wait);
    test::Stop(monitor);
}
