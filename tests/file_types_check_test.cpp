// The file types check with its alert: the prefix's own .txt association
// hijacked, the check run in-process with the alert answered from a second
// thread, and once end to end through the real Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "alert_driver.h"
#include "checks.h"
#include "file_types.h"
#include "monitor.h"
#include "options.h"

using namespace test::keys;
using namespace alerts_test;
using test::Value;

namespace {
// .txt in the machine's classes (and, with HKEY_CURRENT_USER, in the
// user's own), and the user's choice for it in the explorer.
const char kTxtfile[] = "Software\\Classes\\txtfile";
const char kTxtCommand[] = "Software\\Classes\\txtfile\\shell\\open\\command";
const char kTxt[] = "Software\\Classes\\.txt";
const char kTxtChoice[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.txt";

// The prefix's .txt: Wine has the txtfile class but not always the
// extension's key; it is made when missing and removed again.
struct TxtAssociation {
    bool madeExtension = false;
    test::Stored original;
    void Prepare()
    {
        if (!test::ValueExists(HKEY_LOCAL_MACHINE, kTxt, "")) {
            madeExtension = true;
            test::WriteString(HKEY_LOCAL_MACHINE, kTxt, "", "txtfile");
        }
        original = test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, "");
    }
    void PutBack()
    {
        if (!original.data.empty()) test::WriteStored(HKEY_LOCAL_MACHINE, kTxtCommand, "", original);
        test::WriteString(HKEY_LOCAL_MACHINE, kTxt, "", "txtfile");
        if (madeExtension) test::DeleteTree(HKEY_LOCAL_MACHINE, kTxt);
    }
};

class FileTypeCheck : public CheckTest {
protected:
    void SetUp() override
    {
        CheckTest::SetUp();
        quiet = {kFileType};
        txt.Prepare();
        ASSERT_FALSE(txt.original.data.empty()) << "the prefix has no txtfile open command";
        folder = SampleFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        sample = folder + "\\alert_sample.exe";
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_sample.exe").c_str(), sample.c_str(), FALSE));
        // .TXT watched and approved as the prefix has it.
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "", "TXT;"));
        ASSERT_EQ(1, SaveAssociation(".TXT", METHOD_CLASS));
    }
    void TearDown() override
    {
        txt.PutBack();
        test::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\evil.file");
        test::DeleteTree(HKEY_CURRENT_USER, kTxtfile);
        test::DeleteTree(HKEY_CURRENT_USER, kTxt);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, kTxtChoice, "ProgID");
        CheckTest::TearDown();
    }
    void RunCheck() override { CheckFileTypes(); }
    void Hijack(const std::string &command)
    {
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kTxtCommand, "", command));
    }
    TxtAssociation txt;
    std::string folder, sample;
};
}  // namespace

TEST_F(FileTypeCheck, AChangedProgramShowsBothAndNoPutsTheCommandBackByteForByte)
{
    std::string hijack = "\"" + sample + "\" \"%1\"";
    Hijack(hijack);
    CheckAnswering({{kFileType, IDNO}});
    EXPECT_EQ(".TXT", Field(IDC_TYPE_EXTENSION));
    EXPECT_EQ(txt.original.Text(), Field(IDC_TYPE_OLD_COMMAND)) << "the approved program, as stored";
    EXPECT_EQ(hijack, Field(IDC_TYPE_NEW_COMMAND));
    EXPECT_EQ("Alert Sample", Field(IDC_TYPE_NEW_NAME));
    EXPECT_EQ("Orvendale Samples", Field(IDC_TYPE_NEW_COMPANY));
    EXPECT_EQ("Name", Field(IDC_TYPE_OLD_NAME)) << "Wine's notepad has no version facts";
    EXPECT_TRUE(driver->seen(0).topmost);

    EXPECT_EQ(txt.original, test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, ""));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\FileTypes").empty())
        << "first-seen dates of the programs";
    EXPECT_EQ(1, CountHistory({"\tFILETYPE_Restore\tTYPE_FILETYPE\t.TXT\t" + hijack + "\ttxtfile"}))
        << "No is written down with what it undid";
    EXPECT_EQ(1u, HistoryLines().size());
    CheckSilently("the check asked although nothing changed");
}

TEST_F(FileTypeCheck, YesKeepsTheNewProgramAndTheNextPassIsQuiet)
{
    std::string hijack = "\"" + sample + "\" /view=all \"%1\"";
    Hijack(hijack);
    CheckAnswering({{kFileType, IDYES}});
    EXPECT_EQ(hijack, Value(HKEY_LOCAL_MACHINE, kTxtCommand, ""));
    EXPECT_EQ(hijack, Value(HKEY_CURRENT_USER, kClass, "txtfile")) << "the approved command, quotes and all";
    CheckSilently("the check asked although nothing changed");

    // Esc approves as well.
    std::string other = sample + " /again %1";
    Hijack(other);
    CheckAnswering({{kFileType, 0, VK_ESCAPE}});
    EXPECT_EQ(other, Value(HKEY_CURRENT_USER, kClass, "txtfile"));
    CheckSilently("the check asked although nothing changed");
}

TEST_F(FileTypeCheck, AnotherClassForTheExtensionIsPutBackWithItsCommand)
{
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kTxt, "", "evil.file"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\evil.file\\shell\\open\\command", "",
                                  sample + " %1"));
    CheckAnswering({{kFileType, IDNO}});
    EXPECT_EQ("txtfile", Value(HKEY_LOCAL_MACHINE, kTxt, ""));
    EXPECT_EQ(txt.original, test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, ""));
    EXPECT_EQ(sample + " %1", Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\evil.file\\shell\\open\\command", ""))
        << "the other class itself is left alone";
    CheckSilently("the check asked although nothing changed");
}

TEST_F(FileTypeCheck, LockedOrHiddenChangesArePutBackWithoutAsking)
{
    settings.lockFileTypes = 1;
    Hijack(sample + " %1");
    CheckSilently("the check asked although nothing changed");
    EXPECT_EQ(txt.original, test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, ""));

    settings.lockFileTypes = 0;
    settings.hideAlerts = 2;
    Hijack(sample + " %1");
    CheckSilently("the check asked although nothing changed");
    EXPECT_EQ(txt.original, test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, ""));
    EXPECT_EQ(2, CountHistory({"\tFILETYPE_Restore\tTYPE_FILETYPE\t.TXT\t" + sample + " %1\t"}))
        << "what was put back without asking is written down";
    EXPECT_EQ(0, AlertTitle[0]) << "no alert record is left behind";
}

TEST_F(FileTypeCheck, TheCheckTakesTheExplorersOptionsAndAZeroIntervalComparesNothing)
{
    // What the explorer's option writes leave: the options and "Update".
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "FileType", "0"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "LockFileTypes", "1"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "Update", "1"));
    Hijack(sample + " %1");
    CheckSilently("the check asked although nothing changed");
    EXPECT_EQ(0, settings.fileType);
    EXPECT_EQ(1, settings.lockFileTypes);
    EXPECT_EQ("0", Value(HKEY_CURRENT_USER, kOptions, "Update"));
    EXPECT_EQ(sample + " %1", Value(HKEY_LOCAL_MACHINE, kTxtCommand, "")) << "not patrolled: nothing compared";

    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "FileType", "4"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "Update", "1"));
    CheckSilently("the check asked although nothing changed");
    EXPECT_EQ(4, settings.fileType);
    EXPECT_EQ(txt.original, test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, "")) << "locked: put back at once";
}

TEST_F(FileTypeCheck, WhatIsTheSameProgramStaysQuietAndWhatIsNotAlerts)
{
    // The same program in another folder, written another way.
    Hijack("C:\\elsewhere\\NOTEPAD.EXE %1");
    CheckSilently("the check asked although nothing changed");
    // An approved command with "=" is not taken for a change at every pass.
    std::string equals = "\"" + sample + "\" /mode=view \"%1\"";
    Hijack(equals);
    ASSERT_EQ(1, SaveAssociation(".txt", METHOD_CLASS));
    CheckSilently("the check asked although nothing changed");
    CheckSilently("the check asked although nothing changed");
    // Another program behind the same parameters is a change.
    Hijack("C:\\evil\\evil.exe /mode=view \"%1\"");
    CheckAnswering({{kFileType, IDNO}});
    EXPECT_EQ(equals, Value(HKEY_LOCAL_MACHINE, kTxtCommand, ""));
}

TEST_F(FileTypeCheck, AnApprovedCommandLongerThanAnyBufferIsStillTheBaseline)
{
    std::string approved = "\"" + sample + "\" " + std::string(1500, 'a') + " \"%1\"";
    Hijack(approved);
    ASSERT_EQ(1, SaveAssociation(".TXT", METHOD_CLASS));
    CheckSilently("the check asked although nothing changed");
    // Changed far behind the first 259 characters.
    std::string changed = approved;
    changed[1400] = 'b';
    Hijack(changed);
    CheckAnswering({{kFileType, IDNO}});
    EXPECT_EQ(approved, Value(HKEY_LOCAL_MACHINE, kTxtCommand, "")) << "the whole command came back";
    EXPECT_EQ(approved, Value(HKEY_CURRENT_USER, kClass, "txtfile")) << "the baseline was not replaced";
}

TEST_F(FileTypeCheck, AnAssociationSeenForTheFirstTimeIsApprovedWithoutAsking)
{
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.ftcheck", "", "evil.file"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\evil.file\\shell\\open\\command", "",
                                  "\"" + sample + "\" \"%1\""));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "", "TXT;ftcheck;"));
    CheckSilently("the check asked although nothing changed");
    EXPECT_EQ("evil.file", Value(HKEY_CURRENT_USER, kExt, ".ftcheck"));
    EXPECT_EQ("\"" + sample + "\" \"%1\"", Value(HKEY_CURRENT_USER, kClass, "evil.file"));
    test::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Classes\\.ftcheck");
}

// The real monitor: a real-time notice makes the check due; the alert is
// answered here.
TEST(FileTypeCheckMonitor, TheMonitorAlertsAboutTxtAndRestoresOrApprovesIt)
{
    std::string folder = test::MonitorFolder("FileTypeCheckMonitor");
    ASSERT_FALSE(folder.empty());
    TxtAssociation txt;
    txt.Prepare();
    std::string samples = SampleFolder("FileTypeCheckMonitor");
    std::string sample = samples + "\\alert_sample.exe";
    ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_sample.exe").c_str(), sample.c_str(), FALSE));
    // File types at every visit and in real time; the trace shows each check.
    test::SetOptions({{"Start", "0"}, {"RealtimeStartup", "0"}, {"FileType", "1"},
                      {"RealtimeFileType", "1"}, {"HideWuffin", "1"}, {"Debug", "1"}});

    test::Program monitor = test::Start(folder, "Sentrel.exe", "");
    ASSERT_NE(nullptr, monitor.process);
    HWND window = test::WaitForWindow("Sentrel", nullptr, kWait);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(test::WaitUntil([] { return Value(HKEY_CURRENT_USER, kExt, "") == "Do not edit."; }, kWait))
        << "the first run approves the associations there are";
    EXPECT_EQ(txt.original.Text(), Value(HKEY_CURRENT_USER, kClass, "txtfile"));

    auto checks = [&] {
        std::string trace;
        test::ReadFile(folder + "\\send2ov.txt", &trace);
        int n = 0;
        for (size_t at = trace.find("VERIFY: File Types"); at != std::string::npos;
             at = trace.find("VERIFY: File Types", at + 1))
            n++;
        return n;
    };
    // A notice counts only when the number of running programs changed.
    test::Program helper;
    auto notice = [&] {
        if (helper.process)
            test::Stop(helper);
        else
            helper = test::Start(samples, "alert_sample.exe", "-stay");
        PostMessageA(window, WM_TASK_CHANGE, 0, 0);
    };

    // .txt opened by another program: No puts notepad back.
    std::string hijack = "\"" + sample + "\" \"%1\"";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kTxtCommand, "", hijack));
    notice();
    HWND alert = WaitForAlert(kFileType, 60000);
    ASSERT_NE(nullptr, alert) << "no alert from the monitor's patrol";
    EXPECT_EQ(txt.original.Text(), ControlText(alert, IDC_TYPE_OLD_COMMAND));
    EXPECT_EQ(hijack, ControlText(alert, IDC_TYPE_NEW_COMMAND));
    EXPECT_EQ("Alert Sample", ControlText(alert, IDC_TYPE_NEW_NAME));
    EXPECT_TRUE(AnswerAlert(alert, IDNO));
    EXPECT_TRUE(
        test::WaitUntil([&] { return test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, "") == txt.original; }, kWait))
        << "restored byte for byte";

    // Yes keeps the new program, and the next pass is quiet.
    std::string approved = "\"" + sample + "\" /approved \"%1\"";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kTxtCommand, "", approved));
    notice();
    alert = WaitForAlert(kFileType, 60000);
    ASSERT_NE(nullptr, alert);
    EXPECT_TRUE(AnswerAlert(alert, IDYES));
    EXPECT_TRUE(test::WaitUntil([&] { return Value(HKEY_CURRENT_USER, kClass, "txtfile") == approved; }, kWait));
    int before = checks();
    notice();
    EXPECT_TRUE(test::WaitUntil([&] { return checks() > before; }, 60000)) << "no further check ran";
    EXPECT_EQ(nullptr, FindWindowA("#32770", kFileType));
    EXPECT_EQ(approved, Value(HKEY_LOCAL_MACHINE, kTxtCommand, ""));

    // Locking, as the explorer sets it, reaches the running monitor: the
    // next change is put back without a word.
    ASSERT_EQ(1, SetOption("LockFileTypes", 1));
    // The monitor lowers "Update" once it has read the options again; a
    // change made before that could still meet the unlocked check.
    bool taken = false;
    for (int round = 0; round < 12 && !taken; round++) {
        notice();
        taken = test::WaitUntil([&] { return Value(HKEY_CURRENT_USER, kOptions, "Update") == "0"; }, 5000);
    }
    ASSERT_TRUE(taken) << "the monitor did not take the option in";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kTxtCommand, "", sample + " /locked %1"));
    // A change right after a pass may wait for the next one: notices go on
    // until a pass has put it back.
    bool restored = false;
    for (int round = 0; round < 12 && !restored; round++) {
        notice();
        restored = test::WaitUntil([&] { return Value(HKEY_LOCAL_MACHINE, kTxtCommand, "") == approved; }, 5000);
    }
    EXPECT_TRUE(restored);
    EXPECT_EQ(nullptr, FindWindowA("#32770", kFileType));

    std::string history;
    test::ReadFile(folder + "\\history.txt", &history);
    // The approval (Yes) is written down; the put-backs are not decisions.
    EXPECT_NE(std::string::npos, history.find("\tFILETYPE_Approve\tTYPE_FILETYPE\t")) << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::Stop(helper);
    txt.PutBack();
    test::ResetSentrelRegistry();
}

// A choice of the user's own made after the baseline (a ProgID chosen in
// FileExts, the user's classes giving .txt another command) is asked about
// like a change, from what opened .txt before; No takes it away and the
// machine's association counts again.
TEST_F(FileTypeCheck, ANewChoiceOfTheUsersOwnIsAskedAboutAndNoTakesItAway)
{
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kExt, "", "Do not edit."));
    std::string chosen = "\"" + sample + "\" /progid \"%1\"";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\evil.file\\shell\\open\\command", "", chosen));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kTxtChoice, "ProgID", "evil.file"));
    std::string own = "\"" + sample + "\" /user \"%1\"";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kTxtfile) + "\\shell\\open\\command", "", own));

    CheckAnswering({{kFileType, IDNO}, {kFileType, IDYES}});
    EXPECT_EQ(txt.original.Text(), Field(IDC_TYPE_OLD_COMMAND, 0)) << "what opened .txt before";
    EXPECT_EQ(chosen, Field(IDC_TYPE_NEW_COMMAND, 0));
    EXPECT_EQ(own, Field(IDC_TYPE_NEW_COMMAND, 1));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kTxtChoice, "ProgID")) << "No took the choice away";
    EXPECT_EQ(txt.original, test::ReadStored(HKEY_LOCAL_MACHINE, kTxtCommand, "")) << "the machine's command stays";
    EXPECT_EQ(chosen, Value(HKEY_LOCAL_MACHINE, "Software\\Classes\\evil.file\\shell\\open\\command", ""))
        << "the class the choice named stays";
    EXPECT_EQ(own, Value(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\ClassUser", "txtfile"));
    EXPECT_EQ(1, CountHistory({"\tFILETYPE_Remove\tTYPE_FILETYPE\t.TXT\t" + chosen + "\tevil.file"}));
    EXPECT_EQ(1, CountHistory({"\tFILETYPE_Approve\tTYPE_FILETYPE\t.TXT\t" + own + "\ttxtfile"}));
    CheckSilently("the check asked although nothing changed");

    // Once approved, a change of the user's command is put back on No.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kTxtfile) + "\\shell\\open\\command", "",
                                  "C:\\evil\\other.exe \"%1\""));
    CheckAnswering({{kFileType, IDNO}});
    EXPECT_EQ(own, Value(HKEY_CURRENT_USER, std::string(kTxtfile) + "\\shell\\open\\command", ""));

    // A class of the user's own for the extension is taken away whole on No.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kTxt, "", "evil.file"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, "Software\\Classes\\evil.file\\shell\\open\\command", "",
                                  "C:\\evil\\third.exe %1"));
    CheckAnswering({{kFileType, IDNO}});
    EXPECT_EQ("txtfile", Value(HKEY_CURRENT_USER, kTxt, "")) << "the approved class is put back";
    test::DeleteTree(HKEY_CURRENT_USER, "Software\\Classes\\evil.file");
    CheckSilently("the check asked although nothing changed");
}
