// sentrelaux.dll ordinal 4: the places the library watches for changes on
// behalf of the monitor. Shared by the library and the monitor.
#pragma once
#include <windows.h>

#define AUX_PLACE_PATH_SIZE 600

enum AuxPlaceKind { AUX_PLACE_KEY = 1, AUX_PLACE_FOLDER = 2 };

struct AuxPlace {
    int kind;            // AUX_PLACE_KEY or AUX_PLACE_FOLDER
    HKEY root;           // keys: the hive
    REGSAM view;         // keys: 0 or KEY_WOW64_32KEY
    int subtree;         // changes below the place count too
    unsigned tags;       // posted as the message's wParam when the place changes
    char path[AUX_PLACE_PATH_SIZE];
};

// AuxWatchPlaces(places, count, message): replaces the watched places with
// these (copied; count 0 stops watching). A change of a place posts message
// to the window of ordinal 2 with the tags of every place that changed since
// the last post in wParam; a burst of changes gives one post. A key or
// folder that does not exist (yet) is watched for from its nearest existing
// parent, and a key deleted and created again is watched again. Ordinal 3
// stops the watch too. Returns once the places are watched: 1 when every
// place is watched, 0 when some could not be.
typedef int(WINAPI *AuxWatchPlacesProc)(const AuxPlace *places, int count, UINT message);
