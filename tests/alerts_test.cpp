// The alert dialogs opened directly, as the checks open them: their
// answers, their keys and what the service and file change alerts do
// themselves to the real services, files and store of the test prefix.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <thread>

#include "alert_driver.h"
#include "monitor.h"
#include "options.h"
#include "sysfiles.h"
#include "text.h"
#include "ui_strings.h"

using namespace alerts_test;
using test::Contains;

namespace {
class Alerts : public AlertTest {
protected:
    void SetUp() override
    {
        AlertTest::SetUp();
        folder = SampleFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        sample = folder + "\\alert_sample.exe";
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_sample.exe").c_str(), sample.c_str(), FALSE));
    }
    // Opens an alert on this thread while the driver answers it.
    INT_PTR Show(int dialog, std::vector<Answer> answers)
    {
        INT_PTR result = 0;
        Answering(std::move(answers), [&] { result = ShowAlert(dialog); });
        EXPECT_EQ(0, AlertTitle[0]) << "the alert record is cleared";
        EXPECT_EQ(0, AlertCommand[0]);
        return result;
    }
    void Fill(const char *title, const std::string &command, int type)
    {
        CopyText(AlertTitle, sizeof AlertTitle, title);
        CopyText(AlertCommand, sizeof AlertCommand, command.c_str());
        AlertType = type;
    }
    std::string folder, sample;
};
}  // namespace

TEST_F(Alerts, EachAlertAnswersAsItsButtonsAndKeysSay)
{
    struct Case {
        int dialog;
        Answer answer;
        INT_PTR result;
    } cases[] = {
        {DLG_ALERT_IE_HELPER, {kNewProgram, IDNO}, 7},
        {DLG_ALERT_IE_HELPER, {kNewProgram, 0, VK_ESCAPE}, 6},
        {DLG_ALERT_TASK, {kNewProgram, 0, VK_ESCAPE}, 6},
        {DLG_ALERT_TASK, {kNewProgram, IDNO}, 7},
        {DLG_ALERT_HIDDEN, {kNewProgram, 0, VK_RETURN}, 6},
        {DLG_ALERT_HIDDEN, {kNewProgram, 0, VK_ESCAPE}, 7},   // Esc deletes
        {DLG_ALERT_HIDDEN, {kNewProgram, IDCANCEL}, 7},
        {DLG_ALERT_DELAYED, {kDelayed, 0, VK_ESCAPE}, 6},
        {DLG_ALERT_DELAYED, {kDelayed, IDNO}, 7},
        {DLG_ALERT_FILE_TYPE, {kFileType, 0, VK_ESCAPE}, 6},
        {DLG_ALERT_FILE_TYPE, {kFileType, IDNO}, 7},
    };
    for (const Case &c : cases) {
        Fill("thing.job", sample, 800);
        EXPECT_EQ(c.result, Show(c.dialog, {c.answer})) << c.dialog << " " << c.answer.button;
    }
}

TEST_F(Alerts, ProgramAlertsShowTheirNamesAndWriteTheirHistoryLines)
{
    Fill("abc.job", sample, 800);
    Show(DLG_ALERT_TASK, {{kNewProgram, IDYES}});
    EXPECT_EQ("abc", Field(IDC_ALERT_NAME));
    EXPECT_EQ("Version:", Field(IDC_ALERT_VERSION_LABEL));
    EXPECT_EQ("Copyright (C) Orvendale", Field(IDC_ALERT_COPYRIGHT));
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE), "new task has been added"));
    EXPECT_EQ(1, CountHistory({"TASK_Alert", "TASK_SCHEDULED", "Alert Sample"}));

    Fill("ab", sample, 800);
    Show(DLG_ALERT_TASK, {{kNewProgram, IDYES}});
    EXPECT_EQ("ab", Field(IDC_ALERT_NAME)) << "a task is shown by its own name, however short";

    Fill("My Helper", sample, 900);
    Show(DLG_ALERT_IE_HELPER, {{kNewProgram, IDYES}});
    EXPECT_EQ("My Helper", Field(IDC_ALERT_NAME));
    EXPECT_EQ(1, CountHistory({"IEHELPER_Alert", "TYPE_BHO", "Alert Sample"}));

    Fill("secret.dat", sample, 370);
    Show(DLG_ALERT_HIDDEN, {{kNewProgram, IDOK}});
    EXPECT_EQ("&Delete", Field(IDCANCEL));
    EXPECT_EQ(1, CountHistory({"HIDDEN_Alert", "TYPE_HIDDEN", "secret.dat"}));

    // The Winlogon entries of the new-program alert carry fixed names.
    Fill("Userinit", sample, 250);
    Show(DLG_ALERT_NEW_PROGRAM, {{kNewProgram, IDYES}});
    EXPECT_EQ("WinLogon:UserInit", Field(IDC_ALERT_NAME));
    Fill("Hook", sample, 254);
    Show(DLG_ALERT_NEW_PROGRAM, {{kNewProgram, IDYES}});
    EXPECT_EQ("Alert Sample", Field(IDC_ALERT_NAME));
    EXPECT_FALSE(Contains(Field(IDC_ALERT_MESSAGE), "Type: RunOnce"));
    Fill("Once", sample, 12);
    Show(DLG_ALERT_NEW_PROGRAM, {{kNewProgram, IDYES}});
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE), "Type: RunOnce\nOften required"));
}

TEST_F(Alerts, WinlogonNotifyRejectedStopsAndDisables)
{
    Fill("notify", sample, 256);
    EXPECT_EQ(11, Show(DLG_ALERT_NEW_PROGRAM, {{kNewProgram, IDNO}}));
    Fill("notify", sample + " -other", 11);
    EXPECT_EQ(7, Show(DLG_ALERT_NEW_PROGRAM, {{kNewProgram, IDNO}}));
}

TEST_F(Alerts, ATranslationWithoutAPlaceIsShownAsItIs)
{
    // Translations override strings from HKLM when the language is not English.
    WORD language = UiLanguage;
    UiLanguage = 7;
    test::WriteString(HKEY_LOCAL_MACHINE, kStore, "LString7",
                      "Neues Programm 100% %d gefunden.");
    Fill("x", sample, 11);
    Show(DLG_ALERT_NEW_PROGRAM, {{kNewProgram, IDYES}});
    UiLanguage = language;
    EXPECT_EQ("Neues Programm 100% %d gefunden.", Field(IDC_ALERT_MESSAGE));
}

namespace {
// A real service of the prefix, known by a display name that differs from
// its key name.
class SampleService {
public:
    SampleService(const std::string &program, DWORD start)
    {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!manager_) return;
        service_ = CreateServiceA(manager_, "SentrelSampleSvc", "Sentrel Sample Service",
                                  SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, start,
                                  SERVICE_ERROR_IGNORE, program.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr);
    }
    ~SampleService()
    {
        if (service_) {
            DeleteService(service_);
            CloseServiceHandle(service_);
        }
        if (manager_) CloseServiceHandle(manager_);
    }
    bool ok() const { return service_ != nullptr; }

private:
    SC_HANDLE manager_ = nullptr, service_ = nullptr;
};
}  // namespace

TEST_F(Alerts, ServiceAlertShowsTheStartTypeAndNoLogsWhatItWas)
{
    SampleService service(sample, SERVICE_DEMAND_START);
    ASSERT_TRUE(service.ok());
    // The check shows the service's display name and names the service by its key name.
    Fill("Sentrel Sample Service", sample, 700);
    CopyText(AlertName, sizeof AlertName, "SentrelSampleSvc");
    EXPECT_EQ(6, Show(DLG_ALERT_SERVICE, {{kNewProgram, IDYES}}));
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE2), "Startup Status: Manual\nActive Status: "))
        << Field(IDC_ALERT_MESSAGE2);
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE), "new Window Services has been installed"));
    EXPECT_EQ("Sentrel Sample Service (SentrelSampleSvc)", Field(IDC_ALERT_NAME));
    EXPECT_TRUE(HistoryLines().empty()) << "Yes writes nothing";

    Fill("Sentrel Sample Service", sample, 700);
    CopyText(AlertName, sizeof AlertName, "SentrelSampleSvc");
    EXPECT_EQ(7, Show(DLG_ALERT_SERVICE, {{kNewProgram, 0, VK_ESCAPE}})) << "Esc is No here";
    EXPECT_EQ(1, CountHistory({"SERVICE_from_Manual", "Sentrel Sample Service", "SentrelSampleSvc"}));
    EXPECT_EQ(0, CountHistory({"SERVICE_Stop"})) << "it was not running";
    EXPECT_EQ(1, CountHistory({"SERVICE_Disabled"}));
    EXPECT_EQ(0, AlertName[0]) << "cleared with the record";
}

TEST_F(Alerts, ServiceAlertOfAnAutomaticServiceByKeyName)
{
    SampleService service(sample, SERVICE_AUTO_START);
    ASSERT_TRUE(service.ok());
    Fill("SentrelSampleSvc", sample, 700);
    EXPECT_EQ(7, Show(DLG_ALERT_SERVICE, {{kNewProgram, IDNO}}));
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE2), "Startup Status: Automatic"));
    EXPECT_EQ(1, CountHistory({"SERVICE_from_Automatic"}));
    EXPECT_EQ(0, CountHistory({"SERVICE_from_Manual"}));

    Fill("No Such Service", sample, 700);
    Show(DLG_ALERT_SERVICE, {{kNewProgram, IDYES}});
    EXPECT_TRUE(Contains(Field(IDC_ALERT_MESSAGE2), "Startup Status: Unknown"));
}

TEST_F(Alerts, FileTypeAlertShowsBothPrograms)
{
    Fill(".txt", sample, 400);
    CopyText(AlertNewCommand, sizeof AlertNewCommand, "C:\\nowhere\\viewer.exe %1");
    EXPECT_EQ(6, Show(DLG_ALERT_FILE_TYPE, {{kFileType, IDYES}}));
    EXPECT_EQ(".txt", Field(IDC_TYPE_EXTENSION));
    EXPECT_EQ("Alert Sample", Field(IDC_TYPE_OLD_NAME));
    EXPECT_EQ("Orvendale Samples", Field(IDC_TYPE_OLD_COMPANY));
    EXPECT_EQ(sample, Field(IDC_TYPE_OLD_COMMAND));
    EXPECT_EQ("Local File not found.", Field(IDC_TYPE_NEW_NAME)) << "the new program's file is missing";
    EXPECT_EQ("C:\\nowhere\\viewer.exe %1", Field(IDC_TYPE_NEW_COMMAND));
    EXPECT_EQ("Info...", Field(IDC_TYPE_NEW_INFO));
    EXPECT_EQ(0, AlertNewCommand[0]);
}

namespace {
const char kSysfiles[] = "Software\\Orvendale\\Sentrel\\Sysfiles\\SampleHosts";

class FileChange : public Alerts {
protected:
    void SetUp() override
    {
        Alerts::SetUp();
        file = folder + "\\hosts.txt";
        char copyFolder[PATH_SIZE];
        ASSERT_GT(GetVaultFolder(copyFolder), 0);
        copy = std::string(copyFolder) + "\\SampleHosts";
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy.c_str());
        RemoveDirectoryA(copy.c_str());
        ASSERT_TRUE(test::WriteFile(copy, "old content\r\n"));
        ASSERT_TRUE(test::WriteFile(file, "new content\r\n"));
        test::WriteString(HKEY_LOCAL_MACHINE, kSysfiles, "Location", file);
        test::WriteString(HKEY_LOCAL_MACHINE, kSysfiles, "Comment", "The sample hosts & more");
        test::WriteString(HKEY_LOCAL_MACHINE, kSysfiles, "Date", "before");
    }
    void TearDown() override
    {
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy.c_str());
        RemoveDirectoryA(copy.c_str());
        Alerts::TearDown();
    }
    void Open()
    {
        CopyText(AlertTitle, sizeof AlertTitle, "SampleHosts");
        CopyText(AlertFilePath, sizeof AlertFilePath, file.c_str());
        AlertType = 0;
    }
    std::string Read(const std::string &path)
    {
        std::string text;
        test::ReadFile(path, &text);
        return text;
    }
    std::string file, copy;
};
}  // namespace

TEST_F(FileChange, AcceptKeepsTheNewFileAsTheCopy)
{
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY);
    Open();
    EXPECT_EQ(1, Show(DLG_ALERT_FILE_CHANGE, {{kFileChange, IDC_FILE_ACCEPT}}));
    EXPECT_EQ("SampleHosts", Field(IDC_FILE_NAME));
    EXPECT_EQ(file, Field(IDC_FILE_LOCATION));
    EXPECT_EQ("The sample hosts & more", Field(IDC_FILE_COMMENT));
    EXPECT_EQ(" Disable Future Monitoring of this file.", Field(IDC_FILE_STOP_WATCHING));
    EXPECT_EQ("new content\r\n", Read(copy));
    EXPECT_NE(0u, GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY) << "attributes kept";
    std::string date;
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, kSysfiles, "Date", &date));
    EXPECT_NE("before", date);
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kSysfiles, "Location"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kStore, POS_SYSFILES.left));
}

TEST_F(FileChange, RejectPutsTheCopyBackAndEscapeDoesNothing)
{
    Open();
    std::thread escape([] {
        HWND dialog = test::WaitForWindow("#32770", kFileChange, kWait);
        if (!dialog) return;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);   // Esc
        SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);
        if (IsWindow(dialog)) test::PressButton(dialog, IDC_FILE_REJECT);
    });
    INT_PTR result = ShowAlert(DLG_ALERT_FILE_CHANGE);
    escape.join();
    EXPECT_EQ(1, result) << "Esc must not end the alert";
    EXPECT_EQ("old content\r\n", Read(file));
}

TEST_F(FileChange, StopWatchingDeletesTheRecord)
{
    Open();
    EXPECT_EQ(1, Show(DLG_ALERT_FILE_CHANGE,
                      {{kFileChange, IDC_FILE_ACCEPT, 0, IDC_FILE_STOP_WATCHING}}));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kSysfiles, "Location"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kSysfiles, "Comment"));
}

TEST_F(FileChange, AFailedCopyIsReportedAndAcceptsNothing)
{
    // A folder where the copy should be: the copy cannot be made.
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(copy.c_str());
    ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
    Open();
    EXPECT_EQ(0, Show(DLG_ALERT_FILE_CHANGE, {{kFileChange, IDC_FILE_ACCEPT}, {kSystemError, IDOK}}));
    // "<code>  <the platform's text>"
    std::string error = Field(0xFFFF, 1);
    EXPECT_TRUE(error.size() > 3 && isdigit((unsigned char)error[0]) && Contains(error, "  ")) << error;
    std::string date;
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, kSysfiles, "Date", &date));
    EXPECT_EQ("before", date) << "a change whose copy failed must alert again";
    EXPECT_EQ("new content\r\n", Read(file));
}

TEST_F(FileChange, RejectWithoutACopyIsReported)
{
    SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(copy.c_str());
    Open();
    EXPECT_EQ(0, Show(DLG_ALERT_FILE_CHANGE, {{kFileChange, IDC_FILE_REJECT}, {kSystemError, IDOK}}));
    EXPECT_EQ("new content\r\n", Read(file));
}

TEST(AlertSound, PlaysWithoutADeviceAndWithoutHanging)
{
    settings.sound = 1;
    // The built-in sound, and a configured file for another event.
    PlayAlertSound(3);
    test::WriteString(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Sentrel\\Startup Alert\\.current", "",
                      "C:\\nowhere\\missing.wav");
    PlayAlertSound(1);
    PlayAlertSound(99);
    settings.sound = 0;
    EXPECT_EQ(0, PlayAlertSound(1));
    test::DeleteTree(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\Sentrel");
    // The built-in sound is there to be played.
    EXPECT_NE(nullptr, FindResourceA(nullptr, MAKEINTRESOURCEA(WAVE_ALERT), "WAVE"));
}

TEST(AlertTemplates, FillOnlyReplacesPlaces)
{
    char out[64];
    const char *values[] = {"%n", "b"};
    EXPECT_EQ(7, FillTemplate(out, sizeof out, "x%sy%d%s", values, 2));
    EXPECT_STREQ("x%ny%db", out);
    const char *longValue[] = {"0123456789"};
    EXPECT_EQ(0, FillTemplate(out, 8, "%s", longValue, 1));
    EXPECT_STREQ("", out);
}
