// IE helpers against the prefix's real registry: the listing of browser
// helper objects, toolbars and buttons, their removal (with Wine's real
// regsvr32 and a COM DLL of the tests), the check with its alert answered
// from a second thread, and once end to end through the real Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "alert_driver.h"
#include "checks.h"
#include "ie_helper_plant.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "monitor.h"
#include "options.h"

using namespace alerts_test;
using namespace ie_test;

namespace {

const char kTests[] = "C:\\ie helper tests";

// A copy of the sample DLL in a folder whose path has blanks.
std::string SampleCopy(const std::string &folderName, const std::string &fileName = "sample helper.dll")
{
    CreateDirectoryA(kTests, nullptr);
    std::string folder = std::string(kTests) + "\\" + folderName;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string file = folder + "\\" + fileName;
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    CopyFileA((test::BuildFolder() + "\\" + kSampleDll).c_str(), file.c_str(), FALSE);
    return file;
}

const Item *FindRecord(const std::string &name, int type = 0)
{
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        if (name == item->name && (type == 0 || item->type == type)) return item;
    }
    return nullptr;
}

int IndexOf(const Item *record)
{
    for (int i = 0; i < ItemCount(); i++)
        if (GetItem(i) == record) return i;
    return -1;
}

// The fields of the history lines that contain every one of the texts.
std::vector<std::vector<std::string>> HistoryFields(std::initializer_list<std::string> texts)
{
    std::vector<std::vector<std::string>> found;
    for (const std::string &line : HistoryLines()) {
        bool all = true;
        for (const std::string &t : texts) all = all && line.find(t) != std::string::npos;
        if (all) found.push_back(test::TabFields(line));
    }
    return found;
}

class IEHelpersTest : public CheckTest {
protected:
    void SetUp() override
    {
        CheckTest::SetUp();
        // What the prefix holds before the test is approved.
        WriteIEHelperBaseline();
    }
    void TearDown() override
    {
        plant.Clear();
        if (SampleRegistered()) test::DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kSampleClass);
        CheckTest::TearDown();
    }
    void RunCheck() override { CheckIEHelpers(); }
    // Registers the sample DLL with regsvr32 and plants it as a helper.
    std::string RegisteredSample(const std::string &folderName)
    {
        std::string file = SampleCopy(folderName);
        EXPECT_TRUE(RunRegsvr32(file, false));
        EXPECT_EQ(file, test::Value(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kSampleClass + "\\InprocServer32", ""));
        return file;
    }
    Planter plant;
};

}  // namespace

TEST_F(IEHelpersTest, EachKindIsListedWithItsFacts)
{
    std::string dll = SampleCopy("Each Kind");
    plant.Class(TestClass(1), dll);
    plant.Bho(TestClass(1));
    plant.Class(TestClass(2), "C:\\nowhere\\plain helper.dll");
    plant.Bho(TestClass(2));
    plant.ClassWithoutServer(TestClass(3));
    plant.Bho(TestClass(3));
    plant.Bho(TestClass(4));   // no class at all
    plant.Class(TestClass(5), dll);
    plant.Toolbar(TestClass(5));
    plant.Extension(TestClass(6), "Research Pane", "C:\\nowhere\\pane.exe", "", "C:\\nowhere\\pane.ico");
    plant.Extension(TestClass(7), "@C:\\WINDOWS\\system32\\shdoclc.dll,-864", "", "C:\\nowhere\\related.htm");
    plant.Extension(TestClass(8), "", "C:\\nowhere\\silent.exe");   // no button text

    int count = EnumerateIEHelpers();
    ASSERT_EQ(count, ItemCount());

    const Item *bho = FindRecord(TestClass(1));
    ASSERT_NE(nullptr, bho);
    EXPECT_STREQ("Sample Browser Helper", bho->title);
    EXPECT_STRCASEEQ(dll.c_str(), bho->path);
    EXPECT_EQ(TestClass(1), bho->detail);
    EXPECT_STREQ("3.1.0.7", bho->info);
    EXPECT_EQ(900, bho->type);
    EXPECT_EQ(VIEW_NATIVE, bho->view);
    EXPECT_EQ(0, bho->qualifier);

    const Item *plain = FindRecord(TestClass(2));
    ASSERT_NE(nullptr, plain);
    EXPECT_STREQ("plain helper.dll", plain->title) << "without a product name: the file name with its extension";
    EXPECT_STREQ("", plain->info);

    EXPECT_EQ(nullptr, FindRecord(TestClass(3))) << "no server file: never loaded, not listed";
    EXPECT_EQ(nullptr, FindRecord(TestClass(4)));

    const Item *toolbar = FindRecord(TestClass(5));
    ASSERT_NE(nullptr, toolbar);
    EXPECT_EQ(901, toolbar->type);
    EXPECT_STREQ("Sample Browser Helper", toolbar->title);
    EXPECT_STRCASEEQ(dll.c_str(), toolbar->path);
    EXPECT_EQ(TestClass(5), toolbar->detail);
    EXPECT_STREQ("3.1.0.7", toolbar->info);

    const Item *button = FindRecord(TestClass(6));
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(902, button->type);
    EXPECT_STREQ("Research Pane", button->title);
    EXPECT_STREQ("C:\\nowhere\\pane.exe", button->path);
    EXPECT_STREQ("C:\\nowhere\\pane.ico", button->info);
    EXPECT_EQ(TestClass(6), button->detail);

    const Item *related = FindRecord(TestClass(7));
    ASSERT_NE(nullptr, related);
    EXPECT_STREQ("Related", related->title);
    EXPECT_STREQ("C:\\nowhere\\related.htm", related->path) << "the script stands in for a missing Exec";
    EXPECT_STREQ("C:\\nowhere\\related.htm", related->info) << "no HotIcon: the path";

    EXPECT_EQ(nullptr, FindRecord(TestClass(8))) << "a button without text is not listed";

    // Browser helper objects, then toolbars, then buttons.
    EXPECT_LT(IndexOf(plain), IndexOf(toolbar));
    EXPECT_LT(IndexOf(toolbar), IndexOf(button));
    for (int i = 1; i < count; i++) EXPECT_LE(GetItemType(i - 1), GetItemType(i));
}

TEST_F(IEHelpersTest, HostileRegistrationsAreListedSafelyOrSkipped)
{
    // A class id without braces, whose class is registered with them.
    std::string bare = TestClass(11).substr(1, 36);
    plant.Class(TestClass(11), "C:\\nowhere\\bare.dll");
    plant.Bho(bare);
    // A subkey name of 255 characters.
    std::string longName = "{A11CE" + std::string(248, 'L') + "}";
    ASSERT_EQ(255u, longName.size());
    plant.Class(longName, "C:\\nowhere\\long name.dll");
    plant.Bho(longName);
    // A server path of 300 characters, and a server that is a number.
    plant.Class(TestClass(12), "C:\\" + std::string(292, 'p') + ".dll");
    plant.Bho(TestClass(12));
    plant.Class(TestClass(13), "", REG_DWORD);
    plant.Bho(TestClass(13));
    // A toolbar value whose name is no class id at all.
    plant.Toolbar("..\\Toolbar");
    // A button text with TAB, CR, LF, markup and printf sequences; numbers
    // where text belongs.
    std::string text = "Tab\there\r\nnew <script>alert(1)</script> %s%n";
    plant.Extension(TestClass(14), text, "", "C:\\nowhere\\x.htm");
    plant.ExtensionValue(TestClass(14), "Exec", 1);
    plant.ExtensionValue(TestClass(14), "HotIcon", 2);
    plant.Extension(TestClass(15), "", "C:\\nowhere\\y.exe");
    plant.ExtensionValue(TestClass(15), "ButtonText", 3);

    EnumerateIEHelpers();
    const Item *braceless = FindRecord(bare);
    ASSERT_NE(nullptr, braceless);
    EXPECT_STREQ("C:\\nowhere\\bare.dll", braceless->path);
    const Item *longOne = FindRecord(longName);
    ASSERT_NE(nullptr, longOne);
    EXPECT_EQ(longName, longOne->detail);
    EXPECT_STREQ("long name.dll", longOne->title);
    EXPECT_EQ(nullptr, FindRecord(TestClass(12))) << "a server path no program can load";
    EXPECT_EQ(nullptr, FindRecord(TestClass(13)));
    const Item *odd = FindRecord("..\\Toolbar");
    ASSERT_NE(nullptr, odd);
    EXPECT_STREQ("", odd->path) << "a name with a backslash is not looked up as a class";
    EXPECT_STREQ("..\\Toolbar", odd->title);
    const Item *marked = FindRecord(TestClass(14));
    ASSERT_NE(nullptr, marked);
    EXPECT_STREQ("Tab here  new <script>alert(1)</script> %s%n", marked->title);
    EXPECT_STREQ("C:\\nowhere\\x.htm", marked->path);
    EXPECT_STREQ("C:\\nowhere\\x.htm", marked->info);
    EXPECT_EQ(nullptr, FindRecord(TestClass(15)));

    // Removal of each: its own registration only, one well-formed line each.
    Item copies[3] = {};
    ASSERT_TRUE(CopyItemRecord(&copies[0], longOne));
    ASSERT_TRUE(CopyItemRecord(&copies[1], odd));
    ASSERT_TRUE(CopyItemRecord(&copies[2], marked));
    FreeItems();
    for (Item &copy : copies) {
        EXPECT_EQ(1, RemoveIEHelperEntry(&copy)) << copy.name;
        EXPECT_EQ(0, IEHelperRegistered(&copy)) << copy.name;
        ReleaseItemCopy(&copy);
    }
    EXPECT_FALSE(BhoExists(longName));
    EXPECT_FALSE(ToolbarExists("..\\Toolbar"));
    EXPECT_FALSE(ExtensionExists(TestClass(14)));
    EXPECT_TRUE(BhoExists(bare));
    auto lines = HistoryFields({"IEHELPER_Remove"});
    ASSERT_EQ(3u, lines.size());
    for (const auto &fields : lines) EXPECT_EQ(6u, fields.size());
    auto button = HistoryFields({"IEHELPER_Remove", "TYPE_EXTENSION"});
    ASSERT_EQ(1u, button.size());
    EXPECT_EQ("x.htm", button[0][3]);
    EXPECT_EQ("SOFTWARE\\Microsoft\\Internet Explorer\\Extensions\\" + TestClass(14), button[0][5]);
}

// One DLL registered both as a helper object and as a toolbar: removing it
// removes each registration by its own kind, and regsvr32 reaches the file
// although its path has blanks.
TEST_F(IEHelpersTest, RemovingADllRemovesEachOfItsRegistrationsAndUnregistersIt)
{
    // A server in a folder no ANSI code page holds.
    std::string dll = RegisteredSample(u8"Оба вида 更新");
    plant.Bho(kSampleClass);
    plant.Toolbar(kSampleClass);
    plant.Class(TestClass(21), "C:\\nowhere\\other.dll");
    plant.Bho(TestClass(21));

    EnumerateIEHelpers();
    const Item *bho = FindRecord(kSampleClass, 900);
    ASSERT_NE(nullptr, bho);
    ASSERT_NE(nullptr, FindRecord(kSampleClass, 901));
    EXPECT_EQ(0, RemoveIEHelper("C:\\elsewhere\\sample helper.dll", IndexOf(bho)))
        << "a record that is no longer the helper meant is left alone";
    EXPECT_EQ(2, RemoveIEHelper(bho->path, IndexOf(bho)));

    EXPECT_FALSE(BhoExists(kSampleClass));
    EXPECT_FALSE(ToolbarExists(kSampleClass));
    EXPECT_TRUE(BhoExists(TestClass(21)));
    EXPECT_TRUE(test::WaitUntil([] { return !SampleRegistered(); }, 20000)) << "regsvr32 /u did not reach the DLL";
    EXPECT_TRUE(test::FileExistsAt(dll)) << "the file stays";

    auto bhoLine = HistoryFields({"IEHELPER_Remove", "TYPE_BHO"});
    auto toolbarLine = HistoryFields({"IEHELPER_Remove", "TYPE_TOOLBAR"});
    ASSERT_EQ(1u, bhoLine.size());
    ASSERT_EQ(1u, toolbarLine.size());
    EXPECT_EQ("sample helper.dll", bhoLine[0][3]);
    EXPECT_TRUE(TextEqualNoCase(dll.c_str(), bhoLine[0][4].c_str())) << bhoLine[0][4];
    EXPECT_EQ(std::string(kBho) + "\\" + kSampleClass, bhoLine[0][5]);
    EXPECT_EQ(std::string(kToolbar) + "\\" + kSampleClass, toolbarLine[0][5]);
    EXPECT_EQ(2u, HistoryFields({"IEHELPER_Remove"}).size());
}

TEST_F(IEHelpersTest, NewHelperAlertsYesApprovesItAndNoRemovesItsTwin)
{
    std::string dll = RegisteredSample("Approved");
    plant.Bho(kSampleClass);

    CheckAnswering({{kNewProgram, IDYES}});
    const Seen &seen = driver->seen(0);
    EXPECT_EQ("Sample Browser Helper", seen.fields.at(IDC_ALERT_NAME));
    EXPECT_STRCASEEQ(dll.c_str(), seen.fields.at(IDC_ALERT_COMMAND).c_str());
    EXPECT_NE(std::string::npos, seen.fields.at(IDC_ALERT_MESSAGE).find("Internet Explorer Add-On"));
    EXPECT_EQ("Orvendale Samples", seen.fields.at(IDC_ALERT_COMPANY));
    EXPECT_EQ("900", test::Value(HKEY_CURRENT_USER, kHelperBaseline, "Sample Browser Helper"));
    EXPECT_EQ("Sample Browser Helper", test::Value(HKEY_CURRENT_USER, kKnown, std::string("900:") + kSampleClass));
    EXPECT_EQ(1, CountHistory({"IEHELPER_Alert", "Sample Browser Helper"}));
    EXPECT_FALSE(test::ValueNames(HKEY_CURRENT_USER, "Software\\Orvendale\\Detected\\IEHelper").empty());
    CheckSilently();

    // Another helper with the same title is not approved by the first one's
    // approval; rejecting it leaves the first approved.
    std::string twin = SampleCopy("Twin", "twin helper.dll");
    plant.Class(TestClass(31), twin);
    plant.Bho(TestClass(31));
    CheckAnswering({{kNewProgram, IDNO}});
    EXPECT_FALSE(BhoExists(TestClass(31)));
    EXPECT_TRUE(BhoExists(kSampleClass));
    EXPECT_EQ(1, CountHistory({"IEHELPER_Remove", "twin helper.dll"}));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kHelperBaseline, "Sample Browser Helper"));
    CheckSilently();

    // A changed title is a new helper.
    plant.Class(kSampleClass, "C:\\nowhere\\changed.dll");
    CheckAnswering({{kNewProgram, IDYES}});
    EXPECT_EQ("changed.dll", driver->seen(0).fields.at(IDC_ALERT_NAME));
}

TEST_F(IEHelpersTest, HiddenAlertsRemoveWithoutAskingAndOffChecksNothing)
{
    plant.Class(TestClass(41), "C:\\nowhere\\quiet.dll");
    plant.Bho(TestClass(41));
    settings.ieHelpers = 0;
    CheckSilently();
    EXPECT_EQ(0, CheckIEHelpers());
    EXPECT_TRUE(BhoExists(TestClass(41)));

    settings.ieHelpers = 2;
    settings.hideAlerts = 2;
    test::WriteString(HKEY_CURRENT_USER, kHelperBaseline, "quiet.dll", "0");
    CheckSilently();
    EXPECT_FALSE(BhoExists(TestClass(41)));
    EXPECT_EQ(1, CountHistory({"IEHELPER_Remove", "quiet.dll"}));
    EXPECT_EQ(0, CountHistory({"IEHELPER_Alert"}));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kHelperBaseline, "quiet.dll"));
}

// The item list emptied and refilled while an alert is open (as the delayed
// start launcher or a real-time notice may do): the answer still reaches the
// helper that was shown, and the rest of the list is still checked.
TEST_F(IEHelpersTest, AListRefilledDuringAnAlertLosesNoDecision)
{
    plant.Class(TestClass(51), "C:\\nowhere\\first.dll");
    plant.Bho(TestClass(51));
    plant.Class(TestClass(52), "C:\\nowhere\\second.dll");
    plant.Bho(TestClass(52));
    UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
        FreeItems();
        AddItem("Somebody else", "C:\\nowhere\\else.exe", "", "", 11, 0);
    });
    CheckAnswering({{kNewProgram, IDNO}, {kNewProgram, IDYES}});
    KillTimer(nullptr, timer);
    std::string first = driver->seen(0).fields.at(IDC_ALERT_NAME);
    EXPECT_EQ("first.dll", first);
    EXPECT_EQ("second.dll", driver->seen(1).fields.at(IDC_ALERT_NAME));
    EXPECT_FALSE(BhoExists(TestClass(51)));
    EXPECT_TRUE(BhoExists(TestClass(52)));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kHelperBaseline, "second.dll"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kKnown, "900:" + TestClass(52)));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kHelperBaseline, ""));
}

// The real monitor: a helper planted while it runs raises the alert after a
// real-time notice; No removes and unregisters it, Yes approves it, and
// with "HideAlerts" at 2 a new helper goes without a word.
TEST(IEHelperMonitor, TheMonitorAlertsRemovesApprovesAndRemovesSilently)
{
    std::string folder = test::MonitorFolder("IEHelperMonitor");
    ASSERT_FALSE(folder.empty());
    test::SetOptions({{"Start", "0"}, {"HideWuffin", "1"}});
    Planter plant;
    std::string dll = SampleCopy("Monitor");

    test::Program monitor;
    HWND window = nullptr;
    ASSERT_TRUE(test::StartMonitorUp(folder, &monitor, &window, kWait));

    // A real-time notice makes the check due at once when the number of
    // running programs changed since the last one.
    test::Program extra;
    auto notice = [&] {
        if (extra.process) {
            test::Stop(extra);
        } else {
            extra = test::Start(test::BuildFolder(), "alert_sample.exe", "-stay");
        }
        PostMessageA(window, 9024, 0, 0);
    };
    auto history = [&] {
        std::string text;
        test::ReadFile(folder + "\\history.txt", &text);
        return text;
    };

    ASSERT_TRUE(RunRegsvr32(dll, false));
    plant.Bho(kSampleClass);
    notice();
    HWND alert = WaitForAlert(kNewProgram, 75000, window);
    ASSERT_NE(nullptr, alert) << "no alert from the monitor's patrol";
    EXPECT_EQ("Sample Browser Helper", ControlText(alert, IDC_ALERT_NAME));
    EXPECT_TRUE(AnswerAlert(alert, IDNO));
    EXPECT_TRUE(test::WaitUntil([] { return !BhoExists(kSampleClass); }, kWait));
    EXPECT_TRUE(test::WaitUntil([] { return !SampleRegistered(); }, kWait)) << "the DLL was not unregistered";
    EXPECT_TRUE(test::WaitUntil([&] { return history().find("IEHELPER_Remove") != std::string::npos; }, kWait))
        << history();
    EXPECT_NE(std::string::npos, history().find("IEHELPER_Alert"));

    ASSERT_TRUE(RunRegsvr32(dll, false));
    plant.Bho(kSampleClass);
    notice();
    alert = WaitForAlert(kNewProgram, 75000, window);
    ASSERT_NE(nullptr, alert);
    EXPECT_TRUE(AnswerAlert(alert, IDYES));
    std::string value;
    EXPECT_TRUE(test::WaitUntil(
        [&] { return test::ReadString(HKEY_CURRENT_USER, kHelperBaseline, "Sample Browser Helper", &value); }, kWait));
    EXPECT_EQ("900", value);
    EXPECT_TRUE(BhoExists(kSampleClass));

    // "HideAlerts" reaches the running monitor with the next notice.
    test::SetOptions({{"HideAlerts", "2"}, {"Update", "1"}});
    plant.Class(TestClass(61), "C:\\nowhere\\silent helper.dll");
    plant.Bho(TestClass(61));
    notice();
    EXPECT_TRUE(test::WaitUntil([] { return !BhoExists(TestClass(61)); }, 75000));
    EXPECT_EQ(nullptr, FindWindowA("#32770", kNewProgram));
    EXPECT_TRUE(test::WaitUntil([&] { return history().find("silent helper.dll") != std::string::npos; }, kWait));
    EXPECT_TRUE(BhoExists(kSampleClass)) << "the approved helper stays";

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::Stop(extra);
    plant.Clear();
    RunRegsvr32(dll, true);
    test::ResetSentrelRegistry();
}

// A 32-bit browser's helper lives in the 32-bit view with its class there:
// it is listed as such and removed in that view only.
TEST_F(IEHelpersTest, AHelperOfThe32BitViewIsListedAndRemovedThere)
{
    const std::string id = TestClass(32);
    const std::string dll = "C:\\nowhere\\helper32.dll";
    auto create = [](HKEY root, const std::string &path, const char *name, const std::string &data) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                                 nullptr, &key, nullptr));
        if (name) RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)data.c_str(), (DWORD)data.size() + 1);
        RegCloseKey(key);
    };
    create(HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InprocServer32", "", dll);
    create(HKEY_LOCAL_MACHINE, std::string(kBho) + "\\" + id, nullptr, "");
    EXPECT_FALSE(BhoExists(id)) << "not in the native view";

    EnumerateIEHelpers();
    const Item *bho = FindRecord(id, 900);
    ASSERT_NE(nullptr, bho);
    EXPECT_EQ(VIEW_32, bho->view);
    EXPECT_STREQ("helper32.dll", bho->title);
    EXPECT_EQ(1, RemoveIEHelper(bho->path, IndexOf(bho)));
    HKEY key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kBho) + "\\" + id).c_str(), 0,
                                           KEY_READ | KEY_WOW64_32KEY, &key));
    EXPECT_EQ(1u, HistoryFields({"IEHELPER_Remove", "TYPE_BHO_32", id}).size());
    HKEY classes;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &classes) == ERROR_SUCCESS) {
        RegDeleteTreeA(classes, id.c_str());
        RegCloseKey(classes);
    }
}
