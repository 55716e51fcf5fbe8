// The scheduled tasks check with its task alert: real jobs of Wine's Task
// Scheduler, the check run in-process with its dialog answered from a
// second thread, and once end to end through the real Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>
#include <mstask.h>

#include <map>
#include <memory>
#include <string>

#include "alert_driver.h"
#include "checks.h"
#include "inventory.h"
#include "monitor.h"
#include "options.h"
#include "registered_tasks.h"
#include "signed_samples.h"
#include "task_jobs.h"
#include "tasks.h"

using namespace test::keys;
using namespace alerts_test;
using task_test::Scheduler;

namespace {
const char kSample[] = "alert_sample.exe";

std::string TaskBaseline(const std::string &name)
{
    std::string value;
    if (!test::ReadString(HKEY_CURRENT_USER, kTasksBaseline, name, &value)) return "<missing>";
    return value;
}

class TaskCheckTest : public CheckTest {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CheckTest::SetUp();
        scheduler.reset(new Scheduler);
        ASSERT_NE(nullptr, scheduler->get());
        scheduler->DeleteAll();
        folder = SampleFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\" + kSample).c_str(), Sample().c_str(), FALSE));
    }
    void TearDown() override
    {
        scheduler->DeleteCreated();
        scheduler.reset();
        for (const char *task : {"\\Orbit\\Updater", "\\Hidden Folder\\Ghost"}) test::RemovePlantedTask(task);
        CheckTest::TearDown();
        CoUninitialize();
    }
    void RunCheck() override { CheckScheduledTasks(); }
    std::string Sample() const { return folder + "\\" + kSample; }
    void Create(const std::wstring &name)
    {
        ASSERT_EQ(S_OK, scheduler->Create(name, task_test::Wide(Sample())));
    }
    std::string folder;
    std::unique_ptr<Scheduler> scheduler;
};
}  // namespace

TEST_F(TaskCheckTest, ANewJobIsShownAndYesApprovesIt)
{
    Create(L"Nightly Sample");
    CheckAnswering({{kNewProgram, IDYES}});
    const Seen &seen = driver->seen(0);
    EXPECT_EQ("Nightly Sample", seen.Field(IDC_ALERT_NAME)) << "shown without its job extension";
    EXPECT_EQ(Sample(), seen.Field(IDC_ALERT_COMMAND));
    EXPECT_EQ("Orvendale Samples", seen.Field(IDC_ALERT_COMPANY));
    EXPECT_EQ("Version:", seen.Field(IDC_ALERT_VERSION_LABEL));
    EXPECT_NE(std::string::npos, seen.Field(IDC_ALERT_MESSAGE).find("new task has been added to the Windows Task Scheduler"));
    EXPECT_EQ("800", TaskBaseline("Nightly Sample.job"));
    EXPECT_EQ(1, CountHistory({"TASK_Alert", "TASK_SCHEDULED", "Alert sample program"}));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\Tasks").empty())
        << "the first-seen date of its program is recorded";
    EXPECT_TRUE(Scheduler::Exists(L"Nightly Sample"));

    CheckSilently();
    EXPECT_EQ(1, CountHistory({"TASK_Alert"}));
}

// A job is shown by its own name, whatever it borrows, and with all it
// runs: its program and its parameters.
TEST_F(TaskCheckTest, AJobIsShownByItsOwnNameWithItsWholeCommand)
{
    ASSERT_EQ(S_OK, scheduler->Create(L"SentrelUpdate", task_test::Wide(Sample()), nullptr,
                                      L"/c C:\\evil\\payload.exe & del C:\\evil\\trace.txt"));
    CheckAnswering({{kNewProgram, IDYES}});
    const Seen &seen = driver->seen(0);
    EXPECT_EQ("SentrelUpdate", seen.Field(IDC_ALERT_NAME));
    std::string program = Sample().find(' ') == std::string::npos ? Sample() : "\"" + Sample() + "\"";
    EXPECT_EQ(program + " /c C:\\evil\\payload.exe & del C:\\evil\\trace.txt", seen.Field(IDC_ALERT_COMMAND));
    EXPECT_EQ(1, CountHistory({"\tTASK_Approve\tTASK_SCHEDULED\tSentrelUpdate.job\t",
                               "alert_sample.exe /c C:\\evil\\payload.exe & del C:\\evil\\trace.txt\t"}));
}

// An approval keeps the signer of the job's program: the same job whose
// program is signed no more is asked about again.
TEST_F(TaskCheckTest, AJobWhoseProgramsSignatureBreaksIsAskedAboutAgain)
{
    test::TrustedTestRoot root;
    std::string program = folder + "\\signed.exe";
    ASSERT_TRUE(CopyFileA(test::SignedSample("signed.exe").c_str(), program.c_str(), FALSE));
    ASSERT_EQ(S_OK, scheduler->Create(L"Signed Job", task_test::Wide(program)));
    CheckAnswering({{kNewProgram, IDYES}});
    std::string signer;
    EXPECT_EQ("Quillon Software Ltd",
              test::Value(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Tasks\\Signers", "Signed Job.job"));
    CheckSilently();

    ASSERT_TRUE(test::ReplaceWithSample("tampered.exe", program));
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_EQ("Publisher: Not verified: untrusted signature", Field(IDC_ALERT_PUBLISHER));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Tasks\\Signers", "Signed Job.job"))
        << "approved again, now for no signer";
    CheckSilently();
}

TEST_F(TaskCheckTest, NoDeletesTheJobAndForgetsIt)
{
    Create(L"Unwanted");
    Create(L"Wanted");
    test::WriteString(HKEY_CURRENT_USER, kTasksBaseline, "Unwanted.job", "0");   // "0" approves nothing
    CheckAnswering({{kNewProgram, IDNO}, {kNewProgram, 0, VK_ESCAPE}});
    // The scheduler's order decides which came first: No went to that one,
    // Esc (which approves) to the other.
    bool unwantedFirst = Field(IDC_ALERT_NAME) == "Unwanted";
    std::string rejected = unwantedFirst ? "Unwanted" : "Wanted";
    std::string approved = unwantedFirst ? "Wanted" : "Unwanted";
    EXPECT_FALSE(Scheduler::Exists(task_test::Wide(rejected))) << "the rejected job is gone";
    EXPECT_TRUE(Scheduler::Exists(task_test::Wide(approved)));
    EXPECT_EQ("<missing>", TaskBaseline(rejected + ".job"));
    EXPECT_EQ("800", TaskBaseline(approved + ".job"));
    EXPECT_EQ(2, CountHistory({"TASK_Alert"}));
    // Rejected at its alert: "TASK_Remove", the job file kept in the vault
    // under the name the line gives.
    EXPECT_EQ(1, CountHistory({"TASK_Remove", "TASK_SCHEDULED", rejected + ".job", Sample(), rejected + ".job"}));
    EXPECT_EQ(1, CountHistory({"TASK_Approve", "TASK_SCHEDULED", approved + ".job"}));
    CheckSilently();
}

TEST_F(TaskCheckTest, SilentRejectsExceptionsAndJobsSharingATitle)
{
    // A vendor's online-scan job is never asked about.
    ASSERT_EQ(S_OK, scheduler->CreateRenamed(L"Scan avcheck-online.net daily", task_test::Wide(Sample())));
    CheckSilently();
    EXPECT_TRUE(Scheduler::Exists(L"Scan avcheck-online.net daily"));

    // Two jobs whose names share their first 127 characters (the title):
    // the approval of one does not pass the other.
    std::wstring stem(150, L'T');
    Create(stem + L"1");
    Create(stem + L"2");
    std::string first = std::string(150, 'T') + "1.job", second = std::string(150, 'T') + "2.job";
    test::WriteString(HKEY_CURRENT_USER, kTasksBaseline, first, "800");
    test::WriteString(HKEY_CURRENT_USER, kTasksBaseline, first.substr(0, 127), "800");   // a title-named approval
    // With alerts hidden, the new one is deleted without a question.
    settings.hideAlerts = 2;
    CheckSilently();
    EXPECT_TRUE(Scheduler::Exists(stem + L"1"));
    EXPECT_FALSE(Scheduler::Exists(stem + L"2"));
    EXPECT_EQ(1, CountHistory({"TASK_Remove", second}));
    EXPECT_EQ(0, CountHistory({"TASK_Alert"}));
}

// Task Scheduler 2.0 tasks planted as Windows stores them: each is asked
// about by its own path with its whole command, hidden ones and ones named
// in any script too; No deletes exactly that task, Yes approves it under
// its path beside the jobs' approvals.
TEST_F(TaskCheckTest, NewTasksOfTheTaskStoreAreAskedAboutByTheirPath)
{
    const std::string orbit = "\\Orbit\\Updater", ghost = "\\Hidden Folder\\Ghost",
                      cyrillic = "\\\xD0\x9E\xD1\x80\xD0\xB1\xD0\xB8\xD1\x82\\\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0";
    std::map<std::string, std::string> files = {
        {orbit, test::PlantTask(orbit, test::TaskXml(Sample(), "-q"))},
        {ghost, test::PlantTask(ghost, test::TaskXml(Sample(), "-ghost", "", true, true))},
        {cyrillic, test::PlantTask(cyrillic, test::TaskXml(Sample(), "-z"), false)}};
    for (const auto &planted : files) ASSERT_FALSE(planted.second.empty()) << planted.first;
    CheckAnswering({{kNewProgram, IDNO}, {kNewProgram, IDNO}, {kNewProgram, IDYES}});
    std::map<std::string, int> answered;
    for (int i = 0; i < 3; i++) {
        const Seen &seen = driver->seen(i);
        std::string name = seen.Field(IDC_ALERT_NAME);
        ASSERT_EQ(1u, files.count(name)) << name;
        std::string argument = name == orbit ? "-q" : name == ghost ? "-ghost" : "-z";
        EXPECT_EQ(Sample() + " " + argument, seen.Field(IDC_ALERT_COMMAND)) << name;
        answered[name] = i < 2 ? IDNO : IDYES;
    }
    for (const auto &planted : files) {
        std::string baseline;
        bool approved = test::ReadString(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Tasks2", planted.first, &baseline);
        if (answered[planted.first] == IDNO) {
            EXPECT_FALSE(test::FileExistsAt(planted.second)) << planted.first << " was rejected and stays";
            EXPECT_FALSE(approved);
            EXPECT_EQ(1, CountHistory({"\tTASK_Remove\tTASK_SCHEDULED2\t" + planted.first + "\t"})) << planted.first;
        } else {
            EXPECT_TRUE(test::FileExistsAt(planted.second)) << planted.first;
            EXPECT_EQ("801", baseline);
            EXPECT_EQ(1, CountHistory({"\tTASK_Approve\tTASK_SCHEDULED2\t" + planted.first + "\t"})) << planted.first;
        }
    }
    EXPECT_EQ("<missing>", TaskBaseline(orbit)) << "not among the jobs' approvals";
    CheckSilently();
    for (const auto &planted : files) test::RemovePlantedTask(planted.first);
}

// The alert runs a message loop: whatever empties or refills the shared
// item list meanwhile must not change what the check asks or acts on.
namespace {
void CALLBACK RefillTheList(HWND, UINT, UINT_PTR, DWORD)
{
    FreeItems();
    AddItem("Intruder.job", "C:\\intruder.exe", "", "", 800, 0);
}
}  // namespace

TEST_F(TaskCheckTest, AnswersReachTheirJobWhenTheItemListChangesDuringTheAlert)
{
    Create(L"First Job");
    Create(L"Second Job");
    UINT_PTR timer = SetTimer(nullptr, 0, 50, RefillTheList);
    CheckAnswering({{kNewProgram, IDNO}, {kNewProgram, IDYES}});
    KillTimer(nullptr, timer);
    std::string firstShown = Field(IDC_ALERT_NAME);
    std::string secondShown = Field(IDC_ALERT_NAME, 1);
    ASSERT_NE(firstShown, secondShown);
    EXPECT_FALSE(Scheduler::Exists(task_test::Wide(firstShown)));
    EXPECT_TRUE(Scheduler::Exists(task_test::Wide(secondShown)));
    EXPECT_EQ("800", TaskBaseline(secondShown + ".job"));
    EXPECT_EQ("<missing>", TaskBaseline("Intruder.job"));
}

// The real monitor: a job added while it runs is asked about at the next
// group B pass that is due; No deletes it, Yes approves another.
TEST(TaskCheckMonitor, TheMonitorAsksAboutNewJobsAndActsOnTheAnswers)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ASSERT_TRUE(test::WaitForNoMonitor(kWait));
        test::ResetSentrelRegistry();
        Scheduler scheduler;
        ASSERT_NE(nullptr, scheduler.get());
        scheduler.DeleteAll();
        std::string folder = test::FreshFolder("TaskCheckMonitor");
        ASSERT_TRUE(test::InstallMonitor(folder, false));
        std::string sample = SampleFolder("TaskCheckMonitor") + "\\" + kSample;
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\" + kSample).c_str(), sample.c_str(), FALSE));
        ApproveEverything();
        test::SetOptions({{"Tasks", "1"}, {"HideWuffin", "1"}});

        test::Program monitor;
        HWND window = nullptr;
        // Whatever fails, the monitor ends and the planted tasks go.
        struct Leftovers {
            test::Program &monitor;
            ~Leftovers()
            {
                test::Stop(monitor);
                test::RemovePlantedTask("\\Orbit\\Updater");
                test::RemovePlantedTask("\\Hidden Folder\\Ghost");
            }
        } leftovers{monitor};
        ASSERT_TRUE(test::StartMonitorUp(folder, &monitor, &window, kWait));
        ASSERT_EQ(S_OK, scheduler.Create(L"Monitor Reject", task_test::Wide(sample)));
        ASSERT_EQ(S_OK, scheduler.Create(L"Monitor Approve", task_test::Wide(sample)));
        // Two Task Scheduler 2.0 tasks, one in a hidden folder, as Windows stores them.
        std::string orbit = test::PlantTask("\\Orbit\\Updater", test::TaskXml(sample, "-q"));
        std::string ghost = test::PlantTask("\\Hidden Folder\\Ghost", test::TaskXml(sample, "-g", "", true, true));
        ASSERT_FALSE(orbit.empty());
        ASSERT_FALSE(ghost.empty());
        // A real-time notice brings the next pass (group A) forward; group B follows.
        PostMessageA(window, WM_TASK_CHANGE, 0, 0);

        std::string shown[4];
        for (int i = 0; i < 4; i++) {
            HWND alert = WaitForAlert(kNewProgram, 90000, window);
            ASSERT_NE(nullptr, alert) << "no task alert from the monitor's patrol";
            shown[i] = ControlText(alert, IDC_ALERT_NAME);
            std::string arguments = shown[i] == "\\Orbit\\Updater" ? " -q" : shown[i] == "\\Hidden Folder\\Ghost" ? " -g" : "";
            EXPECT_EQ(sample + arguments, ControlText(alert, IDC_ALERT_COMMAND)) << shown[i];
            EXPECT_EQ("Orvendale Samples", ControlText(alert, IDC_ALERT_COMPANY));
            EXPECT_TRUE(AnswerAlert(alert, shown[i] == "Monitor Approve" ? IDYES : IDNO));
        }
        EXPECT_NE(shown[0], shown[1]);
        EXPECT_TRUE(test::WaitUntil([&] { return !test::FileExistsAt(orbit) && !test::FileExistsAt(ghost); }, kWait))
            << "the rejected 2.0 tasks were not deleted";
        EXPECT_TRUE(test::WaitUntil([] { return !Scheduler::Exists(L"Monitor Reject"); }, kWait))
            << "the rejected job was not deleted";
        EXPECT_TRUE(test::WaitUntil([] { return TaskBaseline("Monitor Approve.job") == "800"; }, kWait));
        EXPECT_TRUE(Scheduler::Exists(L"Monitor Approve"));
        EXPECT_EQ("<missing>", TaskBaseline("Monitor Reject.job"));
        std::string history;
        ASSERT_TRUE(test::ReadFile(folder + "\\history.txt", &history));
        EXPECT_NE(std::string::npos, history.find("TASK_Alert\tTASK_SCHEDULED\tAlert Sample")) << history;
        EXPECT_NE(std::string::npos, history.find("\tTASK_Remove\tTASK_SCHEDULED\tMonitor Reject.job\t" + sample))
            << history;
        EXPECT_NE(std::string::npos, history.find("\tTASK_Remove\tTASK_SCHEDULED2\t\\Orbit\\Updater\t" + sample + " -q\t"))
            << history;

        PostMessageA(window, WM_COMMAND, CMD_EXIT, 0);
        EXPECT_TRUE(test::WaitForExit(monitor, kWait));
        test::Stop(monitor);
        scheduler.DeleteCreated();
        test::ResetSentrelRegistry();
    }
    CoUninitialize();
}
