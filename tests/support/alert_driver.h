// Driving the monitor's alerts from a second thread while the test's main
// thread sits in the check (or ShowAlert) that opened them, as the user
// would: find the alert by its caption, read its fields, press a button.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "alerts.h"
#include "items.h"
#include "monitor.h"
#include "options.h"
#include "startup_list.h"
#include "store.h"
#include "test_support.h"

namespace alerts_test {

using namespace test::keys;

const char kNewProgram[] = "Sentrel New Program Alert";
const char kDelayed[] = "This Program doesn't want to be Delayed";
const char kFileChange[] = "Sentrel: File Change Alert";
const char kFileType[] = "Sentrel File Type Change Alert";
const char kSystemError[] = "System Error";
const char kMonitorBox[] = "Sentrel";   // the monitor's own message boxes (the start page's too)
const char kUpdateCaption[] = "Sentrel - Windows Auto Update Settings";
const char kPrefixCaption[] = "Sentrel - Internet Browser Default Prefix";
const char kRestartViewer[] = "Sentrel - Windows Restart Commands";
const DWORD kWait = 20000;

// What the user saw in one alert.
struct Seen {
    HWND window = nullptr;
    std::map<int, std::string> fields;   // control id -> text
    bool topmost = false;
    // The text of a control; "<none>" when the alert had no such control.
    std::string Field(int id) const
    {
        auto it = fields.find(id);
        return it == fields.end() ? "<none>" : it->second;
    }
};

using test::ControlText;

inline void ReadFields(HWND dialog, Seen *seen)
{
    seen->window = dialog;
    seen->topmost = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    for (int id = 1; id <= 2000; id++)
        if (GetDlgItem(dialog, id)) seen->fields[id] = ControlText(dialog, id);
    if (GetDlgItem(dialog, 0xFFFF)) seen->fields[0xFFFF] = ControlText(dialog, 0xFFFF);   // a message box's text
}

// Waits for an alert with the caption (with the monitor's patrol running
// fast, when its window is given) and until it has finished its
// initialisation; null when none came within the time.
inline HWND WaitForAlert(const char *caption, DWORD milliseconds, HWND monitor = nullptr)
{
    HWND alert = monitor ? test::WaitForWindowFastPatrol(monitor, "#32770", caption, milliseconds)
                         : test::WaitForWindow("#32770", caption, milliseconds);
    if (alert) SendMessageTimeoutA(alert, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);
    return alert;
}

// Presses a button of an alert and waits until it has gone; true when it went.
inline bool AnswerAlert(HWND alert, int button)
{
    test::PressButton(alert, button);
    return test::WaitForWindowGone(alert, kWait);
}

// One answer: the caption to wait for and the button (or a key) to press.
struct Answer {
    std::string caption;
    int button;                 // a control id, or 0 for a key
    WPARAM key = 0;             // VK_ESCAPE or VK_RETURN when button is 0
    int check = 0;              // a check box to tick first
};

// Answers alerts one after the other on its own thread, recording what
// each showed. Unanswered alerts fail the test when the driver ends.
class Driver {
public:
    explicit Driver(std::vector<Answer> answers) : answers_(std::move(answers))
    {
        seen_.resize(answers_.size());
        thread_ = std::thread([this] { Run(); });
    }
    ~Driver() { Finish(); }
    void Finish()
    {
        if (thread_.joinable()) thread_.join();
    }
    int answered() const { return answered_; }
    const Seen &seen(size_t i) const { return seen_[i]; }
    // Whether the window is one of the alerts answered so far.
    bool Answered(HWND window) const
    {
        for (int i = 0; i < answered_; i++)
            if (seen_[i].window == window) return true;
        return false;
    }

private:
    void Run()
    {
        for (size_t i = 0; i < answers_.size(); i++) {
            const Answer &a = answers_[i];
            HWND dialog = test::WaitForWindow("#32770", a.caption.c_str(), kWait);
            if (!dialog) return;
            // Let the dialog finish its initialisation before reading it.
            SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, kWait, nullptr);
            ReadFields(dialog, &seen_[i]);
            if (a.check) SendDlgItemMessageA(dialog, a.check, BM_CLICK, 0, 0);
            if (a.button) {
                test::PressButton(dialog, a.button);
            } else {
                // The key goes where the user's key would: to the control
                // with the focus, whose dialog loop turns it into a command.
                GUITHREADINFO info = {};
                info.cbSize = sizeof info;
                HWND target = dialog;
                if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus)
                    target = info.hwndFocus;
                PostMessageA(target, WM_KEYDOWN, a.key, 0);
                PostMessageA(target, WM_KEYUP, a.key, 0xC0000001);
            }
            answered_++;
            // An error box that the answer opens comes before the alert closes.
            bool errorNext = i + 1 < answers_.size() && answers_[i + 1].caption != a.caption &&
                             (answers_[i + 1].caption == kSystemError || answers_[i + 1].caption == kMonitorBox);
            if (!errorNext) test::WaitForWindowGone(dialog, kWait);
        }
    }
    std::vector<Answer> answers_;
    std::vector<Seen> seen_;
    std::atomic<int> answered_{0};
    std::thread thread_;
};

// Watches for alerts (by their captions) while a call that should ask
// nothing runs; an alert that shows is closed and counted.
class Silence {
public:
    explicit Silence(std::vector<std::string> captions = {kNewProgram, kDelayed}) : captions_(std::move(captions))
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                for (const std::string &caption : captions_) {
                    if (HWND dialog = FindWindowA("#32770", caption.c_str())) {
                        shown_++;
                        PostMessageA(dialog, WM_COMMAND, IDYES, 0);
                    }
                }
                Sleep(20);
            }
        });
    }
    ~Silence() { Stop(); }
    int Stop()
    {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return shown_;
    }

private:
    std::vector<std::string> captions_;
    std::atomic<bool> stop_{false};
    std::atomic<int> shown_{0};
    std::thread thread_;
};

// Writes the baseline value of every entry now in the startup list, so that
// only what a test adds is new.
inline void ApproveEverything()
{
    int count = BuildStartupList(0);
    for (int i = 0; i < count; i++) {
        char name[PATH_SIZE];
        StartupBaselineNameIn(GetItemView(i), GetItemPath(i), name);
        StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT "\\Run", name, GetItemType(i) ? GetItemType(i) : 1);
    }
    FreeItems();
}

using test::ClearHistory;
using test::CountHistory;
using test::HistoryLines;

inline std::string Baseline(const std::string &name)
{
    std::string value;
    if (!test::ReadString(HKEY_CURRENT_USER, kRunBaseline, name, &value)) return "<missing>";
    return value;
}

// A fresh folder for sample programs. Outside the tests' usual folder:
// entries whose command names Sentrel are the monitor's own, and their
// removal is not written to the history.
inline std::string SampleFolder(const std::string &name)
{
    CreateDirectoryA("C:\\alert-samples", nullptr);
    std::string folder = "C:\\alert-samples\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char *file : {"alert_sample.exe", "alert_huge.exe", "ran.txt"}) {
        std::string path = folder + "\\" + file;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    return folder;
}

// A hidden window that stands for the monitor's main window.
inline HWND MakeMainWindow()
{
    return CreateWindowA("STATIC", "alerts", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// A test of the monitor's alerts in-process: Sentrel's store and the
// history start empty, the options are what the monitor loads from them,
// and a hidden window stands for the monitor's main window.
class AlertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        ClearHistory();
        settings = Settings();
        LoadOptions();
        mainWindow = MakeMainWindow();
    }
    void TearDown() override
    {
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        FreeItems();
        test::ResetSentrelRegistry();
    }
    // Runs call while a driver gives the answers, each of which must be
    // used. Once they all are, an alert captioned one of unexpected is
    // closed with the command closeWith and fails the test.
    template <typename Call>
    void Answering(std::vector<Answer> answers, Call call, const std::vector<std::string> &unexpected = {},
                   WPARAM closeWith = IDNO)
    {
        size_t count = answers.size();
        driver.reset(new Driver(std::move(answers)));
        std::atomic<bool> done{false};
        std::atomic<int> extra{0};
        std::string extraText;
        std::thread quiet([&] {
            while (!done && !unexpected.empty()) {
                if ((size_t)driver->answered() == count) {
                    for (const std::string &caption : unexpected) {
                        HWND alert = FindWindowA("#32770", caption.c_str());
                        if (alert && !driver->Answered(alert)) {
                            extra++;
                            extraText += caption + ": " + ControlText(alert, 0xFFFF) + "\n";
                            PostMessageA(alert, WM_COMMAND, closeWith, 0);
                        }
                    }
                }
                Sleep(50);
            }
        });
        call();
        done = true;
        quiet.join();
        driver->Finish();
        EXPECT_EQ((int)count, driver->answered());
        EXPECT_EQ(0, extra.load()) << "an alert that should not have been shown: " << extraText;
    }
    // A control's text in one of the alerts answered ("<none>" when it had none).
    std::string Field(int id, size_t alert = 0) { return driver->seen(alert).Field(id); }

    std::unique_ptr<Driver> driver;
};

// A check of the monitor run in-process (RunCheck) with its alerts shown,
// no tray icon, and no alert repeated before.
class CheckTest : public AlertTest {
protected:
    void SetUp() override
    {
        AlertTest::SetUp();
        settings.hideWuffin = 1;   // no tray icon from the test
        settings.hideAlerts = 0;
        AlertRepeatCount = 0;
        AlertLastCommand[0] = 0;
    }
    virtual void RunCheck() = 0;
    // Runs the check while the driver answers; every answer must be used.
    void CheckAnswering(std::vector<Answer> answers)
    {
        Answering(std::move(answers), [this] { RunCheck(); });
        EXPECT_EQ(0, inDialog);
    }
    // Runs the check and fails when it shows one of the alerts quiet names.
    void CheckSilently(const char *why = "the check asked although nothing was new")
    {
        Silence watch(quiet);
        RunCheck();
        EXPECT_EQ(0, watch.Stop()) << why;
    }
    std::vector<std::string> quiet = {kNewProgram, kDelayed};
};

}  // namespace alerts_test
