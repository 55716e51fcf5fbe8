// The 32-bit registry view of 64-bit Windows: what a 32-bit program
// registers under HKLM Software is listed, changed and approved in that
// view, apart from the program's own view.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "history.h"
#include "items.h"
#include "options.h"
#include "platform.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "store.h"
#include "test_support.h"
#include "ui_strings.h"

namespace {
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kDelayLoad[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char kBaseline[] = "Software\\Orvendale\\Sentrel\\Run";
const char kDisabled[] = "Software\\Orvendale\\Sentrel\\Disabled";
const char kClass[] = "{5E2B1C3A-7D4F-4E11-9A0B-3C2D1E0F9A32}";

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

class StartupViews : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        settings = Settings();
        Clean();
    }
    void TearDown() override
    {
        PretendRegistryViews(-1);
        PretendPlatform(0, 0);
        FreeItems();
        Clean();
        CoUninitialize();
    }
    static void Clean()
    {
        Delete32Tree(kRun);
        Delete32Tree(kDelayLoad);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kRun);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kDelayLoad);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClass + "\\InprocServer32").c_str(),
                        KEY_WOW64_32KEY, 0);
        RegDeleteKeyExA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClass).c_str(), KEY_WOW64_32KEY, 0);
        test::ResetSentrelRegistry();
        DeleteFileA((test::BuildFolder() + "\\history.txt").c_str());
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
    std::string text;
    ASSERT_TRUE(test::ReadString(HKEY_LOCAL_MACHINE, kRun, "Twin", &text));
    EXPECT_EQ("C:\\x64\\twin.exe", text);

    // The history says which view changed, and reads back with it.
    std::string history;
    test::ReadFile(test::BuildFolder() + "\\history.txt", &history);
    EXPECT_NE(std::string::npos, history.find("\t*START_Remove\tMACHINE_RUN_32\tTwin\tC:\\x86\\twin.exe\t")) << history;
    EXPECT_EQ(1 | HISTORY_VIEW_32, HistoryTypeCode("MACHINE_RUN_32"));
    EXPECT_STREQ("MACHINE_RUN_32", HistoryTypeName(1 | HISTORY_VIEW_32));
    EXPECT_STREQ("MACHINE_RUN", HistoryTypeName(1));
}

// A class registered by a 32-bit program is looked up in the 32-bit view.
TEST_F(StartupViews, ExtensionPointsAreReadInBothViews)
{
    std::string key = std::string("CLSID\\") + kClass;
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &handle, nullptr));
    const char server[] = "C:\\x86\\hook32.dll";
    RegSetValueExA(handle, "", 0, REG_SZ, (const BYTE *)server, sizeof server);
    RegCloseKey(handle);
    ASSERT_TRUE(Write32(kDelayLoad, "Hook32", REG_SZ, std::string(kClass) + '\0'));

    BuildStartupList(0);
    int index = Find(ITEM_DELAYLOAD, VIEW_32, "Hook32");
    ASSERT_GE(index, 0);
    EXPECT_STRCASEEQ(server, GetItemPath(index));

    // Removal (after its question) reaches the 32-bit value only.
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kDelayLoad, "Hook32", kClass));
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
