// Sentrel.exe: instant detection of changes to the watched places, through
// sentrelaux.dll (ordinal 4). The monitor works the same without it, only
// without instant notices.
#pragma once
#include <windows.h>

// The library's notice: wParam holds the categories whose places changed.
void OnPlaceChange(unsigned changed);

// Makes the changed categories due when no pass, alert or express-boot
// wait is in the way; otherwise they stay pending for a later tick.
void ApplyPlaceChanges(void);

// Around every patrol pass of the tick handler.
void PlacePassStarting(void);
void PlacePassEnded(void);

// Gives the library the places of every category a change can make due
// (when they differ from those it has). Returns the number of places.
int RefreshWatchedPlaces(void);

// The library's ordinal 4 (null: none); the places are sent at once.
void StartInstantWatch(void *procedure);
void StopInstantWatch(void);
