// The real SentrelEx.exe on its Services page: the rows it shows for real
// test services, the filter of Microsoft's services (by signature, never by
// the company text), and Start, Stop and the
// start type reaching the service manager, with a refusal shown as such.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "service_helpers.h"
#include "test_support.h"

using namespace services_test;

namespace {

const DWORD kWait = 15000;
const char kSheetCaption[] = "Sentrel Zenta";
const char kOptions[] = "Software\\Orvendale\\Sentrel\\Options";
enum { kTitle, kCommand, kCompany, kStatus, kStartup, kFirstSeen, kColumns };
enum { kInfo = 1008, kStart = 1210, kStop = 1211, kStartType = 1090, kApply = 1213, kFilter = 1014 };

// Texts and selection of the explorer's list view, through memory in its process.
class RemoteList {
public:
    RemoteList(HANDLE process, HWND list) : process_(process), list_(list)
    {
        memory_ = (char *)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteList()
    {
        if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    }
    int Count() { return (int)SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0); }
    std::string Text(int row, int column)
    {
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = memory_ + 1024;
        item.cchTextMax = 1024;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_GETITEMTEXTA, row, (LPARAM)memory_);
        char text[1024] = "";
        ReadProcessMemory(process_, memory_ + 1024, text, sizeof text - 1, nullptr);
        return text;
    }
    // The cells of the row titled title; empty when there is none.
    std::vector<std::string> Row(const std::string &title)
    {
        int row = Find(title);
        std::vector<std::string> cells;
        for (int column = 0; row >= 0 && column < kColumns; column++) cells.push_back(Text(row, column));
        return cells;
    }
    int Find(const std::string &title)
    {
        for (int row = 0, n = Count(); row < n; row++)
            if (Text(row, kTitle) == title) return row;
        return -1;
    }
    int Select(const std::string &title)
    {
        int found = Find(title);
        if (found < 0) return -1;
        SetState(-1, 0);
        SetState(found, LVIS_SELECTED | LVIS_FOCUSED);
        return found;
    }
    std::string SelectedTitle()
    {
        int row = (int)SendMessageA(list_, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
        return row < 0 ? "" : Text(row, kTitle);
    }

private:
    void SetState(int row, UINT state)
    {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = state;
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageA(list_, LVM_SETITEMSTATE, (WPARAM)row, (LPARAM)memory_);
    }
    HANDLE process_;
    HWND list_;
    char *memory_ = nullptr;
};

struct BoxSearch {
    DWORD process;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    BoxSearch *search = (BoxSearch *)param;
    char cls[64] = "", caption[128] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (window != search->exclude && owner == search->process && IsWindowVisible(window) &&
        std::string(cls) == "#32770" && std::string(caption) == kSheetCaption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

class ServicesPage : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(WaitForServiceManager()); }
    void SetUp() override
    {
        ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer of another test still runs";
        test::ResetSentrelRegistry();
        folder = test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                              FALSE));
        sample = InstallSample("Page Folder");
        ASSERT_FALSE(sample.empty());
    }
    void TearDown() override
    {
        StopExplorer();
        services.RemoveAll();
        test::ResetSentrelRegistry();
    }
    void Create(const std::string &name, const std::string &display, const std::string &program,
                const std::string &arguments, DWORD start, bool run)
    {
        services.Add(name);
        ASSERT_TRUE(CreateTestService(name, display, "\"" + program + "\"" + arguments, start));
        if (run) {
            ASSERT_TRUE(StartTestService(name));
        }
    }
    void StartExplorer()
    {
        program = test::Start(folder, "SentrelEx.exe", "-SERVICE");
        ASSERT_NE(nullptr, program.process);
        sheet = test::WaitForWindow("#32770", kSheetCaption, kWait);
        ASSERT_NE(nullptr, sheet) << "the property sheet did not open";
        ASSERT_TRUE(test::WaitUntil(
            [&] {
                page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
                return page && GetDlgItem(page, kStart);
            },
            kWait))
            << "the Services page is not the current page";
        Settle();
        remote.reset(new RemoteList(program.process, GetDlgItem(page, 1000)));
    }
    void StopExplorer()
    {
        remote.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !test::WaitForExit(program, kWait)) ADD_FAILURE() << "the explorer did not end";
        test::Stop(program);
        sheet = page = nullptr;
    }
    void Settle()
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(page, WM_NULL, 0, 0, SMTO_NORMAL, 40000, &ignored);
    }
    // Clicks a button and returns when the page has done what it does.
    void Press(int id)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(GetDlgItem(page, id), BM_CLICK, 0, 0, SMTO_NORMAL, 40000, &ignored);
    }
    // Clicks a button whose work opens a message box.
    void PressOpeningBox(int id)
    {
        PostMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
    }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }
    HWND WaitForMessageBox()
    {
        HWND found = nullptr;
        test::WaitUntil(
            [&] {
                BoxSearch search = {program.id, sheet, nullptr};
                EnumWindows(FindBox, (LPARAM)&search);
                found = search.found;
                return found != nullptr;
            },
            40000);
        return found;
    }
    std::string History()
    {
        std::string text;
        test::ReadFile(folder + "\\history.txt", &text);
        return text;
    }

    std::string folder, sample;
    ServiceSet services;
    test::Program program;
    HWND sheet = nullptr, page = nullptr;
    std::unique_ptr<RemoteList> remote;
};

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(ServicesPage, ListsTheServicesAndABorrowedMicrosoftNameHidesNothing)
{
    Create("SampleSvcPageRun", "Sample Page Running", sample, "", SERVICE_DEMAND_START, true);
    Create("SampleSvcPageOff", "Sample Page Disabled", sample, " -off", SERVICE_DISABLED, false);
    Create("SampleSvcPageAuto", "Sample Page Automatic", sample, "", SERVICE_AUTO_START, false);
    std::string maker = InstallSample("Page Maker Folder", "service_ms_sample.exe");
    Create("SampleSvcPageMaker", "Sample Page Maker", maker, "", SERVICE_DEMAND_START, false);
    StartExplorer();

    auto running = remote->Row("Sample Page Running");
    ASSERT_EQ((size_t)kColumns, running.size());
    EXPECT_STRCASEEQ("service_sample.exe", running[kCommand].c_str());
    EXPECT_EQ("Orvendale Samples", running[kCompany]);
    EXPECT_EQ("Running", running[kStatus]);
    EXPECT_EQ("Manual", running[kStartup]);
    EXPECT_FALSE(running[kFirstSeen].empty());
    auto disabled = remote->Row("Sample Page Disabled");
    ASSERT_EQ((size_t)kColumns, disabled.size());
    EXPECT_STRCASEEQ("service_sample.exe -off", disabled[kCommand].c_str());
    EXPECT_EQ("Stopped", disabled[kStatus]);
    EXPECT_EQ("Disabled", disabled[kStartup]);
    EXPECT_EQ("Automatic", remote->Row("Sample Page Automatic")[kStartup]);
    // Its version resource says "Microsoft Corporation", but nothing signed
    // it: the filter of Microsoft's services does not hide it.
    EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(page, kFilter), BM_GETCHECK, 0, 0));
    EXPECT_EQ("Microsoft Corporation", remote->Row("Sample Page Maker").at(kCompany));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\Services").empty());

    // Unchecked: still listed, and the option is stored.
    Press(kFilter);
    Settle();
    auto maker_row = remote->Row("Sample Page Maker");
    ASSERT_EQ((size_t)kColumns, maker_row.size());
    std::string option;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, kOptions, "HideMicrosoftServices", &option));
    EXPECT_EQ("0", option);
    Press(kFilter);
    Settle();
    EXPECT_FALSE(remote->Row("Sample Page Maker").empty());
}

TEST_F(ServicesPage, StartStopAndStartTypeReachTheServiceManager)
{
    Create("SampleSvcPageRun", "Sample Page Running", sample, "", SERVICE_DEMAND_START, true);
    StartExplorer();
    ASSERT_GE(remote->Select("Sample Page Running"), 0);
    Settle();
    EXPECT_TRUE(Enabled(kStop));
    EXPECT_FALSE(Enabled(kStart));

    Press(kStop);
    Settle();
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcPageRun"));
    EXPECT_EQ("Stopped", remote->Row("Sample Page Running")[kStatus]);
    EXPECT_EQ("Sample Page Running", remote->SelectedTitle()) << "the selection stays on the service";
    EXPECT_TRUE(Enabled(kStart));
    EXPECT_FALSE(Enabled(kStop));

    Press(kStart);
    Settle();
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ScmState("SampleSvcPageRun"));
    EXPECT_EQ("Running", remote->Row("Sample Page Running")[kStatus]);

    // The start type: chosen in the list, applied with Apply.
    HWND types = GetDlgItem(page, kStartType);
    EXPECT_EQ(1, SendMessageA(types, CB_GETCURSEL, 0, 0)) << "Manual";
    EXPECT_FALSE(Enabled(kApply));
    SendMessageA(types, CB_SETCURSEL, 2, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kStartType, CBN_SELCHANGE), (LPARAM)types);
    EXPECT_TRUE(Enabled(kApply));
    Press(kApply);
    Settle();
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcPageRun"));
    EXPECT_EQ("Disabled", remote->Row("Sample Page Running")[kStartup]);
    // The menu's Automatic, as the right-click menu sends it.
    DWORD_PTR ignored;
    SendMessageTimeoutA(page, WM_COMMAND, 1214, 0, SMTO_NORMAL, 40000, &ignored);
    EXPECT_EQ(SERVICE_AUTO_START, ScmStartType("SampleSvcPageRun"));

    std::string history = History();
    for (const char *line : {"SERVICE_Stop\tSERVICE_EXE\tSample Page Running",
                             "SERVICE_Start\tSERVICE_EXE\tSample Page Running",
                             "SERVICE_from_Manual\tSERVICE_EXE\tSample Page Running",
                             "SERVICE_Disabled\tSERVICE_EXE\tSample Page Running",
                             "SERVICE_from_Disabled\tSERVICE_EXE\tSample Page Running",
                             "SERVICE_Automatic\tSERVICE_EXE\tSample Page Running"})
        EXPECT_TRUE(Contains(history, line)) << line << "\n" << history;
}

TEST_F(ServicesPage, AStopTheServiceRefusesIsShownAndNotLoggedAsDone)
{
    Create("SampleSvcPageSlow", "Sample Page Slow", sample, " -slowstop", SERVICE_DEMAND_START, true);
    StartExplorer();
    ASSERT_GE(remote->Select("Sample Page Slow"), 0);
    Settle();
    PressOpeningBox(kStop);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box) << "no message about the failed stop";
    std::string text = test::DialogText(box);
    EXPECT_TRUE(Contains(text, "The service Sample Page Slow (SampleSvcPageSlow) could not be stopped.")) << text;
    EXPECT_TRUE(Contains(text, "1053")) << text;
    test::PressButton(box, IDOK);
    Settle();
    EXPECT_EQ("Pending Stop", remote->Row("Sample Page Slow")[kStatus]);
    std::string history = History();
    EXPECT_TRUE(Contains(history, "SERVICE_Stop_Failed\tSERVICE_EXE\tSample Page Slow")) << history;
    EXPECT_FALSE(Contains(history, "SERVICE_Stop\t")) << history;
}
