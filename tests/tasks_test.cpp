// The scheduled-task inventory against Wine's Task Scheduler: real jobs
// created through its COM interface, listed, looked up and deleted; odd
// names; a 9x scheduler agent that must be started (and ended again) first;
// an enumerator that fails part-way.
#include <gtest/gtest.h>

#include <windows.h>
#include <mstask.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "inventory.h"
#include "items.h"
#include "platform.h"
#include "registered_tasks.h"
#include "task_jobs.h"
#include "tasks.h"
#include "test_support.h"
#include "text.h"

using task_test::Scheduler;
using task_test::Time;

namespace {

const wchar_t kProgram[] = L"C:\\windows\\notepad.exe";

std::string Program()
{
    return "C:\\windows\\notepad.exe";
}

// The item list as (name, title, path, next, last) rows.
struct Row {
    std::string name, title, path, next, last;
    int type, qualifier;
};
std::vector<Row> ListedRows()
{
    std::vector<Row> rows;
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        rows.push_back({item->name, item->title, item->path, item->detail, item->info, item->type,
                        item->qualifier});
    }
    return rows;
}
const Row *Find(const std::vector<Row> &rows, const std::string &name)
{
    for (const Row &row : rows)
        if (row.name == name) return &row;
    return nullptr;
}
std::string NamesOf(const std::vector<Row> &rows)
{
    std::string text;
    for (const Row &row : rows) text += row.name + "\n";
    return text;
}

std::string NextRun(const std::string &name)
{
    char text[64] = "x";
    NextRunTimeOf(name.c_str(), text, sizeof text);
    return text;
}

class TasksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        scheduler.reset(new Scheduler);
        ASSERT_NE(nullptr, scheduler->get()) << "service state " << task_test::ServiceState() << ", error "
                                             << task_test::LastServiceError() << ", creation " << std::hex << scheduler->status();
        scheduler->DeleteAll();
        test::ClearHistory();
    }
    void TearDown() override
    {
        SetTaskSchedulerSource(nullptr);
        PretendPlatform(0, 0);
        FreeItems();
        scheduler->DeleteCreated();
        scheduler.reset();
        task_test::SetScheduler(true);
        CoUninitialize();
    }
    void Create(const std::wstring &name, const SYSTEMTIME *once = nullptr)
    {
        ASSERT_EQ(S_OK, scheduler->Create(name, kProgram, once)) << std::string(name.begin(), name.end());
    }
    std::unique_ptr<Scheduler> scheduler;
};

}  // namespace

TEST_F(TasksTest, JobsAreListedWithTheirProgramAndRunTimes)
{
    SYSTEMTIME earlyMorning = Time(2031, 5, 6, 0, 5), afternoon = Time(2031, 7, 8, 13, 7),
               noon = Time(2031, 9, 10, 12, 30);
    Create(L"Early Job", &earlyMorning);
    Create(L"Afternoon Job", &afternoon);
    Create(L"Noon Job", &noon);
    Create(L"No Trigger");

    ASSERT_EQ(4, EnumerateTasks());
    auto rows = ListedRows();
    const Row *early = Find(rows, "Early Job.job");
    ASSERT_NE(nullptr, early) << NamesOf(rows);
    EXPECT_EQ("Early Job.job", early->title);
    EXPECT_STRCASEEQ(Program().c_str(), early->path.c_str());
    EXPECT_EQ("05/06/2031  12:05 AM", early->next);
    EXPECT_EQ("Never", early->last) << "a job that has never run";
    EXPECT_EQ(800, early->type);
    EXPECT_EQ(0, early->qualifier);
    ASSERT_NE(nullptr, Find(rows, "Afternoon Job.job"));
    EXPECT_EQ("07/08/2031  1:07 PM", Find(rows, "Afternoon Job.job")->next);
    ASSERT_NE(nullptr, Find(rows, "Noon Job.job"));
    EXPECT_EQ("09/10/2031  12:30 PM", Find(rows, "Noon Job.job")->next);
    ASSERT_NE(nullptr, Find(rows, "No Trigger.job"));
    EXPECT_EQ("Never", Find(rows, "No Trigger.job")->next);

    // The run time of one job, looked up by its name.
    EXPECT_EQ("07/08/2031  1:07 PM", NextRun("Afternoon Job.job"));
    EXPECT_EQ("07/08/2031  1:07 PM", NextRun("AFTERNOON JOB.JOB")) << "the case of letters does not matter";
    EXPECT_EQ("", NextRun("Missing Job.job"));
    EXPECT_EQ(4, ItemCount()) << "the look-up leaves the item list alone";
}

TEST_F(TasksTest, DeletingRemovesExactlyTheNamedJobAndLeavesTheItemListAlone)
{
    Create(L"Keep One");
    Create(L"Remove Me");
    Create(L"Remove Me Too");
    ASSERT_EQ(3, EnumerateTasks());
    auto before = ListedRows();

    EXPECT_EQ(S_OK, DeleteScheduledTask("Remove Me.job"));
    EXPECT_FALSE(Scheduler::Exists(L"Remove Me")) << "the job file is gone";
    EXPECT_TRUE(Scheduler::Exists(L"Remove Me Too"));
    EXPECT_TRUE(Scheduler::Exists(L"Keep One"));
    // The list a check or page walks is as it was.
    auto after = ListedRows();
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); i++) EXPECT_EQ(before[i].name, after[i].name);

    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos, history.find("ScheduledTask_Remove\tTASK_SCHEDULED\tRemove Me.job\t"))
        << history;
    // A name no job has: nothing changes, and it is not reported as deleted.
    EXPECT_EQ(S_FALSE, DeleteScheduledTask("Remove Me.job"));
    EXPECT_EQ(S_FALSE, DeleteScheduledTask("Nobody.job"));
    EXPECT_EQ(E_INVALIDARG, DeleteScheduledTask(""));
    EXPECT_TRUE(Scheduler::Exists(L"Remove Me Too"));
    EXPECT_TRUE(Scheduler::Exists(L"Keep One"));
    EXPECT_EQ(2, EnumerateTasks());
}

// Names that are no plain ANSI text: each job keeps a name of its own, and
// every operation reaches the job it names.
TEST_F(TasksTest, OddNamesStayApartAndReachTheirOwnJob)
{
    Create(L"Caf\u00e9");               // has an ANSI form
    Create(L"\u65e5\u672c");            // has none
    Create(L"\u4e2d\u56fd");            // has none either: must not become the same name
    // Long names (a job file name on this file system holds at most 255
    // bytes, so a title is never cut here): each its own job.
    std::wstring longName(200, L'L');
    Create(longName + L"A");
    Create(longName + L"B");

    int enumerated = EnumerateTasks();
    auto rows = ListedRows();
    ASSERT_EQ(5, enumerated) << NamesOf(rows);
    EXPECT_NE(nullptr, Find(rows, "Caf\xc3\xa9.job")) << NamesOf(rows);
    const Row *japan = Find(rows, "\xe6\x97\xa5\xe6\x9c\xac.job");
    const Row *china = Find(rows, "\xe4\xb8\xad\xe5\x9b\xbd.job");
    ASSERT_NE(nullptr, japan) << NamesOf(rows);
    ASSERT_NE(nullptr, china) << NamesOf(rows);
    EXPECT_EQ(japan->name, japan->title);
    std::string longA = std::string(200, 'L') + "A.job", longB = std::string(200, 'L') + "B.job";
    const Row *a = Find(rows, longA);
    const Row *b = Find(rows, longB);
    ASSERT_NE(nullptr, a) << NamesOf(rows);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(longA, a->title);
    EXPECT_EQ(longB, b->title);

    EXPECT_EQ("Never", NextRun("\xe4\xb8\xad\xe5\x9b\xbd.job"));
    EXPECT_EQ(S_OK, DeleteScheduledTask("\xe6\x97\xa5\xe6\x9c\xac.job"));
    EXPECT_FALSE(Scheduler::Exists(L"\u65e5\u672c"));
    EXPECT_TRUE(Scheduler::Exists(L"\u4e2d\u56fd"));
    EXPECT_EQ(S_OK, DeleteScheduledTask(longB.c_str()));
    EXPECT_FALSE(Scheduler::Exists(longName + L"B"));
    EXPECT_TRUE(Scheduler::Exists(longName + L"A"));
    EXPECT_EQ(S_OK, DeleteScheduledTask("Caf\xc3\xa9.job"));
    EXPECT_FALSE(Scheduler::Exists(L"Caf\u00e9"));
    EXPECT_EQ(2, EnumerateTasks());
}

TEST(TaskTimes, RunTimesAreWrittenOnTheTwelveHourClockAndNonTimesAsNever)
{
    struct Case {
        SYSTEMTIME time;
        const char *text;
    } cases[] = {
        {Time(2007, 12, 5, 0, 5), "12/05/2007  12:05 AM"},
        {Time(2007, 1, 2, 12, 30), "01/02/2007  12:30 PM"},
        {Time(2007, 1, 2, 13, 7), "01/02/2007  1:07 PM"},
        {Time(2007, 1, 2, 23, 59), "01/02/2007  11:59 PM"},
        {Time(0, 0, 0, 0, 0), "Never"},
        // Year 0 with a month and day, or fields out of range, are no time.
        {Time(0, 5, 6, 7, 8), "Never"},
        {Time(2007, 13, 1, 0, 0), "Never"},
        {Time(2007, 1, 0, 0, 0), "Never"},
        {Time(2007, 1, 1, 24, 0), "Never"},
        {Time(65535, 65535, 65535, 65535, 65535), "Never"},
    };
    for (const Case &c : cases) {
        char text[64];
        FormatRunTime(&c.time, text, sizeof text);
        EXPECT_STREQ(c.text, text);
    }
    char small[8];
    FormatRunTime(&cases[0].time, small, sizeof small);
    EXPECT_EQ(7u, strlen(small)) << "cut to the buffer";
    char shown[16];
    TaskShownName("abc.job", shown, sizeof shown);
    EXPECT_STREQ("abc", shown);
    TaskShownName("abc.JOB", shown, sizeof shown);
    EXPECT_STREQ("abc", shown);
    TaskShownName("ab", shown, sizeof shown);
    EXPECT_STREQ("ab", shown);
    TaskShownName("abcdefgh", shown, sizeof shown);
    EXPECT_STREQ("abcdefgh", shown) << "only the job extension goes";
}

// --- An enumerator that gives what a test wants ------------------------------

namespace {

// Names in the order given; after failAfter names every call fails.
class ListedNames final : public IEnumWorkItems {
public:
    ListedNames(std::vector<std::wstring> names, size_t failAfter) : names_(std::move(names)), failAfter_(failAfter)
    {
    }
    HRESULT WINAPI QueryInterface(REFIID, void **out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return ++references_; }
    ULONG WINAPI Release() override
    {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT WINAPI Next(ULONG count, LPWSTR **out, ULONG *fetched) override
    {
        *out = nullptr;
        *fetched = 0;
        if (next_ >= failAfter_) return E_FAIL;
        LPWSTR *names = (LPWSTR *)CoTaskMemAlloc(count * sizeof(LPWSTR));
        ULONG n = 0;
        while (n < count && next_ < names_.size() && next_ < failAfter_) {
            const std::wstring &name = names_[next_++];
            names[n] = (LPWSTR)CoTaskMemAlloc((name.size() + 1) * sizeof(wchar_t));
            wcscpy(names[n], name.c_str());
            n++;
        }
        if (n == 0) {
            CoTaskMemFree(names);
            return S_FALSE;
        }
        *out = names;
        *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT WINAPI Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT WINAPI Reset() override { return E_NOTIMPL; }
    HRESULT WINAPI Clone(IEnumWorkItems **) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> names_;
    size_t failAfter_, next_ = 0;
    ULONG references_ = 1;
};

// The system's scheduler, with the enumerator replaced.
class ListingScheduler final : public ITaskScheduler {
public:
    static std::vector<std::wstring> names;
    static size_t failAfter;
    static int deletes;

    static HRESULT Make(ITaskScheduler **out)
    {
        ITaskScheduler *real = nullptr;
        HRESULT result = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_ITaskScheduler, (void **)&real);
        if (FAILED(result)) return result;
        *out = new ListingScheduler(real);
        return S_OK;
    }
    HRESULT WINAPI QueryInterface(REFIID, void **out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return ++references_; }
    ULONG WINAPI Release() override
    {
        ULONG left = --references_;
        if (left == 0) {
            real_->Release();
            delete this;
        }
        return left;
    }
    HRESULT WINAPI SetTargetComputer(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI GetTargetComputer(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT WINAPI Enum(IEnumWorkItems **out) override
    {
        *out = new ListedNames(names, failAfter);
        return S_OK;
    }
    HRESULT WINAPI Activate(LPCWSTR name, REFIID riid, IUnknown **out) override
    {
        return real_->Activate(name, riid, out);
    }
    HRESULT WINAPI Delete(LPCWSTR name) override
    {
        deletes++;
        return real_->Delete(name);
    }
    HRESULT WINAPI NewWorkItem(LPCWSTR, REFCLSID, REFIID, IUnknown **) override { return E_NOTIMPL; }
    HRESULT WINAPI AddWorkItem(LPCWSTR, IScheduledWorkItem *) override { return E_NOTIMPL; }
    HRESULT WINAPI IsOfType(LPCWSTR, REFIID) override { return E_NOTIMPL; }

private:
    explicit ListingScheduler(ITaskScheduler *real) : real_(real) {}
    ITaskScheduler *real_;
    ULONG references_ = 1;
};
std::vector<std::wstring> ListingScheduler::names;
size_t ListingScheduler::failAfter;
int ListingScheduler::deletes;

}  // namespace

TEST_F(TasksTest, NamesComeInBatchesOfFiveEachFromItsLastName)
{
    Create(L"Job 3");
    std::vector<std::wstring> names;
    for (int i = 1; i <= 7; i++) names.push_back(L"Job " + std::to_wstring(i) + L".job");
    ListingScheduler::names = names;
    ListingScheduler::failAfter = 100;
    SetTaskSchedulerSource(ListingScheduler::Make);

    ASSERT_EQ(7, EnumerateTasks());
    auto rows = ListedRows();
    const char *order[] = {"Job 5.job", "Job 4.job", "Job 3.job", "Job 2.job", "Job 1.job", "Job 7.job", "Job 6.job"};
    for (int i = 0; i < 7; i++) EXPECT_EQ(order[i], rows[i].name);
    // Only job 3 exists: the others cannot be read, but are listed all the same.
    EXPECT_STRCASEEQ(Program().c_str(), rows[2].path.c_str());
    EXPECT_EQ("", rows[0].path);
}

TEST_F(TasksTest, AnEnumeratorFailingPartWayKeepsWhatItGaveAndDeletesNothingElse)
{
    std::vector<std::wstring> names;
    for (int i = 1; i <= 8; i++) {
        Create(L"Part " + std::to_wstring(i));
        names.push_back(L"Part " + std::to_wstring(i) + L".job");
    }
    ListingScheduler::names = names;
    ListingScheduler::failAfter = 5;   // the second batch fails
    ListingScheduler::deletes = 0;
    SetTaskSchedulerSource(ListingScheduler::Make);

    EXPECT_EQ(5, EnumerateTasks());
    auto rows = ListedRows();
    ASSERT_EQ(5u, rows.size());
    EXPECT_EQ("Part 5.job", rows[0].name);
    EXPECT_EQ("Part 1.job", rows[4].name);

    // A job beyond the failure is not found, and nothing is deleted for it.
    HRESULT result = DeleteScheduledTask("Part 7.job");
    EXPECT_TRUE(FAILED(result)) << std::hex << result;
    EXPECT_EQ(0, ListingScheduler::deletes);
    EXPECT_TRUE(Scheduler::Exists(L"Part 7"));
    EXPECT_EQ("", NextRun("Part 7.job"));
    // One before it is.
    EXPECT_EQ(S_OK, DeleteScheduledTask("Part 2.job"));
    EXPECT_FALSE(Scheduler::Exists(L"Part 2"));
    EXPECT_EQ(1, ListingScheduler::deletes);

    // An enumerator failing at once: an empty list, no crash.
    ListingScheduler::failAfter = 0;
    EXPECT_EQ(0, EnumerateTasks());
    EXPECT_EQ(0, ItemCount());
}

// --- The scheduler's host ------------------------------------------------------
// Wine's "Schedule" service refuses the stop control (1052), so what an
// operation does with a scheduler it had to start is seen through the 9x
// agent, which goes the same way.

namespace {
const char kAgentWindowClass[] = "SAGEWINDOWCLASS";
const char kAgentWindowTitle[] = "SYSTEM AGENT COM WINDOW";

// The 9x scheduler agent: a stand-in program under the agent's file name in
// a folder on the search path.
class AgentPath {
public:
    AgentPath()
    {
        folder_ = test::FreshFolder("scheduler-agent");
        CopyFileA((test::BuildFolder() + "\\scheduler_agent.exe").c_str(), (folder_ + "\\mstask.exe").c_str(), FALSE);
        char path[32768];
        DWORD n = GetEnvironmentVariableA("PATH", path, sizeof path);
        saved_.assign(path, n < sizeof path ? n : 0);
        SetEnvironmentVariableA("PATH", (folder_ + ";" + saved_).c_str());
        SetEnvironmentVariableA("SENTREL_AGENT_WATCHER", std::to_string(GetCurrentProcessId()).c_str());
    }
    ~AgentPath()
    {
        SetEnvironmentVariableA("PATH", saved_.c_str());
        SetEnvironmentVariableA("SENTREL_AGENT_WATCHER", nullptr);
        if (HWND agent = FindWindowA(kAgentWindowClass, kAgentWindowTitle)) PostMessageA(agent, WM_CLOSE, 0, 0);
        test::WaitUntil([] { return !FindWindowA(kAgentWindowClass, kAgentWindowTitle); }, 10000);
    }
    const std::string &folder() const { return folder_; }
    // The process of the last agent started, handed over by the agent itself.
    HANDLE StartedAgent() const
    {
        std::string text;
        if (!test::ReadFile(folder_ + "\\agent-handle.txt", &text)) return nullptr;
        DeleteFileA((folder_ + "\\agent-handle.txt").c_str());
        return (HANDLE)(ULONG_PTR)strtoull(text.c_str(), nullptr, 10);
    }

private:
    std::string folder_, saved_;
};

DWORD AgentProcess()
{
    DWORD id = 0;
    if (HWND agent = FindWindowA(kAgentWindowClass, kAgentWindowTitle)) GetWindowThreadProcessId(agent, &id);
    return id;
}
}  // namespace

TEST_F(TasksTest, OnWindows9xTheAgentIsStartedWhenMissingAndEndedAfterwards)
{
    Create(L"Agent Job");
    AgentPath agentPath;
    PretendPlatform(1, 4);
    ASSERT_EQ(0, IsTaskSchedulerRunning());
    EXPECT_EQ(1, StopTaskScheduler()) << "no agent to stop";

    // Started for the listing, and ended again.
    EXPECT_EQ(1, EnumerateTasks());
    EXPECT_EQ("Agent Job.job", ListedRows()[0].name);
    HANDLE agent = agentPath.StartedAgent();
    ASSERT_NE(nullptr, agent) << "the agent was not started";
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(agent, 10000)) << "the agent started here was not ended";
    DWORD code = 0;
    GetExitCodeProcess(agent, &code);
    EXPECT_NE(STILL_ACTIVE, code) << "it must not look as if it still ran";
    CloseHandle(agent);
    EXPECT_EQ(0, IsTaskSchedulerRunning());

    // An agent that ran already is used and left running.
    test::Program running = test::Start(agentPath.folder(), "mstask.exe", "");
    ASSERT_TRUE(test::WaitUntil([] { return AgentProcess() != 0; }, 10000));
    EXPECT_EQ(1, IsTaskSchedulerRunning());
    EXPECT_EQ("Never", NextRun("Agent Job.job"));
    EXPECT_EQ(S_OK, DeleteScheduledTask("Agent Job.job"));
    EXPECT_EQ(1, IsTaskSchedulerRunning());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(running.process, 0));
    EXPECT_EQ(0, StopTaskScheduler());
    EXPECT_TRUE(test::WaitForExit(running, 10000));
    test::Stop(running);
}

TEST_F(TasksTest, OnWindows9xWithoutTheAgentNothingIsListed)
{
    Create(L"Unreachable");
    char path[32768];
    DWORD n = GetEnvironmentVariableA("PATH", path, sizeof path);
    std::string saved(path, n < sizeof path ? n : 0);
    SetEnvironmentVariableA("PATH", "C:\\nowhere");
    PretendPlatform(1, 4);
    char found[PATH_SIZE];
    bool agentOnSystem = SearchPathA(nullptr, "mstask.exe", nullptr, MAX_PATH, found, nullptr) != 0;
    if (!agentOnSystem) {
        EXPECT_EQ(0, EnumerateTasks());
        EXPECT_EQ(0, ItemCount());
        EXPECT_TRUE(FAILED(DeleteScheduledTask("Unreachable.job")));
        EXPECT_TRUE(Scheduler::Exists(L"Unreachable"));
        EXPECT_EQ("", NextRun("Unreachable.job"));
    }
    SetEnvironmentVariableA("PATH", saved.c_str());
    EXPECT_FALSE(agentOnSystem) << "this system has an agent of its own: " << found;
}

// --- Task Scheduler 2.0 ---------------------------------------------------------------

namespace {
std::string Utf16(const std::string &text)
{
    std::wstring wide = test::Wide(text);
    return "\xFF\xFE" + std::string((const char *)wide.data(), wide.size() * 2);
}
TaskFile Parsed(const std::string &bytes, int *isTask = nullptr)
{
    TaskFile task;
    int result = ParseTaskFile(bytes.data(), bytes.size(), &task);
    if (isTask) *isTask = result;
    return task;
}
}  // namespace

// A task file as Windows writes it (UTF-16) or as UTF-8: its actions in
// order, its triggers in words, its flags; entities decoded. What is no
// task file gives nothing and harms nothing.
TEST(TaskFiles, ATaskFileIsReadInEitherEncodingAndBadBytesGiveNothing)
{
    int isTask = 0;
    TaskFile task = Parsed(Utf16(test::TaskXml("C:\\orbit\\upd.exe", "-q")), &isTask);
    EXPECT_EQ(1, isTask);
    EXPECT_STREQ("C:\\orbit\\upd.exe", task.command);
    EXPECT_STREQ("-q", task.arguments);
    EXPECT_STREQ("C:\\orbit\\upd.exe -q", task.actions);
    EXPECT_STREQ("At logon", task.triggers);
    EXPECT_STREQ("Orbit Software", task.author);
    EXPECT_EQ(1, task.enabled);
    EXPECT_EQ(0, task.hidden);

    std::string triggers =
        "<BootTrigger/><CalendarTrigger><StartBoundary>2024-01-01T03:00:00</StartBoundary>"
        "<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger><IdleTrigger></IdleTrigger>";
    std::string xml = test::TaskXml("C:\\Program Files\\Orbit\\a.exe", "/x &quot;a &amp; b&quot; &#x416;", triggers,
                                    false, true);
    xml.replace(xml.find("</Actions>"), 0, "<ComHandler><ClassId>{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}</ClassId></ComHandler>");
    task = Parsed("\xEF\xBB\xBF" + xml);
    EXPECT_STREQ("/x \"a & b\" \xD0\x96", task.arguments);
    EXPECT_STREQ("\"C:\\Program Files\\Orbit\\a.exe\" /x \"a & b\" \xD0\x96; COM handler {0F87369F-A4E5-4CFC-BD3E-73E6154572DD}",
                 task.actions);
    EXPECT_EQ(2, task.actionCount);
    EXPECT_STREQ("At startup, Daily at 03:00, On idle", task.triggers);
    EXPECT_EQ(0, task.enabled);
    EXPECT_EQ(1, task.hidden);

    // Cut short, no task at all, nested past any sense, a text longer than
    // a field: nothing read past the end, nothing past a field.
    std::string whole = Utf16(test::TaskXml("C:\\a.exe", ""));
    for (size_t cut : {(size_t)0, (size_t)1, (size_t)3, whole.size() / 2, whole.size() - 1}) Parsed(whole.substr(0, cut));
    Parsed("<html><body>no task</body></html>", &isTask);
    EXPECT_EQ(0, isTask);
    std::string deep;
    for (int i = 0; i < 200; i++) deep += "<a>";
    Parsed(deep + "<Command>x</Command>");
    task = Parsed(test::TaskXml("C:\\" + std::string(5000, 'L') + ".exe", std::string(3000, 'A')));
    EXPECT_LT(strlen(task.command), sizeof task.command);
    EXPECT_LT(strlen(task.actions), sizeof task.actions);
}

// Disable writes the flag into the file in its own encoding; a file without
// one gets it. Task paths that would lead out of the store lead nowhere.
TEST(TaskFiles, TheEnabledFlagIsWrittenInTheFilesOwnEncodingAndPathsStayInTheStore)
{
    std::string bytes = Utf16(test::TaskXml("C:\\a.exe", "-x"));
    size_t length = 0;
    char *changed = TaskFileWithEnabled(bytes.data(), bytes.size(), 0, &length);
    ASSERT_NE(nullptr, changed);
    std::string written(changed, length);
    free(changed);
    EXPECT_EQ(0u, written.find("\xFF\xFE"));
    EXPECT_EQ(0, Parsed(written).enabled);
    EXPECT_STREQ("C:\\a.exe", Parsed(written).command);

    std::string plain = test::TaskXml("C:\\a.exe", "");
    plain.erase(plain.find("<Enabled>true</Enabled>\r\n    <Hidden>"), 23);
    changed = TaskFileWithEnabled(plain.data(), plain.size(), 0, &length);
    ASSERT_NE(nullptr, changed);
    EXPECT_EQ(0, Parsed(std::string(changed, length)).enabled);
    free(changed);
    EXPECT_EQ(nullptr, TaskFileWithEnabled("<x/>", 4, 0, &length));

    char file[PATH_SIZE];
    EXPECT_GT(TaskFileOf("\\Orbit\\Updater", file), 0);
    EXPECT_NE(nullptr, strstr(file, "\\Tasks\\Orbit\\Updater"));
    for (const char *bad : {"", "Orbit", "\\..\\win.ini", "\\a\\..\\..\\b", "\\a\\\\b", "\\C:\\x", "\\a/b", "\\a\\"})
        EXPECT_EQ(0, TaskFileOf(bad, file)) << bad;
}

// Tasks planted as Windows stores them are listed by their exact paths,
// hidden ones and ones named in any script too; removal, disabling and the
// way back each reach exactly the task they name and leave a history line.
TEST_F(TasksTest, TasksOfTheTaskStoreAreListedAndActedOnByTheirPath)
{
    const std::string orbit = "\\Orbit\\Updater", ghost = "\\Hidden Folder\\Ghost",
                      cyrillic = "\\\xD0\x9E\xD0\xB1\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5\\"
                                 "\xD0\x97\xD0\xB0\xD0\xB4\xD0\xB0\xD1\x87\xD0\xB0";
    std::string orbitFile = test::PlantTask(orbit, test::TaskXml("C:\\orbit\\upd.exe", "-q"));
    ASSERT_FALSE(orbitFile.empty());
    ASSERT_FALSE(test::PlantTask(ghost, test::TaskXml("C:\\ghost\\g.exe", "", "", true, true)).empty());
    ASSERT_FALSE(test::PlantTask(cyrillic, test::TaskXml("C:\\\xD0\xB7\\z.exe", "--run"), false).empty());
    Create(L"Old Job");

    EnumerateTasks();
    auto rows = ListedRows();
    ASSERT_NE(nullptr, Find(rows, "Old Job.job")) << NamesOf(rows);
    const Row *row = Find(rows, orbit);
    ASSERT_NE(nullptr, row) << NamesOf(rows);
    EXPECT_EQ(ITEM_TASK2, row->type);
    EXPECT_EQ("C:\\orbit\\upd.exe -q", row->path);
    ASSERT_NE(nullptr, Find(rows, ghost));
    EXPECT_EQ(1, Find(rows, ghost)->qualifier) << "hidden";
    ASSERT_NE(nullptr, Find(rows, cyrillic));
    EXPECT_EQ("C:\\\xD0\xB7\\z.exe --run", Find(rows, cyrillic)->path);
    RegisteredTaskFacts facts;
    ASSERT_EQ(1, RegisteredTaskFactsOf(orbit.c_str(), &facts));
    EXPECT_STREQ("At logon", facts.file.triggers);

    // Disabled: the flag, in the file's own encoding; listed as disabled.
    EXPECT_EQ(S_OK, SetRegisteredTaskEnabled(cyrillic.c_str(), 0));
    EnumerateTasks();
    for (int i = 0; i < ItemCount(); i++) {
        if (GetItemName(i) == cyrillic) {
            EXPECT_EQ(1, GetItem(i)->disabled);
        }
    }
    EXPECT_NE(std::string::npos, test::HistoryText().find("\tTASK_Disable\tTASK_SCHEDULED2\t" + cyrillic + "\tC:\\\xD0\xB7\\z.exe --run\t"))
        << test::HistoryText();

    // Removed: its file kept in the vault first, the others untouched.
    std::string before;
    ASSERT_TRUE(test::ReadFile(orbitFile, &before));
    EXPECT_EQ(S_OK, DeleteRegisteredTaskAs(orbit.c_str(), 15));
    EXPECT_FALSE(test::FileExistsAt(orbitFile));
    std::string history = test::HistoryText();
    size_t line = history.find("\tScheduledTask_Remove\tTASK_SCHEDULED2\t" + orbit + "\tC:\\orbit\\upd.exe -q\t");
    ASSERT_NE(std::string::npos, line) << history;
    std::string vaultName = history.substr(history.rfind('\t', history.find("\r\n", line)) + 1);
    vaultName = vaultName.substr(0, vaultName.find("\r\n"));
    EXPECT_EQ(S_FALSE, DeleteRegisteredTaskAs(orbit.c_str(), 15)) << "no such task any more";
    EXPECT_EQ(E_INVALIDARG, DeleteRegisteredTaskAs("\\..\\..\\win.ini", 15));
    EnumerateTasks();
    rows = ListedRows();
    EXPECT_EQ(nullptr, Find(rows, orbit));
    EXPECT_NE(nullptr, Find(rows, ghost));
    EXPECT_NE(nullptr, Find(rows, cyrillic));

    // And back from the very copy its line names, never over a task.
    EXPECT_EQ(1, RestoreRegisteredTask(orbit.c_str(), vaultName.c_str()));
    EXPECT_TRUE(test::FileExistsAt(orbitFile));
    EXPECT_EQ(0, RestoreRegisteredTask(orbit.c_str(), vaultName.c_str())) << "a task is in the way";
    EXPECT_EQ(0, RestoreRegisteredTask(orbit.c_str(), "..\\win.ini"));
    // Only a file of the vault itself, however the untrusted line names it.
    test::RemovePlantedTask(orbit);
    for (const char *outside : {"../vault-escape.xml", "C:vault-escape.xml", ".."})
        EXPECT_EQ(0, RestoreRegisteredTask(orbit.c_str(), outside)) << outside;
    EXPECT_FALSE(test::FileExistsAt(orbitFile));
    EXPECT_NE(std::string::npos, test::HistoryText().find("\tTASK_Restore\tTASK_SCHEDULED2\t" + orbit + "\t"));

    for (const std::string &path : {orbit, ghost, cyrillic}) test::RemovePlantedTask(path);
}
