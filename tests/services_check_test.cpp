// The services check with its service alert: real services of the test
// prefix, the check run in-process with its dialogs answered from a second
// thread, and end to end through the real Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>

#include "alert_driver.h"
#include "checks.h"
#include "inventory.h"
#include "monitor.h"
#include "options.h"
#include "service_helpers.h"
#include "services.h"
#include "signed_samples.h"
#include "ui_strings.h"

using namespace alerts_test;
using test::Contains;
using namespace services_test;

namespace {

// Approves every service listed now, so that only what a test adds is new.
void ApproveEveryService()
{
    WriteServiceBaseline();
}

// A copy of the sample that only claims "Microsoft Corporation" as its
// company, in a folder of the user's roaming application data (where such
// programs hide). Returns its path, "" on failure.
std::string InstallBorrowedMicrosoftName(const std::string &folderName)
{
    char roaming[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, roaming) != S_OK) return "";
    std::string folder = std::string(roaming) + "\\" + folderName;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string program = folder + "\\quillonsvc.exe";
    if (!CopyFileA((test::BuildFolder() + "\\service_ms_sample.exe").c_str(), program.c_str(), FALSE)) return "";
    return program;
}

void RemoveBorrowedMicrosoftName(const std::string &program)
{
    DeleteFileA(program.c_str());
    RemoveDirectoryA(program.substr(0, program.rfind('\\')).c_str());
}

bool Approved(const std::string &title, const std::string &name)
{
    return test::ValueExists(HKEY_CURRENT_USER, kServiceBaseline, title) &&
           test::ValueExists(HKEY_CURRENT_USER, kServiceBaselineNames, name);
}

class ServicesCheck : public CheckTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(WaitForServiceManager()); }
    void SetUp() override
    {
        CheckTest::SetUp();
        quiet = {kNewProgram};
        sample = InstallSample("Check Folder");
        ASSERT_FALSE(sample.empty());
        ApproveEveryService();
        LoadUiString(2, windowTitle, sizeof windowTitle);
    }
    void TearDown() override
    {
        services.RemoveAll();
        CheckTest::TearDown();
    }
    void RunCheck() override { CheckServicesPass(); }
    void Create(const std::string &name, const std::string &display, const std::string &arguments, DWORD start,
                bool run)
    {
        services.Add(name);
        ASSERT_TRUE(CreateTestService(name, display, "\"" + sample + "\"" + arguments, start));
        if (run) {
            ASSERT_TRUE(StartTestService(name));
        }
    }
    std::string sample;
    ServiceSet services;
};

}  // namespace

TEST_F(ServicesCheck, ANewServiceIsAskedAboutOnceAndYesApprovesIt)
{
    Create("SampleSvcYes", "Sentrel Approved Service", " -yes", SERVICE_DEMAND_START, true);
    EXPECT_EQ(1, CheckServices());

    CheckAnswering({{kNewProgram, IDYES}});
    const Seen &seen = driver->seen(0);
    EXPECT_EQ("Sentrel Approved Service (SampleSvcYes)", seen.Field(IDC_ALERT_NAME))
        << "its own display name and key, whatever name it borrows";
    EXPECT_TRUE(Contains(seen.Field(IDC_ALERT_MESSAGE2), "Startup Status: Manual\nActive Status: Running."))
        << seen.Field(IDC_ALERT_MESSAGE2);
    EXPECT_STRCASEEQ((sample + " -yes").c_str(), seen.Field(IDC_ALERT_COMMAND).c_str());
    EXPECT_EQ("1.2", seen.Field(IDC_ALERT_VERSION));
    EXPECT_EQ("Orvendale Samples", seen.Field(IDC_ALERT_COMPANY));
    EXPECT_TRUE(Approved("Sentrel Approved Service", "SampleSvcYes"));
    EXPECT_EQ("700", [] {
        std::string v;
        test::ReadString(HKEY_CURRENT_USER, kServiceBaseline, "Sentrel Approved Service", &v);
        return v;
    }());
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ScmState("SampleSvcYes")) << "Yes leaves the service alone";
    // The approval is written down, and nothing else.
    ASSERT_EQ(1u, HistoryLines().size());
    EXPECT_EQ(1, CountHistory({"\tSERVICE_Approve\tSERVICE_EXE\tSentrel Approved Service\t", "SampleSvcYes"}));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\Services").empty());

    CheckSilently();
}

TEST_F(ServicesCheck, NoStopsAndDisablesTheServiceAndItIsNotAskedAgain)
{
    Create("SampleSvcNo", "Sample Rejected Service", "", SERVICE_AUTO_START, true);
    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE2), "Startup Status: Automatic"));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcNo"));
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcNo"));
    EXPECT_EQ(1, CountHistory({"SERVICE_Stop\t", "Sample Rejected Service", "SampleSvcNo"}));
    EXPECT_EQ(1, CountHistory({"SERVICE_from_Automatic", "Sample Rejected Service", "SampleSvcNo"}));
    EXPECT_EQ(1, CountHistory({"SERVICE_Disabled", "Sample Rejected Service", "SampleSvcNo"}));
    EXPECT_EQ(3u, HistoryLines().size());
    EXPECT_TRUE(Approved("Sample Rejected Service", "SampleSvcNo")) << "known as rejected";
    CheckSilently();
}

// A program in the user's roaming folder whose version resource borrows
// "Microsoft Corporation": nothing signed it, so the check asks about it
// with the filter of Microsoft's services on, and No stops and disables it.
TEST_F(ServicesCheck, ABorrowedMicrosoftNameIsAskedAboutAndNoDisablesExactlyIt)
{
    std::string program = InstallBorrowedMicrosoftName("Quillon Update");
    ASSERT_FALSE(program.empty());
    ASSERT_EQ(1, GetOption("HideMicrosoftServices", 1)) << "the filter is on, as by default";
    Create("SampleSvcBystander", "Sample Bystander Service", "", SERVICE_DEMAND_START, true);
    ApproveEveryService();
    services.Add("SampleSvcBorrowed");
    ASSERT_TRUE(CreateTestService("SampleSvcBorrowed", "Windows Update Helper", "\"" + program + "\"",
                                  SERVICE_AUTO_START));
    ASSERT_TRUE(StartTestService("SampleSvcBorrowed"));

    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_EQ("Windows Update Helper (SampleSvcBorrowed)", Field(IDC_ALERT_NAME));
    EXPECT_EQ("Microsoft Corporation", Field(IDC_ALERT_COMPANY));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcBorrowed"));
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcBorrowed"));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ScmState("SampleSvcBystander")) << "only the alerted service";
    EXPECT_EQ(1, CountHistory({"SERVICE_Disabled", "Windows Update Helper", "SampleSvcBorrowed"}));
    RemoveBorrowedMicrosoftName(program);
}

// An approval keeps the signer it was given for: the same service whose
// program is signed no more is asked about again.
TEST_F(ServicesCheck, AServiceWhoseSignatureBreaksIsAskedAboutAgain)
{
    test::TrustedTestRoot root;
    std::string folder = test::FreshFolder("Signed Service");
    std::string program = folder + "\\signed-service.exe";
    ASSERT_TRUE(CopyFileA(test::SignedSample("signed-service.exe").c_str(), program.c_str(), FALSE));
    services.Add("SampleSvcSigned");
    ASSERT_TRUE(CreateTestService("SampleSvcSigned", "Sample Signed Service", "\"" + program + "\"",
                                  SERVICE_DEMAND_START));
    ApproveEveryService();
    EXPECT_EQ("Quillon Software Ltd",
              test::Value(HKEY_CURRENT_USER, std::string(kServiceBaseline) + "\\Signers", "SampleSvcSigned"));
    CheckSilently();

    // Another file in its place (changed after signing, a later time).
    ASSERT_TRUE(test::ReplaceWithSample("tampered.exe", program));
    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_EQ("Sample Signed Service (SampleSvcSigned)", Field(IDC_ALERT_NAME));
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcSigned"));
    CheckSilently();   // known again, as rejected
}

TEST_F(ServicesCheck, WithAlertsHiddenANewServiceIsRejectedWithoutAsking)
{
    Create("SampleSvcQuiet", "Sample Quiet Service", "", SERVICE_DEMAND_START, true);
    settings.hideAlerts = 2;
    CheckSilently();
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcQuiet"));
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcQuiet"));
    EXPECT_EQ(1, CountHistory({"SERVICE_Stop\t", "SampleSvcQuiet"}));
    EXPECT_EQ(1, CountHistory({"SERVICE_from_Manual", "SampleSvcQuiet"}));
    EXPECT_EQ(1, CountHistory({"SERVICE_Disabled", "SampleSvcQuiet"}));
    EXPECT_TRUE(Approved("Sample Quiet Service", "SampleSvcQuiet"));
}

TEST_F(ServicesCheck, AStopThatTimesOutIsShownAndWrittenAsSuch)
{
    Create("SampleSvcSlow", "Sample Slow Service", " -slowstop", SERVICE_DEMAND_START, true);
    CheckAnswering({{kNewProgram, IDNO}, {kMonitorBox, IDOK}});
    std::string box = Field(0xFFFF, 1);
    EXPECT_TRUE(Contains(box, "The service Sample Slow Service (SampleSvcSlow) could not be stopped.")) << box;
    EXPECT_TRUE(Contains(box, "1053")) << box;
    EXPECT_EQ(1, CountHistory({"SERVICE_Stop_Failed", "SampleSvcSlow: 1053"}));
    EXPECT_EQ(0, CountHistory({"SERVICE_Stop\t"}));
    // Disabled all the same, so it is known as rejected.
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcSlow"));
    EXPECT_EQ(1, CountHistory({"SERVICE_Disabled", "SampleSvcSlow"}));
    EXPECT_TRUE(Approved("Sample Slow Service", "SampleSvcSlow"));
}

TEST_F(ServicesCheck, AServiceThatCannotBeDisabledIsAskedAboutAgain)
{
    Create("SampleSvcHeld", "Sample Held Service", " -nostop", SERVICE_DEMAND_START, true);
    SC_HANDLE held = OpenTestService("SampleSvcHeld");
    ASSERT_NE(nullptr, held);
    ASSERT_TRUE(DeleteService(held));   // marked for deletion while it runs
    CheckAnswering({{kNewProgram, IDNO}, {kMonitorBox, IDOK}, {kMonitorBox, IDOK}});
    EXPECT_TRUE(Contains(Field(0xFFFF, 1), "could not be stopped"));
    std::string second = Field(0xFFFF, 2);
    EXPECT_TRUE(Contains(second, "The startup type of the service Sample Held Service (SampleSvcHeld) could not be changed.")) << second;
    EXPECT_TRUE(Contains(second, "1072")) << second;
    EXPECT_EQ(0, CountHistory({"SERVICE_Disabled"}));
    EXPECT_EQ(0, CountHistory({"SERVICE_Stop\t"}));
    EXPECT_EQ(1, CountHistory({"SERVICE_StartType_Failed", "SampleSvcHeld: 1072"}));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kServiceBaselineNames, "SampleSvcHeld"))
        << "not disabled, so not known";
    SERVICE_STATUS status;
    ControlService(held, 128, &status);
    CloseServiceHandle(held);
}

// The real monitor: a service created while it runs raises the service
// alert at the next due pass of group B; No disables it, Yes approves.
TEST(ServicesCheckMonitor, TheMonitorAlertsAboutNewServicesAndActsOnTheAnswers)
{
    ASSERT_TRUE(WaitForServiceManager());
    std::string folder = test::MonitorFolder("ServicesCheckMonitor");
    ASSERT_FALSE(folder.empty());
    std::string sample = InstallSample("Monitor Folder");
    ASSERT_FALSE(sample.empty());
    // The service to reject runs a program in the user's roaming folder that
    // only claims "Microsoft Corporation" as its company: the filter of
    // Microsoft's services is on, and it is asked about all the same.
    std::string borrowed = InstallBorrowedMicrosoftName("Quillon Monitor");
    ASSERT_FALSE(borrowed.empty());
    test::SetOptions({{"Services", "1"}, {"HideWuffin", "1"}});

    ServiceSet services;
    test::Program monitor;
    HWND window = nullptr;
    // The services baseline of the first run is there before the new ones come.
    ASSERT_TRUE(test::StartMonitorUp(folder, &monitor, &window, kWait));
    EXPECT_EQ("P", test::Value(HKEY_CURRENT_USER, kServiceBaseline, ""));

    services.Add("SampleSvcMonA");
    services.Add("SampleSvcMonB");
    ASSERT_TRUE(CreateTestService("SampleSvcMonA", "Sample Monitor Reject", "\"" + borrowed + "\" -a", SERVICE_AUTO_START));
    ASSERT_TRUE(CreateTestService("SampleSvcMonB", "Sample Monitor Keep", "\"" + sample + "\" -b", SERVICE_DEMAND_START));
    ASSERT_TRUE(StartTestService("SampleSvcMonA"));
    // A real-time notice brings the next pass (group A) forward; group B follows.
    PostMessageA(window, WM_TASK_CHANGE, 0, 0);

    int answered = 0;
    for (int round = 0; round < 2; round++) {
        HWND alert = WaitForAlert(kNewProgram, 90000, window);
        ASSERT_NE(nullptr, alert) << "no service alert from the monitor's patrol";
        std::string name = ControlText(alert, IDC_ALERT_NAME);
        std::string status = ControlText(alert, IDC_ALERT_MESSAGE2);
        if (name == "Sample Monitor Reject (SampleSvcMonA)") {
            EXPECT_TRUE(Contains(status, "Startup Status: Automatic\nActive Status: Running.")) << status;
            EXPECT_EQ("Microsoft Corporation", ControlText(alert, IDC_ALERT_COMPANY));
            EXPECT_EQ("Publisher: Not verified", ControlText(alert, IDC_ALERT_PUBLISHER));
            test::PressButton(alert, IDNO);
        } else {
            EXPECT_EQ("Sample Monitor Keep (SampleSvcMonB)", name);
            EXPECT_TRUE(Contains(status, "Startup Status: Manual\nActive Status: Stopped.")) << status;
            test::PressButton(alert, IDYES);
        }
        answered++;
        EXPECT_TRUE(test::WaitForWindowGone(alert, kWait));
    }
    EXPECT_EQ(2, answered);

    EXPECT_TRUE(WaitForState("SampleSvcMonA", SERVICE_STOPPED));
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcMonA"));
    EXPECT_EQ(SERVICE_DEMAND_START, ScmStartType("SampleSvcMonB"));
    ASSERT_TRUE(test::WaitUntil([] { return Approved("Sample Monitor Keep", "SampleSvcMonB"); }, kWait));
    EXPECT_TRUE(Approved("Sample Monitor Reject", "SampleSvcMonA")) << "known as rejected";
    std::string history;
    ASSERT_TRUE(test::ReadFile(folder + "\\history.txt", &history));
    EXPECT_TRUE(Contains(history, "SERVICE_Stop\tSERVICE_EXE\tSample Monitor Reject")) << history;
    EXPECT_TRUE(Contains(history, "SERVICE_from_Automatic\tSERVICE_EXE\tSample Monitor Reject")) << history;
    EXPECT_TRUE(Contains(history, "SERVICE_Disabled\tSERVICE_EXE\tSample Monitor Reject")) << history;
    EXPECT_TRUE(Contains(history, "\tSERVICE_Approve\tSERVICE_EXE\tSample Monitor Keep\t")) << history;
    EXPECT_FALSE(Contains(history, "SERVICE_Stop\tSERVICE_EXE\tSample Monitor Keep")) << history;

    PostMessageA(window, WM_COMMAND, CMD_EXIT, 0);
    EXPECT_TRUE(test::WaitForExit(monitor, kWait));
    test::Stop(monitor);
    services.RemoveAll();
    RemoveBorrowedMicrosoftName(borrowed);
    test::ResetSentrelRegistry();
}
