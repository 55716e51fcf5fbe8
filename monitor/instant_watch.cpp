// Sentrel.exe: instant detection. sentrelaux.dll watches the places the
// inventories read (registry keys in their hives and views, folders) and
// posts WM_PLACE_CHANGE with the categories whose places changed. Those
// categories become due at the next tick the way a real-time notice makes
// its categories due: countdown 1 and the pass of their group next.
#include "instant_watch.h"

#include <cstdlib>
#include <cstring>

#include "../sentrelaux/aux_places.h"
#include "growing_array.h"
#include "monitor.h"
#include "options.h"
#include "patrol.h"
#include "platform.h"
#include "registry_views.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "trace.h"
#include "watch_places.h"

namespace {
enum { GROUP_A = 0, GROUP_B = 1 };

struct Category {
    unsigned bit;
    int group;
    int Countdowns::*countdown;
    int Settings::*interval;
    int Settings::*realtime;   // null: no real-time option; watched while the category is on
};
const Category kCategories[] = {
    {CHANGED_STARTUP, GROUP_A, &Countdowns::start, &Settings::start, &Settings::realtimeStartup},
    {CHANGED_IE_HELPERS, GROUP_A, &Countdowns::ieHelpers, &Settings::ieHelpers, &Settings::realtimeIEHelper},
    {CHANGED_HIDDEN, GROUP_A, &Countdowns::hidden, &Settings::hidden, &Settings::realtimeHidden},
    {CHANGED_SYSFILES, GROUP_A, &Countdowns::hostFile, &Settings::hostFile, &Settings::realtimeSysFiles},
    {CHANGED_PAGES, GROUP_A, &Countdowns::startPage, &Settings::startPage, &Settings::realtimeStartPage},
    {CHANGED_FILE_TYPES, GROUP_A, &Countdowns::fileType, &Settings::fileType, &Settings::realtimeFileType},
    {CHANGED_TASKS, GROUP_B, &Countdowns::tasks, &Settings::tasks, nullptr},
    {CHANGED_SERVICES, GROUP_B, &Countdowns::services, &Settings::services, nullptr},
};

// Where the entries of each category live, one line per inventory.
const struct {
    unsigned bit;
    void (*forEach)(WatchPlaceVisitor visit, void *context);
} kPlaceSources[] = {
    {CHANGED_STARTUP, ForEachStartupPlace},
    {CHANGED_IE_HELPERS, ForEachIEHelperPlace},
    {CHANGED_SYSFILES, ForEachMonitoredFilePlace},
    {CHANGED_PAGES, ForEachBrowserPagePlace},
    {CHANGED_FILE_TYPES, ForEachFileTypePlace},
    {CHANGED_TASKS, ForEachTaskPlace},
    {CHANGED_SERVICES, ForEachServicePlace},
};

// Changes that reach the monitor within this time after a pass may be the
// pass's own writes (the library reports a burst up to 1.5 s late).
const DWORD kEchoMs = 2500;

// A change to a category's places during (or right after) a pass that
// checked that category may be the check's own write (an entry removed, a
// file put back). Such changes start passes at once as long as those
// passes find something to ask about; after two passes in a row that found
// nothing, one more comes kLateTicks later and then none until the patrol
// (or until a change comes at another time). So a check that writes at
// every pass cannot start pass after pass, while another program's changes
// coming one after the other are each found at once.
const int kLateTicks = 5;
const int kFruitlessLate = 2, kFruitlessDropped = 3;
unsigned pendingChanges;   // categories whose places changed, not yet made due
unsigned lateChanges;      // changes held back for lateTicks
int lateTicks;
int fruitless[32];         // per category: passes made due by changes in a row that asked nothing
int scheduledGroup = -1;   // the group of the pass made due by changes, -1 none
unsigned scheduledByChange;   // the categories that pass checks because of changes
unsigned passChecks;       // categories the running (or last) pass checks
unsigned passByChange;     // those of them it checks because of changes
int passRunning;
int refusedPass;
DWORD lastPassEnd;
int passEnded;

AuxWatchPlacesProc watchPlaces;
AuxPlace *sentPlaces;      // what the library watches now
int sentCount = -1;

const Category *CategoryOf(unsigned bit)
{
    for (const Category &c : kCategories)
        if (c.bit == bit) return &c;
    return nullptr;
}

// A change can make the category due: its real-time option is on or, for a
// category without one, it is patrolled at all.
int Watchable(const Category &c)
{
    return c.realtime ? settings.*c.realtime != 0 : settings.*c.interval > 0;
}

struct PlaceList {
    AuxPlace *places;
    int count, room;
    unsigned tags;   // the category of the source being listed
    int failed;
};

void AddPlace(const WatchPlace *place, void *context)
{
    PlaceList &list = *(PlaceList *)context;
    if (!place->path) return;
    AuxPlace entry = {};
    entry.kind = place->kind == WATCH_KEY ? AUX_PLACE_KEY : AUX_PLACE_FOLDER;
    entry.root = place->kind == WATCH_KEY ? place->root : nullptr;
    entry.view = place->kind == WATCH_KEY ? RegistryViewFlag(place->view) : 0;
    entry.subtree = place->subtree ? 1 : 0;
    entry.tags = list.tags;
    // A place whose name would not fit is not watched at all rather than cut
    // to another place; the patrol still finds its changes.
    if (!CopyText(entry.path, sizeof entry.path, place->path) || !entry.path[0]) return;
    for (int i = 0; i < list.count; i++) {
        AuxPlace &same = list.places[i];
        if (same.kind == entry.kind && same.root == entry.root && same.view == entry.view &&
            TextEqualNoCase(same.path, entry.path)) {
            same.tags |= entry.tags;
            same.subtree |= entry.subtree;
            return;
        }
    }
    if (!MakeRoomForOne(list.places, list.count, list.room, 64)) {
        list.failed = 1;
        return;
    }
    list.places[list.count++] = entry;
}

int SamePlaces(const AuxPlace *a, int countA, const AuxPlace *b, int countB)
{
    if (countA != countB) return 0;
    for (int i = 0; i < countA; i++) {
        if (a[i].kind != b[i].kind || a[i].root != b[i].root || a[i].view != b[i].view ||
            a[i].subtree != b[i].subtree || a[i].tags != b[i].tags || strcmp(a[i].path, b[i].path) != 0)
            return 0;
    }
    return 1;
}

unsigned GroupBits(int group)
{
    unsigned bits = 0;
    for (const Category &c : kCategories)
        if (c.group == group) bits |= c.bit;
    return bits;
}

// Makes the changed categories of one group due; 1 when a pass was made due.
int MakeGroupDue(int group)
{
    unsigned changed = pendingChanges & GroupBits(group);
    if (!changed) return 0;
    pendingChanges &= ~changed;
    int due = 0;
    for (const Category &c : kCategories) {
        // A category whose real-time option is off waits for its interval.
        if (!(changed & c.bit) || !Watchable(c)) continue;
        countdowns.*c.countdown = 1;
        due = 1;
    }
    if (!due) return 0;
    tickCounter = 16;
    groupToggle = group;
    scheduledByChange |= changed;
    if (scheduledGroup == group) return 1;   // joins the pass already due
    scheduledGroup = group;
    char text[80];
    FormatText(text, sizeof text, "Change to a watched place: group %c pass, categories %02x", group == GROUP_A ? 'A' : 'B',
               changed);
    TraceLog("* * * * VERIFY PLACES", text);
    TraceTiming();
    return 1;
}
}  // namespace

void OnPlaceChange(unsigned changed)
{
    if (!changed) return;
    DWORD now = patrolClock();
    // A change while an alert is open is the user's machine changing, not
    // an echo of the pass's own writes.
    int recent = !inDialog && (passRunning || verifyBusy || (passEnded && now - lastPassEnd < kEchoMs));
    for (int bit = 0; bit < 32; bit++) {
        unsigned category = 1u << bit;
        if (!(changed & category)) continue;
        if (!recent || !(passChecks & category)) {
            fruitless[bit] = 0;
        } else if (fruitless[bit] >= kFruitlessDropped) {
            changed &= ~category;
        } else if (fruitless[bit] >= kFruitlessLate) {
            changed &= ~category;
            lateChanges |= category;
            lateTicks = kLateTicks;
        }
    }
    pendingChanges |= changed;
    ApplyPlaceChanges();
}

void ApplyPlaceChanges(void)
{
    if (!pendingChanges || inDialog || verifyBusy || expressBootCountdown > 0) return;
    if (scheduledGroup >= 0) {
        // A pass is due already: changes of its group join it, those of
        // the other group wait until it has run.
        MakeGroupDue(scheduledGroup);
        return;
    }
    if (GetOption("Update", 0) != 0) {
        LoadOptions();
        StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Update", "0");
    }
    if (!MakeGroupDue(GROUP_A)) MakeGroupDue(GROUP_B);
}

void PlaceTick(void)
{
    if (lateChanges && --lateTicks <= 0) {
        pendingChanges |= lateChanges;
        lateChanges = 0;
    }
    ApplyPlaceChanges();
}

void PlacePassStarting(void)
{
    // A tick inside an alert of a pass: that pass goes on, this one is refused.
    if (inDialog || verifyBusy) {
        refusedPass = 1;
        return;
    }
    // The categories whose countdown fires in this pass.
    passChecks = 0;
    for (const Category &c : kCategories)
        if (c.group == groupToggle && countdowns.*c.countdown == 1) passChecks |= c.bit;
    passByChange = scheduledByChange & passChecks;
    scheduledGroup = -1;
    scheduledByChange = 0;
    passRunning = 1;
}

void PlacePassEnded(int ran)
{
    if (refusedPass) {
        refusedPass = 0;
        return;
    }
    passRunning = 0;
    if (!ran) {
        // Nothing was checked: the changes wait for the very next tick.
        pendingChanges |= passByChange;
        passByChange = 0;
        ApplyPlaceChanges();
        return;
    }
    passEnded = 1;
    for (int bit = 0; bit < 32; bit++)
        if (passByChange & (1u << bit)) fruitless[bit] = alertShown ? 0 : fruitless[bit] + 1;
    lastPassEnd = patrolClock();
    RefreshWatchedPlaces();
    ApplyPlaceChanges();
}

int RefreshWatchedPlaces(void)
{
    if (!watchPlaces) return 0;
    PlaceList list = {nullptr, 0, 0, 0, 0};
    for (const auto &source : kPlaceSources) {
        const Category *category = CategoryOf(source.bit);
        if (!category || !Watchable(*category)) continue;
        list.tags = source.bit;
        source.forEach(AddPlace, &list);
    }
    if (list.failed || SamePlaces(list.places, list.count, sentPlaces, sentCount)) {
        free(list.places);
        return sentCount > 0 ? sentCount : 0;
    }
    int watched = watchPlaces(list.places, list.count, WM_PLACE_CHANGE);
    char text[64];
    FormatText(text, sizeof text, "%d places%s", list.count, watched ? "" : ", not all of them watched");
    TraceLog("WATCH PLACES", text);
    TraceTiming();
    free(sentPlaces);
    sentPlaces = list.places;
    sentCount = list.count;
    return sentCount;
}

void StartInstantWatch(void *procedure)
{
    watchPlaces = (AuxWatchPlacesProc)procedure;
    sentCount = -1;
    RefreshWatchedPlaces();
}

void StopInstantWatch(void)
{
    watchPlaces = nullptr;
    free(sentPlaces);
    sentPlaces = nullptr;
    sentCount = -1;
    pendingChanges = lateChanges = 0;
    lateTicks = 0;
    for (int &count : fruitless) count = 0;
    scheduledGroup = -1;
    scheduledByChange = passChecks = passByChange = 0;
    passRunning = refusedPass = passEnded = 0;
}
