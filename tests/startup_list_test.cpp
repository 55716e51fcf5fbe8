// The startup list over every kind of location, against real keys, win.ini
// and shortcut files of the test prefix.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items.h"
#include "location_words.h"
#include "options.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "startup_locations.h"
#include "store.h"
#include "test_support.h"

using namespace test::keys;

namespace {
const char kHklmRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char kPolicyRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run";

struct Found {
    std::string title, path, detail;
    int type, qualifier;
};

std::vector<Found> Items()
{
    std::vector<Found> out;
    for (int i = 0; i < ItemCount(); i++)
        out.push_back({GetItemTitle(i), GetItemPath(i), GetItemDetail(i), GetItemType(i),
                       GetItemQualifier(i)});
    return out;
}

const Found *FindByTitle(const std::vector<Found> &items, const std::string &title)
{
    for (const Found &f : items)
        if (f.title == title) return &f;
    return nullptr;
}

int CountPath(const std::vector<Found> &items, const std::string &path)
{
    int n = 0;
    for (const Found &f : items) n += _stricmp(f.path.c_str(), path.c_str()) == 0;
    return n;
}

void ClearFolder(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::string path = folder + "\\" + found.cFileName;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// Empties every startup location the tests touch.
void CleanLocations()
{
    for (const char *key : {kRun, kHklmRunOnce, kPolicyRun}) {
        test::DeleteTree(HKEY_LOCAL_MACHINE, key);
        test::DeleteTree(HKEY_CURRENT_USER, key);
    }
    test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad");
    test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler");
    test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks");
    test::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify");
    test::WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                      "AppInit_Dlls", "");
    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "explorer.exe");
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_ALL_ACCESS, &key) == 0) {
        RegDeleteValueA(key, "Userinit");
        RegCloseKey(key);
    }
    WriteProfileStringA("windows", "run", nullptr);
    WriteProfileStringA("windows", "load", nullptr);
    std::string folder = test::ShellFolder("Startup");
    if (!folder.empty()) ClearFolder(folder);
    ClearFolder(test::BuildFolder() + "\\Disabled");
    test::ResetSentrelRegistry();
}

class StartupList : public test::StartupLocationsTest {
protected:
    void SetUp() override
    {
        StartupLocationsTest::SetUp();
        programKind = PROGRAM_MONITOR;
    }
    void Clean() override { CleanLocations(); }
};
}  // namespace

TEST_F(StartupList, RunFamilyListsEveryStringValueAndSkipsTheRest)
{
    // Windows starts each of these, so each is listed: one-letter names,
    // short data, names of bytes over 0x7F and the key's default value.
    test::WriteString(HKEY_CURRENT_USER, kRun, "A", "C:\\tools\\one.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Tiny", "a.ex");
    test::WriteString(HKEY_CURRENT_USER, kRun, "\xC3\xA9tude", "C:\\etude.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "", "C:\\default.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Quoted", "\"C:\\Program Files\\Good\\good.exe\" -min");
    // These start nothing.
    test::WriteDword(HKEY_CURRENT_USER, kRun, "Number", 12345);
    const BYTE binary[] = "C:\\binary.exe";
    test::WriteValue(HKEY_CURRENT_USER, kRun, "Binary", REG_BINARY, binary, sizeof binary);
    test::WriteString(HKEY_CURRENT_USER, kRun, "Blank", "  ");
    test::WriteString(HKEY_LOCAL_MACHINE, kHklmRunOnce, "Once", "C:\\once.exe /x");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Applet",
                      "rundll32.exe shell32.dll,Control_RunDLL desk.cpl");

    BuildStartupList(0);
    std::vector<Found> items = Items();
    for (const char *title : {"A", "Tiny", "\xC3\xA9tude", "(Default)"})
        EXPECT_NE(nullptr, FindByTitle(items, title)) << title;
    EXPECT_EQ(nullptr, FindByTitle(items, "Number"));
    EXPECT_EQ(nullptr, FindByTitle(items, "Binary"));
    EXPECT_EQ(nullptr, FindByTitle(items, "Blank"));
    for (int i = 0; i < ItemCount(); i++)
        if (std::string(GetItemTitle(i)) == "(Default)") {
            EXPECT_STREQ("", GetItemName(i)) << "the default value is the entry, not its title";
            EXPECT_EQ(11, GetItemType(i));
        }

    const Found *quoted = FindByTitle(items, "Quoted");
    ASSERT_NE(nullptr, quoted);
    EXPECT_EQ("C:\\Program Files\\Good\\good.exe -min", quoted->path);   // quotes removed
    EXPECT_EQ(11, quoted->type);
    EXPECT_EQ(0, quoted->qualifier);
    const Found *once = FindByTitle(items, "Once");
    ASSERT_NE(nullptr, once);
    EXPECT_EQ(2, once->type);
    const Found *applet = FindByTitle(items, "Applet");
    ASSERT_NE(nullptr, applet);
    EXPECT_EQ(1, applet->qualifier);
}

TEST_F(StartupList, OversizedNamesAndDataAreListedCutNeverSpilled)
{
    // Titles and paths are UTF-8 and cut only at whole characters.
    const size_t title = ITEM_TITLE_SIZE - 1, path = ITEM_PATH_SIZE - 1;
    std::string nameOver(title + 1, 'N'), nameFar(title + 200, 'M'), data5000 = "C:\\" + std::string(4997, 'd');
    std::string pathOver = "C:\\" + std::string(path - 2, 'p');
    std::string cyrillic;
    for (size_t i = 0; i < title; i++) cyrillic += u8"Ж";   // two bytes a character
    test::WriteString(HKEY_CURRENT_USER, kRun, nameOver, "C:\\n128.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, nameFar, "C:\\n300.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, cyrillic, "C:\\cyrillic.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "LongData", data5000);
    test::WriteString(HKEY_CURRENT_USER, kRun, "Exact260", pathOver);
    test::WriteString(HKEY_CURRENT_USER, kRun, "Neighbour", "C:\\neighbour.exe");

    BuildStartupList(0);
    std::vector<Found> items = Items();
    ASSERT_NE(nullptr, FindByTitle(items, std::string(title, 'N')));
    ASSERT_NE(nullptr, FindByTitle(items, std::string(title, 'M')));
    // An odd count of bytes would end inside a character: one byte less.
    ASSERT_NE(nullptr, FindByTitle(items, cyrillic.substr(0, title - 1)));
    const Found *longData = FindByTitle(items, "LongData");
    ASSERT_NE(nullptr, longData);
    EXPECT_EQ(data5000.substr(0, path), longData->path);
    const Found *exact = FindByTitle(items, "Exact260");
    ASSERT_NE(nullptr, exact);
    EXPECT_EQ(path, exact->path.size());
    const Found *neighbour = FindByTitle(items, "Neighbour");
    ASSERT_NE(nullptr, neighbour);
    EXPECT_EQ("C:\\neighbour.exe", neighbour->path);
    EXPECT_TRUE(neighbour->detail.empty());
}

TEST_F(StartupList, TheSameCommandInTwoLocationsIsListedTwice)
{
    // Two entries that Windows starts each: neither may hide behind the other.
    test::WriteString(HKEY_LOCAL_MACHINE, kPolicyRun, "Twice", "C:\\twice.exe");
    test::WriteString(HKEY_CURRENT_USER, kRun, "twice", "c:\\TWICE.exe");
    BuildStartupList(0);
    EXPECT_EQ(2, CountPath(Items(), "C:\\twice.exe"));
}

TEST_F(StartupList, WrittenBackEntriesAreDisabledAgain)
{
    test::WriteString(HKEY_CURRENT_USER, kRun, "Writer", "C:\\writer.exe");
    ASSERT_EQ(1, ToggleStartupEntry("Writer", "C:\\writer.exe", "", 11));
    // The program writes itself back, with a new command, ahead of another entry.
    test::DeleteTree(HKEY_CURRENT_USER, kRun);
    test::WriteString(HKEY_CURRENT_USER, kRun, "Writer", "C:\\writer2.exe -again");
    test::WriteString(HKEY_CURRENT_USER, kRun, "Follower", "C:\\follower.exe");

    BuildStartupList(0);
    std::vector<Found> items = Items();
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Writer"));
    EXPECT_EQ("C:\\writer2.exe -again", test::Value(HKEY_LOCAL_MACHINE, STORE_ROOT "\\Disabled\\Run", "Writer"));
    const Found *writer = FindByTitle(items, "Writer");
    ASSERT_NE(nullptr, writer);   // listed once more, as the disabled entry
    EXPECT_EQ(11, writer->type);
    EXPECT_EQ(1, CountPath(items, "C:\\writer2.exe -again"));
    EXPECT_NE(nullptr, FindByTitle(items, "Follower")) << "the value after it must not be skipped";
}

TEST_F(StartupList, AMarkOfAnotherLocationDoesNotCaptureAnEntry)
{
    test::WriteString(HKEY_CURRENT_USER, kRun, "Updater", "C:\\user\\updater.exe");
    ASSERT_EQ(1, ToggleStartupEntry("Updater", "C:\\user\\updater.exe", "", 11));
    test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Updater", "C:\\machine\\updater.exe");

    BuildStartupList(0);
    EXPECT_TRUE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Updater"));
    EXPECT_EQ(1, CountPath(Items(), "C:\\machine\\updater.exe"));
    EXPECT_EQ("C:\\user\\updater.exe", test::Value(HKEY_LOCAL_MACHINE, STORE_ROOT "\\Disabled\\Run", "Updater"));

    // The machine entry takes a stored name of its own: both come back.
    EXPECT_EQ(1, ToggleStartupEntry("Updater", "C:\\machine\\updater.exe", "", 1));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "Updater"));
    EXPECT_EQ("C:\\user\\updater.exe", test::Value(HKEY_LOCAL_MACHINE, STORE_ROOT "\\Disabled\\Run", "Updater"))
        << "the other entry's copy is untouched";
    BuildStartupList(0);
    EXPECT_EQ(1, CountPath(Items(), "C:\\machine\\updater.exe"));
    EXPECT_EQ(1, CountPath(Items(), "C:\\user\\updater.exe"));
    EXPECT_EQ(1, ToggleStartupEntry("Updater", "C:\\machine\\updater.exe", "", 1));
    EXPECT_EQ(1, ToggleStartupEntry("Updater", "C:\\user\\updater.exe", "", 11));
    EXPECT_EQ("C:\\machine\\updater.exe", test::Value(HKEY_LOCAL_MACHINE, kRun, "Updater"));
    EXPECT_EQ("C:\\user\\updater.exe", test::Value(HKEY_CURRENT_USER, kRun, "Updater"));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, STORE_ROOT "\\Disabled").empty());
}

TEST_F(StartupList, StartupFolderFiles)
{
    std::string folder = test::ShellFolder("Startup");
    ASSERT_FALSE(folder.empty());
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string target = "C:\\windows\\system32\\notepad.exe";
    ASSERT_EQ(1, CreateShortcut((folder + "\\Notes.lnk").c_str(), target.c_str(), "", "C:\\windows",
                                "Note Taker", target.c_str(), 0));
    test::WriteFile(folder + "\\desktop.ini", "[.ShellClassInfo]\r\n");
    test::WriteFile(folder + "\\old.pif", "pif");
    test::WriteFile(folder + "\\tool.exe", "not really a program");
    test::WriteFile(folder + "\\Broken.lnk", "this is no shell link at all");
    ASSERT_EQ(1, CreateShortcut((folder + "\\Self.lnk").c_str(), (folder + "\\Self.lnk").c_str(), "",
                                folder.c_str(), "", "", 0));

    BuildStartupList(0);
    std::vector<Found> items = Items();
    const Found *notes = FindByTitle(items, "Note Taker");
    ASSERT_NE(nullptr, notes);
    EXPECT_EQ(200, notes->type);
    EXPECT_EQ(0, _stricmp(target.c_str(), notes->path.c_str())) << notes->path;
    EXPECT_EQ(0, _stricmp((folder + "\\Notes.lnk").c_str(), notes->detail.c_str())) << notes->detail;
    EXPECT_EQ(0, CountPath(items, folder + "\\desktop.ini"));
    const Found *pif = FindByTitle(items, "old");
    ASSERT_NE(nullptr, pif);
    EXPECT_TRUE(pif->detail.empty());
    const Found *tool = FindByTitle(items, "tool");
    ASSERT_NE(nullptr, tool);
    EXPECT_EQ(tool->path, tool->detail);
    // A shortcut that cannot be read is still shown, by its own file.
    EXPECT_EQ(1, CountPath(items, folder + "\\Broken.lnk"));
}

TEST_F(StartupList, MissingStartupFolderListsNothing)
{
    std::string saved = test::ShellFolder("Startup");
    test::WriteString(HKEY_CURRENT_USER, kShellFolders, "Startup", "C:\\no\\such\\folder");
    BuildStartupList(0);
    test::WriteString(HKEY_CURRENT_USER, kShellFolders, "Startup", saved);
    for (const Found &f : Items()) EXPECT_NE(200, f.type) << f.path;
}

TEST_F(StartupList, WinIniRunAndLoad)
{
    WriteProfileStringA("windows", "run", "C:\\a.exe;;C:\\b.exe");
    WriteProfileStringA("windows", "load", "C:\\loaded.exe");
    BuildStartupList(0);
    std::vector<Found> items = Items();
    int runs = 0;
    for (const Found &f : items) runs += f.type == 101;
    EXPECT_EQ(2, runs);
    EXPECT_EQ(1, CountPath(items, "C:\\b.exe"));
    const Found *load = FindByTitle(items, "load");
    ASSERT_NE(nullptr, load);
    EXPECT_EQ(100, load->type);

    std::string list;
    for (int i = 0; i < 60; i++) list += "C:\\prog" + std::to_string(i) + ".exe;";   // about 660 characters
    WriteProfileStringA("windows", "run", list.c_str());
    BuildStartupList(0);
    EXPECT_EQ(1, CountPath(Items(), "C:\\prog59.exe"));
}

TEST_F(StartupList, WinlogonForms)
{
    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", "C:\\windows\\system32\\userinit.exe,");
    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "Explorer.exe");
    BuildStartupList(0);
    std::vector<Found> items = Items();
    const Found *userinit = FindByTitle(items, "Winlogon Userinit");
    ASSERT_NE(nullptr, userinit);
    EXPECT_EQ(0, _stricmp("C:\\windows\\system32\\userinit.exe", userinit->path.c_str()));
    const Found *shell = FindByTitle(items, "Winlogon Shell");
    ASSERT_NE(nullptr, shell);
    EXPECT_EQ("Explorer.exe", shell->path);

    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", "userinit.exe,  C:\\evil\\hook.exe");
    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Shell", "explorer.exe   C:\\evil\\shell.exe");
    BuildStartupList(0);
    items = Items();
    EXPECT_EQ("C:\\evil\\hook.exe", FindByTitle(items, "Winlogon Userinit")->path);
    EXPECT_EQ("C:\\evil\\shell.exe", FindByTitle(items, "Winlogon Shell")->path);

    test::WriteString(HKEY_LOCAL_MACHINE, kWinlogon, "Userinit", "userinit.exe");   // no comma
    BuildStartupList(0);
    EXPECT_EQ(nullptr, FindByTitle(Items(), "Winlogon Userinit"));

    // The explorer's page leaves this group out unless "ShowAllStartup" is set.
    BuildStartupList(1);
    EXPECT_EQ(nullptr, FindByTitle(Items(), "Winlogon Shell"));
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "ShowAllStartup", "1");
    BuildStartupList(1);
    EXPECT_NE(nullptr, FindByTitle(Items(), "Winlogon Shell"));
}

TEST_F(StartupList, ShellExtensionPoints)
{
    const char clsid[] = "{0E2A5C1D-0000-4B4B-8A8A-5E27E1000001}";
    test::WriteString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid, "", "Loader Class");
    test::WriteString(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid + "\\InprocServer32", "",
                      "C:\\ext\\loader.dll");
    test::WriteString(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad",
                      "Loader", clsid);
    test::WriteString(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks",
                      std::string(clsid).substr(1, 36), "");
    test::WriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                      "AppInit_Dlls", "C:\\a.dll C:\\b.dll,C:\\c.dll");
    test::WriteString(HKEY_LOCAL_MACHINE,
                      "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\Watcher",
                      "DllName", "C:\\ext\\notify.dll");

    BuildStartupList(0);
    std::vector<Found> items = Items();
    const Found *loader = FindByTitle(items, "Loader");
    ASSERT_NE(nullptr, loader);
    EXPECT_EQ(252, loader->type);
    EXPECT_EQ("C:\\ext\\loader.dll", loader->path);
    EXPECT_EQ(clsid, loader->detail);
    const Found *hook = FindByTitle(items, "Loader Class");   // no description: the class name
    ASSERT_NE(nullptr, hook);
    EXPECT_EQ(254, hook->type);
    int appInit = 0;
    for (const Found &f : items) appInit += f.type == 255;
    EXPECT_EQ(3, appInit);
    const Found *notify = FindByTitle(items, "Watcher");
    ASSERT_NE(nullptr, notify);
    EXPECT_EQ(256, notify->type);
    test::DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid);
}

TEST_F(StartupList, ItemListLimits)
{
    FreeItems();
    // Every entry of a machine is held (once the list stopped at 4,096, and
    // an entry beyond that was never asked about), up to a bound.
    for (int i = 0; i < ITEM_MAX; i++) ASSERT_EQ(1, AddItem("t", "C:\\x.exe", "", "", 1, 0)) << i;
    EXPECT_EQ(0, AddItem("t", "C:\\x.exe", "", "", 1, 0));
    EXPECT_EQ(ITEM_MAX, ItemCount());
    EXPECT_GE(ITEM_MAX, 65536);
    FreeItems();
    for (int i = 0; i < 315; i++) ASSERT_EQ(1, AddItem("c", "cookie", "", "", 500, 0));
    EXPECT_EQ(0, AddItem("c", "cookie", "", "", 500, 0));
    FreeItems();

    std::string titleOver(ITEM_TITLE_SIZE, 't'), info1024(1024, 'i');
    ASSERT_EQ(1, AddItem(titleOver.c_str(), "C:\\x.exe", "", info1024.c_str(), 1, 0));
    EXPECT_EQ(ITEM_TITLE_SIZE - 1u, strlen(GetItemTitle(0)));
    EXPECT_EQ(1023u, strlen(GetItemInfo(0)));
    ASSERT_EQ(1, AddItem("", "C:\\folder\\Program.exe", "", "", 1, 0));
    EXPECT_STREQ("Program", GetItemTitle(1));
    ASSERT_EQ(1, AddItem("My Sentrel copy", "C:\\s.exe", "", "", 1, 0));
    EXPECT_STREQ("My Sentrel copy", GetItemTitle(2)) << "a title is the entry's own";
    EXPECT_STREQ("", GetItemTitle(99));
    EXPECT_EQ(0, GetItemType(-1));
    FreeItems();
}

TEST_F(StartupList, SplitRundllNeverReadsPastTheEnd)
{
    char out[PATH_SIZE];
    EXPECT_EQ(1, SplitRundll("rundll32.exe shell32.dll,Control_RunDLL desk.cpl", out));
    EXPECT_STREQ("shell32.dll,Control_RunDLL desk.cpl", out);
    EXPECT_EQ(1, SplitRundll("C:\\WINDOWS\\RUNDLL32.EXE", out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(1, SplitRundll("RUNDLL32.EXE,", out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(0, SplitRundll("notepad.exe", out));
    EXPECT_STREQ("notepad.exe", out);
}

TEST_F(StartupList, LocationTexts)
{
    FreeItems();
    AddItem("a", "C:\\a.exe", "", "", 12, 0);
    AddItem("b", "C:\\b.exe", "", "", 101, 0);
    AddItem("c", "C:\\c.exe", "", "", 900, 0);
    AddItem("d", "C:\\d.exe", "", "", 600, 0);
    char text[512];
    DescribeLocation(0, 0, text, sizeof text);
    EXPECT_STREQ("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", text);
    DescribeLocation(1, 1, text, sizeof text);
    EXPECT_STREQ(" *    Disabled * WIN.INI     [Run] Section", text);
    DescribeLocation(2, 0, text, sizeof text);
    EXPECT_STREQ("Internet Explorer - Browser Helper Object", text);
    EXPECT_EQ(0, DescribeLocation(3, 0, text, sizeof text));
    EXPECT_STREQ("", text);
    FreeItems();
}
