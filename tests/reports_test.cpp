// The reports with hostile names planted in the real registry, services and
// tasks of the test prefix: the system report (HTML and text), the hijack
// log, the spreadsheet report and the settings export, written in-process
// and through the real SentrelEx.exe. The HTML and CSV files are read back
// by report_readers.py (Python's html.parser and csv) after this program;
// the export is imported back with Wine's regedit here.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <objbase.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "inventory.h"
#include "items.h"
#include "explorer_pages.h"
#include "report_writer.h"
#include "reports.h"
#include "service_helpers.h"
#include "signed_samples.h"
#include "startup_list.h"
#include "store.h"
#include "store_init.h"
#include "task_jobs.h"
#include "test_support.h"

using namespace test::keys;

namespace {

const DWORD kWait = 20000;
const char kFiles[] = "C:\\sentrel-tests\\ReportFiles";
const char kBhoClass[] = "{5E4D3C2B-1A09-4F8E-9D7C-6B5A49382716}";
const char kService[] = "SentrelReportSvc";
const wchar_t kTask[] = L"Report & 'odd' job";

// Names a program could give its entries; each must reach the reports as
// text and nothing else.
const char *const kHostileRunNames[] = {
    "<script>alert('run')</script>",
    "x\" onmouseover=\"alert(1)",
    "a'onmouseover='alert(2)",
    "=HYPERLINK(\"http://x.example\",\"y\")",
    "+cmd|' /C calc'!A0",
    "-2+3",
    "@SUM(1,2)",
    "Comma, \"quoted\" name",
    "Tab\there",
    u8"Обновление 更新 🙂",
};
const char kMachineName[] = "<img src=x onerror=alert(3)>";
const char kServiceDisplay[] = "<script>svc()</script> & 'quoted'";
const char kBhoName[] = "<svg onload=alert(4)>";

std::string Hex(const std::string &text)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}



// Everything planted for the reports, removed again at the end.
class Reports : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::FreshFolder("ReportFiles");
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        program = services_test::InstallSample("Report Samples");
        ASSERT_FALSE(program.empty());
        for (const char *name : kHostileRunNames) ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, program));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, kMachineName, "\"" + program + "\" -m"));
        std::string cls = std::string("Software\\Classes\\CLSID\\") + kBhoClass;
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, cls, "", kBhoName));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, cls + "\\InprocServer32", "", program));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kBho) + "\\" + kBhoClass, "", ""));
    }
    void TearDown() override
    {
        for (const char *name : kHostileRunNames) test::DeleteValue(HKEY_CURRENT_USER, kRun, name);
        test::DeleteValue(HKEY_LOCAL_MACHINE, kRun, kMachineName);
        test::DeleteTree(HKEY_LOCAL_MACHINE, std::string(kBho) + "\\" + kBhoClass);
        test::DeleteTree(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\CLSID\\") + kBhoClass);
        test::ResetSentrelRegistry();
    }
    static void Expect(const char *kind, const std::string &text)
    {
        std::string manifest = test::FileText(std::string(kFiles) + "\\expected.txt", "");
        test::WriteFile(std::string(kFiles) + "\\expected.txt", manifest + kind + " " + Hex(text) + "\n");
    }
    std::string program;
};

// Fills the item list with records a page or check might hold.
void FillCallerList()
{
    FreeItems();
    ItemIdentity first = {"Caller One", VIEW_NATIVE, 0, nullptr};
    ItemIdentity second = {"Caller Two", VIEW_32, 1, "mark"};
    AddItemAs(first, "One", "C:\\one.exe", "", "", 11, 0);
    AddItemAs(second, "Two", "C:\\two.exe", "", "", 1, 0);
}

void ExpectCallerList(const std::vector<const Item *> &before)
{
    ASSERT_EQ(2, ItemCount());
    EXPECT_EQ(before[0], GetItem(0));
    EXPECT_EQ(before[1], GetItem(1));
    EXPECT_STREQ("Caller Two", GetItemName(1));
    EXPECT_STREQ("mark", GetItem(1)->mark);
}

}  // namespace

TEST_F(Reports, SystemReportHoldsHostileNamesAsTextAndLeavesTheItemListAsItWas)
{
    ASSERT_TRUE(services_test::WaitForServiceManager());
    services_test::RemoveTestService(kService);
    ASSERT_TRUE(services_test::CreateTestService(kService, kServiceDisplay, "\"" + program + "\"", SERVICE_DEMAND_START));
    task_test::Scheduler scheduler;
    ASSERT_EQ(S_OK, scheduler.Create(kTask, task_test::Wide(program)));

    FillCallerList();
    std::vector<const Item *> before = {GetItem(0), GetItem(1)};
    std::string html = std::string(kFiles) + "\\" + SYSTEM_REPORT_HTML;
    std::string text = std::string(kFiles) + "\\" + SYSTEM_REPORT_TEXT;
    ASSERT_EQ(1, WriteSystemReportFile(html.c_str(), 0, "Sentrel"));
    ExpectCallerList(before);
    ASSERT_EQ(1, WriteSystemReportFile(text.c_str(), 1, "Sentrel"));
    ExpectCallerList(before);
    FreeItems();

    std::string written = test::FileText(html);
    for (const char *name : kHostileRunNames) {
        // TAB stays in HTML text; the text report turns it into a blank.
        Expect("html", name);
        std::string inText = name;
        for (char &c : inText)
            if (c == '\t') c = ' ';
        Expect("text", inText);
    }
    Expect("html", kMachineName);
    Expect("html", kServiceDisplay);
    Expect("text", kServiceDisplay);
    Expect("html", "Report & 'odd' job");
    // The IE helpers section shows what the IE helper inventory lists.
    EnumerateIEHelpers();
    for (int i = 0; i < ItemCount(); i++)
        if (std::string(GetItem(i)->name) == kBhoClass) Expect("html", GetItem(i)->title);
    FreeItems();
    EXPECT_FALSE(test::Contains(written, "<script>")) << "a planted name reached the HTML unescaped";

    std::string plain = test::FileText(text);
    EXPECT_EQ(0u, plain.find("Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\tPublisher\r\n"));
    EXPECT_FALSE(test::Contains(plain, "<html")) << "the text report holds HTML";
    EXPECT_TRUE(test::Contains(plain, "Startup Programs\r\n"));

    scheduler.DeleteCreated();
    services_test::RemoveTestService(kService);
}

TEST_F(Reports, SpreadsheetKeepsEveryRowInItsColumnsAndNoFormulaRuns)
{
    // A command holding a line break and what would be a formula behind it.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Broken Line",
                                  program + " -x\r\n=HYPERLINK(\"http://x.example\",\"y\")"));
    FillCallerList();
    std::vector<const Item *> before = {GetItem(0), GetItem(1)};
    std::string csv = std::string(kFiles) + "\\" + SPREADSHEET_FILE;
    ASSERT_EQ(1, WriteSpreadsheetFile(csv.c_str(), "Sentrel"));
    ExpectCallerList(before);
    FreeItems();
    for (const char *name : kHostileRunNames) Expect("csv", name);
    Expect("csv", kMachineName);
    Expect("csvbho", kBhoName);
    Expect("csv", "Broken Line");
    Expect("csvkeeps", "\r\n=HYPERLINK(");
    test::DeleteValue(HKEY_CURRENT_USER, kRun, "Broken Line");
}

// The scan for scripts, through the real SentrelEx.exe: every planted entry
// in the JSON and the CSV (read by report_readers.py), the store untouched,
// and the exit code telling whether anything waits for approval.
TEST_F(Reports, ScanWritesEveryInventoryAndItsExitCodeTellsWhatWaits)
{
    const std::wstring hidden(L"\0HiddenUpd", 10);
    ASSERT_TRUE(test::WriteNative(HKEY_CURRENT_USER, kRun, hidden, REG_SZ, L"C:\\h.exe", 18));
    // Signed by an authority no store trusts: the signature is named, the
    // publisher is not.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Scan Signed", "\"" + test::SignedSample("signed.exe") + "\" -q"));
    std::string store = test::DumpTree(HKEY_CURRENT_USER, "Software\\Orvendale") +
                        test::DumpTree(HKEY_LOCAL_MACHINE, "Software\\Orvendale");
    auto scan = [](const std::string &arguments) {
        test::Program scanner = test::Start(test::BuildFolder(), "SentrelEx.exe", arguments);
        DWORD code = 99;
        EXPECT_TRUE(test::WaitForExit(scanner, kWait, &code)) << arguments;
        test::Stop(scanner);
        return code;
    };
    std::string json = std::string(kFiles) + "\\scan.json", csv = std::string(kFiles) + "\\scan.csv";
    EXPECT_EQ(1u, scan("-scan -json \"" + json + "\""));
    EXPECT_EQ(1u, scan("-scan -csv \"" + csv + "\""));
    EXPECT_EQ(store, test::DumpTree(HKEY_CURRENT_USER, "Software\\Orvendale") +
                         test::DumpTree(HKEY_LOCAL_MACHINE, "Software\\Orvendale"));
    EXPECT_EQ(nullptr, FindWindowA("SentrelEx", nullptr));
    for (const char *name : kHostileRunNames) Expect("scan", name);
    Expect("scan", kMachineName);
    Expect("scan", std::string("\0HiddenUpd", 10));
    Expect("scanbho", kBhoClass);
    Expect("scansig", std::string("Scan Signed\1invalid"));
    Expect("scansig", std::string(kHostileRunNames[0]) + "\1unsigned");
    Expect("scansig", std::string("\0HiddenUpd\1missing", 18));

    // Bad arguments and a file that cannot be made: 2, and no file.
    EXPECT_EQ(2u, scan("-scan"));
    EXPECT_EQ(2u, scan("-scan -json C:\\no-such-folder\\x\\scan.json"));
    EXPECT_FALSE(test::FileExistsAt("C:\\no-such-folder"));

    // Once everything is approved, the scan says so.
    InitStore();
    std::string approved = std::string(kFiles) + "\\scan-approved.json";
    EXPECT_EQ(0u, scan("-scan -json \"" + approved + "\""));
    StoreDeleteValue(HKEY_CURRENT_USER, kRun, "\xC0\x80HiddenUpd");   // the name holds a NUL
    EXPECT_FALSE(test::NativeValueExists(HKEY_CURRENT_USER, kRun, hidden));
    test::DeleteValue(HKEY_LOCAL_MACHINE, kRun, "Sentrel");
    test::DeleteValue(HKEY_CURRENT_USER, kRun, "Scan Signed");
}

// The platform line names each Windows by its version and build (Windows
// 10 and 11 share 10.0), servers as servers, and the service pack once.
TEST(ReportPlatform, EachWindowsIsNamedByItsVersionAndBuild)
{
    const struct {
        DWORD major, minor, build;
        const char *servicePack;
        BYTE productType;
        const char *expected;
    } cases[] = {
        {6, 0, 6002, "Service Pack 2", VER_NT_WORKSTATION, "Windows Vista Service Pack 2 (Build 6002)"},
        {6, 1, 7601, "Service Pack 1", VER_NT_WORKSTATION, "Windows 7 Service Pack 1 (Build 7601)"},
        {6, 2, 9200, "", VER_NT_WORKSTATION, "Windows 8 (Build 9200)"},
        {6, 3, 9600, "", VER_NT_WORKSTATION, "Windows 8.1 (Build 9600)"},
        {10, 0, 19045, "", VER_NT_WORKSTATION, "Windows 10 (Build 19045)"},
        {10, 0, 22631, "", VER_NT_WORKSTATION, "Windows 11 (Build 22631)"},
        {10, 0, 20348, "", VER_NT_SERVER, "Windows Server 2022 (Build 20348)"},
        {6, 1, 7601, "Service Pack 1", VER_NT_SERVER, "Windows Server 2008 R2 Service Pack 1 (Build 7601)"},
        {11, 0, 30000, "", VER_NT_WORKSTATION, "Windows 11.0 (Build 30000)"},
    };
    for (const auto &c : cases) {
        OSVERSIONINFOEXA info = {};
        info.dwOSVersionInfoSize = sizeof info;
        info.dwPlatformId = VER_PLATFORM_WIN32_NT;
        info.dwMajorVersion = c.major;
        info.dwMinorVersion = c.minor;
        info.dwBuildNumber = c.build;
        lstrcpynA(info.szCSDVersion, c.servicePack, sizeof info.szCSDVersion);
        info.wProductType = c.productType;
        char text[512];
        PlatformTextOf(&info, 1, 0, text, sizeof text);
        EXPECT_STREQ(c.expected, text);
    }
    // This machine's own line (Wine says Windows 10 here) has no service pack twice.
    char own[512];
    ASSERT_GT(PlatformText(own, sizeof own), 0);
    EXPECT_EQ(std::string::npos, std::string(own).find("SP")) << own;
}

// The same line in a program started while Wine acts as another Windows
// (winecfg /v): this test program itself, asked to write its line.
TEST(ReportPlatform, WritesItsLineWhenAsked)
{
    char out[MAX_PATH];
    if (!GetEnvironmentVariableA("SENTREL_PLATFORM_OUT", out, sizeof out)) GTEST_SKIP() << "only when asked";
    char line[512];
    ASSERT_GT(PlatformText(line, sizeof line), 0);
    ASSERT_TRUE(test::WriteFile(out, line));
}

TEST(ReportPlatform, TheLineNamesTheWindowsWineActsAs)
{
    // winecfg /v changes the version for the whole prefix: the one this
    // program started with is put back at the end.
    OSVERSIONINFOA own = {};
    own.dwOSVersionInfoSize = sizeof own;
    ASSERT_TRUE(GetVersionExA(&own));
    const char *before = own.dwMajorVersion >= 10 ? (own.dwBuildNumber >= 22000 ? "win11" : "win10")
                         : own.dwMinorVersion >= 3 ? "win81"
                         : own.dwMinorVersion == 2 ? "win8"
                                                   : "win7";
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    std::string program = self, folder = program.substr(0, program.rfind('\\'));
    program = program.substr(folder.size() + 1);
    std::string out = test::FreshFolder("platform_line") + "\\line.txt";
    auto run = [](const std::string &where, const std::string &name, const std::string &arguments) {
        test::Program started = test::Start(where, name, arguments);
        EXPECT_TRUE(test::WaitForExit(started, 60000)) << name << " " << arguments;
        test::Stop(started);
    };
    const struct {
        const char *version, *windows;
    } cases[] = {{"win7", "Windows 7 "}, {"win8", "Windows 8 "}, {"win81", "Windows 8.1 "}, {"win10", "Windows 10 "}};
    SetEnvironmentVariableA("SENTREL_PLATFORM_OUT", out.c_str());
    for (const auto &c : cases) {
        DeleteFileA(out.c_str());
        run("C:\\windows\\system32", "winecfg.exe", std::string("/v ") + c.version);
        run(folder, program, "--gtest_filter=ReportPlatform.WritesItsLineWhenAsked");
        std::string line;
        EXPECT_TRUE(test::ReadFile(out, &line)) << c.version;
        EXPECT_EQ(0u, line.find(c.windows)) << c.version << ": " << line;
        EXPECT_EQ(std::string::npos, line.find("Vista")) << line;
    }
    SetEnvironmentVariableA("SENTREL_PLATFORM_OUT", nullptr);
    run("C:\\windows\\system32", "winecfg.exe", std::string("/v ") + before);
}

TEST(ReportTimes, TheTwelveHourClockMarksNoonAndMidnight)
{
    SYSTEMTIME t = {};
    t.wYear = 2007;
    t.wMonth = 3;
    t.wDay = 9;
    char text[32];
    struct {
        WORD hour, minute;
        const char *expected;
    } cases[] = {{12, 30, "12:30:00 PM"}, {0, 5, "12:05:00 AM"}, {13, 5, " 1:05:00 PM"}, {11, 59, "11:59:00 AM"}};
    for (const auto &c : cases) {
        t.wHour = c.hour;
        t.wMinute = c.minute;
        ReportTimeText(&t, text, sizeof text);
        EXPECT_STREQ(c.expected, text);
    }
    ReportDateText(&t, text, sizeof text);
    EXPECT_STREQ(" 3/09/2007", text);
}

namespace {

// Every value of a key and of its direct subkeys: "subkey|name" -> type and data.
typedef std::map<std::string, std::pair<DWORD, std::string>> ValueMap;

void CollectValues(HKEY root, const std::string &path, const std::string &label, ValueMap *out)
{
    // Names as the registry holds them (a NUL shown as U+FFFD), data raw.
    HKEY key;
    if (RegOpenKeyExW(root, test::Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; i++) {
        static wchar_t name[16384];
        static BYTE data[65536];
        DWORD nameLength = 16384, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string shown;
        for (DWORD k = 0; k < nameLength; k++)
            shown += name[k] ? test::Utf8(std::wstring(1, name[k])) : std::string("\xEF\xBF\xBD");
        (*out)[label + "|" + shown] = {type, std::string((char *)data, size)};
    }
    RegCloseKey(key);
}

// Every value of a key and of every key below it, labelled by the subkey.
void CollectTree(HKEY root, const std::string &path, const std::string &label, ValueMap *values)
{
    CollectValues(root, path, label, values);
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    std::vector<std::string> subkeys;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; i++) subkeys.push_back(name);
    RegCloseKey(key);
    for (const auto &sub : subkeys) CollectTree(root, path + "\\" + sub, label.empty() ? sub : label + "\\" + sub, values);
}

ValueMap ExportedValues(HKEY root, const std::string &path)
{
    ValueMap values;
    CollectTree(root, path, "", &values);
    return values;
}

bool WriteTyped(HKEY root, const std::string &path, const std::string &name, DWORD type, const std::string &data)
{
    return test::WriteValue(root, path, name, type, data.data(), (DWORD)data.size());
}

}  // namespace

TEST_F(Reports, SettingsExportImportsBackValueByValueAndNamesWhatItLeftOut)
{
    const std::string user = kStore, machine = "SOFTWARE\\Orvendale\\Sentrel";
    std::string longName(300, 'n'), longData;
    for (int i = 0; i < 200; i++) longData += "C:\\dir \"q\" ";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, "Quote \"name\"", "say \"hi\" \\\\server\\share\\"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, "Path", "C:\\Program Files\\x\\y.exe"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, longName, longData));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, "", "default \"v\""));
    ASSERT_TRUE(test::WriteDword(HKEY_CURRENT_USER, user, "Number", 0x12345678));
    ASSERT_TRUE(WriteTyped(HKEY_CURRENT_USER, user, "Blob", REG_BINARY, std::string("\0\1\2\xff", 4)));
    ASSERT_TRUE(WriteTyped(HKEY_CURRENT_USER, user, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15)));
    ASSERT_TRUE(WriteTyped(HKEY_CURRENT_USER, user, "Multi", REG_MULTI_SZ, std::string("a\0b \"q\"\0\0", 10)));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, "Broken\r\nname", "x"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, "DataBreak", "a\r\nb"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user + "\\Options", "Format", "1"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user + "\\Run", "C:\\x\\run.exe -a", "11"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user + "\\Delay\\Time", "C:\\x.exe", "5"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, machine, "LString5", "He said \"x\" \\ done"));
    // Names and texts of any script go through; a name holding a NUL cannot
    // stand in a script and is named instead.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, user, u8"Обновление 更新 🙂", u8"C:\\Программы Ω\\злой 更新.exe"));
    ASSERT_TRUE(test::WriteNative(HKEY_CURRENT_USER, user, std::wstring(L"\0Hidden", 7), REG_SZ, L"h", 4));
    ValueMap userBefore = ExportedValues(HKEY_CURRENT_USER, user);
    ValueMap machineBefore = ExportedValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvendale");

    std::string file = std::string(kFiles) + "\\root-Sentrel.reg";
    char skipped[2048];
    ASSERT_EQ(1, ExportSettingsFile(file.c_str(), skipped, sizeof skipped));
    EXPECT_TRUE(test::Contains(skipped, "Broken")) << skipped;
    EXPECT_TRUE(test::Contains(skipped, "DataBreak")) << skipped;
    EXPECT_TRUE(test::Contains(skipped, "\xEF\xBF\xBDHidden")) << skipped;
    std::string raw = test::FileText(file);
    ASSERT_GE(raw.size(), 2u);
    ASSERT_EQ("\xff\xfe", raw.substr(0, 2)) << "the script is not Unicode text";
    std::string script = test::Utf8(std::wstring((const wchar_t *)(raw.data() + 2), (raw.size() - 2) / 2));
    EXPECT_EQ(0u, script.find("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Orvendale\\Sentrel]\r\n"));
    EXPECT_TRUE(test::Contains(script, "\"Path\"=\"C:\\\\Program Files\\\\x\\\\y.exe\"\r\n"));
    EXPECT_TRUE(test::Contains(script, "@=\"default \\\"v\\\"\"\r\n"));
    EXPECT_TRUE(test::Contains(script, u8"\"Обновление 更新 🙂\"=\"C:\\\\Программы Ω\\\\злой 更新.exe\"\r\n")) << script;
    EXPECT_TRUE(test::Contains(script, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvendale\\Sentrel]"));
    EXPECT_TRUE(test::Contains(script, "[HKEY_CURRENT_USER\\Software\\Orvendale\\Sentrel\\Delay\\Time]"))
        << "every key below the store is exported";

    test::DeleteTree(HKEY_CURRENT_USER, "Software\\Orvendale");
    test::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvendale");
    test::Program regedit = test::Start(test::WindowsFolder(), "regedit.exe", "/s \"" + file + "\"");
    ASSERT_NE(nullptr, regedit.process);
    DWORD exitCode = 1;
    ASSERT_TRUE(test::WaitForExit(regedit, kWait, &exitCode));
    test::Stop(regedit);

    userBefore.erase("|Broken\r\nname");
    userBefore.erase(std::string("|") + "\xEF\xBF\xBD" + "Hidden");
    userBefore.erase("|DataBreak");
    ValueMap userAfter = ExportedValues(HKEY_CURRENT_USER, user);
    ValueMap machineAfter = ExportedValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvendale");
    EXPECT_EQ(userBefore.size(), userAfter.size());
    for (const auto &value : userBefore) {
        auto found = userAfter.find(value.first);
        ASSERT_NE(userAfter.end(), found) << "not imported: " << value.first;
        EXPECT_EQ(value.second.first, found->second.first) << value.first;
        EXPECT_EQ(value.second.second, found->second.second) << value.first;
    }
    EXPECT_EQ(machineBefore, machineAfter);
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, user + "\\Delay\\Time", "C:\\x.exe"));
}

namespace {

// A file of the prefix replaced for a test and put back afterwards.
class SavedFile {
public:
    explicit SavedFile(const std::string &path) : path_(path) { had_ = test::ReadFile(path, &content_); }
    ~SavedFile()
    {
        if (had_)
            test::WriteFile(path_, content_);
        else
            DeleteFileA(path_.c_str());
    }

private:
    std::string path_, content_;
    bool had_;
};

std::vector<std::string> LogLines(const std::string &log, const std::string &prefix)
{
    std::vector<std::string> lines;
    for (const std::string &line : test::Split(log, "\r\n"))
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(Reports, HijackLogShowsEachPlantedEntryInItsSection)
{
    char hostsPath[PATH_SIZE];
    ASSERT_TRUE(GetHostsPath(hostsPath, sizeof hostsPath));
    SavedFile hostsBackup(hostsPath);
    std::string padding(600, ' ');
    std::string comments;
    for (int i = 0; i < 700; i++) comments += "# " + std::string(1000, 'c') + "\n";   // over 652,780 bytes
    ASSERT_TRUE(test::WriteFile(hostsPath,
                                "# 10.9.9.9 commented.example\r\n127.0.0.1       localhost\r\n::1 localhost\n"
                                "0.0.0.0 ads.example\n10.0.0.5 www.mybank.com\n1.2.3.4\tbank.com #127.0.0.1\n"
                                "fe80::5 v6.example\n" + padding + "6.6.6.6 padded.example\n"
                                "127.0.0.1 local.example # 9.9.9.9\n" + comments + "7.7.7.7 last.example"));
    std::string inf = test::WindowsFolder() + "\\inf\\iereset.inf";
    SavedFile infBackup(inf);
    std::string filler;
    for (int i = 0; i < 200; i++) filler += "; " + std::string(100, 'f') + "\r\n";   // over 16,384 bytes
    ASSERT_TRUE(test::WriteFile(inf, "[Strings]\r\nSTART_PAGE_URL=\"http://start.example/\"\r\n"
                                     "[Other]\r\nHKCU,\"Software\\Microsoft\\Internet Explorer\\Main\",\"Start Page\",,"
                                     "\"http://hkcu-start.example/\"\r\n,Search Page\r\n" + filler +
                                     "HKLM,\"Software\\Microsoft\\Internet Explorer\\Main\",\"Search Page\",,"
                                     "\"http://late.example/\"\r\n"));
    const std::string windowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const std::string components = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components";
    const std::string menu = "Software\\Microsoft\\Internet Explorer\\MenuExt\\&Search <x>";
    const std::string zone = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\evil.example";
    std::string longLoad(1500, 'L'), longName(512, 'F'), longSource(1024, 'S');
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, windowsKey, "Load", longLoad));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, components + "\\0", "FriendlyName", longName));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, components + "\\0", "Source", longSource));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, components + "\\1", "FriendlyName", "Current Home Page"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, components + "\\2", "FriendlyName", "Two"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, components + "\\2", "Source", "http://two.example/"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, components + "\\4", "FriendlyName", "After the gap"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, menu, "", "res://evil.dll/menu.htm"));
    ASSERT_TRUE(test::WriteDword(HKEY_CURRENT_USER, zone + "\\www", "*", 5));

    // Two cookies (and the index, which is none) in an IE cookie folder.
    std::string cookies = test::FreshFolder("hijack-cookies");
    ASSERT_TRUE(test::WriteFile(cookies + "\\index.dat", "index"));
    ASSERT_TRUE(test::WriteFile(cookies + "\\user@one.example[1].txt", "one"));
    ASSERT_TRUE(test::WriteFile(cookies + "\\user@two.example[2].txt", "two"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kStore, "IECookieFolder", cookies));

    // A file in the user's Startup folder and one in the all users' one.
    char userStartup[MAX_PATH] = "", commonStartup[MAX_PATH] = "";
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_STARTUP, nullptr, 0, userStartup));
    ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_COMMON_STARTUP, nullptr, 0, commonStartup));
    std::string userFile = std::string(userStartup) + "\\Mine Only.exe";
    std::string commonFile = std::string(commonStartup) + "\\Every User.exe";
    ASSERT_TRUE(CopyFileA(program.c_str(), userFile.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(program.c_str(), commonFile.c_str(), FALSE));

    FillCallerList();
    std::vector<const Item *> before = {GetItem(0), GetItem(1)};
    std::string path = std::string(kFiles) + "\\" + HIJACK_LOG_FILE;
    int written = WriteHijackLogFile(path.c_str(), "Sentrel");
    DeleteFileA(userFile.c_str());
    DeleteFileA(commonFile.c_str());
    test::DeleteTree(HKEY_CURRENT_USER, components);
    test::DeleteTree(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\MenuExt");
    test::DeleteTree(HKEY_CURRENT_USER, zone);
    test::DeleteValue(HKEY_CURRENT_USER, windowsKey.c_str(), "Load");
    ASSERT_EQ(1, written);
    ExpectCallerList(before);
    FreeItems();

    std::string log = test::FileText(path);
    EXPECT_EQ(0u, log.find("Log created by Sentrel version ")) << log.substr(0, 200);
    EXPECT_TRUE(test::Contains(log, "\r\n--\r\nEnd of file\r\n"));
    // Memory figures of a 64-bit process are past 2^31 KB: never negative.
    size_t free = log.find("Virtual Memory Free: ");
    ASSERT_NE(std::string::npos, free);
    EXPECT_TRUE(isdigit((unsigned char)log[free + 21])) << log.substr(free, 60);
    // Who signed the programs, after the sections: nothing signed these.
    std::string upper = log;
    CharUpperA(&upper[0]);
    std::string sampleLine = "\r\n  " + program + " - Not verified\r\n";
    CharUpperA(&sampleLine[0]);
    EXPECT_LT(log.find("\r\nPublishers (verified signer, or Not verified):\r\n"), log.find("End of file"));
    EXPECT_TRUE(test::Contains(upper, sampleLine)) << log.substr(log.find("Publishers"), 600);
    // Redirections are shown whatever their address looks like; loopback,
    // null-address and commented lines are not.
    std::vector<std::string> hosts = LogLines(log, "O1 - Hosts: ");
    std::vector<std::string> expectedHosts = {"O1 - Hosts: 10.0.0.5 www.mybank.com",
                                              "O1 - Hosts: 1.2.3.4 bank.com #127.0.0.1",
                                              "O1 - Hosts: fe80::5 v6.example",
                                              "O1 - Hosts: " + padding + "6.6.6.6 padded.example",
                                              "O1 - Hosts: 7.7.7.7 last.example"};
    EXPECT_EQ(expectedHosts, hosts);

    EXPECT_EQ((std::vector<std::string>{"O14 - IERESET.INF: START_PAGE_URL = http://start.example/",
                                        "O14 - IERESET.INF:HKCU, Start Page = \"http://hkcu-start.example/\"",
                                        "O14 - IERESET.INF:HKLM, Search Page = \"http://late.example/\""}),
              LogLines(log, "O14 - "));
    std::string server = program;
    EXPECT_TRUE(test::Contains(log, std::string("\r\nO2 - BHO: ") + kBhoName + " - " + kBhoClass + " - "));
    EXPECT_TRUE(test::Contains(log,
                               std::string("\r\nO4 - HKCU\\..\\Run: [") + kHostileRunNames[0] + "]" + program + "\r\n"));
    EXPECT_TRUE(test::Contains(log, std::string("\r\nO4 - HKCU\\..\\Run: [Tab\there]") + program + "\r\n"));
    EXPECT_TRUE(test::Contains(log,
                               std::string("\r\nO4 - HKLM\\..\\Run: [") + kMachineName + "]" + program + " -m\r\n"));
    EXPECT_TRUE(test::Contains(log, "\r\nF3 - HKCU Load=" + longLoad + "\r\n"));
    EXPECT_TRUE(test::Contains(log, "\r\nO4 - Startup: Mine Only.exe=" + userFile + "\r\n"))
        << LogLines(log, "O4 - ").size();
    EXPECT_TRUE(test::Contains(log, "\r\nO4 - Global Startup: Every User.exe=" + commonFile + "\r\n"));
    EXPECT_EQ((std::vector<std::string>{"O24 -  Desktop Component 0: " + longName + " - " + longSource,
                                        "O24 -  Desktop Component 2: Two - http://two.example/"}),
              LogLines(log, "O24 - "));
    EXPECT_TRUE(test::Contains(log, "\r\nO8 - Extra context menu item: &Search <x> - res://evil.dll/menu.htm\r\n"));
    EXPECT_TRUE(test::Contains(log, "\r\nO15 - Trusted Zone: evil.example\r\n"));
    EXPECT_TRUE(test::Contains(log, "\r\nRunning processes:\r\n"));
    EXPECT_TRUE(test::Contains(log, "\r\n2 IE Cookies in Folder: " + cookies + "\\\r\n"));
}

namespace {

const char kViewerClass[] = "SentrelReportViewerTest";

// The real explorer on its Startup page, with the shell opening HTML files
// in the stand-in viewer.
class ExplorerReports : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        SetUpIn("ExplorerReports");
        test::ReadString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "", &htmlClass);
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "", kViewerClass));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + kViewerClass +
                                                              "\\shell\\open\\command",
                                      "", "\"" + test::BuildFolder() + "\\report_viewer.exe\" \"%1\""));
        DeleteFileA(kOpened);
        sample = services_test::InstallSample("Report Samples");
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Report Alpha", sample + " -alpha"));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Report Beta", sample + " -beta"));
    }
    void TearDown() override
    {
        ExplorerPage::TearDown();
        test::DeleteValue(HKEY_CURRENT_USER, kRun, "Report Alpha");
        test::DeleteValue(HKEY_CURRENT_USER, kRun, "Report Beta");
        test::WriteString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "", htmlClass);
        test::DeleteTree(HKEY_LOCAL_MACHINE, std::string("Software\\Classes\\") + kViewerClass);
    }
    static constexpr const char *kOpened = "C:\\sentrel-tests\\opened.txt";
    std::string htmlClass, sample;
};

}  // namespace

TEST_F(ExplorerReports, ALogFromThePageMenuIsOpenedAndRemoveStillActsOnTheSelectedRow)
{
    StartExplorer();
    ASSERT_GE(remote->Select(0, "Report Beta"), 0);
    Settle();
    Command(9);
    std::string report = folder + "\\SentrelLog.html";
    ASSERT_TRUE(test::WaitUntil([&] { return test::Contains(test::FileText(kOpened), "SentrelLog.html"); }, kWait))
        << test::FileText(kOpened);
    EXPECT_TRUE(test::Contains(test::FileText(report), "Report Beta"));

    // The page still acts on the row the user selected.
    Press(1003);
    HWND box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_TRUE(test::Contains(test::DialogText(box), "-beta")) << test::DialogText(box);
    test::PressButton(box, IDYES);
    ASSERT_TRUE(test::WaitUntil([] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, "Report Beta"); }, kWait));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Report Alpha"));

    // A report that cannot be written is said so, and the old file is not opened.
    DeleteFileA(kOpened);
    ASSERT_TRUE(DeleteFileA(report.c_str()));
    ASSERT_TRUE(CreateDirectoryA(report.c_str(), nullptr));
    Settle();
    Command(9);
    box = WaitForMessageBox();
    ASSERT_NE(nullptr, box);
    EXPECT_TRUE(test::Contains(test::DialogText(box), "could not be written")) << test::DialogText(box);
    EXPECT_TRUE(test::Contains(test::DialogText(box), report)) << test::DialogText(box);
    test::PressButton(box, IDOK);
    ASSERT_TRUE(test::WaitForWindowGone(box, kWait));
    Settle();
    EXPECT_FALSE(test::FileExistsAt(kOpened));
    RemoveDirectoryA(report.c_str());
}
