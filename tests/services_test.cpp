// The services inventory against the real service manager and registry of
// the test prefix: the listing of real test services (automatic, manual,
// disabled, in folders with blanks), start-type changes, stop and start of
// the real sample service, the filter of Microsoft's services, hostile
// service keys, the manager's refusals and the approval baseline.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "history.h"
#include "inventory.h"
#include "items.h"
#include "options.h"
#include "program_files.h"
#include "service_helpers.h"
#include "services.h"
#include "store.h"
#include "store_init.h"
#include "signed_samples.h"
#include "test_support.h"
#include "text.h"
#include "version_names.h"

using namespace services_test;

namespace {

struct Listed {
    std::string title, path, detail, info;
    int type;
};

// The listing by key name.
std::map<std::string, Listed> List(int namesOnly = 0)
{
    std::map<std::string, Listed> out;
    EnumerateServices(namesOnly);
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        out[item->name] = {item->title, item->path, item->detail, item->info, item->type};
    }
    return out;
}

// The history lines of the test program's folder, fields split at TABs.
std::vector<std::vector<std::string>> History()
{
    std::vector<std::vector<std::string>> lines;
    for (const std::string &line : test::HistoryLines()) lines.push_back(test::TabFields(line));
    return lines;
}

// The actions of the history lines about a service (by the key name in
// the detail field), in order.
std::vector<std::string> ActionsOf(const std::string &name)
{
    std::vector<std::string> actions;
    for (const auto &line : History())
        if (line.size() == 6 && (line[5] == name || line[5].rfind(name + ": ", 0) == 0))
            actions.push_back(line[1]);
    return actions;
}

// The detail of the last line of the action about the service.
std::string DetailOf(const std::string &name, const std::string &action)
{
    std::string detail = "<none>";
    for (const auto &line : History())
        if (line.size() == 6 && line[1] == action && line[5].rfind(name, 0) == 0) detail = line[5];
    return detail;
}

class Services : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(WaitForServiceManager()); }
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        test::ClearHistory();
        sample = InstallSample("Sample Folder");
        ASSERT_FALSE(sample.empty());
        quoted = "\"" + sample + "\"";
    }
    void TearDown() override
    {
        services.RemoveAll();
        FreeItems();
        test::ResetSentrelRegistry();
    }
    void Create(const std::string &name, const std::string &display, const std::string &command, DWORD start)
    {
        services.Add(name);
        ASSERT_TRUE(CreateTestService(name, display, command, start)) << name << " " << GetLastError();
    }
    void Registry(const std::string &name, const std::string &imagePath, DWORD start = SERVICE_DEMAND_START,
                  DWORD type = SERVICE_WIN32_OWN_PROCESS)
    {
        services.Add(name);
        ASSERT_TRUE(WriteRegistryService(name, imagePath, start, type));
    }
    static ServiceRef Ref(const std::string &name, const std::string &title)
    {
        static std::string names[8], titles[8];
        static int next;
        int slot = next++ % 8;
        names[slot] = name;
        titles[slot] = title;
        return ServiceRef{names[slot].c_str(), titles[slot].c_str(), "C:\\svc.exe", ITEM_SERVICE_EXE};
    }
    std::string sample, quoted;
    ServiceSet services;
};

}  // namespace

TEST_F(Services, ListsTheTestServicesWithStartTypeStateAndProgram)
{
    Create("SampleSvcAuto", "Sample Automatic Service", quoted, SERVICE_AUTO_START);
    Create("SampleSvcManual", "Sample Manual Service", quoted + " -manual", SERVICE_DEMAND_START);
    Create("SampleSvcOff", "Sample Disabled Service", quoted, SERVICE_DISABLED);
    ASSERT_TRUE(StartTestService("SampleSvcAuto"));
    std::string description(5000, 'd');
    description.replace(0, 12, "Long words: ");
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\SampleSvcManual",
                                  "Description", description));

    auto listed = List();
    ASSERT_EQ(1u, listed.count("SampleSvcAuto"));
    ASSERT_EQ(1u, listed.count("SampleSvcManual"));
    ASSERT_EQ(1u, listed.count("SampleSvcOff"));
    const Listed &automatic = listed["SampleSvcAuto"];
    EXPECT_EQ("Sample Automatic Service", automatic.title);
    EXPECT_STRCASEEQ(sample.c_str(), automatic.path.c_str()) << "the program behind the quotes";
    EXPECT_EQ("Automatic", automatic.detail);
    EXPECT_EQ(ITEM_SERVICE_EXE, automatic.type);
    EXPECT_EQ("Manual", listed["SampleSvcManual"].detail);
    EXPECT_STRCASEEQ((sample + " -manual").c_str(), listed["SampleSvcManual"].path.c_str());
    EXPECT_EQ(description.substr(0, 1023), listed["SampleSvcManual"].info) << "cut, not lost";
    EXPECT_EQ("Disabled", listed["SampleSvcOff"].detail);

    char text[256];
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ServiceStateText("SampleSvcAuto", text) >> 16);
    EXPECT_STREQ("Running", text);
    EXPECT_EQ((DWORD)SERVICE_WIN32_OWN_PROCESS, QueryServiceState("SampleSvcAuto") & 0xFFFF);
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ServiceStateText("SampleSvcManual", text) >> 16);
    EXPECT_STREQ("Stopped", text);
    EXPECT_EQ(0u, ServiceStateText("NoSuchServiceAtAll", text));
    EXPECT_STREQ("Stopped", text);
    char display[4096];
    EXPECT_EQ(1, ServiceDisplayName("SampleSvcAuto", display));
    EXPECT_STREQ("Sample Automatic Service", display);

    // The quick listing names every service key, by its key name only.
    auto names = List(1);
    ASSERT_EQ(1u, names.count("SampleSvcOff"));
    EXPECT_EQ("SampleSvcOff", names["SampleSvcOff"].title);
    EXPECT_EQ("", names["SampleSvcOff"].path);
    EXPECT_EQ(ITEM_SERVICE_EXE, names["SampleSvcOff"].type);
}

TEST_F(Services, StartTypeChangesReachTheManagerWithTheirHistoryLines)
{
    Create("SampleSvcType", "Sample Type Service", quoted, SERVICE_DEMAND_START);
    EXPECT_EQ(0u, SetServiceStartLogged(Ref("SampleSvcType", "Sample Type Service"), SERVICE_DISABLED));
    EXPECT_EQ(SERVICE_DISABLED, ScmStartType("SampleSvcType"));
    EXPECT_EQ(SERVICE_DISABLED, ServiceStartValue("SampleSvcType"));
    EXPECT_EQ("Disabled", List()["SampleSvcType"].detail) << "the listing reads what the manager wrote";

    EXPECT_EQ(0u, SetServiceStartLogged(Ref("SampleSvcType", "Sample Type Service"), SERVICE_AUTO_START));
    EXPECT_EQ(SERVICE_AUTO_START, ScmStartType("SampleSvcType"));
    // The type it had, then the new one; named by title, key name in the detail.
    EXPECT_EQ((std::vector<std::string>{"SERVICE_from_Manual", "SERVICE_Disabled", "SERVICE_from_Disabled",
                                        "SERVICE_Automatic"}),
              ActionsOf("SampleSvcType"));
    for (const auto &line : History()) {
        EXPECT_EQ("SERVICE_EXE", line[2]);
        EXPECT_EQ("Sample Type Service", line[3]);
    }
    EXPECT_EQ(0u, SetServiceStartLogged(Ref("SampleSvcType", "Sample Type Service"), SERVICE_DEMAND_START));
    EXPECT_EQ("SERVICE_from_Automatic", ActionsOf("SampleSvcType")[4]);
    EXPECT_EQ("SERVICE_Manual", ActionsOf("SampleSvcType")[5]);
}

TEST_F(Services, StopAndStartOfTheRealServiceAsTheManagerSeesThem)
{
    Create("SampleSvcRun", "Sample Running Service", quoted, SERVICE_DEMAND_START);
    ServiceRef service = Ref("SampleSvcRun", "Sample Running Service");
    EXPECT_EQ(0u, StartServiceLogged(service));
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ScmState("SampleSvcRun"));
    ServiceStatusFacts facts;
    ASSERT_EQ(1, QueryServiceFacts("SampleSvcRun", &facts));
    EXPECT_TRUE(facts.controls & SERVICE_ACCEPT_STOP);
    EXPECT_EQ((DWORD)ERROR_SERVICE_ALREADY_RUNNING, StartServiceLogged(service));

    EXPECT_EQ(0u, StopServiceLogged(service));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcRun"));
    // Stopping what does not run changes nothing and writes nothing.
    EXPECT_EQ((DWORD)ERROR_SERVICE_NOT_ACTIVE, StopServiceLogged(service));
    EXPECT_EQ((std::vector<std::string>{"SERVICE_Start", "SERVICE_Start_Failed", "SERVICE_Stop"}),
              ActionsOf("SampleSvcRun"));
    EXPECT_NE(std::string::npos, DetailOf("SampleSvcRun", "SERVICE_Start_Failed").find("1056"));

    // A disabled service cannot be started: said as such.
    ASSERT_EQ(1, SetServiceStartType("SampleSvcRun", SERVICE_DISABLED));
    EXPECT_EQ((DWORD)ERROR_SERVICE_DISABLED, StartServiceLogged(service));
    EXPECT_EQ((DWORD)SERVICE_STOPPED, ScmState("SampleSvcRun"));
    EXPECT_NE(std::string::npos, DetailOf("SampleSvcRun", "SERVICE_Start_Failed").find("1058"));
}

TEST_F(Services, RefusalsOfTheManagerAreReportedAsWhatHappened)
{
    // A stop that does not finish in time.
    Create("SampleSvcSlow", "Sample Slow Service", quoted + " -slowstop", SERVICE_DEMAND_START);
    ASSERT_TRUE(StartTestService("SampleSvcSlow"));
    DWORD begin = GetTickCount();
    EXPECT_EQ((DWORD)ERROR_SERVICE_REQUEST_TIMEOUT, StopServiceLogged(Ref("SampleSvcSlow", "Sample Slow Service")));
    EXPECT_LT(GetTickCount() - begin, 7000u) << "the wait follows the service's own progress";
    EXPECT_EQ((DWORD)SERVICE_STOP_PENDING, ScmState("SampleSvcSlow"));
    EXPECT_EQ((std::vector<std::string>{"SERVICE_Stop_Failed"}), ActionsOf("SampleSvcSlow"));
    EXPECT_NE(std::string::npos, DetailOf("SampleSvcSlow", "SERVICE_Stop_Failed").find("1053"));

    // A service that does not accept the stop control.
    Create("SampleSvcStay", "Sample Staying Service", quoted + " -nostop", SERVICE_DEMAND_START);
    ASSERT_TRUE(StartTestService("SampleSvcStay"));
    DWORD refused = StopServiceLogged(Ref("SampleSvcStay", "Sample Staying Service"));
    EXPECT_NE(0u, refused);
    EXPECT_EQ((DWORD)SERVICE_RUNNING, ScmState("SampleSvcStay"));
    EXPECT_EQ((std::vector<std::string>{"SERVICE_Stop_Failed"}), ActionsOf("SampleSvcStay"));

    // A service marked for deletion takes no new start type.
    Create("SampleSvcGone", "Sample Deleted Service", quoted, SERVICE_DEMAND_START);
    ASSERT_TRUE(StartTestService("SampleSvcGone"));
    SC_HANDLE held = OpenTestService("SampleSvcGone");
    ASSERT_NE(nullptr, held);
    ASSERT_TRUE(DeleteService(held));
    ServiceRejection result;
    RejectServiceLogged(Ref("SampleSvcGone", "Sample Deleted Service"), &result);
    EXPECT_EQ((DWORD)ERROR_SERVICE_MARKED_FOR_DELETE, result.disableError);
    EXPECT_EQ((std::vector<std::string>{"SERVICE_Stop", "SERVICE_StartType_Failed"}), ActionsOf("SampleSvcGone"));
    EXPECT_NE(std::string::npos, DetailOf("SampleSvcGone", "SERVICE_StartType_Failed").find("1072"));
    CloseServiceHandle(held);

    // The user's text names the service and the system's reason.
    char text[1024];
    ASSERT_GT(ServiceFailureText(STR_SERVICE_STOP_FAILED, "Sample %s Service", "SampleSvcKey", 1053, text, sizeof text), 0);
    EXPECT_NE(nullptr, strstr(text, "The service Sample %s Service (SampleSvcKey) could not be stopped.")) << text;
    EXPECT_NE(nullptr, strstr(text, "1053  ")) << text;
}

// The filter leaves out Microsoft's services by signature: a program that
// only names Microsoft as its company is listed like any other.
TEST_F(Services, MicrosoftServicesAreLeftOutBySignatureNotByName)
{
    test::TrustedTestRoot root(true);   // the test's authority stands for Microsoft's roots
    std::string named = InstallSample("Maker Folder", "service_ms_sample.exe");
    ASSERT_FALSE(named.empty());
    std::string signedFolder = "C:\\Service Samples\\Signed Folder";
    CreateDirectoryA(signedFolder.c_str(), nullptr);
    std::string signedProgram = signedFolder + "\\signed-service.exe";
    ASSERT_TRUE(CopyFileA(test::SignedSample("signed-service.exe").c_str(), signedProgram.c_str(), FALSE));
    Create("SampleSvcMaker", "Sample Maker Service", "\"" + named + "\"", SERVICE_DEMAND_START);
    Create("SampleSvcSigned", "Sample Signed Service", "\"" + signedProgram + "\"", SERVICE_DEMAND_START);
    Create("SampleSvcOwn", "Sample Own Service", quoted, SERVICE_DEMAND_START);

    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "HideMicrosoftServices", "0"));
    auto all = List();
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "HideMicrosoftServices", "1"));
    auto filtered = List();

    EXPECT_EQ(1u, all.count("SampleSvcSigned"));
    EXPECT_EQ(0u, filtered.count("SampleSvcSigned")) << "signed under a Microsoft root";
    EXPECT_EQ(1u, filtered.count("SampleSvcMaker")) << "\"Microsoft Corporation\" in its version resource only";
    EXPECT_EQ(1u, filtered.count("SampleSvcOwn"));
    // Every other service of the prefix is judged by its program file's
    // signature (Wine's own files carry none, so all are listed).
    for (const auto &entry : all) {
        if (entry.first == "SampleSvcSigned") continue;
        Signature signature;
        VerifyCommandFile(entry.second.path.c_str(), &signature);
        EXPECT_EQ(!signature.microsoft, filtered.count(entry.first) == 1) << entry.first;
    }
    EXPECT_EQ(ITEM_SERVICE_SVCHOST, all["Schedule"].type) << "hosted by svchost, listed by its DLL";
}

TEST_F(Services, HostileServiceKeysAreListedSafely)
{
    std::string folder = sample.substr(0, sample.find_last_of('\\'));
    Registry("HostileQuoted", "\"" + sample + "\" -k \"two words\"");
    Registry("HostileNtPath", "\\??\\" + sample);
    Registry("HostileRoot", "\\SystemRoot\\system32\\hostile.exe");
    Registry("HostileNoExe", folder + "\\service.bin");
    Registry("HostileDriver", "system32\\drivers\\hostile.sys", SERVICE_SYSTEM_START, SERVICE_KERNEL_DRIVER);
    Registry("HostileLong", "C:\\" + std::string(2000, 'x') + "\\svc.exe");
    Registry("HostileMui", sample);
    Registry("HostileText", sample);
    Registry("HostileStart", sample);
    std::string key = std::string(kServicesKey) + "\\";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, key + "HostileMui", "DisplayName",
                                  "@%SystemRoot%\\system32\\hostile.dll,-101"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, key + "HostileText", "DisplayName",
                                  "Tab\there\r\nnew line %s %n <script>"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, key + "HostileText", "Description", std::string(9000, 'z')));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, key + "HostileStart", "Start", "2"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "HideMicrosoftServices", "0"));

    auto listed = List();
    ASSERT_EQ(1u, listed.count("HostileQuoted"));
    EXPECT_STRCASEEQ((sample + " -k two words").c_str(), listed["HostileQuoted"].path.c_str());
    char file[PATH_SIZE];
    ResolveCommandPath(listed["HostileQuoted"].path.c_str(), file);
    EXPECT_STRCASEEQ(sample.c_str(), file);
    ASSERT_EQ(1u, listed.count("HostileNtPath"));
    ResolveCommandPath(listed["HostileNtPath"].path.c_str(), file);
    EXPECT_STRCASEEQ(sample.c_str(), file);
    ASSERT_EQ(1u, listed.count("HostileRoot"));
    ResolveCommandPath(listed["HostileRoot"].path.c_str(), file);
    EXPECT_STRCASEEQ((test::WindowsFolder() + "\\system32\\hostile.exe").c_str(), file);
    // Windows runs an own-process service whatever its program file is called.
    ASSERT_EQ(1u, listed.count("HostileNoExe"));
    EXPECT_EQ(0u, listed.count("HostileDriver")) << "drivers are not listed";
    EXPECT_EQ(1u, List(1).count("HostileDriver")) << "but the quick listing names them";
    ASSERT_EQ(1u, listed.count("HostileLong"));
    EXPECT_LT(listed["HostileLong"].path.size(), (size_t)ITEM_PATH_SIZE);
    EXPECT_EQ("HostileMui", listed["HostileMui"].title) << "an unresolved indirect name gives way to the key name";
    EXPECT_EQ(std::string(1023, 'z'), listed["HostileText"].info);
    EXPECT_EQ("0", listed["HostileStart"].detail) << "a Start that is not a number Windows reads";

    // Changes of a service the manager does not know yet reach its key; the
    // history line keeps its six fields whatever the title holds.
    Item record = {};
    EnumerateServices(0);
    for (int i = 0; i < ItemCount(); i++)
        if (std::string(GetItemName(i)) == "HostileText") CopyItemRecord(&record, GetItem(i));
    ASSERT_NE(nullptr, record.name);
    EXPECT_EQ(0u, SetServiceStartLogged(ServiceRefOf(record), SERVICE_DISABLED));
    EXPECT_EQ(SERVICE_DISABLED, ServiceStartValue("HostileText"));
    ReleaseItemCopy(&record);
    auto lines = History();
    ASSERT_EQ(2u, lines.size());
    for (const auto &line : lines) {
        ASSERT_EQ(6u, line.size());
        EXPECT_EQ("Tab here  new line %s %n <script>", line[3]);
        EXPECT_EQ("HostileText", line[5]);
    }
    EXPECT_EQ("SERVICE_from_Manual", lines[0][1]);
    EXPECT_EQ("SERVICE_Disabled", lines[1][1]);

    // A key name, display name and program no ANSI code page holds: listed
    // as they are, and a change reaches that very key.
    const std::string name = u8"HostileСлужба Ω", display = u8"Служба 更新 🙂";
    const std::string program = folder + u8"\\Программы\\злой 更新.exe";
    Registry(name, "\"" + program + "\" -svc");
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, key + name, "DisplayName", display));
    listed = List();
    ASSERT_EQ(1u, listed.count(name));
    EXPECT_EQ(display, listed[name].title);
    EXPECT_EQ(program + " -svc", listed[name].path);
    EnumerateServices(0);
    for (int i = 0; i < ItemCount(); i++)
        if (std::string(GetItemName(i)) == name) CopyItemRecord(&record, GetItem(i));
    ASSERT_NE(nullptr, record.name);
    EXPECT_EQ(0u, SetServiceStartLogged(ServiceRefOf(record), SERVICE_DISABLED));
    EXPECT_EQ(SERVICE_DISABLED, ServiceStartValue(name.c_str()));
    ReleaseItemCopy(&record);
    lines = History();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(display, lines[3][3]);
    EXPECT_EQ(name, lines[3][5]);
}

TEST_F(Services, TwoServicesWithOneTitleNeverApproveEachOther)
{
    Registry("SampleSvcTwinA", sample + " -a");
    Registry("SampleSvcTwinB", sample + " -b");
    std::string key = std::string(kServicesKey) + "\\";
    // Two of one display name; two long names share the part a title holds.
    test::WriteString(HKEY_LOCAL_MACHINE, key + "SampleSvcTwinA", "DisplayName", "Sentrel Helper");
    test::WriteString(HKEY_LOCAL_MACHINE, key + "SampleSvcTwinB", "DisplayName", "Sentrel Helper");
    Registry("SampleSvcLongA", sample + " -c");
    Registry("SampleSvcLongB", sample + " -d");
    test::WriteString(HKEY_LOCAL_MACHINE, key + "SampleSvcLongA", "DisplayName", std::string(ITEM_TITLE_SIZE, 'L') + "A");
    test::WriteString(HKEY_LOCAL_MACHINE, key + "SampleSvcLongB", "DisplayName", std::string(ITEM_TITLE_SIZE, 'L') + "B");

    EnumerateServices(0);
    std::map<std::string, Item> records;
    for (int i = 0; i < ItemCount(); i++)
        if (std::string(GetItemName(i)).rfind("SampleSvc", 0) == 0) CopyItemRecord(&records[GetItemName(i)], GetItem(i));
    ASSERT_EQ(4u, records.size());
    EXPECT_STREQ(records["SampleSvcTwinA"].title, records["SampleSvcTwinB"].title);
    EXPECT_STREQ(records["SampleSvcLongA"].title, records["SampleSvcLongB"].title);

    for (const char *first : {"SampleSvcTwinA", "SampleSvcLongA"}) {
        std::string second = std::string(first, strlen(first) - 1) + "B";
        ASSERT_EQ(1, ApproveService(records[first]));
        EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kServiceBaseline, records[first].title)) << "named by its title";
        EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kServiceBaselineNames, first));
        EXPECT_EQ(1, IsServiceApproved(records[first]));
        EXPECT_EQ(0, IsServiceApproved(records[second])) << second << " passed through " << first;
        ASSERT_EQ(1, ApproveService(records[second]));
        EXPECT_EQ(1, IsServiceApproved(records[second]));
    }
    for (auto &entry : records) ReleaseItemCopy(&entry.second);
}

TEST_F(Services, TheStoresFirstRunApprovesEveryListedService)
{
    Create("SampleSvcFirst", "Sample First Run Service", quoted, SERVICE_DEMAND_START);
    InitStore();
    EXPECT_EQ("P", test::Value(HKEY_CURRENT_USER, kServiceBaseline, ""));
    EXPECT_EQ("700", test::Value(HKEY_CURRENT_USER, kServiceBaseline, "Sample First Run Service"));
    EXPECT_EQ("700", test::Value(HKEY_CURRENT_USER, kServiceBaselineNames, "SampleSvcFirst"));
    EnumerateServices(0);
    for (int i = 0; i < ItemCount(); i++) EXPECT_EQ(1, IsServiceApproved(*GetItem(i))) << GetItemName(i);
}
