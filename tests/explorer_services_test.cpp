// The real SentrelEx.exe on its Services page: the rows it shows for real
// test services, the filter of Microsoft's services (by signature, never by
// the company text), and Start, Stop and the
// start type reaching the service manager, with a refusal shown as such.
#include "explorer_pages.h"
#include "service_helpers.h"

using namespace test::keys;
using namespace services_test;
using test::Contains;

namespace {

enum { kTitle, kCommand, kCompany, kStatus, kStartup, kFirstSeen, kColumns };
enum { kInfo = 1008, kStart = 1210, kStop = 1211, kStartType = 1090, kApply = 1213, kFilter = 1014 };

class ServicesPage : public test::ExplorerPage {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(WaitForServiceManager()); }
    void SetUp() override
    {
        // The service manager may take its time: the page waits for it.
        wait = 40000;
        ExplorerPage::SetUp();
        sample = InstallSample("Page Folder");
        ASSERT_FALSE(sample.empty());
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        services.RemoveAll();
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
    // The cells of the row titled title; empty when there is none.
    std::vector<std::string> Row(const std::string &title)
    {
        return remote->Cells(remote->Find(kTitle, title), kColumns);
    }
    // Clicks a button and returns when the page has done what it does.
    void PressAndWait(int id) { ClickAndWait(page, id, wait); }
    bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(page, id)) != 0; }
    std::string sample;
    ServiceSet services;
};

}  // namespace

TEST_F(ServicesPage, ListsTheServicesAndABorrowedMicrosoftNameHidesNothing)
{
    Create("SampleSvcPageRun", "Sample Page Running", sample, "", SERVICE_DEMAND_START, true);
    Create("SampleSvcPageOff", "Sample Page Disabled", sample, " -off", SERVICE_DISABLED, false);
    Create("SampleSvcPageAuto", "Sample Page Automatic", sample, "", SERVICE_AUTO_START, false);
    std::string maker = InstallSample("Page Maker Folder", "service_ms_sample.exe");
    Create("SampleSvcPageMaker", "Sample Page Maker", maker, "", SERVICE_DEMAND_START, false);
    StartExplorer("-SERVICE", kStart);

    auto running = Row("Sample Page Running");
    ASSERT_EQ((size_t)kColumns, running.size());
    EXPECT_STRCASEEQ("service_sample.exe", running[kCommand].c_str());
    EXPECT_EQ("Orvendale Samples", running[kCompany]);
    EXPECT_EQ("Running", running[kStatus]);
    EXPECT_EQ("Manual", running[kStartup]);
    EXPECT_FALSE(running[kFirstSeen].empty());
    auto disabled = Row("Sample Page Disabled");
    ASSERT_EQ((size_t)kColumns, disabled.size());
    EXPECT_STRCASEEQ("service_sample.exe -off", disabled[kCommand].c_str());
    EXPECT_EQ("Stopped", disabled[kStatus]);
    EXPECT_EQ("Disabled", disabled[kStartup]);
    EXPECT_EQ("Automatic", Row("Sample Page Automatic")[kStartup]);
    // Its version resource says "Microsoft Corporation", but nothing signed
    // it: the filter of Microsoft's services does not hide it.
    EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(page, kFilter), BM_GETCHECK, 0, 0));
    EXPECT_EQ("Microsoft Corporation", Row("Sample Page Maker").at(kCompany));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\Services").empty());

    // Unchecked: still listed, and the option is stored.
    PressAndWait(kFilter);
    Settle();
    auto maker_row = Row("Sample Page Maker");
    ASSERT_EQ((size_t)kColumns, maker_row.size());
    std::string option;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, kOptions, "HideMicrosoftServices", &option));
    EXPECT_EQ("0", option);
    PressAndWait(kFilter);
    Settle();
    EXPECT_FALSE(Row("Sample Page Maker").empty());
}

TEST_F(ServicesPage, StartStopAndStartTypeReachTheServiceManager)
{
    Create("SampleSvcPageRun", "Sample Page Running", sample, "", SERVICE_DEMAND_START, true);
    StartExplorer("-SERVICE", kStart);
    ASSERT_GE(remote->Select(kTitle, "Sample Page Running"), 0);
    Settle();
    EXPECT_TRUE(Enabled(kStop));
    EXPECT_FALSE(Enabled(kStart));

    PressAndWait(kStop);
    Settle();
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcPageRun"));
    EXPECT_EQ("Stopped", Row("Sample Page Running")[kStatus]);
    EXPECT_EQ("Sample Page Running", remote->SelectedText(kTitle)) << "the selection stays on the service";
    EXPECT_TRUE(Enabled(kStart));
    EXPECT_FALSE(Enabled(kStop));

    PressAndWait(kStart);
    Settle();
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ScmState("SampleSvcPageRun"));
    EXPECT_EQ("Running", Row("Sample Page Running")[kStatus]);

    // The start type: chosen in the list, applied with Apply.
    HWND types = GetDlgItem(page, kStartType);
    EXPECT_EQ(1, SendMessageA(types, CB_GETCURSEL, 0, 0)) << "Manual";
    EXPECT_FALSE(Enabled(kApply));
    SendMessageA(types, CB_SETCURSEL, 2, 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kStartType, CBN_SELCHANGE), (LPARAM)types);
    EXPECT_TRUE(Enabled(kApply));
    PressAndWait(kApply);
    Settle();
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcPageRun"));
    EXPECT_EQ("Disabled", Row("Sample Page Running")[kStartup]);
    // The menu's Automatic, as the right-click menu sends it.
    DWORD_PTR ignored;
    SendMessageTimeoutA(page, WM_COMMAND, 1214, 0, SMTO_NORMAL, wait, &ignored);
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
    StartExplorer("-SERVICE", kStart);
    ASSERT_GE(remote->Select(kTitle, "Sample Page Slow"), 0);
    Settle();
    Press(kStop);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box) << "no message about the failed stop";
    std::string text = test::DialogText(box);
    EXPECT_TRUE(Contains(text, "The service Sample Page Slow (SampleSvcPageSlow) could not be stopped.")) << text;
    EXPECT_TRUE(Contains(text, "1053")) << text;
    test::PressButton(box, IDOK);
    Settle();
    EXPECT_EQ("Pending Stop", Row("Sample Page Slow")[kStatus]);
    std::string history = History();
    EXPECT_TRUE(Contains(history, "SERVICE_Stop_Failed\tSERVICE_EXE\tSample Page Slow")) << history;
    EXPECT_FALSE(Contains(history, "SERVICE_Stop\t")) << history;
}
