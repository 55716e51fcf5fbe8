// Monitored system files with the prefix's real HOSTS file and files made
// here: the change alert and what its answers do to the files, the copies
// and the records; hostile inputs (read-only, locked and huge files, odd
// names, a missing copy folder, another date format); and the restart
// commands of Windows 9x through the platform pretence.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "alert_driver.h"
#include "checks.h"
#include "data_folders.h"
#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "program_files.h"
#include "store.h"
#include "sysfiles.h"
#include "text.h"

using namespace test::keys;
using namespace alerts_test;

namespace {
const char kRecords[] = "Software\\Orvendale\\Sentrel\\Sysfiles";


bool Append(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

// Moves a file's last write by whole days from now, so that its date text
// differs from any taken today.
void SetWriteTime(const std::string &path, int days)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart += (LONGLONG)days * 24 * 3600 * 10000000LL;
    FILETIME when = {t.LowPart, t.HighPart};
    DWORD attributes = GetFileAttributesA(path.c_str());
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &when);
    CloseHandle(file);
    SetFileAttributesA(path.c_str(), attributes);
}

std::string Value(const std::string &name, const char *value)
{
    std::string text;
    if (!test::ReadString(HKEY_LOCAL_MACHINE, std::string(kRecords) + "\\" + name, value, &text)) return "<missing>";
    return text;
}

int Changed(const char *name)
{
    MonitoredRecord record;
    if (!ReadMonitoredRecord(name, &record)) return -1;
    return CompareMonitoredFile(&record, nullptr);
}

std::string CopyOf(const char *name)
{
    char copy[PATH_SIZE];
    return GetMonitoredCopyPath(name, copy) ? copy : "";
}

class SystemFiles : public AlertTest {
protected:
    void SetUp() override
    {
        AlertTest::SetUp();
        CopyText(windowTitle, sizeof windowTitle, "Sentrel");
        folder = test::FreshFolder("sysfiles");
    }
    void TearDown() override
    {
        for (const char *name : {"Sample", "Locked", "ReadOnly", "a/b", ".."}) {
            std::string copy = CopyOf(name);
            SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(copy.c_str());
        }
        AlertTest::TearDown();
    }
    // A file of the test, registered as monitored with an old time.
    std::string Register(const char *name, const std::string &content, int type)
    {
        std::string path = folder + "\\" + name + ".txt";
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(test::WriteFile(path, content));
        SetWriteTime(path, -3);
        EXPECT_EQ(1, AddMonitoredFile(name, path.c_str(), "A file of the test", type));
        return path;
    }
    // Runs the check while the driver answers; an alert beyond those
    // expected is accepted and fails the test.
    void Check(std::vector<Answer> answers)
    {
        Answering(std::move(answers), CheckSystemFiles, {kFileChange}, IDC_FILE_ACCEPT);
    }
    std::string folder;
};

// The prefix's own HOSTS file, put back as it was whatever the test does.
class HostsFile : public SystemFiles {
protected:
    void SetUp() override
    {
        SystemFiles::SetUp();
        char path[PATH_SIZE];
        ASSERT_GT(GetHostsPath(path, sizeof path), 0);
        hosts = path;
        ASSERT_TRUE(test::ReadFile(hosts, &original));
        attributes = GetFileAttributesA(hosts.c_str());
        SetWriteTime(hosts, -2);
    }
    void TearDown() override
    {
        SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(test::WriteFile(hosts, original));
        SetFileAttributesA(hosts.c_str(), attributes);
        std::string copy = CopyOf("HOSTS");
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy.c_str());
        SystemFiles::TearDown();
    }
    std::string hosts, original;
    DWORD attributes = 0;
};
}  // namespace

TEST_F(HostsFile, AChangeAlertsRejectRestoresAcceptRenewsAndMonitoringCanStop)
{
    EXPECT_EQ("C:\\windows\\system32\\drivers\\etc\\HOSTS", hosts);
    ASSERT_EQ(1, AddMonitoredFile("HOSTS", hosts.c_str(), "", 1));
    EXPECT_EQ(original, test::FileText(CopyOf("HOSTS")));
    EXPECT_EQ(hosts, Value("HOSTS", "Location"));
    EXPECT_EQ("1", Value("HOSTS", "Type"));
    EXPECT_EQ(std::to_string(original.size()), Value("HOSTS", "Size"));
    EXPECT_EQ("<missing>", Value("HOSTS", "Comment"));
    EXPECT_EQ(0, Changed("HOSTS"));

    // Another line: time and size change.
    ASSERT_TRUE(Append(hosts, "127.0.0.1\tsentrel-test.example\r\n"));
    EXPECT_EQ(1, Changed("HOSTS"));
    Check({{kFileChange, IDC_FILE_REJECT}});
    EXPECT_EQ("HOSTS", Field(IDC_FILE_NAME));
    EXPECT_EQ(hosts, Field(IDC_FILE_LOCATION));
    EXPECT_EQ(original, test::FileText(hosts)) << "Reject writes the copy back byte for byte";
    EXPECT_EQ(0, Changed("HOSTS")) << "the restored file does not alert again";

    // Accept: the copy holds the new content and the record its facts.
    std::string accepted = original + "10.0.0.1 accepted.example\r\n";
    ASSERT_TRUE(Append(hosts, "10.0.0.1 accepted.example\r\n"));
    Check({{kFileChange, IDC_FILE_ACCEPT}});
    EXPECT_EQ(accepted, test::FileText(CopyOf("HOSTS")));
    EXPECT_EQ(std::to_string(accepted.size()), Value("HOSTS", "Size"));
    EXPECT_EQ(0, Changed("HOSTS"));

    // Accept with "Disable Future Monitoring": no more checks of the file.
    ASSERT_TRUE(Append(hosts, "10.0.0.2 last.example\r\n"));
    SetWriteTime(hosts, -1);
    Check({{kFileChange, IDC_FILE_ACCEPT, 0, IDC_FILE_STOP_WATCHING}});
    EXPECT_EQ("<missing>", Value("HOSTS", "Location"));
    ASSERT_TRUE(Append(hosts, "10.0.0.3 unwatched.example\r\n"));
    Check({});
}

TEST_F(SystemFiles, TypeZeroIgnoresATouchOfTheSameSizeOtherTypesDoNot)
{
    std::string zero = Register("Sample", "same size\r\n", 0);
    std::string one = Register("Locked", "same size\r\n", 1);
    SetWriteTime(zero, -1);
    SetWriteTime(one, -1);
    EXPECT_EQ(0, Changed("Sample"));
    EXPECT_EQ(1, Changed("Locked"));
    ASSERT_TRUE(test::WriteFile(zero, "a longer content\r\n"));
    EXPECT_EQ(1, Changed("Sample"));
    // Rewritten within the minute of its record: the size still tells.
    AcceptMonitoredFile("Sample", zero.c_str(), 0);
    WIN32_FILE_ATTRIBUTE_DATA accepted;
    ASSERT_TRUE(GetFileAttributesExA(zero.c_str(), GetFileExInfoStandard, &accepted));
    ASSERT_TRUE(test::WriteFile(zero, "rewritten within the same minute\r\n"));
    HANDLE file = CreateFileA(zero.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &accepted.ftLastWriteTime);
    CloseHandle(file);
    EXPECT_EQ(1, Changed("Sample"));
    // The same size and the old time set back: the content tells.
    AcceptMonitoredFile("Sample", zero.c_str(), 0);
    ASSERT_TRUE(GetFileAttributesExA(zero.c_str(), GetFileExInfoStandard, &accepted));
    ASSERT_TRUE(test::WriteFile(zero, "REWRITTEN WITHIN THE SAME MINUTE\r\n"));
    file = CreateFileA(zero.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &accepted.ftLastWriteTime);
    CloseHandle(file);
    EXPECT_EQ(1, Changed("Sample")) << "same size, same time, other bytes";
    // A missing file is passed over.
    DeleteFileA(one.c_str());
    EXPECT_EQ(0, Changed("Locked"));
    EXPECT_EQ(0, AddMonitoredFile("ReadOnly", (folder + "\\missing.txt").c_str(), "gone", 0));
    EXPECT_TRUE(test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kRecords) + "\\ReadOnly"));
    EXPECT_EQ("<missing>", Value("ReadOnly", "Location"));
    EXPECT_EQ(0, Changed("ReadOnly"));
}

TEST_F(SystemFiles, AReadOnlyFileIsRestoredWithItsAttribute)
{
    std::string path = Register("ReadOnly", "approved\r\n", 0);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(test::WriteFile(path, "hijacked content\r\n"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    Check({{kFileChange, IDC_FILE_REJECT}});
    EXPECT_EQ("approved\r\n", test::FileText(path));
    EXPECT_NE(0u, GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(0, Changed("ReadOnly"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SystemFiles, ALockedFileIsSeenAndAFailedRestoreKeepsAlerting)
{
    std::string path = Register("Locked", "approved\r\n", 0);
    ASSERT_TRUE(test::WriteFile(path, "changed while locked\r\n"));
    HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    std::string date = Value("Locked", "Date");
    EXPECT_EQ(1, Changed("Locked"));
    Check({{kFileChange, IDC_FILE_REJECT}, {kSystemError, IDOK}});
    CloseHandle(lock);
    EXPECT_EQ("changed while locked\r\n", test::FileText(path));
    EXPECT_EQ(date, Value("Locked", "Date"));
    EXPECT_EQ(1, Changed("Locked")) << "the change is asked about again";

    // Without its copy the file cannot be restored: the error says so.
    std::string copy = CopyOf("Locked");
    ASSERT_TRUE(DeleteFileA(copy.c_str()));
    EXPECT_EQ(0, RestoreMonitoredFile("Locked", path.c_str(), 0));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ("changed while locked\r\n", test::FileText(path));
}

TEST_F(SystemFiles, TheCopyFolderFallsBackToTheProgramFolder)
{
    std::string appData;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, kShellFolders, "AppData", &appData));
    char vault[PATH_SIZE], program[PATH_SIZE];
    ASSERT_GT(GetVaultFolder(vault), 0);
    EXPECT_EQ(appData + "\\Sentrel", vault);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((appData + "\\Sentrel\\vault").c_str()));
    GetProgramFolder(program);

    // "vault" cannot be made under a file.
    std::string file = folder + "\\not-a-folder";
    ASSERT_TRUE(test::WriteFile(file, "x"));
    test::WriteString(HKEY_CURRENT_USER, kShellFolders, "AppData", file);
    GetVaultFolder(vault);
    EXPECT_STREQ(program, vault);
    // No application data folder at all.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_SET_VALUE, &key));
    RegDeleteValueA(key, "AppData");
    RegCloseKey(key);
    GetVaultFolder(vault);
    EXPECT_STREQ(program, vault);
    test::WriteString(HKEY_CURRENT_USER, kShellFolders, "AppData", appData);
}

TEST_F(SystemFiles, AnotherDateFormatDoesNotAlertAndARestoreStaysQuiet)
{
    std::string saved;
    bool hadFormat = test::ReadString(HKEY_CURRENT_USER, kInternational, "sShortDate", &saved);
    test::WriteString(HKEY_CURRENT_USER, kInternational, "sShortDate", "M/d/yyyy");
    std::string path = Register("Sample", "approved\r\n", 1);
    std::string before = Value("Sample", "Date");

    test::WriteString(HKEY_CURRENT_USER, kInternational, "sShortDate", "yyyy-MM-dd");
    EXPECT_EQ(0, Changed("Sample"));
    std::string after = Value("Sample", "Date");
    EXPECT_NE(before, after);
    EXPECT_EQ(4u, after.find('-')) << after;
    EXPECT_EQ(0, Changed("Sample"));

    // Rejected under one format, checked under another.
    ASSERT_TRUE(test::WriteFile(path, "hijacked\r\n"));
    Check({{kFileChange, IDC_FILE_REJECT}});
    test::WriteString(HKEY_CURRENT_USER, kInternational, "sShortDate", "dd-MMM-yy");
    EXPECT_EQ(0, Changed("Sample"));
    EXPECT_EQ("approved\r\n", test::FileText(path));

    if (hadFormat) {
        test::WriteString(HKEY_CURRENT_USER, kInternational, "sShortDate", saved);
    } else {
        test::DeleteValue(HKEY_CURRENT_USER, kInternational, "sShortDate");
    }
}

TEST_F(SystemFiles, AFileOverFourGigabytesKeepsItsWholeSize)
{
    std::string path = folder + "\\huge.bin";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD ignored;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 4294967296LL + 10;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);

    FileState state;
    ASSERT_EQ(1, ReadFileState(path.c_str(), &state, nullptr));
    EXPECT_STREQ("4294967306", state.size);
    // Recorded when it held 10 bytes: 4 GB more is a change, not the same size.
    std::string key = std::string(kRecords) + "\\Huge";
    test::WriteString(HKEY_LOCAL_MACHINE, key, "Location", path);
    test::WriteString(HKEY_LOCAL_MACHINE, key, "Type", "0");
    test::WriteString(HKEY_LOCAL_MACHINE, key, "Size", "10");
    test::WriteString(HKEY_LOCAL_MACHINE, key, "Date", "01/01/2001 1:00 AM");
    EXPECT_EQ(1, Changed("Huge"));
    DeleteFileA(path.c_str());
}

TEST_F(SystemFiles, OddNamesGetCopiesOfTheirOwnInsideTheCopyFolder)
{
    char vault[PATH_SIZE];
    ASSERT_GT(GetVaultFolder(vault), 0);
    const char *names[] = {"a/b", "a_b", "a%2Fb", "..", ".", "CON", "con.txt", "COM1", "vault", "tab\tname",
                           "x:y", "ends with dot.", "HOSTS"};
    std::set<std::string> seen;
    for (const char *name : names) {
        std::string copy = CopyOf(name);
        ASSERT_EQ(0u, copy.find(std::string(vault) + "\\")) << name;
        std::string file = copy.substr(strlen(vault) + 1);
        EXPECT_EQ(std::string::npos, file.find_first_of("\\/:*?\"<>|\t")) << name << " -> " << file;
        EXPECT_TRUE(seen.insert(file).second) << "two names share " << file;
    }
    EXPECT_EQ(std::string(vault) + "\\HOSTS", CopyOf("HOSTS"));
    EXPECT_EQ(0, CopyOf("")[0]);

    // A name that looks like a path keeps its copy where it belongs.
    for (const char *name : {"a/b", ".."}) {
        std::string path = folder + "\\odd.txt";
        ASSERT_TRUE(test::WriteFile(path, std::string("approved ") + name));
        ASSERT_EQ(1, AddMonitoredFile(name, path.c_str(), "", 1)) << name;
        EXPECT_EQ(std::string("approved ") + name, test::FileText(CopyOf(name)));
        ASSERT_TRUE(test::WriteFile(path, "changed"));
        EXPECT_EQ(1, RestoreMonitoredFile(name, path.c_str(), 0)) << name;
        EXPECT_EQ(std::string("approved ") + name, test::FileText(path));
    }
}

// --- Restart commands -------------------------------------------------------------

namespace {
class RestartCommands : public SystemFiles {
protected:
    void SetUp() override
    {
        SystemFiles::SetUp();
        PretendPlatform(1, 4);
        program = test::WindowsFolder() + "\\wininit.exe";
        ini = test::WindowsFolder() + "\\wininit.ini";
    }
    void TearDown() override
    {
        DeleteFileA(program.c_str());
        SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(ini.c_str());
        PretendPlatform(0, 0);
        SystemFiles::TearDown();
    }
    std::string program, ini;
};

// Reads the whole text of the viewer, then presses one of its buttons.
std::string ViewAndPress(int button, bool *found)
{
    HWND viewer = test::WaitForWindow("#32770", kRestartViewer, kWait);
    *found = viewer != nullptr;
    if (!viewer) return "";
    SendMessageTimeoutA(viewer, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);
    HWND edit = GetDlgItem(viewer, IDC_RESTART_TEXT);
    std::string text((size_t)GetWindowTextLengthA(edit) + 1, '\0');
    text.resize(GetWindowTextA(edit, &text[0], (int)text.size()));
    test::PressButton(viewer, button);
    test::WaitForWindowGone(viewer, kWait);
    return text;
}
}  // namespace

TEST_F(RestartCommands, NothingWithoutWininitExeAndANoteWhenTheFileIsEmpty)
{
    char hosts[PATH_SIZE];
    GetHostsPath(hosts, sizeof hosts);
    EXPECT_STREQ("C:\\windows\\HOSTS", hosts);
    ASSERT_TRUE(test::WriteFile(ini, "NUL=C:\\X.TMP\r\n"));
    EXPECT_EQ(0, CheckRestartCommands(1)) << "wininit.ini means nothing without wininit.exe";
    EXPECT_EQ(0, CheckRestartCommands(0));

    ASSERT_TRUE(test::WriteFile(program, "MZ"));
    ASSERT_TRUE(test::WriteFile(ini, ""));
    EXPECT_EQ(0, CheckRestartCommands(1));
    driver.reset(new Driver({{"Sentrel", IDOK}}));
    EXPECT_EQ(0, CheckRestartCommands(0));
    driver->Finish();
    EXPECT_EQ("No commands have been found in the WinInit.ini file.", Field(0xFFFF));
}

TEST_F(RestartCommands, ThePatrolAsksOnceAndTheViewerShowsAndDeletesTheFile)
{
    ASSERT_TRUE(test::WriteFile(program, "MZ"));
    // LF-only, CRLF, a lone CR and a NUL, then more than the viewer shows.
    std::string content = "[rename]\nNUL=C:\\EVIL.EXE\r\nREN=A.DLL\rNEXT=1";
    content += std::string(1, '\0') + "AFTER\n" + std::string(16000, '\n');
    while (content.size() < 20000) content += "NUL=C:\\FILLER.TMP\n";
    ASSERT_TRUE(test::WriteFile(ini, content));
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(1, CheckRestartCommands(1));

    countdowns.winInit = settings.winInit;
    bool found = false;
    std::string text;
    std::thread user([&] {
        HWND question = WaitForAlert("Sentrel", kWait);
        if (!question) return;
        test::PressButton(question, IDYES);
        text = ViewAndPress(IDC_RESTART_DELETE, &found);
    });
    CheckRestartCommandsPass();
    user.join();
    ASSERT_TRUE(found) << "no viewer";
    EXPECT_EQ(99999, countdowns.winInit) << "asked once per run";
    EXPECT_EQ(0u, text.find("[rename]\r\nNUL=C:\\EVIL.EXE\r\nREN=A.DLL\r\nNEXT=1 AFTER\r\n")) << text.substr(0, 80);
    EXPECT_EQ(std::string::npos, text.find("\r\r")) << "a CR LF stays one line end";
    EXPECT_NE(std::string::npos, text.find("(Only the first 16,384 bytes of this file are shown.)"));
    // Almost every byte shown is a line end that gained its CR: nearly twice the bytes.
    EXPECT_GT(text.size(), 32300u);
    EXPECT_LT(text.size(), 2 * 16384u + 80);
    EXPECT_FALSE(test::FileExistsAt(ini)) << "Delete removes the file, read-only or not";
    EXPECT_EQ(0, CheckRestartCommands(1));
}

// --- The real monitor ---------------------------------------------------------------

TEST(SystemFilesMonitor, TheMonitorAsksAboutHostsAndTheStartPageAndRestoresBoth)
{
    std::string folder = test::MonitorFolder("SystemFilesMonitor");
    ASSERT_FALSE(folder.empty());
    test::SetOptions({{"HostFile", "1"}, {"StartPage", "1"}, {"HideWuffin", "1"}, {"Debug", "1"}});
    // Wine says Windows 7 (6.1), whose system files the monitor leaves alone
    // as it does Vista's: this monitor runs as on Windows XP.
    test::SetWineVersion("Sentrel.exe", "winxp64");

    char path[PATH_SIZE];
    ASSERT_GT(GetHostsPath(path, sizeof path), 0);
    std::string hosts = path, original, savedPage;
    ASSERT_TRUE(test::ReadFile(hosts, &original));
    bool hadPage = test::ReadString(HKEY_CURRENT_USER, kMain, "Start Page", &savedPage);
    SetWriteTime(hosts, -2);
    std::string approved = "http://home.example/";
    while (approved.size() < 2000) approved += (char)('a' + approved.size() % 26);
    test::WriteString(HKEY_CURRENT_USER, kMain, "Start Page", approved);
    test::WriteString(HKEY_CURRENT_USER, kStore, "StartPage", approved);

    test::Program monitor = test::Start(folder, "Sentrel.exe", "");
    ASSERT_NE(nullptr, monitor.process);
    // Whatever fails, the monitor ends and HOSTS is put back.
    struct Cleanup {
        test::Program &monitor;
        std::string hosts, original, folder;
        ~Cleanup()
        {
            test::Stop(monitor);
            test::SetWineVersion("Sentrel.exe", "");
            SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_NORMAL);
            test::WriteFile(hosts, original);
            std::string trace;
            if (::testing::Test::HasFailure() && test::ReadFile(folder + "\\send2ov.txt", &trace))
                printf("monitor trace:\n%s\n", trace.c_str());
        }
    } cleanup{monitor, hosts, original, folder};
    HWND window = test::WaitForWindow("Sentrel", nullptr, kWait);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(test::WaitUntil([] { return test::ValueExists(HKEY_LOCAL_MACHINE, kRecords, ""); }, kWait))
        << "HOSTS is registered at the first start";
    ASSERT_TRUE(Append(hosts, "127.0.0.1 hijacked.example\r\n"));
    test::WriteString(HKEY_CURRENT_USER, kMain, "Start Page", "http://hijack.example/%s");

    // The first pass (group A) checks both.
    HWND alert = WaitForAlert(kFileChange, 75000, window);
    ASSERT_NE(nullptr, alert) << "no file change alert from the monitor's patrol";
    EXPECT_EQ("HOSTS", ControlText(alert, IDC_FILE_NAME));
    EXPECT_EQ(hosts, ControlText(alert, IDC_FILE_LOCATION));
    EXPECT_TRUE(AnswerAlert(alert, IDC_FILE_REJECT));
    EXPECT_TRUE(test::WaitUntil([&] { return test::FileText(hosts) == original; }, kWait))
        << "HOSTS restored byte for byte";

    HWND question = WaitForAlert("Sentrel", kWait);
    ASSERT_NE(nullptr, question) << "no question about the start page";
    std::string text = ControlText(question, 0xFFFF);
    EXPECT_NE(std::string::npos, text.find("Your new page is http://hijack.example/%s\n")) << text;
    EXPECT_TRUE(AnswerAlert(question, IDNO));
    std::string page;
    EXPECT_TRUE(test::WaitUntil(
        [&] { return test::ReadString(HKEY_CURRENT_USER, kMain, "Start Page", &page) && page == approved; }, kWait))
        << "the approved page of 2,000 characters comes back exactly";

    EXPECT_TRUE(test::StopMonitor(monitor, window, kWait));
    // These answers write no history line.
    std::string history;
    test::ReadFile(folder + "\\history.txt", &history);
    EXPECT_EQ(std::string::npos, history.find("HOSTS")) << history;
    EXPECT_EQ(original, test::FileText(hosts));

    SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_NORMAL);
    test::WriteFile(hosts, original);
    if (hadPage) test::WriteString(HKEY_CURRENT_USER, kMain, "Start Page", savedPage);
    std::string copy = CopyOf("HOSTS");
    DeleteFileA(copy.c_str());
    test::ResetSentrelRegistry();
}
