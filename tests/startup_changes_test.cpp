// Disabling, enabling, deleting, resetting and restoring startup entries:
// every kind of location makes the round trip back to exactly what it held.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "always_run.h"
#include "items.h"
#include "options.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "startup_locations.h"
#include "store.h"
#include "test_support.h"
#include "text.h"

using namespace test::keys;

namespace {
const char kWindowsNT[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// Presses a button of the next "Sentrel" message box from another thread.
class BoxPresser {
public:
    explicit BoxPresser(int button)
        : thread_([this, button] {
              HWND box = test::WaitForWindow("#32770", "Sentrel", 10000);
              if (box) {
                  text_ = test::DialogText(box);
                  test::PressButton(box, button);
              }
          })
    {
    }
    ~BoxPresser()
    {
        if (thread_.joinable()) thread_.join();
    }
    std::string Text()
    {
        if (thread_.joinable()) thread_.join();
        return text_;
    }

private:
    std::string text_;
    std::thread thread_;
};

class StartupChanges : public test::StartupLocationsTest {
protected:
    void Clean() override
    {
        test::DeleteTree(HKEY_CURRENT_USER, kRun);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kRun);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kDelayLoad);
        test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify");
        test::WriteString(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls", "");
        WriteProfileStringA("windows", "run", nullptr);
        WriteProfileStringA("windows", "load", nullptr);
        test::ResetSentrelRegistry();
        test::ClearHistory();
        std::string disabled = test::BuildFolder() + "\\Disabled";
        for (const char *name : {"Tool.lnk", "gone.lnk"}) {
            DeleteFileA((disabled + "\\" + name).c_str());
            DeleteFileA((test::ShellFolder("Startup") + "\\" + name).c_str());
        }
    }
};
}  // namespace

TEST_F(StartupChanges, RunEntryRoundTripKeepsTheValueExactly)
{
    const char command[] = "\"C:\\Program Files\\App\\app.exe\" /tray \"C:\\My Docs\\x.txt\"";
    test::WriteString(HKEY_CURRENT_USER, kRun, "App", command);
    const char expand[] = "%SystemRoot%\\system32\\helper.exe";
    test::WriteValue(HKEY_LOCAL_MACHINE, kRun, "Helper", REG_EXPAND_SZ, expand, sizeof expand);
    test::Stored appBefore = test::ReadStored(HKEY_CURRENT_USER, kRun, "App");
    test::Stored helperBefore = test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Helper");

    BuildStartupList(0);
    int app = -1, helper = -1;
    for (int i = 0; i < ItemCount(); i++) {
        if (std::string(GetItemTitle(i)) == "App") app = i;
        if (std::string(GetItemTitle(i)) == "Helper") helper = i;
    }
    ASSERT_GE(app, 0);
    ASSERT_GE(helper, 0);
    std::string appPath = GetItemPath(app), helperPath = GetItemPath(helper);

    EXPECT_EQ(1, ToggleStartupEntry("App", appPath.c_str(), "", 11));
    EXPECT_EQ(1, ToggleStartupEntry("Helper", helperPath.c_str(), "", 1));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "App"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Helper"));
    EXPECT_EQ("11", test::Value(HKEY_LOCAL_MACHINE, kDisabled, "App"));
    EXPECT_EQ("1", test::Value(HKEY_LOCAL_MACHINE, kDisabled, "Helper"));

    // Listed as disabled entries.
    BuildStartupList(0);
    bool listed = false;
    for (int i = 0; i < ItemCount(); i++)
        listed |= std::string(GetItemTitle(i)) == "App" && GetItemType(i) == 11;
    EXPECT_TRUE(listed);

    EXPECT_EQ(1, ToggleStartupEntry("App", appPath.c_str(), "", 11));
    EXPECT_EQ(1, ToggleStartupEntry("Helper", helperPath.c_str(), "", 1));
    EXPECT_EQ(appBefore, test::ReadStored(HKEY_CURRENT_USER, kRun, "App"));
    EXPECT_EQ(helperBefore, test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Helper"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "App"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, std::string(kDisabled) + "\\Run", "App"));
    // Each change is written down, and none as a removal.
    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos, history.find("\tSTART_Disable\tCURRENT_RUN\tApp\t" + appPath + "\t")) << history;
    EXPECT_NE(std::string::npos, history.find("\tSTART_Disable\tMACHINE_RUN\tHelper\t")) << history;
    EXPECT_NE(std::string::npos, history.find("\tSTART_Enable\tCURRENT_RUN\tApp\t" + appPath + "\t")) << history;
    EXPECT_NE(std::string::npos, history.find("\tSTART_Enable\tMACHINE_RUN\tHelper\t")) << history;
    EXPECT_EQ(std::string::npos, history.find("START_Remove")) << "toggling is no removal";
}

TEST_F(StartupChanges, WinIniRoundTripPutsTheCommandBackInItsPlace)
{
    WriteProfileStringA("windows", "run", "C:\\a.exe;C:\\b.exe;C:\\c.exe");
    EXPECT_EQ(1, ToggleStartupEntry("run", "C:\\b.exe", "", 101));
    EXPECT_EQ("C:\\a.exe;C:\\c.exe", test::WinIni("run")) << "the rest of the list stays as it was";
    std::string saved;
    // A piece is kept under a name of its own: the title "run" is shared.
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, std::string(kDisabled) + "\\WinRun", "@101:C:\\b.exe",
                                 &saved));
    EXPECT_EQ("C:\\b.exe", saved);

    ToggleStartupEntry("run", "C:\\b.exe", "", 101);
    EXPECT_EQ("C:\\a.exe;C:\\b.exe;C:\\c.exe", test::WinIni("run")) << "back in its place, byte for byte";
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
    // A list changed meanwhile: the piece goes to its end, with one separator.
    EXPECT_EQ(1, ToggleStartupEntry("run", "C:\\a.exe", "", 101));
    WriteProfileStringA("windows", "run", "C:\\b.exe;C:\\c.exe;C:\\d.exe");
    ToggleStartupEntry("run", "C:\\a.exe", "", 101);
    EXPECT_EQ("C:\\b.exe;C:\\c.exe;C:\\d.exe;C:\\a.exe", test::WinIni("run"));

    // A list too long to be read whole is never rewritten from a cut copy.
    std::string list;
    for (int i = 0; i < 500; i++) list += "C:\\p" + std::to_string(i) + ".exe;";
    WriteProfileStringA("windows", "load", list.c_str());
    EXPECT_EQ(0, ToggleStartupEntry("load", "C:\\p3.exe", "", 100));
    EXPECT_EQ(list, test::WinIni("load"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "load"));
}

TEST_F(StartupChanges, StartupFolderRoundTripMovesTheShortcut)
{
    // One plain shortcut, and one whose name and target no ANSI code page
    // holds: each is listed with its exact target and comes back byte for byte.
    std::string programs = test::FreshFolder(u8"Программы Ω");
    std::string target = programs + u8"\\злой 更新.exe";
    ASSERT_TRUE(test::WriteFile(target, "MZ"));
    // The all users' Startup folder too: its shortcut comes back there.
    std::string common;
    test::ReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup", &common);
    CreateDirectoryA(common.c_str(), nullptr);
    const struct {
        std::string title, target, folder;
    } cases[] = {{"Tool", "C:\\windows\\system32\\notepad.exe", test::ShellFolder("Startup")},
                 {u8"Запуск 更新 🙂", target, test::ShellFolder("Startup")},
                 {"Everyone", "C:\\windows\\system32\\notepad.exe", common}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title);
        std::string folder = c.folder;
        std::string link = folder + "\\" + c.title + ".lnk";
        ASSERT_EQ(1, CreateShortcut(link.c_str(), c.target.c_str(), "", "C:\\windows", c.title.c_str(), "", 0));
        std::string before;
        ASSERT_TRUE(test::ReadFile(link, &before));
        BuildStartupList(0);
        bool exact = false;
        for (int i = 0; i < ItemCount(); i++)
            exact |= GetItemName(i) == link && TextEqualNoCase(GetItemPath(i), c.target.c_str());
        EXPECT_TRUE(exact) << "listed as the shortcut file, with its target";

        ASSERT_EQ(1, ToggleStartupEntry(c.title.c_str(), c.target.c_str(), link.c_str(), 200));
        EXPECT_FALSE(test::FileExistsAt(link));
        EXPECT_TRUE(test::FileExistsAt(test::BuildFolder() + "\\Disabled\\" + c.title + ".lnk"));
        BuildStartupList(0);
        bool listed = false;
        for (int i = 0; i < ItemCount(); i++) listed |= std::string(GetItemTitle(i)) == c.title;
        EXPECT_TRUE(listed) << "a disabled shortcut is listed from the Disabled folder";

        ASSERT_EQ(1, ToggleStartupEntry(c.title.c_str(), c.target.c_str(), link.c_str(), 200));
        std::string after;
        ASSERT_TRUE(test::ReadFile(link, &after));
        EXPECT_EQ(before, after);
        EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
        DeleteFileA(link.c_str());
    }
}

TEST_F(StartupChanges, DeletingAStartupShortcutNeverDeletesItsProgram)
{
    std::string folder = test::FreshFolder("program");
    std::string program = folder + "\\keep.exe";
    ASSERT_TRUE(test::WriteFile(program, "MZ program"));
    SetFileAttributesA(program.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string link = test::ShellFolder("Startup") + "\\gone.lnk";
    ASSERT_EQ(1, CreateShortcut(link.c_str(), program.c_str(), "", folder.c_str(), "Gone", "", 0));

    EXPECT_EQ(1, DeleteStartupEntry("Sentrel", program.c_str(), link.c_str(), 200));
    EXPECT_FALSE(test::FileExistsAt(link));
    // The second call of the pair finds no shortcut: the program stays.
    DeleteStartupEntry("Sentrel System Monitor", program.c_str(), link.c_str(), 200);
    EXPECT_TRUE(test::FileExistsAt(program));
    // Nor is a program outside the Startup folders deleted as a bare item.
    EXPECT_EQ(0, DeleteStartupEntry("keep", program.c_str(), "", 200));
    EXPECT_TRUE(test::FileExistsAt(program));
    SetFileAttributesA(program.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(StartupChanges, DeleteRemovesEntryApprovalsAndLogsIt)
{
    test::WriteString(HKEY_CURRENT_USER, kRun, "Pest", "C:\\pest\\pest.exe -a=1");
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, "C:\\pest\\pest.exe -a:1", "11");
    EXPECT_EQ(1, DeleteStartupEntry("Pest", "C:\\pest\\pest.exe -a=1", "", 11));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Pest"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRunBaseline, "C:\\pest\\pest.exe -a:1"));
    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos,
              history.find("\t*START_Remove\tCURRENT_RUN\tPest\tC:\\pest\\pest.exe -a=1\t\r\n"))
        << history;

    // The program's own entries leave no history line, but their approvals go.
    test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", "C:\\S\\Sentrel.exe -expressboot");
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, "C:\\S\\Sentrel.exe -expressboot", "1");
    EXPECT_EQ(1, DeleteStartupEntry("Sentrel", "C:\\S\\Sentrel.exe -expressboot", "", 1));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRunBaseline, "C:\\S\\Sentrel.exe -expressboot"));
    EXPECT_EQ(history, test::HistoryText());

    // Nothing deleted, nothing logged.
    EXPECT_EQ(0, DeleteStartupEntry("Absent", "C:\\absent.exe", "", 11));
    EXPECT_EQ(history, test::HistoryText());
}

TEST_F(StartupChanges, DeletingADisabledWinIniEntryRemovesMarkAndCopy)
{
    WriteProfileStringA("windows", "run", "C:\\x.exe;C:\\y.exe");
    ASSERT_EQ(1, ToggleStartupEntry("run", "C:\\y.exe", "", 101));
    EXPECT_EQ(1, DeleteStartupEntry("run", "C:\\y.exe", "", 101));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, std::string(kDisabled) + "\\WinRun").empty());
    EXPECT_EQ("C:\\x.exe", test::WinIni("run")) << "one separator goes with the piece";
}

TEST_F(StartupChanges, NotifyDllIsKeptAsideAndPutBack)
{
    const std::string key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\Watcher";
    test::WriteString(HKEY_LOCAL_MACHINE, key, "DllName", "C:\\ext\\notify.dll");
    EXPECT_EQ(1, ToggleStartupEntry("Watcher", "C:\\ext\\notify.dll", "", 256));
    std::string value;
    test::ReadString(HKEY_LOCAL_MACHINE, key, "DllName", &value);
    EXPECT_EQ("", value) << "emptied (or gone)";
    EXPECT_EQ("C:\\ext\\notify.dll", test::Value(HKEY_LOCAL_MACHINE, key, "OldName"));
    EXPECT_EQ("256", test::Value(HKEY_CURRENT_USER, kRunBaseline, "C:\\ext\\notify.dll"));

    ToggleStartupEntry("Watcher", "C:\\ext\\notify.dll", "", 256);
    EXPECT_EQ("C:\\ext\\notify.dll", test::Value(HKEY_LOCAL_MACHINE, key, "DllName"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "Watcher"));
}

TEST_F(StartupChanges, KeyLocationsAskBeforeRemoval)
{
    test::WriteString(HKEY_LOCAL_MACHINE, kDelayLoad, "Loader", "{00000000-1111-2222-3333-444444444444}");
    {
        BoxPresser no(IDNO);
        EXPECT_EQ(1, DeleteStartupEntry("Loader", "C:\\ext\\loader.dll",
                                        "{00000000-1111-2222-3333-444444444444}", 252));
        EXPECT_NE(std::string::npos, no.Text().find("key location for your operating system"));
    }
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kDelayLoad, "Loader"));
    EXPECT_EQ("", test::HistoryText());
    {
        BoxPresser yes(IDYES);
        DeleteStartupEntry("Loader", "C:\\ext\\loader.dll", "{00000000-1111-2222-3333-444444444444}", 252);
    }
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kDelayLoad, "Loader"));
    EXPECT_NE(std::string::npos, test::HistoryText().find("\tREMOVE_DELAYLOAD\tREG_Delayload\tLoader\t"));
}

TEST_F(StartupChanges, WinlogonResets)
{
    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "explorer.exe C:\\evil.exe");
    EXPECT_EQ(1, DeleteStartupEntry("Winlogon Shell", "C:\\evil.exe", "", 251));
    EXPECT_EQ("Explorer.exe", test::Value(HKEY_LOCAL_MACHINE, kWinlogon, "Shell"));
    EXPECT_EQ("251", test::Value(HKEY_LOCAL_MACHINE, kRunBaseline, "Explorer.exe"));

    EXPECT_EQ(1, DeleteStartupEntry("Winlogon Userinit", "C:\\evil2.exe", "", 250));
    EXPECT_EQ(test::SystemFolder() + "\\Userinit.exe,", test::Value(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit"));
    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos, history.find("\tRESET_SHELL\t"));
    EXPECT_NE(std::string::npos, history.find("\tRESET_USERINIT\t"));
}

TEST_F(StartupChanges, AppInitDllsStayWholePaths)
{
    test::WriteString(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls", "C:\\a.dll C:\\b.dll,C:\\c.dll");
    EXPECT_EQ(1, RemoveAppInitDll("C:\\b.dll"));
    EXPECT_EQ("C:\\a.dll,C:\\c.dll", test::Value(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls"));
    RemoveAppInitDll("C:\\c.dll");
    RemoveAppInitDll("C:\\a.dll");
    EXPECT_EQ("", test::Value(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls"));

    // An addition that would not fit is refused, never written half.
    std::string full = "C:\\" + std::string(240, 'f') + ".dll";
    test::WriteString(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls", full);
    EXPECT_EQ(0, AddAppInitDll("C:\\another\\hook.dll"));
    EXPECT_EQ(full, test::Value(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls"));
    test::WriteString(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls", "");
    EXPECT_EQ(1, AddAppInitDll("C:\\hook.dll"));
    EXPECT_EQ("C:\\hook.dll", test::Value(HKEY_LOCAL_MACHINE, kWindowsNT, "AppInit_Dlls"));
}

TEST_F(StartupChanges, RestoreWritesBackAndApproves)
{
    EXPECT_EQ(1, RestoreStartupEntry("Back", "C:\\back\\back.exe -q", "", 11));
    EXPECT_EQ("C:\\back\\back.exe -q", test::Value(HKEY_CURRENT_USER, kRun, "Back"));
    EXPECT_EQ("11", test::Value(HKEY_CURRENT_USER, kRunBaseline, "C:\\back\\back.exe -q"));

    std::string link = test::ShellFolder("Startup") + "\\Tool.lnk";
    EXPECT_EQ(1, RestoreStartupEntry("Tool", "C:\\windows\\system32\\notepad.exe", link.c_str(), 200));
    char target[PATH_SIZE], description[1024];
    EXPECT_EQ(S_OK, ResolveShortcut(nullptr, link.c_str(), target, description));
    EXPECT_STREQ("Tool", description);
    EXPECT_EQ(0, RestoreStartupEntry("Shell", "explorer.exe", "", 251));
}

// The monitor's own registration is known by what it is: the Run value
// "Sentrel" starting Sentrel.exe of the program's own folder. Look-alikes
// and the user's own entries that merely carry the name stay.
TEST_F(StartupChanges, RemovingTheMonitorsOwnEntries)
{
    const std::string own = test::BuildFolder() + "\\Sentrel.exe";
    test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", own + " -expressboot");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Look-alike", "C:\\evil\\NotSentrel.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Backup", "C:\\S\\BackupSentrel.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Elsewhere", "C:\\S\\Sentrel.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Sentrel Explorer", test::BuildFolder() + "\\SentrelEx.exe -START");
    EXPECT_EQ(1, IsAlwaysRun());
    EXPECT_EQ(1, IsOwnRegistration((own + " -expressboot").c_str()));
    EXPECT_EQ(0, IsOwnRegistration("C:\\evil\\NotSentrel.exe"));
    EXPECT_EQ(0, IsOwnRegistration((own + " -other").c_str()));
    alwaysRun = 1;
    EXPECT_EQ(1, RemoveOwnStartupEntries(0));   // counting only
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));

    EXPECT_EQ(1, SetAlwaysRun(0));
    EXPECT_EQ(0, alwaysRun);
    EXPECT_EQ(0, IsAlwaysRun());
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    for (const char *kept : {"Look-alike", "Backup", "Elsewhere", "Sentrel Explorer"})
        EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kRun, kept)) << kept;
    EXPECT_NE(std::string::npos, test::HistoryText().find("\t*START_Remove\tMACHINE_RUN\tSentrel\t" + own + " -expressboot\t"))
        << test::HistoryText();
    // A value "Sentrel" that starts another program is not the monitor's.
    test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", "C:\\evil\\Sentrel.exe");
    EXPECT_EQ(0, IsAlwaysRun());
    EXPECT_EQ(0, SetAlwaysRun(0));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    EXPECT_EQ(0, RemoveOwnStartupEntries(1)) << "the monitor has no entry now; the explorer's own still goes";
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Sentrel Explorer"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Elsewhere"));
}

TEST_F(StartupChanges, DelayedProgramsAreListedFromBothHives)
{
    const std::string delay = "Software\\Orvendale\\Sentrel\\Delay";
    test::WriteString(HKEY_LOCAL_MACHINE, delay, "C:\\tools\\early.exe", "1");
    test::WriteString(HKEY_CURRENT_USER, delay, "C:\\tools\\late.exe", "200");
    test::WriteString(HKEY_CURRENT_USER, delay + "\\Title", "C:\\tools\\late.exe", "Late Starter");
    test::WriteString(HKEY_CURRENT_USER, delay + "\\Shortcuts", "C:\\tools\\late.exe", "C:\\links\\late.lnk");
    ASSERT_EQ(2, ListDelayedPrograms());
    EXPECT_STREQ("early.exe", GetItemTitle(0));   // no title, no version: the file name
    EXPECT_EQ(1, GetItemType(0));
    EXPECT_EQ(0, GetItemQualifier(0));            // HKLM
    EXPECT_STREQ("Late Starter", GetItemTitle(1));
    EXPECT_STREQ("C:\\links\\late.lnk", GetItemDetail(1));
    EXPECT_EQ(200, GetItemType(1));
    EXPECT_EQ(1, GetItemQualifier(1));            // HKCU
    test::DeleteTree(HKEY_LOCAL_MACHINE, delay);
    test::DeleteTree(HKEY_CURRENT_USER, delay);
}
