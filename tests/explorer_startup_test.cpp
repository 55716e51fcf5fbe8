// The real SentrelEx.exe on its Startup Programs page: the rows it shows for
// every kind of startup location, Disable / Enable / Remove / Move to
// Delayed Start on a selected row, sorting by a column, the start switches,
// the single instance and the first-seen pruning at start.
#include "explorer_pages.h"

#include <shlobj.h>

#include <algorithm>
#include <initializer_list>

#include "delayed_programs.h"
#include "items.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "signed_samples.h"

using namespace test::keys;

namespace {

const char kRegedit[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
enum { kTitle, kCommand, kCompany, kType, kFirstSeen, kPublisher };

std::string StartupFolder()
{
    char path[PATH_SIZE] = "";
    SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, 0, path);
    return path;
}

class StartupPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        ExplorerPage::SetUp();
        CleanStartupLocations();
        // Program files for the entries: copies of a program with version facts
        // and an icon, in a folder whose name does not mention the program
        // itself (its own entries are kept out of the history).
        CreateDirectoryA(programs.c_str(), nullptr);
        for (const char *name : {"alpha.exe", "beta.exe", "gamma.exe", "delta.exe"})
            ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (programs + "\\" + name).c_str(),
                                  FALSE));
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        CleanStartupLocations();
    }
    static void CleanStartupLocations()
    {
        test::ClearRunKeys();
        WriteProfileStringA("windows", "run", "");
        WIN32_FIND_DATAA found;
        std::string startup = StartupFolder();
        HANDLE find = FindFirstFileA((startup + "\\*.lnk").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do DeleteFileA((startup + "\\" + found.cFileName).c_str());
            while (FindNextFileA(find, &found));
            FindClose(find);
        }
    }
    void PlantEveryKind()
    {
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Machine Alpha", programs + "\\alpha.exe -min"));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "User Beta", programs + "\\beta.exe"));
        ASSERT_TRUE(CreateShortcut((StartupFolder() + "\\Folder Gamma.lnk").c_str(),
                                   (programs + "\\gamma.exe").c_str(), "", programs.c_str(), "", "", 0));
        ASSERT_TRUE(WriteProfileStringA("windows", "run", (programs + "\\delta.exe").c_str()));
    }
    // Selects only the row of this title (and type, when given).
    int Select(const std::string &title, const std::string &type = "")
    {
        return type.empty() ? remote->Select(kTitle, title) : remote->Select(kTitle, title, kType, type);
    }
    static const std::vector<std::string> *RowOf(const std::vector<std::vector<std::string>> &rows,
                                                 const std::string &title)
    {
        return test::RowWith(rows, kTitle, title);
    }
    // Types text into the filter box as keys are typed: posted, and done once
    // the box holds it all.
    void TypeFilter(const std::wstring &text)
    {
        HWND box = GetDlgItem(page, 1224);
        ASSERT_NE(nullptr, box);
        SendMessageW(box, WM_SETTEXT, 0, (LPARAM)L"");
        for (wchar_t c : text) PostMessageW(box, WM_CHAR, c, 0);
        ASSERT_TRUE(WaitFor([&] { return SendMessageW(box, WM_GETTEXTLENGTH, 0, 0) == (LRESULT)text.size(); }));
    }
    static std::string WinIniRun()
    {
        static char text[4096];
        GetProfileStringA("windows", "run", "", text, sizeof text);
        return text;
    }

    const std::string programs = "C:\\startup-programs";
};

}  // namespace

TEST_F(StartupPage, ListsEveryLocationKindAsTheStartupListHasIt)
{
    PlantEveryKind();
    // Signed by an authority this machine does not trust, and a file that
    // is not there: neither names a publisher.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Signed Epsilon", test::SignedSample("signed.exe")));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Missing Zeta", programs + "\\zeta.exe"));
    StartExplorer();
    auto rows = remote->Rows();

    // The same records as the startup list of this system, one row each.
    int count = BuildStartupList(1);
    std::string shown;
    for (const auto &row : rows) shown += row[kTitle] + " | " + row[kCommand] + " | " + row[kType] + "\n";
    ASSERT_EQ(count, (int)rows.size()) << shown;
    for (int i = 0; i < count; i++)
        EXPECT_NE(nullptr, RowOf(rows, GetItemTitle(i))) << GetItemTitle(i);

    struct Expected {
        const char *title, *command, *type;
    } expected[] = {
        {"Machine Alpha", "alpha.exe -min", "HKLM Run"},
        {"User Beta", "beta.exe", "HKCU Run"},
    };
    for (const Expected &e : expected) {
        const auto *row = RowOf(rows, e.title);
        ASSERT_NE(nullptr, row) << e.title << "\n" << shown;
        EXPECT_STRCASEEQ(e.command, (*row)[kCommand].c_str()) << e.title;
        EXPECT_EQ(e.type, (*row)[kType]) << e.title;
        EXPECT_EQ("Orvendale", (*row)[kCompany]) << e.title;
        EXPECT_FALSE((*row)[kFirstSeen].empty()) << e.title;
        EXPECT_EQ("Not verified", (*row)[kPublisher]) << "its company is only what the file says";
    }
    ASSERT_NE(nullptr, RowOf(rows, "Signed Epsilon")) << shown;
    EXPECT_EQ("Not verified: untrusted signature", (*RowOf(rows, "Signed Epsilon"))[kPublisher]);
    ASSERT_NE(nullptr, RowOf(rows, "Missing Zeta")) << shown;
    EXPECT_EQ("Not verified: no file", (*RowOf(rows, "Missing Zeta"))[kPublisher]);
    EXPECT_EQ("HKCU Run (file missing)", (*RowOf(rows, "Missing Zeta"))[kType]);
    // The shortcut and the win.ini entry are titled by their program's
    // product name.
    int folderRows = 0, winIniRows = 0;
    for (const auto &row : rows) {
        if (row[kType] == "Startup folder (this user)") {
            folderRows++;
            EXPECT_STRCASEEQ("gamma.exe", row[kCommand].c_str());
            EXPECT_EQ("Sentrel explorer", row[kTitle]) << "the program's own description";
        }
        if (row[kType] == "win.ini run") {
            winIniRows++;
            EXPECT_STRCASEEQ("delta.exe", row[kCommand].c_str());
        }
    }
    EXPECT_EQ(1, folderRows) << shown;
    EXPECT_EQ(1, winIniRows) << shown;
    // A program seen for the first time has its date recorded.
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\Startup").empty());

    // F5 in the list fills the page again: an entry written meanwhile shows.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Late Eta", programs + "\\beta.exe -late"));
    SetFocus(list);
    PostMessageA(list, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == count + 1; })) << remote->Count();
    count++;

    // "Hide entries signed by Microsoft" goes by signature: nothing here is
    // signed by Microsoft, so every row stays, whatever its company says.
    SendMessageA(page, WM_COMMAND, 1220, 0);
    Settle();
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, kOptions, "HideMicrosoftStartup"));
    EXPECT_EQ(count, remote->Count());
}

TEST_F(StartupPage, DisableEnableAndRemoveChangeTheEntryAndTheHistory)
{
    PlantEveryKind();
    const std::string name = u8"Обновление 更新 🙂", data = u8"C:\\Программы Ω\\злой.exe -q";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, data));
    StartExplorer();

    // Disable a Run entry: the live value goes, the mark and the copy stay.
    ASSERT_GE(Select("User Beta"), 0);
    Settle();
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 11)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, 10)));
    Press(11);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "User Beta"); }));
    Settle();
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "User Beta"));
    auto rows = remote->Rows();
    ASSERT_NE(nullptr, RowOf(rows, "User Beta"));
    EXPECT_EQ("HKCU Run (disabled)", (*RowOf(rows, "User Beta"))[kType]) << "it still says where it lives";

    // Enable puts the value back as it was.
    ASSERT_GE(Select("User Beta"), 0);
    Settle();
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 10)));
    Press(10);
    ASSERT_TRUE(WaitFor([] { return test::ValueExists(HKEY_CURRENT_USER, kRun, "User Beta"); }));
    Settle();
    std::string command;
    EXPECT_EQ(programs + "\\beta.exe", test::Value(HKEY_CURRENT_USER, kRun, "User Beta"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "User Beta"));

    // A name and command in scripts no ANSI code page holds are listed as
    // they are, and Disable and Enable give back the very same value.
    const std::string raw = test::ReadRawValue(HKEY_CURRENT_USER, kRun, test::Wide(name));
    ASSERT_GE(Select(name), 0);
    rows = remote->Rows();
    ASSERT_NE(nullptr, RowOf(rows, name));
    EXPECT_EQ(u8"злой.exe -q", (*RowOf(rows, name))[kCommand]) << "the file and its parameters";
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, name); }));
    Settle();
    ASSERT_GE(Select(name), 0);
    Settle();
    Press(10);
    ASSERT_TRUE(WaitFor([&] { return test::ValueExists(HKEY_CURRENT_USER, kRun, name); }));
    EXPECT_EQ(raw, test::ReadRawValue(HKEY_CURRENT_USER, kRun, test::Wide(name)));
    EXPECT_EQ((std::vector<std::string>{}), test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled)) << "no mark is left";
    Settle();

    // A Startup-folder shortcut is disabled by moving the file away.
    std::string shortcut = StartupFolder() + "\\Folder Gamma.lnk";
    ASSERT_GE(Select("Sentrel explorer", "Startup folder (this user)"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return !test::FileExistsAt(shortcut); }));
    Settle();
    ASSERT_GE(Select("Sentrel explorer", "Startup folder (disabled)"), 0);
    Settle();
    Press(10);
    ASSERT_TRUE(WaitFor([&] { return test::FileExistsAt(shortcut); }));
    Settle();

    // Remove asks first, naming the command; No keeps the entry, Yes removes it.
    int before = remote->Count();
    ASSERT_GE(Select("User Beta"), 0);
    Settle();
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find(programs + "\\beta.exe"));
    test::PressButton(box, IDNO);
    ASSERT_TRUE(test::WaitForWindowGone(box, wait));
    Settle();
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kRun, "User Beta"));

    ASSERT_GE(Select("User Beta"), 0);
    Settle();
    Press(1003);
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "User Beta"); }));
    Settle();
    EXPECT_EQ(before - 1, remote->Count());
    EXPECT_EQ(nullptr, RowOf(remote->Rows(), "User Beta"));
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("User Beta")) << history;
    EXPECT_NE(std::string::npos, history.find(programs + "\\beta.exe")) << history;
    // The other entries were not touched.
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Machine Alpha"));
}

// Two entries of the same name in HKLM and HKCU: the action reaches the
// entry of the selected row, not the first of that name.
TEST_F(StartupPage, SameNameInBothHivesRemovesTheSelectedEntry)
{
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Updater", programs + "\\alpha.exe"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Updater", programs + "\\beta.exe"));
    StartExplorer();
    ASSERT_GE(Select("Updater", "HKCU Run"), 0);
    Settle();
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("beta.exe"));
    test::PressButton(box, IDYES);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "Updater"); }));
    Settle();
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Updater"));

    // Several selected rows are removed without a question.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "One", programs + "\\gamma.exe"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Two", programs + "\\delta.exe"));
    ASSERT_GE(Select("Updater"), 0);
    Settle();
    Press(11);   // disable and enable refill the list with the new entries
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Updater"); }));
    Settle();
    int one = Select("One"), two = Select("Two");
    ASSERT_GE(one, 0);
    ASSERT_GE(two, 0);
    remote->SelectRows({one, two});
    Settle();
    Press(1003);
    ASSERT_TRUE(WaitFor([] {
        return !test::ValueExists(HKEY_CURRENT_USER, kRun, "One") &&
               !test::ValueExists(HKEY_CURRENT_USER, kRun, "Two");
    }));
    Settle();
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "Updater"));
}

TEST_F(StartupPage, MoveToDelayedStartWritesTheDelayEntryAndRemovesTheStartupEntry)
{
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "User Beta", programs + "\\beta.exe /tray"));
    StartExplorer();
    ASSERT_GE(Select("User Beta"), 0);
    Settle();
    Command(1195);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "User Beta"); }));
    Settle();
    std::string file = programs + "\\beta.exe", text;
    EXPECT_EQ("11", test::Value(HKEY_CURRENT_USER, kDelay, file));
    EXPECT_EQ("User Beta", test::Value(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Delay\\Title", file));
    EXPECT_EQ(" /tray", test::Value(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Delay\\Parameters", file));
    EXPECT_EQ("1103", test::Value(HKEY_CURRENT_USER, kRunBaseline, file + " /tray"));
    EXPECT_EQ(nullptr, RowOf(remote->Rows(), "User Beta"));
}

// Moved to Delayed Start and back, a value comes back as it was: its
// quotes, the case of its letters and its type.
TEST_F(StartupPage, ADelayedEntryComesBackByteForByte)
{
    const std::string command = "\"" + programs + "\\Orbit Tools\\orbitdelay.exe\" -sleep 120000";
    ASSERT_TRUE(test::WriteValue(HKEY_CURRENT_USER, kRun, "Orbit", REG_EXPAND_SZ, command.c_str(),
                                 (DWORD)command.size() + 1));
    const std::string before = test::ReadRawValue(HKEY_CURRENT_USER, kRun, L"Orbit");
    StartExplorer();
    ASSERT_GE(Select("Orbit"), 0);
    Settle();
    Command(1195);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "Orbit"); }));
    StopExplorer();

    // Restored as the Delayed Start page does.
    ASSERT_EQ(1, ListDelayedPrograms());
    Item record = {};
    ASSERT_EQ(1, CopyItemRecord(&record, GetItem(0)));
    EXPECT_EQ(1, RestoreDelayedProgram(record));
    ReleaseItemCopy(&record);
    DWORD type = 0;
    EXPECT_EQ(before, test::ReadRawValue(HKEY_CURRENT_USER, kRun, L"Orbit", &type));
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
    FreeItems();
}

TEST_F(StartupPage, HeaderClicksSortAndTheSortIsKeptForTheNextStart)
{
    for (const char *name : {"Cherry", "apple", "Banana", "Damson"})
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, programs + "\\alpha.exe"));
    // "apple" is disabled: it stays at the bottom in both directions.
    ASSERT_TRUE(ToggleStartupEntry("apple", (programs + "\\alpha.exe").c_str(), "", 11));
    StartExplorer();

    // Posted clicks come after anything sent: wait for their effect.
    remote->ClickHeader(kTitle);
    ASSERT_TRUE(WaitFor([] { return test::ValueExists(HKEY_CURRENT_USER, kOptions, "SortStartup"); }));
    Settle();
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, kOptions, "SortStartup"));
    auto titles = remote->Column(kTitle);
    ASSERT_GE(titles.size(), 4u);
    EXPECT_EQ("apple", titles.back());
    std::vector<std::string> live(titles.begin(), titles.end() - 1), sorted = live;
    auto noCase = [](const std::string &a, const std::string &b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; };
    std::sort(sorted.begin(), sorted.end(), noCase);
    EXPECT_EQ(sorted, live);
    EXPECT_EQ(HDF_SORTUP, remote->SortArrow(kTitle));
    EXPECT_EQ(0, remote->SortArrow(kCommand));

    std::string first = titles.front();
    remote->ClickHeader(kTitle);
    ASSERT_TRUE(WaitFor([&] { return remote->Text(0, kTitle) != first; }));
    titles = remote->Column(kTitle);
    EXPECT_EQ("apple", titles.back());
    live.assign(titles.begin(), titles.end() - 1);
    std::reverse(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, live);
    EXPECT_EQ(HDF_SORTDOWN, remote->SortArrow(kTitle));

    // The next start sorts ascending by the saved column.
    StopExplorer();
    StartExplorer();
    titles = remote->Column(kTitle);
    live.assign(titles.begin(), titles.end() - 1);
    std::reverse(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, live);
    EXPECT_EQ("apple", titles.back());
    EXPECT_EQ(HDF_SORTUP, remote->SortArrow(kTitle));
}

TEST_F(StartupPage, SwitchesChooseTheTabAndASecondStartForwardsIt)
{
    ASSERT_TRUE(test::InstallMonitor(folder, false));
    // "-RESTART" opens the Options tab and, unlike "-START", starts no monitor.
    StartExplorer("-RESTART");
    HWND tab = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    EXPECT_EQ(9, (int)SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ(nullptr, test::MonitorWindow());

    // A second explorer forwards its page and ends; no second sheet opens.
    test::Program second = test::Start(folder, "SentrelEx.exe", "-BHO");
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(second, wait, &code));
    test::Stop(second);
    EXPECT_EQ(0u, code);
    Settle();
    EXPECT_EQ(1u, test::ProcessDialogs(program.id, {test::kSheetCaption}).size());
    // ... and the open sheet turns to that page (IE Helpers), then to the
    // Services page of a third start.
    EXPECT_TRUE(WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == 2; }));
    second = test::Start(folder, "SentrelEx.exe", "-SERVICE");
    ASSERT_TRUE(test::WaitForExit(second, wait, &code));
    test::Stop(second);
    EXPECT_TRUE(WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == 4; }));

    // "-Q" from a second start closes the running explorer.
    second = test::Start(folder, "SentrelEx.exe", "-q");
    ASSERT_TRUE(test::WaitForExit(second, wait, &code));
    test::Stop(second);
    ASSERT_TRUE(test::WaitForExit(program, wait)) << "the first explorer kept running";
    test::Stop(program);
    EXPECT_EQ("6038", test::Value(HKEY_CURRENT_USER, kOptions, "StartTab")) << "the page it was on when it closed";

    // Case and extra letters do not matter: "-nuts" is the Cookies tab.
    StartExplorer("-nuts");
    tab = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    EXPECT_EQ(6, (int)SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    StopExplorer();

    // "-START" starts the monitor beside it when none runs.
    StartExplorer("-START");
    tab = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    EXPECT_EQ(0, (int)SendMessageA(tab, TCM_GETCURSEL, 0, 0));
    HWND monitor = test::WaitForWindow("Sentrel", nullptr, wait);
    ASSERT_NE(nullptr, monitor);
    // The tray menu's Services item turns the open explorer to Services.
    PostMessageA(monitor, WM_COMMAND, 6038, 0);
    EXPECT_TRUE(WaitFor([&] { return SendMessageA(tab, TCM_GETCURSEL, 0, 0) == 4; }));
}

TEST_F(StartupPage, EachStartAdvancesTheCounterAndPrunesOneFirstSeenSet)
{
    const char kDetected[] = "Software\\Orvendale\\Detected\\Startup";
    std::string present = programs + "\\alpha.exe", missing = programs + "\\gone.exe";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kDetected, present, "1/1/2020"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kDetected, missing, "1/1/2020"));
    // Counter 4 becomes 5, the turn of the startup set.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "nCount", "4"));
    StartExplorer();
    EXPECT_EQ("5", test::Value(HKEY_CURRENT_USER, kOptions, "nCount"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kDetected, present));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kDetected, missing));
    StopExplorer();

    // After 10 the counter starts again at 0.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "nCount", "10"));
    StartExplorer();
    EXPECT_EQ("0", test::Value(HKEY_CURRENT_USER, kOptions, "nCount"));
}

TEST_F(StartupPage, OneShotSwitchesWriteTheBaselineBackAndEnd)
{
    test::WriteDword(HKEY_CURRENT_USER, kStore, "AUOptions", 3);
    test::WriteDword(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 1);
    test::Program oneShot = test::Start(folder, "SentrelEx.exe", "-AUOption");
    ASSERT_TRUE(test::WaitForExit(oneShot, wait));
    test::Stop(oneShot);
    HKEY key;
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAutoUpdate, 0, KEY_READ, &key));
    RegQueryValueExA(key, "AUOptions", nullptr, nullptr, (BYTE *)&value, &size);
    RegCloseKey(key);
    EXPECT_EQ(3u, value);
    EXPECT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "a one-shot switch opens no window";
    test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate");
}

// Entries whose titles are rewritten, cut or shared: every action reaches
// the entry of the selected row, and the selection stays on it.
TEST_F(StartupPage, RowsActOnTheirOwnEntryWhateverTheirTitle)
{
    const std::string own = "C:\\Program Files\\Sentrel\\Sentrel.exe -expressboot";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", own));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater", programs + "\\beta.exe"));
    const std::string longName = "Long" + std::string(196, 'L');
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, longName, programs + "\\gamma.exe /long"));
    const std::string quoted = "\"C:\\Program Files\\Ini App\\app.exe\" /min";
    const std::string list = "C:\\ini\\one.exe;C:\\ini\\two.exe;" + quoted;
    ASSERT_TRUE(WriteProfileStringA("windows", "run", list.c_str()));
    StartExplorer();
    // The explorer's first run registered the monitor over the value above.
    std::string ownBefore = test::DumpTree(HKEY_LOCAL_MACHINE, kRun);
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", nullptr));

    // Disable, Enable and Remove on the row titled like the program.
    ASSERT_GE(remote->Select(kCommand, "beta.exe"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater"); }));
    Settle();
    ASSERT_GE(remote->Selected(), 0);
    EXPECT_EQ("beta.exe", remote->Text(remote->Selected(), kCommand)) << "the selection stays on the entry";
    EXPECT_EQ("HKLM Run (disabled)", remote->Text(remote->Selected(), kType));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    Press(10);
    ASSERT_TRUE(WaitFor([] { return test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater"); }));
    Settle();
    ASSERT_GE(remote->Select(kCommand, "beta.exe"), 0);
    Settle();
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater"); }));
    Settle();
    std::string ownAfter = test::DumpTree(HKEY_LOCAL_MACHINE, kRun);
    size_t updaterLine = ownBefore.find("SentrelUpdater=");
    ASSERT_NE(std::string::npos, updaterLine);
    ownBefore.erase(updaterLine, ownBefore.find('\n', updaterLine) + 1 - updaterLine);
    EXPECT_EQ(ownBefore, ownAfter) << "the program's own entry is untouched";
    EXPECT_NE(std::string::npos, History().find("\tMACHINE_RUN\tSentrelUpdater\t" + programs + "\\beta.exe\t"))
        << History();

    // A name longer than a title: disabled and enabled under its own name.
    ASSERT_GE(remote->Select(kCommand, "gamma.exe /long"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, longName); }));
    Settle();
    Press(10);
    ASSERT_TRUE(WaitFor([&] { return test::ValueExists(HKEY_CURRENT_USER, kRun, longName); }));
    Settle();
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, longName.substr(0, 127)));
    EXPECT_EQ(programs + "\\gamma.exe /long", test::Value(HKEY_CURRENT_USER, kRun, longName));

    // Three win.ini pieces titled "run": one is disabled, the others stay.
    int runRows = 0;
    for (const auto &row : remote->Rows()) runRows += row[kTitle] == "run";
    EXPECT_EQ(3, runRows);
    ASSERT_GE(remote->Select(kCommand, "two.exe"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return WinIniRun().find("two.exe") == std::string::npos; }));
    Settle();
    EXPECT_EQ("C:\\ini\\one.exe;" + quoted, WinIniRun());
    Press(10);
    ASSERT_TRUE(WaitFor([&] { return WinIniRun().find("two.exe") != std::string::npos; }));
    EXPECT_EQ("C:\\ini\\one.exe;C:\\ini\\two.exe;" + quoted, WinIniRun());
    Settle();
    ASSERT_GE(remote->Select(kCommand, "app.exe /min"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return WinIniRun().find("app.exe") == std::string::npos; }));
    Settle();
    Press(10);
    ASSERT_TRUE(WaitFor([&] { return WinIniRun().find("app.exe") != std::string::npos; }));
    EXPECT_NE(std::string::npos, WinIniRun().find(";" + quoted)) << "put back with its quotes";
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
    WriteProfileStringA("windows", "run", "");
}

// A 32-bit program's HKLM entry is a row of its own, its view shown, and
// Disable reaches that view only.
TEST_F(StartupPage, BothRegistryViewsAreListed)
{
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Twin", programs + "\\alpha.exe"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                             nullptr, &key, nullptr));
    std::string command = programs + "\\beta.exe";
    RegSetValueExA(key, "Twin", 0, REG_SZ, (const BYTE *)command.c_str(), (DWORD)command.size() + 1);
    RegCloseKey(key);
    auto exists32 = [] {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &k)) return false;
        bool there = RegQueryValueExA(k, "Twin", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(k);
        return there;
    };

    StartExplorer();
    ASSERT_GE(Select("Twin", "HKLM Run"), 0);
    ASSERT_GE(Select("Twin", "HKLM Run (32-bit)"), 0);
    EXPECT_EQ("beta.exe", remote->Text(remote->Selected(), kCommand));
    Settle();
    // Jump to Entry opens the Registry Editor at the key of that view.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRegedit, "LastKey");
    Command(1222);
    ASSERT_TRUE(WaitFor([] { return test::ValueExists(HKEY_CURRENT_USER, kRegedit, "LastKey"); }));
    EXPECT_EQ("Computer\\HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
              test::Value(HKEY_CURRENT_USER, kRegedit, "LastKey"));
    EXPECT_TRUE(test::EndProcessOfWindow("Registry Editor", wait)) << "the Registry Editor did not open";
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return !exists32(); }));
    Settle();
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Twin")) << "the other view's entry stays";
    Press(10);
    ASSERT_TRUE(WaitFor([&] { return exists32(); }));
    Settle();
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, 0);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Twin");
        RegCloseKey(key);
    }
}

// The filter box leaves the rows that hold its text in any cell (or in
// the command behind a cell), case ignored in any script; the selection
// and every command stay on the row's own entry. A refill keeps the sort
// and its direction.
TEST_F(StartupPage, TheFilterNarrowsTheRowsARefillKeepsTheOrderAndCtrlTabTurnsThePage)
{
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Qzx Apple", programs + "\\alpha.exe -apple"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "\xD0\x91\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBD qzx",
                                  programs + "\\beta.exe"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Other", programs + "\\gamma.exe --hidden-word"));
    StartExplorer();
    int all = remote->Count();
    auto type = [&](const std::wstring &text) { TypeFilter(text); };
    type(L"\x0411\x0410\x041D");   // upper case of the title's start
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == 1; })) << remote->Count();
    EXPECT_EQ("\xD0\x91\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBD qzx", remote->Text(0, kTitle));
    // A word only the whole command holds.
    type(L"HIDDEN-WORD");
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == 1; })) << remote->Count();
    EXPECT_EQ("Other", remote->Text(0, kTitle));
    // Remove acts on the one row shown, selected by the filter.
    EXPECT_EQ(0, remote->Selected());
    type(L"QZX");
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == 2; })) << remote->Count();
    ASSERT_GE(Select("Qzx Apple", "HKCU Run"), 0);
    Settle();
    // F5 refills: the filter stays, and so does the order chosen.
    remote->ClickHeader(kTitle);
    remote->ClickHeader(kTitle);
    ASSERT_TRUE(WaitFor([&] { return remote->SortArrow(kTitle) == HDF_SORTDOWN; }));
    std::vector<std::string> before = remote->Column(kTitle);
    SetFocus(list);
    PostMessageA(list, WM_KEYDOWN, VK_F5, 0);
    Settle();
    EXPECT_EQ(before, remote->Column(kTitle));
    EXPECT_EQ(HDF_SORTDOWN, remote->SortArrow(kTitle));
    type(L"");
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == all; })) << remote->Count();

    // Ctrl+Page Down and Ctrl+Tab go to the next page, as keys typed on the
    // keyboard, Ctrl+Shift+Tab back.
    HWND tabs = (HWND)SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0);
    int first = (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0);
    SetForegroundWindow(sheet);
    SetFocus(list);
    auto keys = [](std::initializer_list<WORD> held, WORD key) {
        std::vector<INPUT> inputs;
        auto add = [&](WORD vk, DWORD flags) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        };
        for (WORD vk : held) add(vk, 0);
        add(key, 0);
        add(key, KEYEVENTF_KEYUP);
        for (WORD vk : held) add(vk, KEYEVENTF_KEYUP);
        SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT));
    };
    keys({VK_CONTROL}, VK_NEXT);
    EXPECT_TRUE(WaitFor([&] { return (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == first + 1; }));
    keys({VK_CONTROL}, VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == first + 2; }));
    keys({VK_CONTROL, VK_SHIFT}, VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return (int)SendMessageA(tabs, TCM_GETCURSEL, 0, 0) == first + 1; }));
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRun, "Qzx Apple");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRun, "Other");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRun, "\xD0\x91\xD0\xB0\xD0\xBD\xD0\xB0\xD0\xBD qzx");
}

// With the secret locations shown, a debugger set for an image is a row
// that says where it lives; Disable is not offered (it has no disabled
// form), and Remove (after its question) deletes exactly that value.
TEST_F(StartupPage, ADebuggerForAnImageIsShownAndRemovedFromThePage)
{
    const char ifeo[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\sethc.exe";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, ifeo, "Debugger", programs + "\\alpha.exe -dbg"));
    ASSERT_TRUE(test::WriteDword(HKEY_LOCAL_MACHINE, ifeo, "GlobalFlag", 0x200));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "ShowAllStartup", "1"));
    StartExplorer();
    ASSERT_GE(Select("sethc.exe", "IFEO debugger"), 0);
    Settle();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 11))) << "no Disable for a debugger";
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(WaitFor([&] { return !test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "Debugger"); }));
    Settle();
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "GlobalFlag"));
    EXPECT_LT(Select("sethc.exe", "IFEO debugger"), 0);
    EXPECT_NE(std::string::npos, History().find("\t*START_Remove\tREG_IFEO_Debugger\tsethc.exe\t")) << History();
    test::DeleteTree(HKEY_LOCAL_MACHINE, ifeo);
}

// Delete File on Reboot names the file in its question and writes what it
// scheduled to the history; Add offers its two filters as two choices.
TEST_F(StartupPage, DeleteOnRebootNamesTheFileAndAddOffersTwoFilters)
{
    const char *session = "System\\CurrentControlSet\\Control\\Session Manager";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Doomed", programs + "\\alpha.exe -x"));
    StartExplorer();
    ASSERT_GE(remote->Select(kCommand, "alpha.exe -x"), 0);
    Settle();
    Command(1144);   // from the row's right-click menu
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    std::string question = test::DialogText(box);
    EXPECT_NE(std::string::npos, question.find("C:\\STARTUP-PROGRAMS\\ALPHA.EXE")) << question;
    test::PressButton(box, IDYES);
    ASSERT_TRUE(WaitFor([&] { return History().find("FILE_DeleteOnReboot") != std::string::npos; }));
    EXPECT_NE(std::string::npos,
              History().find("FILE_DeleteOnReboot\tCURRENT_RUN\tDoomed\tC:\\STARTUP-PROGRAMS\\ALPHA.EXE\tDoomed\r\n"))
        << History();
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, session, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key));
    char pending[4096] = "";
    DWORD size = sizeof pending - 2;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                              (BYTE *)pending, &size));
    std::string operations(pending, size);
    for (char &c : operations) c = (char)toupper((unsigned char)c);
    EXPECT_NE(std::string::npos, operations.find("STARTUP-PROGRAMS\\ALPHA.EXE"));
    RegDeleteValueA(key, "PendingFileRenameOperations");
    RegCloseKey(key);

    Press(1064);
    HWND open = test::WaitForWindow("#32770", "Add AutoStart Program", wait);
    ASSERT_NE(nullptr, open);
    HWND filters = GetDlgItem(open, 0x470);
    ASSERT_NE(nullptr, filters);
    EXPECT_EQ(2, (int)SendMessageA(filters, CB_GETCOUNT, 0, 0));
    char shown[128] = "";
    SendMessageA(filters, WM_GETTEXT, sizeof shown, (LPARAM)shown);   // the chosen entry
    EXPECT_STREQ("Programs Files (*.exe)", shown);
    PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(test::WaitForWindowGone(open, wait));
}

// A program folder nobody may write (an installed copy under Program Files
// for a standard user): the history, the Disabled folder and the settings
// export go to the data folders, and putting everything back before an
// uninstall (-EnableAll) loses nothing. Run by read_only_folder.sh, which
// makes the folder named by SENTREL_READ_ONLY_FOLDER read-only first.
TEST_F(StartupPage, AReadOnlyProgramFolderSendsEveryWriteToTheDataFolders)
{
    char readOnly[PATH_SIZE] = "";
    if (!GetEnvironmentVariableA("SENTREL_READ_ONLY_FOLDER", readOnly, sizeof readOnly))
        GTEST_SKIP() << "run by read_only_folder.sh with a folder made read-only";
    folder = readOnly;
    ASSERT_FALSE(test::WriteFile(folder + "\\probe.txt", "x")) << "the program folder can be written";
    char machine[PATH_SIZE] = "", user[PATH_SIZE] = "", name[256] = "";
    DWORD nameSize = sizeof name;
    SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, machine);
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, user);
    GetUserNameA(name, &nameSize);
    const std::string data = std::string(machine) + "\\Sentrel", own = std::string(user) + "\\Sentrel";
    test::RemoveFolder(data);
    test::RemoveFolder(own);

    PlantEveryKind();
    const std::string shortcut = StartupFolder() + "\\Folder Gamma.lnk";
    std::string lnk, beta = test::ReadRawValue(HKEY_CURRENT_USER, kRun, L"User Beta");
    ASSERT_TRUE(test::ReadFile(shortcut, &lnk));
    StartExplorer();
    ASSERT_GE(Select("Sentrel explorer", "Startup folder (this user)"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([&] { return !test::FileExistsAt(shortcut); }));
    std::string kept;
    EXPECT_TRUE(test::ReadFile(data + "\\Disabled\\Folder Gamma.lnk", &kept));
    EXPECT_EQ(lnk, kept);
    Settle();
    ASSERT_GE(Select("User Beta"), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(WaitFor([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "User Beta"); }));
    Settle();
    StopExplorer();

    // Everything the user disabled goes back, byte for byte, with its lines.
    test::Program enableAll = test::Start(folder, "SentrelEx.exe", "-EnableAll");
    DWORD code = 99;
    ASSERT_TRUE(test::WaitForExit(enableAll, wait, &code));
    test::Stop(enableAll);
    EXPECT_EQ(0u, code);
    std::string back;
    EXPECT_TRUE(test::ReadFile(shortcut, &back));
    EXPECT_EQ(lnk, back);
    EXPECT_EQ(beta, test::ReadRawValue(HKEY_CURRENT_USER, kRun, L"User Beta"));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
    std::string history;
    ASSERT_TRUE(test::ReadFile(data + "\\history.txt", &history));
    EXPECT_EQ(4u, std::count(history.begin(), history.end(), '\n')) << history;
    EXPECT_NE(std::string::npos, history.find("Folder Gamma")) << history;

    // The settings export lands in the user's own folder, and says where.
    StartExplorer("-OPTION");
    Press(1106);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    const std::string exported = own + "\\" + name + "-Sentrel.reg";
    EXPECT_NE(std::string::npos, test::DialogText(box).find(exported)) << test::DialogText(box);
    test::PressButton(box, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(box, wait));
    EXPECT_TRUE(test::FileExistsAt(exported));
    StopExplorer();
    test::RemoveFolder(data);
    test::RemoveFolder(own);
}

// A list longer than its window: a row's facts are read when it is seen or
// when idle time reaches it, and every row still acts on its own entry
// after a sort by a column of facts, a filter and a refill.
TEST_F(StartupPage, ALongListActsOnTheSelectedRowsOwnEntryThroughSortFilterAndRefill)
{
    const int kEntries = 120;
    auto name = [](int i) {
        char text[32];
        snprintf(text, sizeof text, "Entry %03d", i);
        return std::string(text);
    };
    // Every third entry's program is gone.
    for (int i = 0; i < kEntries; i++)
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name(i),
                                      i % 3 ? programs + "\\alpha.exe /n" + std::to_string(i)
                                            : "C:\\gone\\lost" + std::to_string(i) + ".exe"));
    StartExplorer();
    ASSERT_TRUE(WaitFor([&] { return remote->Count() >= kEntries; }));
    ASSERT_TRUE(WaitFor([&] { return !GetPropA(list, "SentrelRowsWaiting"); })) << "idle time reads every row";

    // An entry far below the first screen, selected; sorted by a column, and
    // by the column whose words say a file is missing (read with the
    // facts), the selection goes with the entry.
    ASSERT_GE(remote->Select(kCommand, "alpha.exe /n100"), 0);
    Settle();
    remote->ClickHeader(kTitle);
    remote->ClickHeader(kTitle);
    ASSERT_TRUE(WaitFor([&] { return remote->SortArrow(kTitle) == HDF_SORTDOWN; }));
    Settle();
    EXPECT_EQ("alpha.exe /n100", remote->SelectedText(kCommand));
    EXPECT_EQ("Entry 100", remote->SelectedText(kTitle));
    std::vector<std::string> titles = remote->Column(kTitle);
    std::vector<std::string> ours;
    for (const auto &title : titles)
        if (title.compare(0, 6, "Entry ") == 0) ours.push_back(title);
    EXPECT_TRUE(std::is_sorted(ours.rbegin(), ours.rend()));
    remote->ClickHeader(kType);
    ASSERT_TRUE(WaitFor([&] { return remote->SortArrow(kType) == HDF_SORTUP; }));
    Settle();
    EXPECT_EQ("alpha.exe /n100", remote->SelectedText(kCommand));
    int missing = 0;
    for (const auto &row : remote->Rows()) {
        if (row[kTitle].compare(0, 6, "Entry ") != 0) continue;
        bool gone = row[kCommand].find("lost") == 0;
        missing += gone;
        EXPECT_EQ(gone, row[kType] == "HKCU Run (file missing)") << row[kTitle];
        EXPECT_EQ(gone ? "Not verified: no file" : "Not verified", row[kPublisher]) << row[kTitle];
    }
    EXPECT_EQ(kEntries / 3, missing);

    // The filter takes the words of facts too; Remove acts on the row chosen.
    TypeFilter(L"FILE MISSING");
    auto shownOfOurs = [&] {
        int n = 0;
        for (const auto &title : remote->Column(kTitle)) n += title.compare(0, 6, "Entry ") == 0;
        return n;
    };
    ASSERT_TRUE(WaitFor([&] { return shownOfOurs() == kEntries / 3; })) << remote->Count();
    int all = remote->Count();
    int chosenRow = remote->Find(kTitle, "Entry 057");
    ASSERT_GE(chosenRow, 0);
    remote->SelectOnly(chosenRow);
    Settle();
    std::string chosen = remote->SelectedText(kTitle), command = remote->SelectedText(kCommand);
    EXPECT_EQ("Entry 057", chosen);
    EXPECT_EQ("lost57.exe", command);
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(WaitFor([&] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, chosen); }));
    Settle();
    int left = 0;
    for (int i = 0; i < kEntries; i++) left += test::ValueExists(HKEY_CURRENT_USER, kRun, name(i));
    EXPECT_EQ(kEntries - 1, left);
    EXPECT_NE(std::string::npos, History().find("\t" + chosen + "\tC:\\gone\\lost57.exe\t")) << History();
    // The refill keeps the filter and the order; the removed row is gone.
    ASSERT_TRUE(WaitFor([&] { return remote->Count() == all - 1; })) << remote->Count();
    EXPECT_EQ(HDF_SORTUP, remote->SortArrow(kType));
    EXPECT_EQ(-1, remote->Find(kTitle, chosen));
    TypeFilter(L"");
    for (int i = 0; i < kEntries; i++) RegDeleteKeyValueA(HKEY_CURRENT_USER, kRun, name(i).c_str());
}

// A long list shows its first screen at once and the rest right after it:
// in the end every entry is there once, in the order the registry lists
// them, with the first row selected.
TEST_F(StartupPage, ALongListComesWholeAfterItsFirstScreen)
{
    const int kEntries = 300;
    auto ours = [](const std::string &name) { return name.compare(0, 5, "Long ") == 0; };
    for (int i = 0; i < kEntries; i++) {
        char name[32];
        snprintf(name, sizeof name, "Long %03d", (i * 7) % kEntries);   // not in the order of their names
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, "C:\\gone\\long" + std::to_string(i) + ".exe"));
    }
    StartExplorer();
    ASSERT_TRUE(WaitFor([&] { return remote->Count() >= kEntries && !GetPropA(list, "SentrelRowsWaiting"); }))
        << remote->Count();
    std::vector<std::string> listed, shown;
    for (const auto &name : test::ValueNames(HKEY_CURRENT_USER, kRun))
        if (ours(name)) listed.push_back(name);
    for (const auto &title : remote->Column(kTitle))
        if (ours(title)) shown.push_back(title);
    ASSERT_EQ((size_t)kEntries, listed.size());
    EXPECT_EQ(listed, shown);
    EXPECT_EQ(0, remote->Selected());
    for (const auto &name : listed) RegDeleteKeyValueA(HKEY_CURRENT_USER, kRun, name.c_str());
}

// What a row shows of its program is kept while the explorer runs, by the
// file's path, size and last-write time: a program replaced meanwhile is
// read again at the next refill, its company and its icon.
TEST_F(StartupPage, AProgramReplacedMeanwhileIsReadAgainAtTheRefill)
{
    const std::string program = programs + "\\alpha.exe";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Changing", program));
    StartExplorer();
    int row = remote->Find(kTitle, "Changing");
    ASSERT_GE(row, 0);
    EXPECT_EQ("Orvendale", remote->Text(row, kCompany));
    EXPECT_GT(remote->Image(row), 1) << "the program's own icon";

    // Another program in its place (no icon, another company).
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\version_sample.exe").c_str(), program.c_str(), FALSE));
    SetFocus(list);
    PostMessageA(list, WM_KEYDOWN, VK_F5, 0);
    Settle();
    row = remote->Find(kTitle, "Changing");
    ASSERT_GE(row, 0);
    EXPECT_EQ("Orvendale Beispiele", remote->Text(row, kCompany));
    EXPECT_EQ(1, remote->Image(row)) << "the generic program icon";
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), program.c_str(), FALSE));
}
