// The 32-bit registry view of 64-bit Windows: what a 32-bit program
// registers under HKLM Software is listed, changed and approved in that
// view, apart from the program's own view.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "always_run.h"
#include "baselines.h"
#include "history.h"
#include "items.h"
#include "location_words.h"
#include "options.h"
#include "platform.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "startup_locations.h"
#include "store.h"
#include "test_support.h"
#include "ui_strings.h"

using namespace test::keys;

namespace {
const char kServerClass[] = "{5E2B1C3A-7D4F-4E11-9A0B-3C2D1E0F9A32}";

bool Write32(const char *path, const std::string &name, DWORD type, const std::string &data)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name.c_str(), 0, type, (const BYTE *)data.c_str(), (DWORD)data.size());
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string Read32(const char *path, const std::string &name, DWORD *type = nullptr)
{
    StoreBlob blob;
    if (!StoreReadBlob(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, path, name.c_str(), &blob)) return "<missing>";
    std::string data((const char *)blob.data, blob.size);
    if (type) *type = blob.type;
    StoreFreeBlob(&blob);
    return data;
}

void Delete32Tree(const char *path)
{
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY, 0);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        char name[512];
        for (DWORD len = sizeof name; RegEnumValueA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr) == 0;
             len = sizeof name)
            RegDeleteValueA(key, name);
        RegCloseKey(key);
    }
}

// The index of the record of type, view and exact name; -1 when absent.
int Find(int type, int view, const std::string &name, bool disabled = false)
{
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        if (item->type == type && item->view == view && name == item->name && (item->disabled != 0) == disabled)
            return i;
    }
    return -1;
}

class StartupViews : public test::StartupLocationsTest {
protected:
    void TearDown() override
    {
        PretendRegistryViews(-1);
        PretendPlatform(0, 0);
        StartupLocationsTest::TearDown();
    }
    void Clean() override
    {
        Delete32Tree(kRun);
        Delete32Tree(kDelayLoad);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kRun);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kDelayLoad);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kServerClass + "\\InprocServer32").c_str(),
                        KEY_WOW64_32KEY, 0);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kServerClass).c_str(), KEY_WOW64_32KEY, 0);
        test::ResetSentrelRegistry();
        test::ClearHistory();
    }
    // Copies the record at index, toggles or deletes it, releases the copy.
    static int Toggle(int index)
    {
        Item copy = {};
        if (index < 0 || !CopyItemRecord(&copy, GetItem(index))) return -1;
        int result = ToggleStartupEntry(StartupRefOf(copy));
        ReleaseItemCopy(&copy);
        return result;
    }
    static int Delete(int index)
    {
        Item copy = {};
        if (index < 0 || !CopyItemRecord(&copy, GetItem(index))) return -1;
        int result = DeleteStartupEntry(StartupRefOf(copy));
        ReleaseItemCopy(&copy);
        return result;
    }
};
}  // namespace

TEST_F(StartupViews, An32BitEntryIsListedChangedAndApprovedInItsOwnView)
{
    ASSERT_EQ(1, HasRegistryViews()) << "the test prefix is 64-bit Windows";
    const std::string data = std::string("\"C:\\Program Files (x86)\\Old\\old.exe\" /tray") + '\0';
    ASSERT_TRUE(Write32(kRun, "Old32", REG_SZ, data));
    ASSERT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Old32")) << "the views are apart";

    BuildStartupList(0);
    int index = Find(1, VIEW_32, "Old32");
    ASSERT_GE(index, 0);
    EXPECT_EQ(-1, Find(1, VIEW_NATIVE, "Old32"));
    char location[512];
    DescribeLocation(index, 0, location, sizeof location);
    EXPECT_NE(nullptr, strstr(location, "(32-bit)")) << location;

    // Disable and enable: byte for byte in the 32-bit view, nothing in the other.
    ASSERT_EQ(1, Toggle(index));
    EXPECT_EQ("<missing>", Read32(kRun, "Old32"));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Old32"));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kDisabled, "@1/32:Old32"));
    BuildStartupList(0);
    index = Find(1, VIEW_32, "Old32", true);
    ASSERT_GE(index, 0) << "listed as disabled, still of the 32-bit view";
    ASSERT_EQ(1, Toggle(index));
    DWORD type = 0;
    EXPECT_EQ(data, Read32(kRun, "Old32", &type));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Old32"));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());

    // Approving the command in one view leaves the other to be asked about.
    BuildStartupList(0);
    index = Find(1, VIEW_32, "Old32");
    char baseline[PATH_SIZE];
    StartupBaselineNameIn(VIEW_32, GetItemPath(index), baseline);
    EXPECT_EQ(0, strncmp(baseline, STARTUP_BASELINE_32, strlen(STARTUP_BASELINE_32)));
    char native[PATH_SIZE];
    StartupBaselineName(GetItemPath(index), native);
    EXPECT_STRNE(native, baseline);
}

TEST_F(StartupViews, TheSameNameInBothViewsIsTwoEntries)
{
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Twin", "C:\\x64\\twin.exe"));
    ASSERT_TRUE(Write32(kRun, "Twin", REG_SZ, std::string("C:\\x86\\twin.exe") + '\0'));
    BuildStartupList(0);
    int native = Find(1, VIEW_NATIVE, "Twin"), view32 = Find(1, VIEW_32, "Twin");
    ASSERT_GE(native, 0);
    ASSERT_GE(view32, 0);

    // Disabling both keeps two marks; removing the 32-bit one leaves the other.
    ASSERT_EQ(1, Toggle(native));
    BuildStartupList(0);
    ASSERT_EQ(1, Toggle(Find(1, VIEW_32, "Twin")));
    BuildStartupList(0);
    ASSERT_GE(Find(1, VIEW_NATIVE, "Twin", true), 0);
    ASSERT_GE(Find(1, VIEW_32, "Twin", true), 0);
    ASSERT_EQ(1, Toggle(Find(1, VIEW_NATIVE, "Twin", true)));
    ASSERT_EQ(1, Toggle(Find(1, VIEW_32, "Twin", true)));
    BuildStartupList(0);
    ASSERT_EQ(1, Delete(Find(1, VIEW_32, "Twin")));
    EXPECT_EQ("<missing>", Read32(kRun, "Twin"));
    EXPECT_EQ("C:\\x64\\twin.exe", test::Value(HKEY_LOCAL_MACHINE, kRun, "Twin"));

    // The history says which view changed, and reads back with it.
    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos, history.find("\t*START_Remove\tMACHINE_RUN_32\tTwin\tC:\\x86\\twin.exe\t")) << history;
    EXPECT_EQ(1 | HISTORY_VIEW_32, HistoryTypeCode("MACHINE_RUN_32"));
    EXPECT_STREQ("MACHINE_RUN_32", HistoryTypeName(1 | HISTORY_VIEW_32));
    EXPECT_STREQ("MACHINE_RUN", HistoryTypeName(1));
}

// A class registered by a 32-bit program is looked up in the 32-bit view.
TEST_F(StartupViews, ExtensionPointsAreReadInBothViews)
{
    std::string key = std::string("CLSID\\") + kServerClass;
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &handle, nullptr));
    const char server[] = "C:\\x86\\hook32.dll";
    RegSetValueExA(handle, "", 0, REG_SZ, (const BYTE *)server, sizeof server);
    RegCloseKey(handle);
    ASSERT_TRUE(Write32(kDelayLoad, "Hook32", REG_SZ, std::string(kServerClass) + '\0'));

    BuildStartupList(0);
    int index = Find(ITEM_DELAYLOAD, VIEW_32, "Hook32");
    ASSERT_GE(index, 0);
    EXPECT_STRCASEEQ(server, GetItemPath(index));

    // Removal (after its question) reaches the 32-bit value only.
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kDelayLoad, "Hook32", kServerClass));
    std::thread presser([] {
        HWND box = test::WaitForWindow("#32770", "Sentrel", 10000);
        if (box) test::PressButton(box, IDYES);
    });
    Item copy = {};
    ASSERT_TRUE(CopyItemRecord(&copy, GetItem(index)));
    RemoveKeyLocationEntry(nullptr, StartupRefOf(copy));
    ReleaseItemCopy(&copy);
    presser.join();
    EXPECT_EQ("<missing>", Read32(kDelayLoad, "Hook32"));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kDelayLoad, "Hook32"));
}

// 32-bit Windows and Windows 9x have one view: nothing else is read.
TEST_F(StartupViews, OneViewSystemsListAsBefore)
{
    ASSERT_TRUE(Write32(kRun, "Only32", REG_SZ, std::string("C:\\x86\\only.exe") + '\0'));
    PretendRegistryViews(0);
    BuildStartupList(0);
    EXPECT_EQ(-1, Find(1, VIEW_32, "Only32"));
    PretendRegistryViews(-1);
    PretendPlatform(1, 4);
    EXPECT_EQ(0, HasRegistryViews());
    BuildStartupList(0);
    EXPECT_EQ(-1, Find(1, VIEW_32, "Only32"));
    PretendPlatform(0, 0);
    BuildStartupList(0);
    EXPECT_GE(Find(1, VIEW_32, "Only32"), 0);
}

// The places few people look at: an image's debugger (both views), its
// silent-exit monitor, Active Setup's StubPath, BootExecute beyond the disk
// check and Winlogon's other values are listed by their own names; a
// removal takes exactly that value or piece, and the history's way back
// writes it where it was.
TEST_F(StartupViews, StartupHooksAreListedAndRemovedExactly)
{
    const char ifeoKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
    const char ifeo[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\sethc.exe";
    const char silent[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit\\notepad.exe";
    const char setupKey[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
    const char setup[] = "SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{7A1B2C3D-0000-4000-8000-00000000AB01}";
    const char guid[] = "{7A1B2C3D-0000-4000-8000-00000000AB01}";
    const char session[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const char winlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, ifeo, "Debugger", "C:\\evil\\dbg.exe"));
    ASSERT_TRUE(test::WriteDword(HKEY_LOCAL_MACHINE, ifeo, "GlobalFlag", 0x200));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, silent, "MonitorProcess", "C:\\evil\\watch.exe -w"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, setup, "", "Orbit Component"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, setup, "StubPath", "C:\\evil\\stub.exe /s"));
    // A key Windows keeps apart in the 32-bit view is read there too.
    bool twoViews = HasRegistryViews() && !StoreKeyIsShared(HKEY_LOCAL_MACHINE, setupKey);
    if (twoViews) {
        ASSERT_TRUE(Write32(setup, "StubPath", REG_SZ, std::string("C:\\evil\\stub32.exe") + '\0'));
    }
    // The prefix's own BootExecute is put back at the end.
    StoreBlob oldBoot = {};
    int hadBoot = StoreReadBlob(HKEY_LOCAL_MACHINE, 0, session, "BootExecute", &oldBoot);
    const std::string pieces = std::string("autocheck autochk *") + '\0' + "evilboot -x" + '\0' + "second" + '\0' + '\0';
    ASSERT_TRUE(test::WriteValue(HKEY_LOCAL_MACHINE, session, "BootExecute", REG_MULTI_SZ, pieces.data(), (DWORD)pieces.size()));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, winlogon, "Taskman", "C:\\evil\\tm.exe"));

    BuildStartupList(0);
    int debugger = Find(ITEM_IFEO_DEBUGGER, VIEW_NATIVE, "sethc.exe");
    ASSERT_GE(debugger, 0);
    EXPECT_STREQ("C:\\evil\\dbg.exe", GetItemPath(debugger));
    ASSERT_GE(Find(ITEM_SILENT_EXIT_MONITOR, VIEW_NATIVE, "notepad.exe"), 0);
    int component = Find(ITEM_ACTIVE_SETUP, VIEW_NATIVE, guid);
    ASSERT_GE(component, 0);
    EXPECT_STREQ("Orbit Component", GetItemTitle(component));
    if (twoViews) {
        ASSERT_GE(Find(ITEM_ACTIVE_SETUP, VIEW_32, guid), 0);
        EXPECT_STREQ("C:\\evil\\stub32.exe", GetItemPath(Find(ITEM_ACTIVE_SETUP, VIEW_32, guid)));
    }
    EXPECT_EQ(-1, Find(ITEM_BOOT_EXECUTE, VIEW_NATIVE, "autocheck autochk *")) << "the disk check is Windows' own";
    ASSERT_GE(Find(ITEM_BOOT_EXECUTE, VIEW_NATIVE, "evilboot -x"), 0);
    ASSERT_GE(Find(ITEM_WINLOGON_VALUE, VIEW_NATIVE, "Taskman"), 0);
    char place[512];
    DescribeEntryPlace(GetItem(debugger), place, sizeof place);
    EXPECT_STREQ("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\sethc.exe, "
                 "value \"Debugger\"",
                 place);
    (void)ifeoKey;

    // Each removal takes exactly its own value or piece.
    int setupView = twoViews ? VIEW_32 : VIEW_NATIVE;
    for (int type : {ITEM_IFEO_DEBUGGER, ITEM_ACTIVE_SETUP, ITEM_BOOT_EXECUTE}) {
        BuildStartupList(0);
        int index = type == ITEM_IFEO_DEBUGGER ? Find(type, VIEW_NATIVE, "sethc.exe")
                    : type == ITEM_ACTIVE_SETUP ? Find(type, setupView, guid)
                                                : Find(type, VIEW_NATIVE, "evilboot -x");
        ASSERT_GE(index, 0) << type;
        EXPECT_EQ(1, Delete(index)) << type;
    }
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "Debugger"));
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, ifeo, "GlobalFlag")) << "the key's other values stay";
    if (twoViews) {
        EXPECT_EQ("<missing>", Read32(setup, "StubPath"));
        EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, setup, "StubPath")) << "the other view's command stays";
    } else {
        EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, setup, "StubPath"));
    }
    std::string text;
    EXPECT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, setup, "", &text));
    StoreBlob boot;
    ASSERT_TRUE(StoreReadBlob(HKEY_LOCAL_MACHINE, 0, session, "BootExecute", &boot));
    EXPECT_EQ(std::string("autocheck autochk *") + '\0' + "second" + '\0' + '\0',
              std::string((const char *)boot.data, boot.size));
    StoreFreeBlob(&boot);
    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos, history.find("\t*START_Remove\tREG_IFEO_Debugger\tsethc.exe\tC:\\evil\\dbg.exe\t"))
        << history;
    EXPECT_NE(std::string::npos, history.find("\t*START_Remove\tREG_BootExecute\tevilboot -x\tevilboot -x\t")) << history;

    // The way back writes the value where it was, never over one.
    EXPECT_EQ(1, PutBackStartupEntry(VIEW_NATIVE, "sethc.exe", "C:\\evil\\dbg.exe", "", ITEM_IFEO_DEBUGGER));
    EXPECT_EQ("C:\\evil\\dbg.exe", test::Value(HKEY_LOCAL_MACHINE, ifeo, "Debugger"));
    EXPECT_EQ(0, PutBackStartupEntry(VIEW_NATIVE, "sethc.exe", "C:\\other.exe", "", ITEM_IFEO_DEBUGGER));
    EXPECT_EQ(0, PutBackStartupEntry(VIEW_NATIVE, "..\\x", "C:\\other.exe", "", ITEM_IFEO_DEBUGGER));

    test::DeleteTree(HKEY_LOCAL_MACHINE, ifeo);
    test::DeleteTree(HKEY_LOCAL_MACHINE, silent);
    test::DeleteTree(HKEY_LOCAL_MACHINE, setup);
    if (twoViews) Delete32Tree(setup);
    if (hadBoot) {
        StoreWriteBlob(HKEY_LOCAL_MACHINE, 0, session, "BootExecute", &oldBoot);
        StoreFreeBlob(&oldBoot);
    } else {
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, session, "BootExecute");
    }
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, winlogon, "Taskman");
}

// An update that reads new places takes what is there as approved, once;
// what comes after is new.
TEST_F(StartupViews, NewPlacesAreBaselinedOnceForAnUpdate)
{
    const char ifeo[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\calc.exe";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, ifeo, "Debugger", "C:\\old\\dbg.exe"));
    ASSERT_FALSE(test::PlantTask("\\Old Task", test::TaskXml("C:\\old\\task.exe", "")).empty());
    BaselineNewPlaces();
    char name[PATH_SIZE];
    StartupBaselineNameIn(VIEW_NATIVE, "C:\\old\\dbg.exe", name);
    EXPECT_EQ(ITEM_IFEO_DEBUGGER, StartupBaselineStatus(name));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Tasks2", "\\Old Task"));

    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, ifeo, "Debugger", "C:\\new\\dbg.exe"));
    ASSERT_FALSE(test::PlantTask("\\New Task", test::TaskXml("C:\\new\\task.exe", "")).empty());
    BaselineNewPlaces();
    StartupBaselineNameIn(VIEW_NATIVE, "C:\\new\\dbg.exe", name);
    EXPECT_EQ(STARTUP_STATUS_MISSING, StartupBaselineStatus(name)) << "asked about, not approved";
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Tasks2", "\\New Task"));
    test::DeleteTree(HKEY_LOCAL_MACHINE, ifeo);
    test::RemovePlantedTask("\\Old Task");
    test::RemovePlantedTask("\\New Task");
}
