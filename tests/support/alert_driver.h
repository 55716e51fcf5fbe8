// Driving the monitor's alerts from a second thread while the test's main
// thread sits in the check (or ShowAlert) that opened them, as the user
// would: find the alert by its caption, read its fields, press a button.
#pragma once
#include <windows.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "alerts.h"
#include "items.h"
#include "startup_list.h"
#include "store.h"
#include "test_support.h"

namespace alerts_test {

const char kNewProgram[] = "Sentrel New Program Alert";
const char kDelayed[] = "This Program doesn't want to be Delayed";
const char kFileChange[] = "Sentrel: File Change Alert";
const char kFileType[] = "Sentrel File Type Change Alert";
const char kSystemError[] = "System Error";
const char kMonitorBox[] = "Sentrel";   // the monitor's own message boxes
const char kCurrentRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kBaseline[] = "Software\\Orvendale\\Sentrel\\Run";
const DWORD kWait = 20000;

// What the user saw in one alert.
struct Seen {
    HWND window = nullptr;
    std::map<int, std::string> fields;   // control id -> text
    bool topmost = false;
};

inline std::string ControlText(HWND dialog, int id)
{
    char text[2048] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

inline void ReadFields(HWND dialog, Seen *seen)
{
    seen->window = dialog;
    seen->topmost = (GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    for (int id = 1; id <= 2000; id++)
        if (GetDlgItem(dialog, id)) seen->fields[id] = ControlText(dialog, id);
    if (GetDlgItem(dialog, 0xFFFF)) seen->fields[0xFFFF] = ControlText(dialog, 0xFFFF);   // a message box's text
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

// Watches for any alert while a call that should ask nothing runs; an
// alert that shows is closed and counted.
class Silence {
public:
    Silence()
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                for (const char *caption : {kNewProgram, kDelayed}) {
                    if (HWND dialog = FindWindowA("#32770", caption)) {
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

// The lines of the program folder's history.txt.
inline std::vector<std::string> HistoryLines()
{
    std::string text;
    std::vector<std::string> lines;
    if (!test::ReadFile(test::BuildFolder() + "\\history.txt", &text)) return lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The history lines that contain every one of the texts.
inline int CountHistory(std::initializer_list<std::string> texts)
{
    int n = 0;
    for (const std::string &line : HistoryLines()) {
        bool all = true;
        for (const std::string &t : texts) all = all && line.find(t) != std::string::npos;
        n += all;
    }
    return n;
}

inline void ClearHistory()
{
    DeleteFileA((test::BuildFolder() + "\\history.txt").c_str());
}

inline std::string Baseline(const std::string &name)
{
    std::string value;
    if (!test::ReadString(HKEY_CURRENT_USER, kBaseline, name, &value)) return "<missing>";
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

}  // namespace alerts_test
