// Hidden files: the scan of the watched places against real hidden files in
// the prefix, removal into the vault and back, the check with its alert run
// in-process, and once end to end through the real Sentrel.exe.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "alert_driver.h"
#include "checks.h"
#include "hidden_files.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "text.h"

using namespace test::keys;
using namespace alerts_test;

namespace {
const char kHidden[] = "Software\\Orvendale\\Sentrel\\Hidden";

std::string VaultFolder()
{
    char folder[PATH_SIZE] = "";
    GetHiddenVault(folder);
    return folder;
}

// Files and folders a test makes; all are removed again at its end.
class Made {
public:
    ~Made() { Clear(); }
    std::string File(const std::string &path, const std::string &content, DWORD attributes)
    {
        files_.push_back(path);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(test::WriteFile(path, content)) << path;
        EXPECT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
        return path;
    }
    std::string Folder(const std::string &path)
    {
        CreateDirectoryA(path.c_str(), nullptr);
        folders_.push_back(path);
        return path;
    }
    void Remember(const std::string &path) { files_.push_back(path); }
    void Clear()
    {
        for (const auto &file : files_) {
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
            SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
            RemoveDirectoryA(it->c_str());
        }
        files_.clear();
        folders_.clear();
    }

private:
    std::vector<std::string> files_, folders_;
};

const DWORD kHiddenOnly = FILE_ATTRIBUTE_HIDDEN;
const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The scan as the item list holds it: path -> qualifier.
std::map<std::string, int> Listed()
{
    std::map<std::string, int> found;
    int count = ListHiddenFiles();
    for (int i = 0; i < count; i++) {
        EXPECT_EQ(ITEM_HIDDEN, GetItemType(i));
        EXPECT_STREQ(GetItemPath(i), GetItemDetail(i));
        found[GetItemName(i)] = GetItemQualifier(i);
    }
    FreeItems();
    return found;
}

int CollectPath(const char *path, DWORD, void *context)
{
    ((std::set<std::string> *)context)->insert(path);
    return 1;
}

int AcceptOne(const char *path, DWORD, void *)
{
    AcceptHiddenFile(path);
    return 1;
}

std::string VaultNameOf(const std::string &path)
{
    // The history line's detail names the vault copy.
    std::string name;
    for (const std::string &line : HistoryLines()) {
        if (line.find("HIDDEN_DeleteFile") == std::string::npos || line.find("\t" + path + "\t") == std::string::npos)
            continue;
        name = line.substr(line.rfind('\t') + 1);
    }
    return name;
}

class HiddenFiles : public CheckTest {
protected:
    void SetUp() override
    {
        CheckTest::SetUp();
        temp = made.Folder(test::TempFolder() + "\\sentrel-hidden");
    }
    void TearDown() override
    {
        made.Clear();
        CheckTest::TearDown();
    }
    void RunCheck() override { CheckHiddenFiles(); }
    // Every hidden file there is now counts as known.
    void AcceptAll() { ForEachHiddenFile(AcceptOne, nullptr); }
    Made made;
    std::string temp;
};
}  // namespace

TEST_F(HiddenFiles, TheScanFindsHiddenFilesInEachPlaceAtItsDepthOnly)
{
    std::string root = made.File("C:\\sentrel-root.dat", "r", kHiddenOnly);
    made.Folder("C:\\sentrel-hidden-sub");
    std::string belowRoot = made.File("C:\\sentrel-hidden-sub\\below.dat", "b", kHiddenOnly);
    std::string windows = made.File(test::WindowsFolder() + "\\sentrel-win.dat", "w", kHiddenSystem);
    made.Folder(test::WindowsFolder() + "\\sentrel-win-sub");
    std::string belowWindows = made.File(test::WindowsFolder() + "\\sentrel-win-sub\\below.dat", "b", kHiddenOnly);
    std::string system = made.Folder(test::SystemFolder() + "\\sentrel-sys");
    std::string inSystem = made.File(system + "\\inside.dll", "s", kHiddenSystem | FILE_ATTRIBUTE_READONLY);
    made.Folder(system + "\\deeper");
    std::string tooDeep = made.File(system + "\\deeper\\deep.dat", "d", kHiddenOnly);
    // Folders named with a leading dot are walked like any other.
    std::string dotted = made.Folder(test::TempFolder() + "\\.sentrel-cache");
    std::string inDotted = made.File(dotted + "\\x.dat", "x", kHiddenOnly);
    std::string plain = made.File(temp + "\\plain.dat", "p", FILE_ATTRIBUTE_NORMAL);
    std::string hiddenFolder = made.Folder(temp + "\\hidden-folder");
    SetFileAttributesA(hiddenFolder.c_str(), kHiddenOnly);
    // The common files of 32-bit programs are watched too (named here when
    // the prefix does not name them).
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY, &key));
    char common32[PATH_SIZE] = "";
    DWORD size = sizeof common32;
    bool named = RegQueryValueExA(key, "CommonFilesDir", nullptr, nullptr, (BYTE *)common32, &size) == ERROR_SUCCESS;
    if (!named) {
        made.Folder("C:\\sentrel-common32");
        RegSetValueExA(key, "CommonFilesDir", 0, REG_SZ, (const BYTE *)"C:\\sentrel-common32", 20);
        CopyText(common32, sizeof common32, "C:\\sentrel-common32");
    }
    std::string common = made.Folder(std::string(common32) + "\\sentrel-common");
    std::string inCommon32 = made.File(common + "\\shared.dll", "c", kHiddenOnly);

    auto found = Listed();
    EXPECT_EQ(1u, found.count(root)) << "a hidden file directly in C:\\";
    EXPECT_EQ(0u, found.count(belowRoot)) << "C:\\ is searched without its subfolders";
    ASSERT_EQ(1u, found.count(windows));
    EXPECT_EQ(0, found[windows]) << "hidden and system";
    EXPECT_EQ(0u, found.count(belowWindows));
    ASSERT_EQ(1u, found.count(inSystem)) << "a direct subfolder of the system folder";
    EXPECT_EQ(0, found[inSystem]);
    EXPECT_EQ(0u, found.count(tooDeep));
    ASSERT_EQ(1u, found.count(inDotted));
    EXPECT_EQ(1, found[inDotted]) << "hidden only";
    EXPECT_EQ(0u, found.count(plain));
    EXPECT_EQ(0u, found.count(hiddenFolder)) << "a hidden folder is not a hidden file";
    EXPECT_EQ(1u, found.count(inCommon32));

    // The unlimited walk sees the same files.
    std::set<std::string> walked;
    ForEachHiddenFile(CollectPath, &walked);
    for (const auto &entry : found) EXPECT_EQ(1u, walked.count(entry.first)) << entry.first;
    if (!named) RegDeleteValueA(key, "CommonFilesDir");
    RegCloseKey(key);
}

TEST_F(HiddenFiles, LongPathsAreSkippedAndMoreThanTheListHoldsIsStillChecked)
{
    // A folder whose files' full paths pass 259 characters: listed whole
    // (the walk takes paths of any script up to its buffer), never cut.
    std::string longFolder = temp.substr(0, temp.rfind('\\')) + "\\" + std::string(240 - temp.rfind('\\'), 'f');
    ASSERT_LT(longFolder.size(), 248u);
    made.Folder(longFolder);
    std::string fits = made.File(longFolder + "\\a.dat", "a", kHiddenOnly);
    std::string tooLong = longFolder + "\\" + std::string(30, 'n') + ".dat";
    made.Remember(tooLong);
    std::wstring wide = L"\\\\?\\" + std::wstring(tooLong.begin(), tooLong.end());
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << GetLastError();
    CloseHandle(file);

    std::string many = made.Folder(test::TempFolder() + "\\sentrel-hidden-many");
    const int kMany = HIDDEN_FILES_MAX + 20;
    for (int i = 0; i < kMany; i++) {
        std::string path = many + "\\h" + std::to_string(i) + ".dat";
        made.Remember(path);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
        CloseHandle(h);
    }
    std::set<std::string> walked;
    ForEachHiddenFile(CollectPath, &walked);
    EXPECT_EQ(1u, walked.count(fits));
    EXPECT_EQ(1u, walked.count(tooLong)) << "a long path is listed whole";
    for (const auto &path : walked) EXPECT_LT(path.size(), (size_t)PATH_SIZE) << "a path past the buffer";

    EXPECT_EQ(HIDDEN_FILES_MAX, ListHiddenFiles());
    EXPECT_EQ((int)walked.size() - HIDDEN_FILES_MAX, HiddenFilesLeftOut()) << "the page can tell how many are not listed";
    // One that the list could not hold is still asked about.
    std::string missing;
    std::set<std::string> listed;
    for (int i = 0; i < ItemCount(); i++) listed.insert(GetItemName(i));
    FreeItems();
    for (const auto &path : walked)
        if (!listed.count(path)) missing = path;
    ASSERT_FALSE(missing.empty());
    AcceptAll();
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kHidden, missing, ""));
    CheckAnswering({{kNewProgram, IDOK}});
    EXPECT_EQ(missing, Field(IDC_ALERT_COMMAND));
    EXPECT_TRUE(IsHiddenFileKnown(missing.c_str()));
}

TEST_F(HiddenFiles, RemovalCopiesIntoTheVaultAndSameNamedFilesEachComeBackWithTheirOwnContent)
{
    std::string vault = VaultFolder();
    ASSERT_FALSE(vault.empty());
    // A read-only hidden file in C:\, and two files of one name in two folders.
    std::string root = made.File("C:\\sentrel-x.dat", "root content", kHiddenOnly | FILE_ATTRIBUTE_READONLY);
    std::string first = made.File(made.Folder(temp + "\\one") + "\\twin.dll", "first twin", kHiddenOnly);
    std::string second = made.File(made.Folder(temp + "\\two") + "\\twin.dll", "second twin", kHiddenSystem);
    // A name and folder no ANSI code page holds.
    const std::string odd = u8"скрытый 更新 🙂.dat", oddContent("\x01odd\xff content\0end", 17);
    std::string unusual = made.File(made.Folder(temp + u8"\\папка Ω") + "\\" + odd, oddContent, kHiddenSystem);
    for (const char *name : {"sentrel-x.dat", "twin.dll", "twin (2).dll", "twin (3).dll", odd.c_str()}) {
        SetFileAttributesA((vault + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((vault + "\\" + name).c_str());
        made.Remember(vault + "\\" + name);
    }
    for (const auto &path : {root, first, second, unusual}) ASSERT_TRUE(AcceptHiddenFile(path.c_str()));

    for (const auto &path : {root, first, second, unusual}) {
        EXPECT_EQ(1, RemoveHiddenFile("Title", path.c_str())) << path;
        EXPECT_FALSE(test::FileExistsAt(path));
        EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kHidden, path)) << "forgotten by the baseline";
    }
    std::string content;
    ASSERT_TRUE(test::ReadFile(vault + "\\sentrel-x.dat", &content));
    EXPECT_EQ("root content", content);
    EXPECT_EQ(1, CountHistory({"*HIDDEN_DeleteFile", "TYPE_HIDDEN", "Title", root}));
    EXPECT_EQ("twin.dll", VaultNameOf(first));
    EXPECT_EQ("twin (2).dll", VaultNameOf(second)) << "the first copy is not replaced";
    EXPECT_EQ(odd, VaultNameOf(unusual));
    EXPECT_EQ(1, CountHistory({"*HIDDEN_DeleteFile", "TYPE_HIDDEN", "Title", unusual}));
    ASSERT_EQ(1, RestoreHiddenFile(unusual.c_str(), odd.c_str()));
    ASSERT_TRUE(test::ReadFile(unusual, &content));
    EXPECT_EQ(oddContent, content) << "back byte for byte";
    EXPECT_NE(0u, GetFileAttributesA(unusual.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    // Each comes back from its own copy, named in its history line.
    ASSERT_EQ(1, RestoreHiddenFile(second.c_str(), VaultNameOf(second).c_str()));
    ASSERT_EQ(1, RestoreHiddenFile(first.c_str(), VaultNameOf(first).c_str()));
    ASSERT_TRUE(test::ReadFile(first, &content));
    EXPECT_EQ("first twin", content);
    ASSERT_TRUE(test::ReadFile(second, &content));
    EXPECT_EQ("second twin", content);
    EXPECT_NE(0u, GetFileAttributesA(first.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // A file that is back is not overwritten by a second restore.
    made.File(first, "new content", kHiddenOnly);
    EXPECT_EQ(0, RestoreHiddenFile(first.c_str(), "twin.dll"));
    ASSERT_TRUE(test::ReadFile(first, &content));
    EXPECT_EQ("new content", content);
    // Nothing outside the vault is taken for a copy.
    EXPECT_EQ(0, RestoreHiddenFile((temp + "\\stolen.dat").c_str(), "..\\..\\win.ini"));
}

TEST_F(HiddenFiles, ALockedFileIsNotDeletedAndNoCopyIsLeft)
{
    std::string vault = VaultFolder();
    std::string locked = made.File(temp + "\\locked.dat", "locked", kHiddenSystem);
    made.Remember(vault + "\\locked.dat");
    DeleteFileA((vault + "\\locked.dat").c_str());
    ASSERT_TRUE(AcceptHiddenFile(locked.c_str()));

    // Held without sharing: not even a copy can be made.
    HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, RemoveHiddenFile("Locked", locked.c_str()));
    EXPECT_EQ((DWORD)ERROR_SHARING_VIOLATION, GetLastError());
    CloseHandle(held);
    EXPECT_TRUE(test::FileExistsAt(locked));
    EXPECT_EQ(kHiddenSystem, GetFileAttributesA(locked.c_str()) & kHiddenSystem) << "left as it was";
    EXPECT_FALSE(test::FileExistsAt(vault + "\\locked.dat"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kHidden, locked)) << "asked about again";

    // Readable but not deletable: the copy is made, then taken back.
    held = CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, RemoveHiddenFile("Locked", locked.c_str()));
    CloseHandle(held);
    EXPECT_TRUE(test::FileExistsAt(locked));
    EXPECT_EQ(kHiddenSystem, GetFileAttributesA(locked.c_str()) & kHiddenSystem);
    EXPECT_FALSE(test::FileExistsAt(vault + "\\locked.dat"));
    EXPECT_EQ(0, CountHistory({"HIDDEN_DeleteFile"}));

    char text[1024];
    DescribeRemovalFailure(locked.c_str(), ERROR_SHARING_VIOLATION, text, sizeof text);
    EXPECT_NE(nullptr, strstr(text, locked.c_str())) << text;
}

TEST_F(HiddenFiles, TheCheckAsksOnceKeepsOnOkAndMovesToTheVaultOnDeleteOrEsc)
{
    AcceptAll();
    CheckSilently("the check asked about a known file");
    std::string kept = made.File(temp + "\\kept.dat", "kept", kHiddenOnly);
    std::string deleted = made.File(temp + "\\deleted.dat", "deleted", kHiddenOnly);
    std::string vault = VaultFolder();
    made.Remember(vault + "\\deleted.dat");
    DeleteFileA((vault + "\\deleted.dat").c_str());

    // Unknown files wait while alerts are hidden: nothing is written.
    settings.hideAlerts = 2;
    CheckSilently("the check asked about a known file");
    EXPECT_FALSE(IsHiddenFileKnown(kept.c_str()));
    EXPECT_TRUE(test::FileExistsAt(deleted));
    settings.hideAlerts = 0;

    // The walk order decides which comes first: answer by what is shown.
    std::thread answer([&] {
        for (int n = 0; n < 2; n++) {
            HWND alert = WaitForAlert(kNewProgram, kWait);
            if (!alert) return;
            std::string command = ControlText(alert, IDC_ALERT_COMMAND);
            if (command == kept) {
                test::PressButton(alert, IDOK);
            } else {
                PostMessageA(alert, WM_COMMAND, IDCANCEL, 0);   // Esc
            }
            test::WaitForWindowGone(alert, kWait);
        }
    });
    CheckHiddenFiles();
    answer.join();
    EXPECT_TRUE(IsHiddenFileKnown(kept.c_str()));
    EXPECT_FALSE(test::FileExistsAt(deleted));
    EXPECT_TRUE(test::FileExistsAt(vault + "\\deleted.dat"));
    EXPECT_EQ(1, CountHistory({"HIDDEN_DeleteFile", deleted}));
    EXPECT_EQ(2, CountHistory({"HIDDEN_Alert", "TYPE_HIDDEN"})) << "the alert's own lines";
    CheckSilently("the check asked about a known file");
}

TEST_F(HiddenFiles, ALockedFileThatCannotBeDeletedIsToldAndAskedAgain)
{
    AcceptAll();
    std::string locked = made.File(temp + "\\held.dat", "held", kHiddenOnly);
    HANDLE held = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    CheckAnswering({{kNewProgram, IDCANCEL}, {kMonitorBox, IDOK}});
    CloseHandle(held);
    auto &box = driver->seen(1).fields;
    ASSERT_EQ(1u, box.count(0xFFFF));
    EXPECT_NE(std::string::npos, box.at(0xFFFF).find(locked)) << box.at(0xFFFF);
    EXPECT_NE(std::string::npos, box.at(0xFFFF).find("could not be removed")) << box.at(0xFFFF);
    EXPECT_TRUE(test::FileExistsAt(locked));
    CheckAnswering({{kNewProgram, IDOK}});
    EXPECT_TRUE(IsHiddenFileKnown(locked.c_str()));
}

// The real monitor: a hidden file new in the Windows folder is asked about
// at the next due pass; Delete moves it into the vault, OK keeps it.
TEST(HiddenFilesMonitor, TheMonitorAsksAboutNewHiddenFilesInTheWindowsFolder)
{
    std::string folder = test::MonitorFolder("HiddenFilesMonitor");
    ASSERT_FALSE(folder.empty());
    test::SetOptions({{"Start", "0"}, {"RealtimeStartup", "0"}, {"Hidden", "1"},
                      {"RealtimeHidden", "1"}, {"HideWuffin", "1"}, {"Debug", "1"}});
    // The baseline as a first start would take it, made here so that the
    // two files below come after it.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kHidden, "", "P"));
    ForEachHiddenFile(AcceptOne, nullptr);
    Made made;
    std::string keep = made.File(test::WindowsFolder() + "\\sentrel-keep.dat", "keep", kHiddenOnly);
    std::string remove = made.File(test::WindowsFolder() + "\\sentrel-remove.dat", "remove", kHiddenSystem);
    std::string vault = VaultFolder();
    made.Remember(vault + "\\sentrel-remove.dat");
    DeleteFileA((vault + "\\sentrel-remove.dat").c_str());

    test::Program monitor = test::Start(folder, "Sentrel.exe", "");
    ASSERT_NE(nullptr, monitor.process);
    // A failed expectation must not leave the monitor running.
    struct StopAtEnd {
        test::Program &program;
        ~StopAtEnd() { test::Stop(program); }
    } stopAtEnd{monitor};
    HWND window = test::WaitForWindow("Sentrel", nullptr, kWait);
    ASSERT_NE(nullptr, window);

    for (int n = 0; n < 2; n++) {
        HWND alert = test::WaitForWindowFastPatrol(window, "#32770", kNewProgram, 100000);
        if (!alert) {
            std::string trace;
            test::ReadFile(folder + "\\send2ov.txt", &trace);
            FAIL() << "no alert from the monitor's patrol\n" << trace.substr(trace.size() > 3000 ? trace.size() - 3000 : 0);
        }
        SendMessageTimeoutA(alert, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);
        std::string command = ControlText(alert, IDC_ALERT_COMMAND);
        ASSERT_TRUE(command == keep || command == remove) << command;
        EXPECT_NE(std::string::npos, ControlText(alert, IDC_ALERT_MESSAGE).find("HIDDEN"));
        ASSERT_TRUE(AnswerAlert(alert, command == keep ? IDOK : IDCANCEL));
    }
    EXPECT_TRUE(test::WaitUntil([&] { return !test::FileExistsAt(remove); }, kWait));
    EXPECT_TRUE(test::FileExistsAt(vault + "\\sentrel-remove.dat"));
    std::string when;
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReadString(HKEY_CURRENT_USER, kHidden, keep, &when); }, kWait));
    std::string history;
    test::ReadFile(folder + "\\history.txt", &history);
    EXPECT_NE(std::string::npos, history.find("*HIDDEN_DeleteFile\tTYPE_HIDDEN\t")) << history;
    EXPECT_NE(std::string::npos, history.find(remove + "\tsentrel-remove.dat")) << history;

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    test::ResetSentrelRegistry();
}
