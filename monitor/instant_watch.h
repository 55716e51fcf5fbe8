// Sentrel.exe: instant detection of changes to the watched places, through
// sentrelaux.dll (ordinal 4). The monitor works the same without it, only
// without instant notices.
#pragma once
#include <windows.h>

// The categories a place belongs to: the tags the library posts back.
enum PlaceCategory : unsigned {
    CHANGED_STARTUP = 1u << 0,
    CHANGED_IE_HELPERS = 1u << 1,
    CHANGED_HIDDEN = 1u << 2,
    CHANGED_SYSFILES = 1u << 3,
    CHANGED_PAGES = 1u << 4,
    CHANGED_FILE_TYPES = 1u << 5,
    CHANGED_TASKS = 1u << 6,
    CHANGED_SERVICES = 1u << 7,
};

// The library's notice: wParam holds the categories whose places changed.
void OnPlaceChange(unsigned changed);

// Makes the changed categories due when no pass, alert or express-boot
// wait is in the way; otherwise they stay pending for a later tick.
void ApplyPlaceChanges(void);

// Every tick without a pass: pending changes are made due when they can be.
void PlaceTick(void);

// Around every patrol pass of the tick handler.
void PlacePassStarting(void);
// ran: 0 when the pass left at once (a tick right after a long pass, such
// as one that waited for an alert): what made it due is made due again for
// the next tick, instead of waiting for the patrol.
void PlacePassEnded(int ran);

// Gives the library the places of every category a change can make due
// (when they differ from those it has). Returns the number of places.
int RefreshWatchedPlaces(void);

// The library's ordinal 4 (null: none); the places are sent at once.
void StartInstantWatch(void *procedure);
// Forgets the library and every pending change.
void StopInstantWatch(void);
