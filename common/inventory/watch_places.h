// The places each inventory reads, for watching them for changes: registry
// keys (in a hive and a registry view) and folders. Every inventory lists
// its places from the same tables it enumerates, so a place added to an
// inventory is watched as well.
#pragma once
#include <windows.h>

#include "items.h"   // VIEW_NATIVE, VIEW_32

enum WatchPlaceKind { WATCH_KEY = 1, WATCH_FOLDER = 2 };

struct WatchPlace {
    int kind;           // WATCH_KEY or WATCH_FOLDER
    HKEY root;          // keys: the hive
    int view;           // keys: VIEW_NATIVE or VIEW_32
    int subtree;        // 1: changes below the place count too
    const char *path;   // the key below root, or the folder
};

// Called once per place; the place and its path live only during the call.
typedef void (*WatchPlaceVisitor)(const WatchPlace *place, void *context);

// Startup entries: the Run family (HKLM in each registry view, HKCU), the
// Shell Folders keys and the Startup folders they name, win.ini's run= and
// load=, Winlogon, its Notify subkeys and the shell extension points.
void ForEachStartupPlace(WatchPlaceVisitor visit, void *context);

// IE helpers: the keys of the browser helper objects, toolbars and
// toolbar buttons, in every registry view the list reads them in.
void ForEachIEHelperPlace(WatchPlaceVisitor visit, void *context);

// Services: the services key (a service is added or removed).
void ForEachServicePlace(WatchPlaceVisitor visit, void *context);

// Scheduled tasks: the Task Scheduler's job folder.
void ForEachTaskPlace(WatchPlaceVisitor visit, void *context);

// Monitored system files: the folder of every monitored file.
void ForEachMonitoredFilePlace(WatchPlaceVisitor visit, void *context);

// Browser pages: the keys that hold the start, search and desktop pages.
void ForEachBrowserPagePlace(WatchPlaceVisitor visit, void *context);

// File types: for every watched extension its key under HKLM and HKCU
// Software\Classes, the user's choice for it, and the open command of the
// class it names now.
void ForEachFileTypePlace(WatchPlaceVisitor visit, void *context);
