// The real SentrelEx.exe on its Scheduled Tasks page: the rows it shows for
// real jobs of Wine's Task Scheduler and for Task Scheduler 2.0 tasks
// planted as Windows stores them, and Remove, Disable and Enable on the
// selected one.
#include "explorer_pages.h"

#include <initializer_list>

#include "registered_tasks.h"
#include "task_jobs.h"

using namespace test::keys;
using task_test::Scheduler;

namespace {

const std::string kPrograms = "C:\\task-programs";
enum { kName, kProgram, kCompany, kTriggers, kNextRun, kLastRun, kKind, kPublisher };

class ScheduledTasksPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        ExplorerPage::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        scheduler.reset(new Scheduler);
        ASSERT_NE(nullptr, scheduler->get());
        scheduler->DeleteAll();
        // Programs with version facts (a copy of the explorer itself).
        CreateDirectoryA(kPrograms.c_str(), nullptr);
        for (const char *name : {"alpha.exe", "beta.exe"})
            ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (kPrograms + "\\" + name).c_str(),
                                  FALSE));
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        scheduler->DeleteCreated();
        scheduler.reset();
        for (const char *task : {"\\Orbit\\Updater", "\\Orbit\\Second"}) test::RemovePlantedTask(task);
        CoUninitialize();
    }
    void Create(const std::wstring &name, const std::string &file, const SYSTEMTIME *once = nullptr)
    {
        ASSERT_EQ(S_OK, scheduler->Create(name, task_test::Wide(kPrograms + "\\" + file), once));
    }
    static const std::vector<std::string> *RowOf(const std::vector<std::vector<std::string>> &rows,
                                                 const std::string &name)
    {
        return test::RowWith(rows, kName, name);
    }

    std::unique_ptr<Scheduler> scheduler;
};

}  // namespace

TEST_F(ScheduledTasksPage, EachJobIsARowWithItsProgramCompanyAndRunTimes)
{
    SYSTEMTIME once = task_test::Time(2031, 5, 6, 0, 5);
    Create(L"Alpha Job", "alpha.exe", &once);
    Create(L"Beta Job", "beta.exe");
    StartExplorer("-SCHEDULE");

    auto rows = remote->Rows(8);
    ASSERT_EQ(2u, rows.size());
    const auto *alpha = RowOf(rows, "Alpha Job");
    ASSERT_NE(nullptr, alpha) << "listed without the job extension";
    EXPECT_STRCASEEQ("alpha.exe", (*alpha)[kProgram].c_str());
    EXPECT_EQ("Orvendale", (*alpha)[kCompany]);
    EXPECT_EQ("05/06/2031  12:05 AM", (*alpha)[kNextRun]);
    EXPECT_EQ("Never", (*alpha)[kLastRun]);
    const auto *beta = RowOf(rows, "Beta Job");
    ASSERT_NE(nullptr, beta);
    EXPECT_EQ("Never", (*beta)[kNextRun]);
    EXPECT_EQ(0, remote->Selected()) << "the first row is selected";

    // Sorting by "Next Run Time" compares the texts.
    remote->ClickHeader(kNextRun);
    Settle();
    EXPECT_EQ("05/06/2031  12:05 AM", remote->Text(0, kNextRun));
    remote->ClickHeader(kNextRun);
    Settle();
    EXPECT_EQ("Never", remote->Text(0, kNextRun));
    std::string sorted;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, kOptions, "SortScheduledTask", &sorted));
    EXPECT_EQ("5", sorted);
}

TEST_F(ScheduledTasksPage, RemoveDeletesTheSelectedJobOnlyAndForgetsItsApproval)
{
    Create(L"Alpha Job", "alpha.exe");
    Create(L"Beta Job", "beta.exe");
    Create(L"Gamma Job", "beta.exe");
    for (const char *name : {"Alpha Job.job", "Beta Job.job", "Gamma Job.job"})
        test::WriteString(HKEY_CURRENT_USER, kTasksBaseline, name, "800");
    StartExplorer("-SCHEDULE");
    ASSERT_EQ(3, remote->Count());

    // Without a selection the page says so.
    remote->SelectNone();
    Settle();
    Press(1003);
    HWND box = WaitForDialog("Sentrel Help");
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(box, wait));

    // No keeps the job.
    ASSERT_GE(remote->Select(kName, "Beta Job"), 0);
    Settle();
    Press(1003);
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_NE(std::string::npos, test::DialogText(box).find("You have chosen to remove Beta Job.job"))
        << test::DialogText(box);
    test::PressButton(box, IDNO);
    ASSERT_TRUE(test::WaitForWindowGone(box, wait));
    Settle();
    EXPECT_TRUE(Scheduler::Exists(L"Beta Job"));

    // Yes removes it, and only it.
    ASSERT_GE(remote->Select(kName, "Beta Job"), 0);
    Settle();
    Press(1003);
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitUntil([] { return !Scheduler::Exists(L"Beta Job"); }, wait));
    Settle();
    EXPECT_TRUE(Scheduler::Exists(L"Alpha Job"));
    EXPECT_TRUE(Scheduler::Exists(L"Gamma Job"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kTasksBaseline, "Beta Job.job"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kTasksBaseline, "Gamma Job.job"));
    auto rows = remote->Rows(8);
    EXPECT_EQ(2u, rows.size());
    EXPECT_EQ(nullptr, RowOf(rows, "Beta Job"));
    EXPECT_EQ(-1, remote->Selected()) << "the removed job's row is gone, and nothing else is selected";
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("ScheduledTask_Remove\tTASK_SCHEDULED\tBeta Job.job\t")) << history;
}

// Jobs of 1.0 and tasks of 2.0 side by side, each with what it runs, when
// and which kind it is; Disable, Enable and Remove reach exactly the
// selected task, its neighbour in the same folder untouched.
TEST_F(ScheduledTasksPage, JobsAndTasksAreRowsAndEachCommandReachesTheSelectedTask)
{
    Create(L"Alpha Job", "alpha.exe");
    const std::string updater = "\\Orbit\\Updater", second = "\\Orbit\\Second";
    std::string updaterFile = test::PlantTask(updater, test::TaskXml(kPrograms + "\\alpha.exe", "-q"));
    std::string secondFile = test::PlantTask(
        second, test::TaskXml(kPrograms + "\\beta.exe", "-r",
                              "<CalendarTrigger><StartBoundary>2025-02-03T03:00:00</StartBoundary>"
                              "<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>"));
    ASSERT_FALSE(updaterFile.empty());
    ASSERT_FALSE(secondFile.empty());
    StartExplorer("-SCHEDULE");
    auto rows = remote->Rows(8);
    ASSERT_EQ(3u, rows.size());
    const auto *job = RowOf(rows, "Alpha Job");
    ASSERT_NE(nullptr, job);
    EXPECT_EQ("Task Scheduler 1.0 job", (*job)[kKind]);
    const auto *task = RowOf(rows, updater);
    ASSERT_NE(nullptr, task);
    EXPECT_EQ("alpha.exe -q", (*task)[kProgram]);
    EXPECT_EQ("Orvendale", (*task)[kCompany]);
    EXPECT_EQ("At logon", (*task)[kTriggers]);
    EXPECT_EQ("Task Scheduler 2.0 task", (*task)[kKind]);
    ASSERT_NE(nullptr, RowOf(rows, second));
    EXPECT_EQ("Daily at 03:00", (*RowOf(rows, second))[kTriggers]);

    // Disable: the selected task's own flag; Enable takes its place.
    std::string updaterBytes;
    ASSERT_TRUE(test::ReadFile(updaterFile, &updaterBytes));
    ASSERT_GE(remote->Select(kName, second), 0);
    Settle();
    Press(11);
    ASSERT_TRUE(test::WaitUntil([&] { TaskFile read; return ReadTaskFile(secondFile.c_str(), &read) && !read.enabled; },
                                wait));
    Settle();
    EXPECT_EQ("Task Scheduler 2.0 task (disabled)", remote->Text(remote->Selected(), kKind));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 10)));
    std::string now;
    ASSERT_TRUE(test::ReadFile(updaterFile, &now));
    EXPECT_EQ(updaterBytes, now) << "the other task of the folder is as it was";
    Press(10);
    ASSERT_TRUE(test::WaitUntil([&] { TaskFile read; return ReadTaskFile(secondFile.c_str(), &read) && read.enabled; },
                                wait));
    Settle();

    // Remove: exactly the selected task.
    ASSERT_GE(remote->Select(kName, updater), 0);
    Settle();
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitUntil([&] { return !test::FileExistsAt(updaterFile); }, wait));
    Settle();
    EXPECT_TRUE(test::FileExistsAt(secondFile));
    EXPECT_TRUE(Scheduler::Exists(L"Alpha Job"));
    EXPECT_EQ(2, remote->Count());
    std::string history = History();
    EXPECT_NE(std::string::npos, history.find("\tTASK_Disable\tTASK_SCHEDULED2\t" + second + "\t")) << history;
    EXPECT_NE(std::string::npos, history.find("\tTASK_Enable\tTASK_SCHEDULED2\t" + second + "\t")) << history;
    EXPECT_NE(std::string::npos, history.find("\tScheduledTask_Remove\tTASK_SCHEDULED2\t" + updater + "\t")) << history;
}
