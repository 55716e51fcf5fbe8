// sentrelaux.dll: the monitor's real-time eye. Ordinal 2 receives the
// monitor's main window and starts a watcher that posts WM_TASK_CHANGE
// (9024) to it whenever a program starts or ends; ordinal 4 adds the watch
// of the places the monitor names (registry keys and folders), posting the
// monitor's own message when one changes; ordinal 3 stops every watcher and
// returns only when they have ended, so no notice follows it.
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "aux_places.h"

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

// --- Watched places ----------------------------------------------------------

// A burst of changes (an installer writing many values) ends when nothing
// changed for kQuietMs, or is reported after kHoldMs while it goes on.
const DWORD kQuietMs = 200;
const DWORD kHoldMs = 1500;
// One wait covers at most MAXIMUM_WAIT_OBJECTS handles, the stop event
// among them; a key takes two (itself and its parent).
const int kPlacesPerThread = (MAXIMUM_WAIT_OBJECTS - 1) / 2;
const DWORD kFolderChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                             FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

struct PlaceWatch {
    AuxPlace place;
    HKEY key;        // the place's key, or its nearest existing parent
    HANDLE event;    // keys: set by the registry when the key changes
    // The parent of the key watched, watched for its subkeys: not every
    // registry tells the watcher of a key that the key was deleted.
    HKEY parent;
    HANDLE parentEvent;
    FILETIME written;   // the key's last write when it was opened
    HANDLE change;   // folders: the change notification
    int atParent;    // the place does not exist: its parent is watched for it
    int armed;
};

struct WatchGroup {
    PlaceWatch *watches;
    int count;
    HANDLE thread;
    HANDLE armed;   // set once every place of the group is watched
};

HANDLE placeStop;
UINT placeMessage;
WatchGroup *groups;
int groupCount;

// Cuts the last part off a path; 0 when nothing is left to cut. A folder
// stops at its drive ("C:\\").
int CutLastPart(char *path, int folder)
{
    char *slash = strrchr(path, '\\');
    if (!folder) {
        if (!path[0]) return 0;
        if (slash)
            *slash = 0;
        else
            path[0] = 0;
        return 1;
    }
    if (slash && slash[1] == 0) {
        // A trailing backslash: "C:\\" has no parent, "X\\" is "X".
        if (slash == path + 2 && path[1] == ':') return 0;
        *slash = 0;
        slash = strrchr(path, '\\');
    }
    if (!slash) return 0;
    if (slash == path + 2 && path[1] == ':')
        slash[1] = 0;
    else
        *slash = 0;
    return 1;
}

// The start of arming a watch: the place's own path, nothing armed yet.
void BeginArming(PlaceWatch *w, char (&path)[AUX_PLACE_PATH_SIZE])
{
    lstrcpynA(path, w->place.path, sizeof path);
    w->atParent = 0;
    w->armed = 0;
}

// Opens the place's key or, while it is missing, its nearest existing
// parent, and asks to be told of a change (of the parent: of its subkeys).
// A key deleted between its opening and the request (a tree being
// removed) refuses the request: the nearest key is looked for again.
void ArmKey(PlaceWatch *w)
{
    char path[AUX_PLACE_PATH_SIZE];
    for (int attempt = 0; attempt < 8 && !w->armed; attempt++) {
        BeginArming(w, path);
        for (;;) {
            HKEY key;
            LONG rc = RegOpenKeyExA(w->place.root, path, 0, KEY_NOTIFY | KEY_QUERY_VALUE | w->place.view, &key);
            if (rc == ERROR_SUCCESS) {
                w->key = key;
                break;
            }
            if (rc != ERROR_FILE_NOT_FOUND || !CutLastPart(path, 0)) return;
            w->atParent = 1;
        }
        DWORD filter = w->atParent ? REG_NOTIFY_CHANGE_NAME : REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        BOOL subtree = w->atParent ? FALSE : w->place.subtree != 0;
        if (RegNotifyChangeKeyValue(w->key, subtree, filter, w->event, TRUE) == ERROR_SUCCESS) {
            w->armed = 1;
        } else {
            RegCloseKey(w->key);
            w->key = nullptr;
        }
    }
    if (!w->armed) return;
    if (w->atParent ||
        RegQueryInfoKeyA(w->key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &w->written) != ERROR_SUCCESS)
        w->written = FILETIME{0, 0};
    // The parent of the key watched (the place or its nearest existing
    // parent), for when that key is deleted.
    if (!w->parentEvent || !CutLastPart(path, 0)) return;
    HKEY parent;
    if (RegOpenKeyExA(w->place.root, path, 0, KEY_NOTIFY | w->place.view, &parent) != ERROR_SUCCESS) return;
    if (RegNotifyChangeKeyValue(parent, FALSE, REG_NOTIFY_CHANGE_NAME, w->parentEvent, TRUE) == ERROR_SUCCESS)
        w->parent = parent;
    else
        RegCloseKey(parent);
}

void ArmFolder(PlaceWatch *w)
{
    char path[AUX_PLACE_PATH_SIZE];
    BeginArming(w, path);
    for (;;) {
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
        if (!CutLastPart(path, 1)) return;
        w->atParent = 1;
    }
    HANDLE change = FindFirstChangeNotificationA(path, w->atParent ? FALSE : w->place.subtree != 0,
                                                 w->atParent ? FILE_NOTIFY_CHANGE_DIR_NAME : kFolderChanges);
    if (change == INVALID_HANDLE_VALUE) return;
    w->change = change;
    w->armed = 1;
}

void Disarm(PlaceWatch *w)
{
    if (w->key) RegCloseKey(w->key);
    if (w->parent) RegCloseKey(w->parent);
    w->parent = nullptr;
    if (w->change) FindCloseChangeNotification(w->change);
    w->key = nullptr;
    w->change = nullptr;
    w->armed = 0;
}

void Arm(PlaceWatch *w)
{
    if (w->place.kind == AUX_PLACE_KEY)
        ArmKey(w);
    else
        ArmFolder(w);
}

// A watch fired (the place or, for a key, its parent): it is armed again,
// the key opened anew, so that a key deleted and created again is the one
// watched. 1 when the place may have changed, 0 when only the parent of a
// missing place did and the place is still missing.
int Rearm(PlaceWatch *w, int byParent)
{
    int wasAtParent = w->atParent;
    FILETIME written = w->written;
    if (w->place.kind == AUX_PLACE_FOLDER && !wasAtParent && FindNextChangeNotification(w->change)) return 1;
    Disarm(w);
    Arm(w);
    if (wasAtParent) return !w->atParent;
    // Another subkey of the parent changed: the place counts as changed
    // only when it is gone or is a key written since (deleted and created again).
    if (byParent)
        return w->atParent || !w->armed || CompareFileTime(&written, &w->written) != 0;
    return 1;
}

DWORD WINAPI WatchPlaces(LPVOID param)
{
    WatchGroup *group = (WatchGroup *)param;
    for (int i = 0; i < group->count; i++) Arm(&group->watches[i]);
    SetEvent(group->armed);

    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    int owner[MAXIMUM_WAIT_OBJECTS];   // 2 * place, + 1 for a key's parent
    unsigned unposted = 0;
    DWORD first = 0, last = 0;
    for (;;) {
        DWORD timeout = INFINITE;
        if (unposted) {
            DWORD now = GetTickCount(), quiet = now - last, held = now - first;
            if (quiet >= kQuietMs || held >= kHoldMs) {
                if (WaitForSingleObject(placeStop, 0) != WAIT_OBJECT_0)
                    PostMessageA(monitorWindow, placeMessage, (WPARAM)unposted, 0);
                unposted = 0;
            } else {
                timeout = kQuietMs - quiet < kHoldMs - held ? kQuietMs - quiet : kHoldMs - held;
            }
        }
        int n = 0;
        handles[n++] = placeStop;
        for (int i = 0; i < group->count; i++) {
            PlaceWatch *w = &group->watches[i];
            if (!w->armed) continue;
            owner[n] = 2 * i;
            handles[n++] = w->place.kind == AUX_PLACE_KEY ? w->event : w->change;
            if (w->parent) {
                owner[n] = 2 * i + 1;
                handles[n++] = w->parentEvent;
            }
        }
        DWORD rc = WaitForMultipleObjects((DWORD)n, handles, FALSE, timeout);
        if (rc == WAIT_OBJECT_0) break;
        if (rc == WAIT_TIMEOUT) continue;
        if (rc > WAIT_OBJECT_0 && rc < WAIT_OBJECT_0 + (DWORD)n) {
            int fired = owner[rc - WAIT_OBJECT_0];
            PlaceWatch *w = &group->watches[fired / 2];
            if (Rearm(w, fired % 2) && w->place.tags) {
                DWORD now = GetTickCount();
                if (!unposted) first = now;
                unposted |= w->place.tags;
                last = now;
            }
            continue;
        }
        // The wait itself failed: try again later rather than spin.
        if (WaitForSingleObject(placeStop, 1000) == WAIT_OBJECT_0) break;
    }
    for (int i = 0; i < group->count; i++) Disarm(&group->watches[i]);
    return 0;
}

void StopPlaces(void)
{
    if (placeStop) SetEvent(placeStop);
    for (int g = 0; g < groupCount; g++) {
        WatchGroup *group = &groups[g];
        if (group->thread) {
            WaitForSingleObject(group->thread, INFINITE);
            CloseHandle(group->thread);
        }
        for (int i = 0; i < group->count; i++) {
            Disarm(&group->watches[i]);
            if (group->watches[i].event) CloseHandle(group->watches[i].event);
            if (group->watches[i].parentEvent) CloseHandle(group->watches[i].parentEvent);
        }
        HeapFree(GetProcessHeap(), 0, group->watches);
        if (group->armed) CloseHandle(group->armed);
    }
    if (groups) HeapFree(GetProcessHeap(), 0, groups);
    groups = nullptr;
    groupCount = 0;
    if (placeStop) CloseHandle(placeStop);
    placeStop = nullptr;
}

int StartGroup(WatchGroup *group, const AuxPlace *places, int count)
{
    group->watches = (PlaceWatch *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PlaceWatch) * (SIZE_T)count);
    if (!group->watches) return 0;
    group->count = count;
    for (int i = 0; i < count; i++) {
        PlaceWatch *w = &group->watches[i];
        w->place = places[i];
        w->place.path[AUX_PLACE_PATH_SIZE - 1] = 0;
        if (w->place.kind == AUX_PLACE_KEY) {
            w->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            w->parentEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            if (!w->event || !w->parentEvent) return 0;
        }
    }
    group->armed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!group->armed) return 0;
    group->thread = CreateThread(nullptr, 64 * 1024, WatchPlaces, group, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!group->thread) return 0;
    SetThreadPriority(group->thread, THREAD_PRIORITY_BELOW_NORMAL);
    return 1;
}
}  // namespace

extern "C" int WINAPI AuxWatchPlaces(const AuxPlace *places, int count, UINT message)
{
    StopPlaces();
    if (!monitorWindow || !places || count <= 0) return count == 0 && monitorWindow;
    placeStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!placeStop) return 0;
    placeMessage = message;
    int wanted = (count + kPlacesPerThread - 1) / kPlacesPerThread;
    groups = (WatchGroup *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WatchGroup) * (SIZE_T)wanted);
    if (!groups) return 0;
    groupCount = wanted;
    int all = 1;
    for (int g = 0; g < wanted; g++) {
        int first = g * kPlacesPerThread;
        int n = count - first < kPlacesPerThread ? count - first : kPlacesPerThread;
        if (!StartGroup(&groups[g], places + first, n)) all = 0;
    }
    // Changes made once this returns are seen.
    for (int g = 0; g < wanted; g++)
        if (groups[g].thread && WaitForSingleObject(groups[g].armed, 5000) != WAIT_OBJECT_0) all = 0;
    return all;
}

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
    StopPlaces();
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
