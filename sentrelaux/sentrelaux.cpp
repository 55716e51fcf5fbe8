// sentrelaux.dll: the monitor's real-time eye. Ordinal 2 receives the
// monitor's main window and starts a watcher that posts WM_TASK_CHANGE
// (9024) to it whenever a program starts or ends; ordinal 3 stops the
// watcher and returns only when it has ended, so no notice follows it.
#include <windows.h>
#include <tlhelp32.h>

namespace {
const UINT kTaskChange = 9024;
const DWORD kPollMs = 250;

HWND monitorWindow;
HANDLE watcher;
HANDLE stopEvent;

// A fingerprint of the running processes: their count and their ids.
struct Fingerprint {
    DWORD count;
    unsigned long long ids;
    bool operator!=(const Fingerprint &o) const { return count != o.count || ids != o.ids; }
};

bool TakeFingerprint(Fingerprint *print)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    Fingerprint p = {0, 0};
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        p.count++;
        // Order-independent: the same set of processes gives the same sum.
        p.ids += (unsigned long long)entry.th32ProcessID * 2654435761u;
    }
    CloseHandle(snapshot);
    *print = p;
    return true;
}

DWORD WINAPI Watch(LPVOID)
{
    Fingerprint last;
    bool known = TakeFingerprint(&last);
    while (WaitForSingleObject(stopEvent, kPollMs) == WAIT_TIMEOUT) {
        Fingerprint now;
        if (!TakeFingerprint(&now)) continue;
        if (known && now != last) PostMessageA(monitorWindow, kTaskChange, 0, 0);
        last = now;
        known = true;
    }
    return 0;
}
}  // namespace

extern "C" int WINAPI AuxAttachWindow(HWND window)
{
    if (watcher || !window) return 0;
    monitorWindow = window;
    stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stopEvent) return 0;
    watcher = CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr);
    if (!watcher) {
        CloseHandle(stopEvent);
        stopEvent = nullptr;
        return 0;
    }
    // The watcher must never slow the programs it watches.
    SetThreadPriority(watcher, THREAD_PRIORITY_BELOW_NORMAL);
    return 1;
}

extern "C" int WINAPI AuxDetachWindow(void)
{
    if (!watcher) return 0;
    SetEvent(stopEvent);
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);
    CloseHandle(stopEvent);
    watcher = nullptr;
    stopEvent = nullptr;
    monitorWindow = nullptr;
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
