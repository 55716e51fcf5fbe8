// The real SentrelEx.exe on its Options page: every check box and its
// option (with "Update" for the monitor, and a running monitor hiding its
// icon), turning the autostart off, the Set Patrol Time dialog from the
// Options page and from a list page, and the history viewer with its undo.
#include "explorer_pages.h"

#include <shlobj.h>

#include <cstdio>

#include "history.h"
#include "startup_changes.h"

using namespace test::keys;
using test::Value;

namespace {


class OptionsPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        ExplorerPage::SetUp();
        test::ClearRunKeys();
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        test::Stop(monitor);
        test::ClearRunKeys();
    }
    std::string Option(const char *name) { return Value(HKEY_CURRENT_USER, kOptions, name); }
    void ClickBox(int id) { ClickAndWait(page, id); }
    // Answers the message box the page shows after some boxes.
    void Acknowledge()
    {
        ASSERT_NE("<no message>", Answer(IDOK));
        Settle();
    }
    test::Program monitor;
};

void WriteBytes(const std::string &path, const std::string &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

}  // namespace

TEST_F(OptionsPage, EveryCheckBoxChangesItsOptionAndARunningMonitorFollows)
{
    ASSERT_TRUE(test::InstallMonitor(folder, true));
    monitor = test::Start(folder, "Sentrel.exe", "-NoOpen");
    ASSERT_NE(nullptr, monitor.process);
    ASSERT_TRUE(test::WaitForTrayIcons(1, wait));
    StartExplorer("-OPTIONS");

    const struct {
        int box;
        const char *option, *checked, *unchecked;
        bool message;
    } boxes[] = {
        {1020, "Sound", "1", "0", false},       {1024, "History", "1", "0", false},
        {1026, "LockFileTypes", "1", "0", false}, {1027, "ConfirmExit", "1", "0", false},
        {1201, "TrayIcon", "159", "101", false}, {1202, "ZentaFormat", "1", "0", true},
    };
    for (const auto &b : boxes) {
        bool wasChecked = IsDlgButtonChecked(page, b.box) == BST_CHECKED;
        for (int round = 0; round < 2; round++) {
            ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "Update", "0"));
            ClickBox(b.box);
            bool checked = IsDlgButtonChecked(page, b.box) == BST_CHECKED;
            EXPECT_NE(wasChecked, checked) << b.option;
            if (checked && b.message) Acknowledge();
            EXPECT_EQ(checked ? b.checked : b.unchecked, Option(b.option)) << b.option;
            // (While a message box waits, the running monitor may already
            // have reloaded the options and lowered "Update" again.)
            if (!b.message) {
                EXPECT_EQ("1", Option("Update")) << b.option;
            }
            wasChecked = checked;
        }
    }

    // The report format: the list's choice is the option "Format".
    HWND format = GetDlgItem(page, 1114);
    ASSERT_EQ(0, SendMessageA(format, CB_GETCURSEL, 0, 0));
    for (int choice : {1, 0}) {
        SendMessageA(format, CB_SETCURSEL, choice, 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(1114, CBN_SELCHANGE), (LPARAM)format);
        EXPECT_EQ(std::to_string(choice), Option("Format"));
    }

    // Hiding the tray icon: the message, then the running monitor hides it
    // at once; unchecking shows it again.
    ASSERT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, 1025));
    ClickBox(1025);
    Acknowledge();
    EXPECT_EQ("1", Option("HideWuffin"));
    EXPECT_TRUE(test::WaitForTrayIcons(0, wait));
    ClickBox(1025);
    EXPECT_EQ("0", Option("HideWuffin"));
    EXPECT_TRUE(test::WaitForTrayIcons(1, wait));
}

// The Autostart box shows the monitor's own registration as it really is,
// and switching it off removes that value only: never a look-alike, the
// user's own entries that start the monitor too, a disabled copy or the
// program file.
TEST_F(OptionsPage, AutostartIsTheMonitorsOwnRegistrationOnly)
{
    ASSERT_TRUE(test::InstallMonitor(folder, false));
    std::string program = folder + "\\Sentrel.exe";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Look-alike", "C:\\evil\\NotSentrel.exe"));
    // The first start registers the monitor; with that value gone, the
    // look-alike does not count as it.
    StartExplorer("-OPTIONS");
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, 1017));
    StopExplorer();
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    StartExplorer("-OPTIONS");
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, 1017)) << "a look-alike is not the monitor's registration";
    StopExplorer();

    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", program + " -expressboot"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Watchdog", "\"" + program + "\""));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Backup", "C:\\S\\BackupSentrel.exe"));
    char startup[PATH_SIZE] = "";
    SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, 0, startup);
    std::string link = std::string(startup) + "\\Sentrel Monitor.lnk";
    ASSERT_TRUE(CreateShortcut(link.c_str(), program.c_str(), "", folder.c_str(), "", "", 0));
    std::string before = test::DumpTree(HKEY_CURRENT_USER, kRun);
    StartExplorer("-OPTIONS");
    ASSERT_EQ(BST_CHECKED, IsDlgButtonChecked(page, 1017));

    ClickBox(1017);
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(page, 1017));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    EXPECT_EQ(before, test::DumpTree(HKEY_CURRENT_USER, kRun)) << "the user's own entries stay";
    EXPECT_TRUE(test::FileExistsAt(link));
    EXPECT_TRUE(test::FileExistsAt(program));
    std::string history;
    test::ReadFile(folder + "\\history.txt", &history);
    EXPECT_NE(std::string::npos, history.find("\tMACHINE_RUN\tSentrel\t")) << history;

    ClickBox(1017);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(page, 1017));
    EXPECT_EQ(folder + "\\sentrel.exe -expressboot", Value(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    DeleteFileA(link.c_str());
}

TEST_F(OptionsPage, SetPatrolTimeStoresMinutesAndTheRealTimeSwitch)
{
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "RealtimeStartPage", "0"));
    StartExplorer("-OPTIONS");
    // Typing 45 gives 45 minutes although the slider stops at 30.
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(1136, BN_CLICKED), (LPARAM)GetDlgItem(page, 1136));
    HWND dialog = WaitForDialog("Patrol Time for Default Internet Pages");
    ASSERT_NE(nullptr, dialog);
    SetDlgItemTextA(dialog, 1004, "45");
    Settle(dialog);
    EXPECT_EQ(30, SendDlgItemMessageA(dialog, 1142, TBM_GETPOS, 0, 0));
    Click(dialog, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    Settle();
    EXPECT_EQ("45", Option("StartPage"));
    EXPECT_EQ("0", Option("RealtimeStartPage"));
    EXPECT_EQ("1", Option("Update"));

    // Not a number: 0, the patrol is off.
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(1137, BN_CLICKED), (LPARAM)GetDlgItem(page, 1137));
    dialog = WaitForDialog("Patrol Time for checking HOST file");
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dialog, 1014));   // real time by default
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1004)));
    ClickAndWait(dialog, 1014);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 1004)));
    SetDlgItemTextA(dialog, 1004, "x");
    Click(dialog, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    Settle();
    EXPECT_EQ("0", Option("HostFile"));
    EXPECT_EQ("0", Option("RealtimeSysFiles"));
    StopExplorer();

    // From the Startup page's Monitor label: real time checked, then Close
    // keeps the former state; OK stores it.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "RealtimeStartup", "0"));
    StartExplorer("-START");
    for (int id : {IDCANCEL, IDOK}) {
        PostMessageA(page, WM_COMMAND, MAKEWPARAM(1112, BN_CLICKED), (LPARAM)GetDlgItem(page, 1112));
        dialog = WaitForDialog("Patrol Time for Startup Programs");
        ASSERT_NE(nullptr, dialog);
        ClickAndWait(dialog, 1014);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1004)));
        Click(dialog, id);
        ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
        Settle();
        EXPECT_EQ(id == IDOK ? "1" : "0", Option("RealtimeStartup"));
    }
}

TEST_F(OptionsPage, HistoryShowsTheNewestLinesAndUndoesOnlyWhatItNamesWhole)
{
    std::string text;
    for (int i = 1; i <= 10000; i++) {
        char line[160];
        snprintf(line, sizeof line, "12/07/2026  2:05 PM\tSTART_Alert\tCURRENT_RUN\tEvent %05d\tC:\\p\\e%d.exe\t\r\n",
                 i, i);
        text += line;
    }
    // A line that names no undo at all, then a removal to undo: the
    // command as it was, quotes and all.
    text += "12/07/2026  2:06 PM\tSTART_Disable\tCURRENT_RUN\tKeep Me\tC:\\keep.exe\t\r\n";
    text += "12/07/2026  2:06 PM\t*START_Remove\tCURRENT_RUN\tUndo Me\t\"C:\\x y\\u.exe\" /a \"b c\"\t\r\n";
    // Forged or broken lines: an unknown action, a name too long to be
    // whole, a line with NULs and too many fields, a last line without LF.
    text += "12/07/2026  2:07 PM\tBOGUS_Action\tCURRENT_RUN\tForged\tC:\\evil.exe\t\r\n";
    text += "12/07/2026  2:08 PM\t*START_Remove\tCURRENT_RUN\t" + std::string(HISTORY_TITLE_SIZE + 10, 'L') + "\tC:\\long.exe\t\r\n";
    const char nul[] = "12/07/2026  2:09 PM\t*START_Remove\tCURRENT_RUN\tNul\0led\tC:\\nul.exe\t\tx\ty\r\n";
    text += std::string(nul, sizeof nul - 1);
    text += "12/07/2026  2:10 PM\tSTART_Alert\tCURRENT_RUN\tLast Line\tC:\\last.exe";
    WriteBytes(folder + "\\history.txt", text);

    StartExplorer("-OPTIONS");
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(1104, BN_CLICKED), (LPARAM)GetDlgItem(page, 1104));
    HWND dialog = WaitForDialog("Sentrel History");
    ASSERT_NE(nullptr, dialog);
    HWND history = GetDlgItem(dialog, 1000);
    test::RemoteList rows(program.process, history);
    ASSERT_EQ(4096, rows.Count());
    // The newest lines, the last in view.
    EXPECT_EQ("Last Line", rows.Text(4095, 0));
    EXPECT_EQ("Event 05911", rows.Text(0, 0));
    int top = (int)SendMessageA(history, LVM_GETTOPINDEX, 0, 0);
    int perPage = (int)SendMessageA(history, LVM_GETCOUNTPERPAGE, 0, 0);
    EXPECT_GE(top + perPage, 4096);

    // The unknown action is not reversible: Restore stays off, and a double
    // click writes nothing.
    // Rows of the lines at the end: Undo Me, Forged, the long name, the
    // line with NULs and more fields, the last line.
    const int disable = 4090, undo = 4091, forged = 4092, longRow = 4093;
    EXPECT_EQ("Forged", rows.Text(forged, 0));
    EXPECT_EQ("Nul led", rows.Text(4094, 0));
    rows.SelectOnly(forged);
    EXPECT_EQ("LOG_UNKNOWN", rows.Text(forged, 1));
    Settle(dialog);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1104)));
    // Restore (as a double click does) on it writes nothing.
    DWORD_PTR ignored;
    SendMessageTimeoutA(dialog, WM_COMMAND, 1104, 0, SMTO_NORMAL, 3000, &ignored);
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Forged"));

    // A line of another kind (a Disable) is never acted on, not even by a
    // double click.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Keep Me", "C:\\keep.exe"));
    rows.SelectOnly(disable);
    Settle(dialog);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1104)));
    SendMessageTimeoutA(dialog, WM_COMMAND, 1104, 0, SMTO_NORMAL, 3000, &ignored);
    EXPECT_EQ("C:\\keep.exe", Value(HKEY_CURRENT_USER, kRun, "Keep Me"));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, "Software\\Orvendale\\Sentrel\\Disabled").empty());

    // The name too long for its field reads back empty: nothing to undo.
    EXPECT_EQ("", rows.Text(longRow, 0));
    rows.SelectOnly(longRow);
    Settle(dialog);
    SendMessageTimeoutA(dialog, WM_COMMAND, 1104, 0, SMTO_NORMAL, 1000, &ignored);
    HWND refused = WaitForMessageBox();
    ASSERT_NE(nullptr, refused);
    test::PressButton(refused, IDOK);
    test::WaitForWindowGone(refused, wait);
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, ""));

    // The removal comes back byte for byte under its exact name.
    EXPECT_EQ("Undo Me", rows.Text(undo, 0));
    rows.SelectOnly(undo);
    EXPECT_EQ("*START_Remove", rows.Text(undo, 1));
    EXPECT_EQ("CURRENT_RUN", rows.Text(undo, 2));
    Settle(dialog);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 1104)));
    // The undo says what it will write and asks; it approves nothing.
    Click(dialog, 1104);
    HWND ask = WaitForMessageBox();
    ASSERT_NE(nullptr, ask);
    std::string asked = test::DialogText(ask);
    EXPECT_NE(std::string::npos, asked.find("Undo Me")) << asked;
    EXPECT_NE(std::string::npos, asked.find("\"C:\\x y\\u.exe\" /a \"b c\"")) << asked;
    test::PressButton(ask, IDYES);
    ASSERT_TRUE(WaitFor([&] { return test::ValueExists(HKEY_CURRENT_USER, kRun, "Undo Me"); }));
    EXPECT_EQ("\"C:\\x y\\u.exe\" /a \"b c\"", Value(HKEY_CURRENT_USER, kRun, "Undo Me"));
    for (const std::string &approval : test::ValueNames(HKEY_CURRENT_USER, kRunBaseline))
        EXPECT_EQ(std::string::npos, approval.find("u.exe")) << "a restore approves nothing: the monitor asks";
    // Never over a value that is there now.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Undo Me", "C:\\now.exe"));
    Settle(dialog);
    // The list was read again with the restore's own line at its end.
    ASSERT_GE(rows.Select(0, "Undo Me"), 0);
    EXPECT_EQ("*START_Remove", rows.Text(rows.Selected(), 1));
    Settle(dialog);
    Click(dialog, 1104);
    ask = WaitForMessageBox();
    ASSERT_NE(nullptr, ask);
    test::PressButton(ask, IDYES);
    ASSERT_TRUE(test::WaitForWindowGone(ask, wait));
    HWND refusedAgain = WaitForMessageBox();
    ASSERT_NE(nullptr, refusedAgain);
    EXPECT_NE(std::string::npos, test::DialogText(refusedAgain).find("Nothing was put back"))
        << test::DialogText(refusedAgain);
    test::PressButton(refusedAgain, IDOK);
    test::WaitForWindowGone(refusedAgain, wait);
    EXPECT_EQ("C:\\now.exe", Value(HKEY_CURRENT_USER, kRun, "Undo Me"));

    // Clear File: the file goes, the list empties.
    Click(dialog, 1106);
    ASSERT_TRUE(WaitFor([&] { return rows.Count() == 0; }));
    EXPECT_FALSE(test::FileExistsAt(folder + "\\history.txt"));
    Click(dialog, IDOK);
    EXPECT_TRUE(test::WaitForWindowGone(dialog, wait));
}
