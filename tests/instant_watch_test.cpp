// Instant detection: sentrelaux.dll watching registry keys and folders for
// the monitor, driven in-process through its ordinals, and the real
// Sentrel.exe alerting within seconds about changes made by a program that
// is already running (this test program: no process starts or ends).
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../sentrelaux/aux_places.h"
#include "alert_driver.h"
#include "instant_watch.h"
#include "inventory.h"
#include "monitor.h"
#include "options.h"
#include "patrol_passes.h"
#include "patrol.h"
#include "platform.h"
#include "store_init.h"
#include "trace.h"

using namespace test::keys;
using namespace alerts_test;

namespace {
// How long an alert may take after a change: far below the regular patrol
// interval, with room for a loaded machine.
const DWORD kPrompt = 20000;
const char kTestKey[] = "Software\\Orvendale\\InstantTest";
const UINT kChanged = 9025;

int CountThreads()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    int count = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) count++;
    CloseHandle(snapshot);
    return count;
}

AuxPlace KeyPlace(const std::string &path, unsigned tags)
{
    AuxPlace place = {};
    place.kind = AUX_PLACE_KEY;
    place.root = HKEY_CURRENT_USER;
    place.tags = tags;
    lstrcpynA(place.path, path.c_str(), sizeof place.path);
    return place;
}

AuxPlace FolderPlace(const std::string &path, unsigned tags)
{
    AuxPlace place = {};
    place.kind = AUX_PLACE_FOLDER;
    place.tags = tags;
    lstrcpynA(place.path, path.c_str(), sizeof place.path);
    return place;
}

// The library loaded into the test, posting to a window of the test.
class InstantLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::DeleteTree(HKEY_CURRENT_USER, kTestKey);
        threadsBefore = CountThreads();
        library = LoadLibraryA((test::BuildFolder() + "\\sentrelaux.dll").c_str());
        ASSERT_NE(nullptr, library);
        attach = (int(WINAPI *)(HWND))(void *)GetProcAddress(library, MAKEINTRESOURCEA(2));
        detach = (int(WINAPI *)(void))(void *)GetProcAddress(library, MAKEINTRESOURCEA(3));
        watch = (AuxWatchPlacesProc)(void *)GetProcAddress(library, MAKEINTRESOURCEA(4));
        ASSERT_TRUE(attach && detach && watch);
        window = CreateWindowA("STATIC", "instant", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, window);
        ASSERT_EQ(1, attach(window));
    }
    void TearDown() override
    {
        if (detach) detach();
        if (window) DestroyWindow(window);
        if (library) FreeLibrary(library);
        test::DeleteTree(HKEY_CURRENT_USER, kTestKey);
    }
    // Waits for the next notice; its tags, 0 when none came in time.
    unsigned NextNotice(DWORD milliseconds)
    {
        unsigned tags = 0;
        test::WaitUntil([&] {
            MSG message;
            if (!PeekMessageA(&message, window, kChanged, kChanged, PM_REMOVE)) return false;
            tags = (unsigned)message.wParam;
            return true;
        }, milliseconds);
        return tags;
    }
    // Counts the notices that arrive within the time.
    int NoticesWithin(DWORD milliseconds)
    {
        int count = 0;
        DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG message;
            while (PeekMessageA(&message, window, kChanged, kChanged, PM_REMOVE)) count++;
            Sleep(20);
        }
        return count;
    }
    int threadsBefore = 0;
    HMODULE library = nullptr;
    HWND window = nullptr;
    int(WINAPI *attach)(HWND) = nullptr;
    int(WINAPI *detach)(void) = nullptr;
    AuxWatchPlacesProc watch = nullptr;
};
}  // namespace

// A key that does not exist yet is watched from its parent; once created,
// deleted and created again it is still watched, each change reported with
// the tags of its place only.
TEST_F(InstantLibrary, AKeyIsWatchedBeforeItExistsAndAfterItIsCreatedAgain)
{
    const std::string deep = std::string(kTestKey) + "\\Deep\\Run";
    test::WriteString(HKEY_CURRENT_USER, kTestKey, "", "");
    test::WriteString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Other", "", "");
    AuxPlace places[] = {KeyPlace(deep, 1), KeyPlace(std::string(kTestKey) + "\\Other", 2)};
    ASSERT_EQ(1, watch(places, 2, kChanged));

    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, deep, "first", "a.exe"));
    EXPECT_EQ(1u, NextNotice(5000)) << "the key and its value appeared";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, deep, "second", "b.exe"));
    EXPECT_EQ(1u, NextNotice(5000));

    test::DeleteTree(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Deep");
    NoticesWithin(800);   // the deletion may or may not be reported
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, deep, "third", "c.exe"));
    EXPECT_EQ(1u, NextNotice(5000)) << "the key created again is watched again";
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, deep, "fourth", "d.exe"));
    EXPECT_EQ(1u, NextNotice(5000));

    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kTestKey) + "\\Other", "x", "y"));
    EXPECT_EQ(2u, NextNotice(5000));
}

// Fifty values written at once are one notice; a folder is watched too; a
// place replaced by ordinal 4 is not watched any more; after ordinal 3
// nothing is posted and every thread of the library has ended.
TEST_F(InstantLibrary, ABurstIsOneNoticeAndOrdinalThreeStopsEverything)
{
    const std::string key = std::string(kTestKey) + "\\Burst";
    std::string folder = test::FreshFolder("InstantFolder");
    test::WriteString(HKEY_CURRENT_USER, key, "", "");
    AuxPlace places[] = {KeyPlace(key, 4), FolderPlace(folder, 8)};
    ASSERT_EQ(1, watch(places, 2, kChanged));
    EXPECT_GT(CountThreads(), threadsBefore);

    HKEY opened;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &opened));
    for (int i = 0; i < 50; i++) {
        std::string name = "value " + std::to_string(i);
        RegSetValueExA(opened, name.c_str(), 0, REG_SZ, (const BYTE *)"x.exe", 6);
    }
    RegCloseKey(opened);
    EXPECT_EQ(1, NoticesWithin(2500)) << "a burst of 50 writes gives one notice";

    ASSERT_TRUE(test::WriteFile(folder + "\\new.lnk", "link"));
    EXPECT_EQ(8u, NextNotice(5000));

    // Only the folder is watched now.
    ASSERT_EQ(1, watch(places + 1, 1, kChanged));
    test::WriteString(HKEY_CURRENT_USER, key, "after", "x");
    EXPECT_EQ(0, NoticesWithin(800));

    ASSERT_EQ(1, detach());
    detach = nullptr;
    ASSERT_TRUE(test::WriteFile(folder + "\\later.lnk", "link"));
    EXPECT_EQ(0, NoticesWithin(800)) << "nothing is posted after ordinal 3";
    EXPECT_EQ(threadsBefore, CountThreads());
}

// --- The monitor's side, through the real tick handler ------------------------------

namespace {
// Passes run in-process; their trace lines tell which categories ran.
class PlaceChanges : public test::PatrolPasses {
protected:
    void SetUp() override
    {
        PatrolPasses::SetUp();
        // The system files are checked only when a change makes them due.
        settings.hostFile = countdowns.hostFile = 100;
        StopInstantWatch();
        // The first regular pass is far away.
        Ticks(17);
    }
    void TearDown() override
    {
        StopInstantWatch();
        PatrolPasses::TearDown();
    }
    // The passes since the last call, each by the categories it ran ("S"
    // startup, "F" system files, "V" services; "-" none of them).
    std::string PassesSince()
    {
        std::vector<std::string> lines = Trace();
        std::vector<std::string> passes;
        for (size_t i = seen; i < lines.size(); i++) {
            if (EndsWith(lines[i], "VERIFY: Enter Verify function")) passes.emplace_back();
            if (passes.empty()) continue;
            if (EndsWith(lines[i], "VERIFY: Startup Programs")) passes.back() += "S";
            if (EndsWith(lines[i], "VERIFY: Verify System Files")) passes.back() += "F";
            if (EndsWith(lines[i], "VERIFY: Check for change to Services")) passes.back() += "V";
        }
        seen = lines.size();
        std::string joined;
        for (const std::string &pass : passes) joined += (joined.empty() ? "" : " ") + (pass.empty() ? "-" : pass);
        return joined;
    }
    size_t seen = 0;
};
}  // namespace

// A change makes its category due at the next tick; a change that comes
// while an alert is open, a pass runs or the express-boot wait lasts waits
// for a later tick; a category whose real-time option is off is not made due.
TEST_F(PlaceChanges, AChangeIsCheckedAtTheNextTickUnlessSomethingIsInTheWay)
{
    PassesSince();
    OnPlaceChange(CHANGED_STARTUP);
    Ticks(1);
    EXPECT_EQ("S", PassesSince());

    Ticks(6);
    inDialog = 1;
    OnPlaceChange(CHANGED_STARTUP);
    Ticks(3);
    EXPECT_EQ("", PassesSince()) << "no pass while an alert is open";
    inDialog = 0;
    Ticks(2);
    EXPECT_EQ("S", PassesSince());

    Ticks(6);
    expressBootCountdown = 4;
    OnPlaceChange(CHANGED_STARTUP);
    Ticks(3);
    EXPECT_EQ("", PassesSince()) << "no pass during the express-boot wait";
    Ticks(3);
    EXPECT_EQ("S", PassesSince());

    Ticks(6);
    settings.realtimeStartup = 0;
    OnPlaceChange(CHANGED_STARTUP);
    Ticks(8);
    EXPECT_EQ("", PassesSince()) << "the real-time option is off";
    settings.realtimeStartup = 1;

    // Services have no real-time option: a change makes a group B pass due.
    OnPlaceChange(CHANGED_SERVICES);
    Ticks(1);
    EXPECT_EQ("V", PassesSince());
}

// What a pass writes into the places of a category it checks comes back as
// a change. Passes that find nothing: after two in a row one more a few
// ticks later, then nothing until the patrol. A change to another category
// is not held back, nor a change that comes later.
TEST_F(PlaceChanges, APassesOwnWritesCannotStartPassAfterPass)
{
    PassesSince();
    OnPlaceChange(CHANGED_STARTUP);
    Ticks(1);
    ASSERT_EQ("S", PassesSince());
    OnPlaceChange(CHANGED_STARTUP);   // the check's own write, right after the pass
    Ticks(1);
    EXPECT_EQ("S", PassesSince()) << "a change right after a pass is checked at once";
    OnPlaceChange(CHANGED_STARTUP);
    Ticks(4);
    EXPECT_EQ("", PassesSince());
    Ticks(2);
    EXPECT_EQ("S", PassesSince()) << "the echo of that pass one more, a few ticks later";
    OnPlaceChange(CHANGED_STARTUP | CHANGED_SYSFILES);
    Ticks(1);
    EXPECT_EQ("F", PassesSince()) << "the echo of an echo is left to the patrol, another category is not";
    Ticks(14);
    EXPECT_EQ("", PassesSince());

    OnPlaceChange(CHANGED_STARTUP);
    Ticks(1);
    EXPECT_EQ("S", PassesSince()) << "a change long after the passes";
}

// --- The real monitor ---------------------------------------------------------------

namespace {
int CountText(const std::string &text, const std::string &part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

struct MonitorRun {
    std::string folder, sample, trace;
    test::Program monitor;
    HWND window = nullptr;

    void Start(const char *name, bool withAux)
    {
        folder = test::MonitorFolder(name, withAux);
        ASSERT_FALSE(folder.empty());
        sample = SampleFolder(name) + "\\" + "alert_sample.exe";
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\alert_sample.exe").c_str(), sample.c_str(), FALSE));
        ApproveEverything();
        test::SetOptions({{"HideWuffin", "1"}, {"Debug", "1"}});
    }
    void Run()
    {
        monitor = test::Start(folder, "Sentrel.exe", "");
        ASSERT_NE(nullptr, monitor.process);
        window = test::WaitForWindow("Sentrel", nullptr, kWait);
        ASSERT_NE(nullptr, window);
        ASSERT_TRUE(test::WaitUntil([&] { return Trace().find("WATCH PLACES") != std::string::npos; }, kWait))
            << "the monitor gave its places to the library";
    }
    const std::string &Trace()
    {
        trace.clear();
        test::ReadFile(folder + "\\send2ov.txt", &trace);
        return trace;
    }
    void Stop()
    {
        if (window) PostMessageA(window, WM_COMMAND, 6030, 0);
        if (monitor.process) {
            EXPECT_TRUE(test::WaitForExit(monitor, kWait));
        }
        test::Stop(monitor);
        window = nullptr;
    }
};

// Waits for an alert and the time it took from start.
HWND AlertAfter(const char *caption, DWORD start, DWORD limit, DWORD *took)
{
    HWND alert = test::WaitForWindow("#32770", caption, limit);
    *took = GetTickCount() - start;
    if (alert) SendMessageTimeoutA(alert, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);
    return alert;
}
}  // namespace

TEST(InstantMonitor, ChangesByARunningProgramAlertWithinSeconds)
{
    MonitorRun run;
    ASSERT_NO_FATAL_FAILURE(run.Start("InstantMonitor", true));
    // Wine as Windows 10, which the monitor's manifest lets it see as such:
    // HOSTS is watched there too.
    test::SetWineVersion("Sentrel.exe", "win10");
    char path[PATH_SIZE];
    ASSERT_GT(GetHostsPath(path, sizeof path), 0);
    std::string hosts = path, original, startupFolder;
    ASSERT_TRUE(test::ReadFile(hosts, &original));
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, kShellFolders, "Startup", &startupFolder));
    CreateDirectoryA(startupFolder.c_str(), nullptr);
    const std::string shortcut = startupFolder + "\\instant_sample.exe";
    std::vector<std::string> names;
    struct Cleanup {
        MonitorRun &run;
        std::string hosts, original, shortcut;
        std::vector<std::string> &names;
        ~Cleanup()
        {
            if (::testing::Test::HasFailure()) printf("monitor trace:\n%s\n", run.Trace().c_str());
            run.Stop();
            test::SetWineVersion("Sentrel.exe", "");
            SetFileAttributesA(hosts.c_str(), FILE_ATTRIBUTE_NORMAL);
            test::WriteFile(hosts, original);
            DeleteFileA(shortcut.c_str());
            test::DeleteTree(HKEY_LOCAL_MACHINE, std::string(kExtensions) + "\\{6D1C3E52-0F4B-4B8E-9C1A-5E7F00C0FFEE}");
            for (const std::string &name : names) test::DeleteValue(HKEY_CURRENT_USER, kRun, name);
            test::ResetSentrelRegistry();
        }
    } cleanup{run, hosts, original, shortcut, names};
    ASSERT_NO_FATAL_FAILURE(run.Run());

    // An installer writes 50 Run values at once: one pass asks about all of them.
    int placesBefore = CountText(run.Trace(), "VERIFY PLACES");
    int checksBefore = CountText(run.Trace(), "VERIFY: Startup Programs");
    int tasksBefore = CountText(run.Trace(), "NEW TASK DETECTED");
    HKEY run32;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &run32, nullptr));
    for (int i = 0; i < 50; i++) {
        names.push_back("Burst " + std::to_string(i));
        std::string command = run.sample + " -burst" + std::to_string(i);
        RegSetValueExA(run32, names.back().c_str(), 0, REG_SZ, (const BYTE *)command.c_str(),
                       (DWORD)command.size() + 1);
    }
    RegCloseKey(run32);
    DWORD start = GetTickCount(), took = 0;
    for (int n = 0; n < 50; n++) {
        HWND alert = AlertAfter(kNewProgram, start, n ? kWait : kPrompt, &took);
        ASSERT_NE(nullptr, alert) << "alert " << n << " after " << took << " ms";
        if (n == 0) {
            EXPECT_LE(took, kPrompt);
        }
        EXPECT_NE(std::string::npos, ControlText(alert, IDC_ALERT_COMMAND).find(" -burst"));
        ASSERT_TRUE(AnswerAlert(alert, IDYES));
    }
    ASSERT_TRUE(test::WaitUntil([&] { return CountText(run.Trace(), "Exit Normal Verify") >= 1; }, kWait));
    // Nothing more comes of the burst: no second pass for the same changes.
    EXPECT_FALSE(test::WaitUntil([&] { return CountText(run.Trace(), "VERIFY PLACES") > placesBefore + 1; }, 3000));
    std::string trace = run.Trace();
    EXPECT_EQ(placesBefore + 1, CountText(trace, "VERIFY PLACES")) << "one pass for the burst";
    // Programs started by Wine itself may add a real-time pass of their own.
    int checks = CountText(trace, "VERIFY: Startup Programs") - checksBefore;
    EXPECT_GE(checks, 1);
    EXPECT_LE(checks, 1 + CountText(trace, "NEW TASK DETECTED") - tasksBefore) << "one startup check for 50 writes";

    // One Run value.
    names.push_back("Instant Sample");
    const std::string command = run.sample + " -instant";
    start = GetTickCount();
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, names.back(), command));
    HWND alert = AlertAfter(kNewProgram, start, kPrompt, &took);
    ASSERT_NE(nullptr, alert) << "no alert promptly after the Run value";
    EXPECT_EQ(command, ControlText(alert, IDC_ALERT_COMMAND));
    ASSERT_TRUE(AnswerAlert(alert, IDNO));
    EXPECT_TRUE(test::WaitUntil([&] { return !test::ValueExists(HKEY_CURRENT_USER, kRun, names.back()); },
                                kWait));

    // A Run value written while another one's alert is open is asked about
    // as soon as that alert closes, not at the next patrol.
    names.push_back("Open Alert");
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, names.back(), run.sample + " -first"));
    alert = AlertAfter(kNewProgram, GetTickCount(), kPrompt, &took);
    ASSERT_NE(nullptr, alert);
    names.push_back("Meanwhile");
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, names.back(), run.sample + " -meanwhile"));
    Sleep(2500);
    ASSERT_TRUE(AnswerAlert(alert, IDYES));
    start = GetTickCount();
    alert = AlertAfter(kNewProgram, start, kPrompt, &took);
    ASSERT_NE(nullptr, alert) << "the value written during the alert waited for the patrol";
    EXPECT_EQ(run.sample + " -meanwhile", ControlText(alert, IDC_ALERT_COMMAND));
    ASSERT_TRUE(AnswerAlert(alert, IDYES));

    // A program put into the Startup folder.
    start = GetTickCount();
    ASSERT_TRUE(CopyFileA(run.sample.c_str(), shortcut.c_str(), FALSE));
    alert = AlertAfter(kNewProgram, start, kPrompt, &took);
    ASSERT_NE(nullptr, alert) << "no alert promptly after the Startup folder file";
    EXPECT_EQ(shortcut, ControlText(alert, IDC_ALERT_COMMAND));
    ASSERT_TRUE(AnswerAlert(alert, IDYES));

    // A toolbar button registered with Internet Explorer.
    start = GetTickCount();
    const std::string button = std::string(kExtensions) + "\\{6D1C3E52-0F4B-4B8E-9C1A-5E7F00C0FFEE}";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, button, "Exec", run.sample));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, button, "ButtonText", "Instant Button"));
    alert = AlertAfter(kNewProgram, start, kPrompt, &took);
    ASSERT_NE(nullptr, alert) << "no alert promptly after the toolbar button";
    EXPECT_STRCASEEQ(run.sample.c_str(), ControlText(alert, IDC_ALERT_COMMAND).c_str());
    ASSERT_TRUE(AnswerAlert(alert, IDYES));

    // HOSTS changed.
    start = GetTickCount();
    ASSERT_TRUE(test::WriteFile(hosts, original + "127.0.0.1 instant.example\r\n"));
    alert = AlertAfter(kFileChange, start, kPrompt, &took);
    ASSERT_NE(nullptr, alert) << "no file change alert promptly after the HOSTS change";
    EXPECT_EQ("HOSTS", ControlText(alert, IDC_FILE_NAME));
    ASSERT_TRUE(AnswerAlert(alert, IDC_FILE_REJECT));
    std::string now;
    EXPECT_TRUE(test::WaitUntil([&] { return test::ReadFile(hosts, &now) && now == original; }, kWait));

    // The monitor's own writes (the removed Run value, HOSTS put back) cost at
    // most a pass with nothing new: no alert, no passes one after the other.
    EXPECT_EQ(nullptr, test::WaitForWindow("#32770", nullptr, 6000));
    trace = run.Trace();
    int passes = CountText(trace, "VERIFY PLACES") - placesBefore;
    EXPECT_GE(passes, 6);
    EXPECT_LE(passes, 9) << "one pass for each change and at most one for each answer";
}

// With the startup category's real-time option off, a new Run value waits
// for the regular patrol.
TEST(InstantMonitor, ARealTimeOptionOffLeavesTheChangeToThePatrol)
{
    MonitorRun run;
    ASSERT_NO_FATAL_FAILURE(run.Start("InstantOptionOff", true));
    test::WriteString(HKEY_CURRENT_USER, kOptions, "RealtimeStartup", "0");
    test::WriteString(HKEY_CURRENT_USER, kOptions, "Start", "1");
    const std::string command = run.sample + " -patrolled";
    struct Cleanup {
        MonitorRun &run;
        ~Cleanup()
        {
            if (::testing::Test::HasFailure()) printf("monitor trace:\n%s\n", run.Trace().c_str());
            run.Stop();
            test::DeleteValue(HKEY_CURRENT_USER, kRun, "Patrolled");
            test::ResetSentrelRegistry();
        }
    } cleanup{run};
    ASSERT_NO_FATAL_FAILURE(run.Run());

    DWORD start = GetTickCount(), took = 0;
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Patrolled", command));
    EXPECT_EQ(nullptr, test::WaitForWindow("#32770", kNewProgram, 8000)) << "made due by the change";
    // The patrol finds it (its clock run fast).
    HWND alert = test::WaitForWindowFastPatrol(run.window, "#32770", kNewProgram, 75000);
    took = GetTickCount() - start;
    ASSERT_NE(nullptr, alert) << "the patrol did not find the entry after " << took << " ms";
    EXPECT_EQ(command, ControlText(alert, IDC_ALERT_COMMAND));
    ASSERT_TRUE(AnswerAlert(alert, IDYES));
    EXPECT_EQ(0, CountText(run.Trace(), "VERIFY PLACES"));
}
