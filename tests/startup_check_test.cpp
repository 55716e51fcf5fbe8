// The startup programs check with its new-program and delayed-program
// alerts: real Run values, Startup-folder shortcuts and win.ini entries in
// the test prefix, the check run in-process with its dialogs answered from
// a second thread, and once end to end through the real Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "alert_driver.h"
#include "checks.h"
#include "monitor.h"
#include "options.h"
#include "signed_samples.h"
#include "startup_changes.h"
#include "ui_strings.h"

using namespace alerts_test;
using test::Contains;

namespace {
const char kSample[] = "alert_sample.exe";

class StartupCheckTest : public CheckTest {
protected:
    void SetUp() override
    {
        CheckTest::SetUp();
        folder = SampleFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\" + kSample).c_str(), Sample().c_str(), FALSE));
        ApproveEverything();
        startupOwner = mainWindow;
    }
    void TearDown() override
    {
        for (const std::string &name : added) test::DeleteValue(HKEY_CURRENT_USER, kRun, name);
        WriteProfileStringA("windows", "run", "");
        if (!shortcut.empty()) DeleteFileA(shortcut.c_str());
        if (sample.process) test::Stop(sample);
        CheckTest::TearDown();
    }
    void RunCheck() override { StartupCheck(); }
    std::string Sample() const { return folder + "\\" + kSample; }
    void AddRun(const std::string &name, const std::string &command)
    {
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, command));
        added.push_back(name);
    }
    std::string BaselineName(const std::string &command) const
    {
        char name[PATH_SIZE];
        StartupBaselineName(command.c_str(), name);
        return name;
    }
    // A program moved to Delayed Start whose Run entry came back: the
    // entry, its approval as moved there and its delay. Its command.
    std::string PlantWrittenBackDelayed()
    {
        std::string command = Sample() + " -delayed";
        AddRun("Delayed", command);
        test::WriteString(HKEY_CURRENT_USER, kRunBaseline, command, "1103");
        test::WriteString(HKEY_CURRENT_USER, kDelay, command, "11");
        test::WriteString(HKEY_CURRENT_USER, std::string(kDelay) + "\\Time", command, "30");
        return command;
    }
    bool RunValueExists(const std::string &name)
    {
        return test::ValueExists(HKEY_CURRENT_USER, kRun, name);
    }
    std::string folder, shortcut;
    std::vector<std::string> added;
    test::Program sample;
};

// The startup baseline's name of a command as the startup list shows it.
std::string BaselineNameOf(const std::string &command)
{
    char name[PATH_SIZE] = "";
    StartupBaselineName(command.c_str(), name);
    return name;
}
}  // namespace

TEST_F(StartupCheckTest, NewRunEntryShowsItsProgramAndYesApprovesIt)
{
    std::string command = Sample() + " /opt=1";
    AddRun("Alert Sample", command);
    ASSERT_EQ(1, HasUnapprovedStartup());

    CheckAnswering({{kNewProgram, IDYES}});
    const Seen &seen = driver->seen(0);
    EXPECT_TRUE(seen.topmost);
    EXPECT_EQ("Alert Sample", seen.Field(IDC_ALERT_NAME));
    EXPECT_EQ("Version", seen.Field(IDC_ALERT_VERSION_LABEL));
    EXPECT_EQ("2.4.1", seen.Field(IDC_ALERT_VERSION));
    EXPECT_EQ("Orvendale Samples", seen.Field(IDC_ALERT_COMPANY));
    EXPECT_EQ("Alert sample program", seen.Field(IDC_ALERT_DESCRIPTION));
    EXPECT_EQ(command, seen.Field(IDC_ALERT_COMMAND)) << "the command is shown as stored";
    EXPECT_TRUE(Contains(seen.Field(IDC_ALERT_MESSAGE),
                         "A new auto Startup Program has been detected.\nThis program will run each "
                         "time you login or restart your machine.\n\nDo you approve"));
    EXPECT_EQ("&Yes", seen.Field(IDYES));
    EXPECT_EQ("Zenta &Info...", seen.Field(IDC_ALERT_INFO));

    EXPECT_EQ(1, CountHistory({"START_Alert", "CURRENT_RUN", "Alert Sample", "Alert sample program"}));
    // Approved under the command with "=" made ":", with the item type.
    EXPECT_EQ("11", Baseline(BaselineName(command)));
    EXPECT_TRUE(Contains(BaselineName(command), "/opt:1"));
    EXPECT_TRUE(RunValueExists("Alert Sample"));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\Startup").empty())
        << "the first-seen date is recorded";
    // The placement of the alert is kept for the next one.
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kStore,
                                  POS_ALERT.left));

    EXPECT_EQ(0, HasUnapprovedStartup());
    CheckSilently();
    EXPECT_EQ(1, CountHistory({"START_Alert"}));
}

// An approval keeps the signer it was given for: the same file signed no
// more (or by another) is asked about again, and the alert says why.
TEST_F(StartupCheckTest, AnApprovalKeepsItsSignerAndABrokenSignatureIsAskedAboutAgain)
{
    test::TrustedTestRoot root;
    std::string program = folder + "\\signed.exe";
    ASSERT_TRUE(CopyFileA(test::SignedSample("signed.exe").c_str(), program.c_str(), FALSE));
    AddRun("Signed Sample", program);
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_EQ("Publisher: Quillon Software Ltd", Field(IDC_ALERT_PUBLISHER));
    std::string signer;
    EXPECT_TRUE(test::ReadString(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Signers", BaselineName(program),
                                 &signer));
    EXPECT_EQ("Quillon Software Ltd", signer);
    CheckSilently();

    // The file is replaced by one changed after signing (a later time).
    ASSERT_TRUE(test::ReplaceWithSample("tampered.exe", program));
    EXPECT_EQ(1, HasUnapprovedStartup());
    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_EQ("Publisher: Not verified: untrusted signature", Field(IDC_ALERT_PUBLISHER));
    EXPECT_TRUE(Contains(Field(IDC_ALERT_PLACE),
                         "Approved as signed by Quillon Software Ltd: that signature no longer holds."))
        << Field(IDC_ALERT_PLACE);
    EXPECT_FALSE(RunValueExists("Signed Sample"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Signers", BaselineName(program)));
}

TEST_F(StartupCheckTest, KeyboardAnswersEnterApprovesAndEscapeApprovesToo)
{
    AddRun("Sample Enter", Sample() + " -enter");
    AddRun("Sample Escape", Sample() + " -escape");
    CheckAnswering({{kNewProgram, 0, VK_RETURN}, {kNewProgram, 0, VK_ESCAPE}});
    EXPECT_EQ("11", Baseline(Sample() + " -enter"));
    EXPECT_EQ("11", Baseline(Sample() + " -escape"));
    EXPECT_TRUE(RunValueExists("Sample Enter"));
    EXPECT_TRUE(RunValueExists("Sample Escape"));
}

TEST_F(StartupCheckTest, NoStopsTheRunningProgramAndRemovesTheEntry)
{
    std::string command = Sample() + " -stay";
    sample = test::Start(folder, kSample, "-stay");
    ASSERT_NE(nullptr, sample.process);
    AddRun("Alert Sample", command);

    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_TRUE(test::WaitForExit(sample, kWait)) << "the running program was not stopped";
    EXPECT_FALSE(RunValueExists("Alert Sample"));
    EXPECT_EQ("<missing>", Baseline(BaselineName(command)));
    EXPECT_EQ(1, CountHistory({"START_Alert", "Alert Sample"}));
    EXPECT_EQ(1, CountHistory({"START_Remove", "CURRENT_RUN", "Alert Sample"}));
    EXPECT_EQ(0, HasUnapprovedStartup());
}

TEST_F(StartupCheckTest, AProgramThatKeepsComingBackIsStoppedAndDisabled)
{
    std::string command = Sample() + " -again";
    // Rejected twice, it writes itself back each time.
    for (int round = 0; round < 2; round++) {
        AddRun("Comes Back", command);
        CheckAnswering({{kNewProgram, IDNO}});
        EXPECT_FALSE(RunValueExists("Comes Back"));
    }
    // The third time in a row No stops and disables it, and the rest of the
    // pass rejects new entries without asking.
    AddRun("Comes Back", command);
    AddRun("Next One", Sample() + " -next");
    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_EQ(2, settings.hideAlerts);
    EXPECT_EQ(0, AlertRepeatCount);
    EXPECT_FALSE(RunValueExists("Comes Back"));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, "Comes Back")) << "not disabled";
    EXPECT_EQ("<missing>", Baseline(BaselineName(command))) << "a disabled entry is not approved";
    EXPECT_FALSE(RunValueExists("Next One")) << "rejected without asking";
    EXPECT_EQ(1, CountHistory({"START_Remove", "Next One"}));
    EXPECT_EQ(0, CountHistory({"START_Alert", "-next"}));
}

TEST_F(StartupCheckTest, TheThirdAlertInARowAnsweredYesStillDisables)
{
    std::string command = Sample() + " -third";
    for (int round = 0; round < 2; round++) {
        AddRun("Third", command);
        CheckAnswering({{kNewProgram, IDNO}});
    }
    AddRun("Third", command);
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_EQ("<missing>", Baseline(BaselineName(command)));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, "Third"));
    EXPECT_EQ(0, settings.hideAlerts) << "only No turns the rest of the pass silent";
}

TEST_F(StartupCheckTest, RepeatsCountOnlyForTheSameCommandInARow)
{
    // A, A, B, B: B's second alert is its first repeat, not the third.
    for (const char *name : {"Program A", "Program A", "Program B"}) {
        AddRun(name, Sample() + " -" + name[8]);
        CheckAnswering({{kNewProgram, IDNO}});
    }
    AddRun("Program B", Sample() + " -B");
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_EQ("11", Baseline(Sample() + " -B"));
    EXPECT_TRUE(RunValueExists("Program B"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, "Program B"));
}

TEST_F(StartupCheckTest, StartupFolderShortcutIsAskedAboutAndRemoved)
{
    char startup[PATH_SIZE];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, TRUE));
    shortcut = std::string(startup) + "\\Alert Sample.lnk";
    ASSERT_TRUE(CreateShortcut(shortcut.c_str(), Sample().c_str(), "", folder.c_str(), "", "", 0));

    CheckAnswering({{kNewProgram, IDNO}});
    const Seen &seen = driver->seen(0);
    EXPECT_EQ("Alert Sample", seen.Field(IDC_ALERT_NAME));
    EXPECT_TRUE(Contains(seen.Field(IDC_ALERT_MESSAGE), "A Shortcut to this program has been added to "
                                                         "your Startup folder."));
    EXPECT_FALSE(test::FileExistsAt(shortcut)) << "the shortcut must go";
    EXPECT_TRUE(test::FileExistsAt(Sample())) << "never the program it points to";
    EXPECT_EQ(1, CountHistory({"START_Alert", "GROUP_STARTUP"}));
    EXPECT_EQ(1, CountHistory({"START_Remove", "GROUP_STARTUP"}));

    ASSERT_TRUE(CreateShortcut(shortcut.c_str(), Sample().c_str(), "", folder.c_str(), "", "", 0));
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_TRUE(test::FileExistsAt(shortcut));
    EXPECT_EQ(0, HasUnapprovedStartup());
}

// Disabled from the explorer, a Startup-folder file (a batch file and a
// shortcut) waits in Sentrel's Disabled folder: the check never asks about
// it there (a No would delete the only copy), and Enable puts it back byte
// for byte.
TEST_F(StartupCheckTest, AStartupFolderFileDisabledByTheUserIsNeverAskedAboutOrDeleted)
{
    char startup[PATH_SIZE];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, startup, CSIDL_STARTUP, TRUE));
    const std::string batch = std::string(startup) + "\\Quillon Tray.bat", content = "@echo off\r\nexit\r\n";
    shortcut = std::string(startup) + "\\Alert Sample.lnk";
    ASSERT_TRUE(test::WriteFile(batch, content));
    ASSERT_TRUE(CreateShortcut(shortcut.c_str(), Sample().c_str(), "", folder.c_str(), "", "", 0));
    std::string link;
    ASSERT_TRUE(test::ReadFile(shortcut, &link));
    ApproveEverything();

    for (const std::string &file : {batch, shortcut}) {
        BuildStartupList(0);
        Item record = {};
        for (int i = 0; i < ItemCount(); i++)
            if (GetItemName(i) == file) CopyItemRecord(&record, GetItem(i));
        ASSERT_NE(nullptr, record.name) << file;
        ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(record)));
        ReleaseItemCopy(&record);
        EXPECT_FALSE(test::FileExistsAt(file));
    }
    const std::string disabled = test::BuildFolder() + "\\Disabled\\";
    CheckSilently();
    std::string kept;
    ASSERT_TRUE(test::ReadFile(disabled + "Quillon Tray.bat", &kept));
    EXPECT_EQ(content, kept);
    EXPECT_TRUE(test::FileExistsAt(disabled + "Alert Sample.lnk"));

    BuildStartupList(0);
    std::vector<Item> records;
    for (int i = 0; i < ItemCount(); i++)
        if (GetItem(i)->disabled && GetItemType(i) == ITEM_STARTUP_FOLDER) {
            records.emplace_back();
            CopyItemRecord(&records.back(), GetItem(i));
        }
    ASSERT_EQ(2u, records.size());
    for (Item &record : records) {
        EXPECT_EQ(1, ToggleStartupEntry(StartupRefOf(record)));
        ReleaseItemCopy(&record);
    }
    CheckSilently();
    ASSERT_TRUE(test::ReadFile(batch, &kept));
    EXPECT_EQ(content, kept);
    ASSERT_TRUE(test::ReadFile(shortcut, &kept));
    EXPECT_EQ(link, kept);
    DeleteFileA(batch.c_str());
}

TEST_F(StartupCheckTest, WinIniRunEntryIsAskedAboutAndRemoved)
{
    ASSERT_TRUE(WriteProfileStringA("windows", "run", Sample().c_str()));
    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE),
                         "This program is listed in your WIN.INI file"));
    char run[512];
    GetProfileStringA("windows", "run", "", run, sizeof run);
    EXPECT_FALSE(Contains(run, kSample)) << run;
    EXPECT_EQ(1, CountHistory({"START_Remove", "WIN_RUN"}));

    ASSERT_TRUE(WriteProfileStringA("windows", "run", Sample().c_str()));
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_EQ("101", Baseline(Sample()));
    EXPECT_EQ(0, HasUnapprovedStartup());
}

TEST_F(StartupCheckTest, BaselineStatusRules)
{
    std::string command = Sample() + " -status";
    AddRun("Status", command);
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, command, "11");
    EXPECT_EQ(0, HasUnapprovedStartup());
    // "0", text and data too long to be a number are not approvals.
    for (const char *data : {"0", "abc", "11111111111111111111111111111111"}) {
        test::WriteString(HKEY_CURRENT_USER, kRunBaseline, command, data);
        EXPECT_EQ(1, HasUnapprovedStartup()) << data;
    }
    // A value named by the title approves nothing: the title is the
    // program's own choice.
    test::WriteString(HKEY_CURRENT_USER, kRunBaseline, "Status", "11");
    EXPECT_EQ(1, HasUnapprovedStartup());
}

TEST_F(StartupCheckTest, InstallerCleanupKeepsTheRestOfTheListForLater)
{
    AddRun("McAfee Application Installer Cleanup (0123)", Sample() + " -cleanup");
    AddRun("Zz Behind It", Sample() + " -behind");
    CheckSilently();
    EXPECT_TRUE(RunValueExists("McAfee Application Installer Cleanup (0123)"));
    EXPECT_TRUE(RunValueExists("Zz Behind It"));
    EXPECT_EQ(1, HasUnapprovedStartup()) << "both stay to be checked later";
    EXPECT_TRUE(HistoryLines().empty());
}

TEST_F(StartupCheckTest, HiddenAlertsRejectNewEntriesWithoutAsking)
{
    settings.hideAlerts = 2;
    AddRun("Silent", Sample() + " -silent");
    CheckSilently();
    EXPECT_FALSE(RunValueExists("Silent"));
    EXPECT_EQ(1, CountHistory({"START_Remove", "Silent"}));
    EXPECT_EQ(0, CountHistory({"START_Alert"}));
}

TEST_F(StartupCheckTest, BadProgramFactsAreShownSafelyAndTheAlertStillAnswers)
{
    // A product name of 127 characters with printf sequences, "&" and a TAB,
    // and a command of 259 characters.
    std::string huge = folder + "\\alert_huge.exe";
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_huge.exe").c_str(), huge.c_str(), FALSE));
    std::string longCommand = huge + " ";
    longCommand += std::string(259 - longCommand.size(), 'p');
    ASSERT_EQ(259u, longCommand.size());
    AddRun("Huge %s%n&\tName", longCommand);
    // A command whose file does not exist.
    AddRun("Ghost", "C:\\nowhere\\ghost.exe -x");

    CheckAnswering({{kNewProgram, IDYES}, {kNewProgram, IDYES}});
    // The list is in the registry's order: find each alert by its command.
    size_t hugeIndex = Field(IDC_ALERT_COMMAND) == longCommand ? 0 : 1;
    const Seen &huge_seen = driver->seen(hugeIndex);
    std::string name = huge_seen.Field(IDC_ALERT_NAME);
    EXPECT_EQ(127u, name.size());
    EXPECT_EQ(0u, name.find("N%s%n& xn")) << name;   // the TAB shown as a blank
    EXPECT_EQ(longCommand, huge_seen.Field(IDC_ALERT_COMMAND));
    EXPECT_EQ(std::string(127, 'C'), huge_seen.Field(IDC_ALERT_COMPANY));
    EXPECT_EQ("11", Baseline(longCommand));

    const Seen &ghost = driver->seen(1 - hugeIndex);
    // Named by the entry itself when its program says nothing, and where it
    // lives is said.
    EXPECT_EQ("Ghost", ghost.Field(IDC_ALERT_NAME));
    EXPECT_EQ("Where: HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run, value \"Ghost\"\n"
              "No removes this entry from there; the program's own file stays.",
              ghost.Field(IDC_ALERT_PLACE));
    EXPECT_EQ("Company name not included in this program.", ghost.Field(IDC_ALERT_COMPANY));
    EXPECT_EQ("Local File not found.", ghost.Field(IDC_ALERT_DESCRIPTION));
    EXPECT_EQ("C:\\nowhere\\ghost.exe -x", ghost.Field(IDC_ALERT_COMMAND));
    EXPECT_EQ("11", Baseline("C:\\nowhere\\ghost.exe -x"));
    // Its history line still says what it was about.
    EXPECT_EQ(1, CountHistory({"START_Alert\tCURRENT_RUN\tGhost\tC:\\NOWHERE\\GHOST.EXE\tLocal File not found."}));
}

TEST_F(StartupCheckTest, DelayedProgramWrittenBackCanReturnToTheStartupList)
{
    std::string command = PlantWrittenBackDelayed();
    test::WriteString(HKEY_CURRENT_USER, std::string(kDelay) + "\\Title", command, "Delayed");
    settings.hideAlerts = 2;   // the written-back entry still asks

    CheckAnswering({{kDelayed, IDYES}});
    const Seen &seen = driver->seen(0);
    EXPECT_EQ("Disable", seen.Field(IDNO));
    EXPECT_TRUE(Contains(seen.Field(IDC_ALERT_MESSAGE), "put itself back into the regular Windows"));
    EXPECT_EQ("Alert Sample", seen.Field(IDC_ALERT_NAME));
    EXPECT_EQ("11", Baseline(command));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kDelay, command));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, std::string(kDelay) + "\\Time", command));
    EXPECT_TRUE(RunValueExists("Delayed"));
    EXPECT_EQ(0, CountHistory({"START_Alert"})) << "this alert writes no history line";
}

TEST_F(StartupCheckTest, DelayedProgramWrittenBackCanBeDisabled)
{
    std::string command = PlantWrittenBackDelayed();

    CheckAnswering({{kDelayed, IDNO}});
    EXPECT_EQ("11", Baseline(command));
    EXPECT_FALSE(RunValueExists("Delayed"));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, "Delayed"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, std::string(kDelay) + "\\Time", command))
        << "the delayed start stays";
}

namespace {
// The real monitor in a fresh folder, with no monitor running and nothing
// of an earlier test's store; the sample program in a folder of its own.
// At the end the monitor is stopped and the store emptied again.
class StartupCheckMonitor : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = test::MonitorFolder(name);
        ASSERT_FALSE(folder.empty());
        sample = SampleFolder(name) + "\\" + kSample;
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\" + kSample).c_str(), sample.c_str(), FALSE));
    }
    void TearDown() override
    {
        // A test that stopped early leaves no monitor behind.
        if (monitor.process) test::StopMonitor(monitor, window, kWait);
        test::ResetSentrelRegistry();
    }
    // Starts the monitor and waits for its window and its store.
    void StartMonitor() { ASSERT_TRUE(test::StartMonitorUp(folder, &monitor, &window, kWait)); }

    std::string folder, sample;
    test::Program monitor;
    HWND window = nullptr;
};

// Everything there now approved; the startup check on, the mascot hidden.
void ApproveAndWatchStartup()
{
    ApproveEverything();
    test::SetOptions({{"Start", "1"}, {"HideWuffin", "1"}});
}
}  // namespace

// The real monitor: its patrol runs the check, the alert is answered here.
TEST_F(StartupCheckMonitor, TheMonitorAlertsAboutANewRunEntryAndRejectsIt)
{
    ApproveAndWatchStartup();
    // The first-run baseline settles before the new entry appears.
    StartMonitor();
    std::string command = sample + " -monitor";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Monitor Sample", command));
    // A real-time notice makes the startup check due at once.
    PostMessageA(window, 9024, 0, 0);

    HWND alert = WaitForAlert(kNewProgram, 75000, window);
    ASSERT_NE(nullptr, alert) << "no alert from the monitor's patrol";
    EXPECT_EQ("Alert Sample", ControlText(alert, IDC_ALERT_NAME));
    EXPECT_EQ(command, ControlText(alert, IDC_ALERT_COMMAND));
    EXPECT_TRUE(AnswerAlert(alert, IDNO));

    DWORD start = GetTickCount();
    while (test::ValueExists(HKEY_CURRENT_USER, kRun, "Monitor Sample") && GetTickCount() - start < kWait)
        Sleep(50);
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Monitor Sample"));
    std::string history;
    ASSERT_TRUE(test::ReadFile(folder + "\\history.txt", &history));
    EXPECT_TRUE(Contains(history, "START_Alert")) << history;
    EXPECT_TRUE(Contains(history, "START_Remove")) << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::DeleteValue(HKEY_CURRENT_USER, kRun, "Monitor Sample");
}

// The real monitor with hostile entries: one named like the program itself,
// the key's default value and one named like an approved command. Each
// alerts as itself; No removes exactly that entry, and the monitor's own
// registration stays byte for byte as it was.
TEST_F(StartupCheckMonitor, HostileNamesAlertAndAreRemovedAsThemselves)
{
    ApproveAndWatchStartup();

    StartMonitor();
    // The monitor's own registration, approved at its first run.
    std::string own;
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", &own));
    std::string ownBaseline = BaselineNameOf(own);
    ASSERT_EQ("1", Baseline(ownBaseline));
    std::string ownBefore = test::DumpTree(HKEY_LOCAL_MACHINE, kRun);

    const std::string updater = sample + " -updater", impostor = sample + " -impostor",
                      unnamed = sample + " -default";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater", updater));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, ownBaseline, impostor));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "", unnamed));
    PostMessageA(window, 9024, 0, 0);

    // Three alerts, each about its own command: No, No, Yes.
    std::vector<std::string> asked;
    for (int n = 0; n < 3; n++) {
        HWND alert = WaitForAlert(kNewProgram, n ? kWait : 75000);
        ASSERT_NE(nullptr, alert) << "alert " << n;
        std::string command = ControlText(alert, IDC_ALERT_COMMAND);
        asked.push_back(command);
        ASSERT_TRUE(AnswerAlert(alert, command == unnamed ? IDYES : IDNO));
    }
    std::sort(asked.begin(), asked.end());
    std::vector<std::string> expected = {updater, impostor, unnamed};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, asked);

    ASSERT_TRUE(test::WaitUntil([&] { return Baseline(unnamed) == "11"; }, kWait));
    std::string value;
    EXPECT_TRUE(test::ReadString(HKEY_CURRENT_USER, kRun, "", &value)) << "Yes keeps the default value";
    EXPECT_EQ(unnamed, value);
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater"));
    // The last answer is carried out after its alert has closed.
    EXPECT_TRUE(test::WaitUntil(
        [&] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, ownBaseline); }, kWait));
    EXPECT_EQ(ownBefore, test::DumpTree(HKEY_LOCAL_MACHINE, kRun)) << "the monitor's own entry is untouched";
    EXPECT_EQ("1", Baseline(ownBaseline)) << "removing the impostor keeps the approval it copied";

    std::string history;
    test::WaitUntil([&] { return test::ReadFile(folder + "\\history.txt", &history) && Contains(history, impostor + "\t"); },
                    kWait);
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tMACHINE_RUN\tSentrelUpdater\t" + updater + "\t")) << history;
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tCURRENT_RUN\t" + ownBaseline + "\t" + impostor + "\t"))
        << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::DeleteValue(HKEY_CURRENT_USER, kRun, "");
    test::DeleteValue(HKEY_CURRENT_USER, kRun, ownBaseline);
}

// The real monitor with names outside any ANSI code page and a value whose
// name holds a NUL (as programs that hide themselves write it): each is
// alerted with its exact path and its program's facts, No deletes exactly
// that value, the key's approved default value stays byte for byte, and
// history.txt holds the names in UTF-8.
TEST_F(StartupCheckMonitor, NamesOfAnyScriptAndHiddenNamesAreAlertedAndRemovedExactly)
{
    // Outside the tests' own folder: a command naming Sentrel is not logged.
    const std::string programs = u8"C:\\Программы Ω";
    CreateDirectoryA(programs.c_str(), nullptr);
    const std::string program = programs + u8"\\злой 更新.exe";
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\" + kSample).c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "", "\"" + program + "\" -default"));
    ApproveAndWatchStartup();
    const std::string defaultBefore = test::ReadRawValue(HKEY_CURRENT_USER, kRun, L"");

    StartMonitor();

    const std::string name = u8"Обновление 更新 🙂", command = "\"" + program + "\" -q";
    const std::wstring hidden(L"\0HiddenUpd", 10);
    const std::string hiddenCommand = "\"" + program + "\" -hidden";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, command));
    std::wstring wideHidden = test::Wide(hiddenCommand);
    ASSERT_TRUE(test::WriteNative(HKEY_CURRENT_USER, kRun, hidden, REG_SZ, wideHidden.c_str(),
                                  (DWORD)(wideHidden.size() + 1) * 2));
    PostMessageA(window, 9024, 0, 0);

    std::vector<std::string> asked;
    for (int n = 0; n < 2; n++) {
        HWND alert = WaitForAlert(kNewProgram, n ? kWait : 75000, window);
        ASSERT_NE(nullptr, alert) << "alert " << n;
        std::string shown = ControlText(alert, IDC_ALERT_COMMAND);
        asked.push_back(shown);
        EXPECT_EQ("Alert Sample", ControlText(alert, IDC_ALERT_NAME)) << "the program's facts are read";
        EXPECT_EQ("Orvendale Samples", ControlText(alert, IDC_ALERT_COMPANY));
        ASSERT_TRUE(AnswerAlert(alert, IDNO));
    }
    std::sort(asked.begin(), asked.end());
    // The command as listed: the program's quotes are not shown.
    const std::string listed = program + " -q", hiddenListed = program + " -hidden";
    std::vector<std::string> expected = {listed, hiddenListed};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, asked) << "each path exactly";

    EXPECT_TRUE(test::WaitUntil([&] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, name); }, kWait));
    EXPECT_TRUE(test::WaitUntil([&] { return !test::NativeValueExists(HKEY_CURRENT_USER, kRun, hidden); },
                                kWait));
    EXPECT_EQ(defaultBefore, test::ReadRawValue(HKEY_CURRENT_USER, kRun, L"")) << "the default value stays";
    EXPECT_TRUE(test::FileExistsAt(program)) << "No removes the entry, never its program";

    std::string history;
    test::WaitUntil([&] { return test::ReadFile(folder + "\\history.txt", &history) && Contains(history, hiddenListed); },
                    kWait);
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tCURRENT_RUN\t" + name + "\t" + listed + "\t")) << history;
    // The hidden name cannot stand whole in a text file: U+FFFD marks it, so
    // the line is never taken for a name it does not hold.
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tCURRENT_RUN\t\xEF\xBF\xBDHiddenUpd\t" + hiddenListed + "\t"))
        << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::DeleteValue(HKEY_CURRENT_USER, kRun, "");
    test::DeleteValue(HKEY_CURRENT_USER, kRun, name);
    DeleteFileA(program.c_str());
    RemoveDirectoryA(programs.c_str());
}

// A 32-bit program's HKLM Run entry lands in the 32-bit registry view. The
// same command approved in the program's own view does not approve it; No
// removes it from its view only.
TEST_F(StartupCheckMonitor, AnEntryOfThe32BitViewAlertsAndIsRemovedThere)
{
    const std::string command = sample + " -both";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Both", command));
    ApproveAndWatchStartup();

    StartMonitor();
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr));
    RegSetValueExA(key, "Both", 0, REG_SZ, (const BYTE *)command.c_str(), (DWORD)command.size() + 1);
    RegCloseKey(key);
    PostMessageA(window, 9024, 0, 0);

    HWND alert = WaitForAlert(kNewProgram, 75000, window);
    ASSERT_NE(nullptr, alert) << "the 32-bit entry must alert although its command is approved in the other view";
    EXPECT_EQ(command, ControlText(alert, IDC_ALERT_COMMAND));
    ASSERT_TRUE(AnswerAlert(alert, IDNO));
    auto exists32 = [] {
        HKEY k;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &k)) return false;
        bool there = RegQueryValueExA(k, "Both", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        RegCloseKey(k);
        return there;
    };
    EXPECT_TRUE(test::WaitUntil([&] { return !exists32(); }, kWait));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Both")) << "the entry of the other view stays";
    std::string history;
    test::WaitUntil([&] { return test::ReadFile(folder + "\\history.txt", &history) && Contains(history, "MACHINE_RUN_32"); },
                    kWait);
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tMACHINE_RUN_32\tBoth\t" + command + "\t")) << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::DeleteValue(HKEY_LOCAL_MACHINE, kRun, "Both");
}

// The real monitor: a debugger set for sethc.exe (written in both registry
// views) and an Active Setup command are alerted with their commands and
// where they live; No deletes exactly those values and leaves the keys'
// other values.
TEST_F(StartupCheckMonitor, ADebuggerForAnImageAndAnActiveSetupCommandAreAlertedAndRemovedExactly)
{
    const char ifeo[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\sethc.exe";
    const char setup[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{7A1B2C3D-0000-4000-8000-00000000AB02}";
    ApproveAndWatchStartup();
    StartMonitor();

    ASSERT_TRUE(test::WriteDword(HKEY_LOCAL_MACHINE, ifeo, "GlobalFlag", 0x200));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, ifeo, "Debugger", "C:\\evil\\dbg.exe"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, ifeo, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                             nullptr, &key, nullptr));
    const char debugger[] = "C:\\evil\\dbg.exe";
    RegSetValueExA(key, "Debugger", 0, REG_SZ, (const BYTE *)debugger, sizeof debugger);
    RegCloseKey(key);
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, setup, "", "Orbit Setup"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, setup, "StubPath", "C:\\evil\\stub.exe /s"));
    PostMessageA(window, 9024, 0, 0);

    // One alert per place and view Windows keeps apart; No to each.
    int debuggers = 0, stubs = 0;
    for (int shown = 0; shown < 4; shown++) {
        HWND alert = WaitForAlert(kNewProgram, shown < 2 ? 75000 : 8000, window);
        if (!alert) break;
        std::string command = ControlText(alert, IDC_ALERT_COMMAND), place = ControlText(alert, IDC_ALERT_PLACE);
        if (command == debugger) {
            debuggers++;
            EXPECT_TRUE(Contains(place, "Image File Execution Options\\sethc.exe")) << place;
            EXPECT_TRUE(Contains(place, "value \"Debugger\"")) << place;
        } else {
            EXPECT_EQ("C:\\evil\\stub.exe /s", command);
            EXPECT_TRUE(Contains(place, "Installed Components\\{7A1B2C3D-0000-4000-8000-00000000AB02}")) << place;
            stubs++;
        }
        ASSERT_TRUE(AnswerAlert(alert, IDNO));
        if (!test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "Debugger") &&
            !test::ValueExists(HKEY_LOCAL_MACHINE, setup, "StubPath"))
            break;
    }
    EXPECT_GE(debuggers, 1);
    EXPECT_EQ(1, stubs);
    EXPECT_TRUE(test::WaitUntil([&] { return !test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "Debugger"); }, kWait));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, setup, "StubPath"));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "GlobalFlag")) << "the image's other values stay";
    std::string name;
    EXPECT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, setup, "", &name));
    std::string history;
    test::WaitUntil([&] { return test::ReadFile(folder + "\\history.txt", &history) && Contains(history, "REG_ActiveSetup"); },
                    kWait);
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tREG_IFEO_Debugger\tsethc.exe\tC:\\evil\\dbg.exe\t")) << history;
    EXPECT_TRUE(Contains(history, "\t*START_Remove\tREG_ActiveSetup\t{7A1B2C3D-0000-4000-8000-00000000AB02}\t"))
        << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::DeleteTree(HKEY_LOCAL_MACHINE, ifeo);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, ifeo, KEY_WOW64_32KEY, 0);
    test::DeleteTree(HKEY_LOCAL_MACHINE, setup);
}
