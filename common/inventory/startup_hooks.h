// The places Windows starts a program from that few people look at, shown
// with the secret startup locations: a debugger set for an image (Image
// File Execution Options, run in place of the image), a monitor program
// set for an image's silent exit, Active Setup's StubPath commands, the
// Session Manager's BootExecute programs (other than the disk check) and
// the Winlogon values beyond Userinit and Shell that Windows runs. Each
// is read in every registry view Windows keeps it in, and known by its
// exact name: the image's key, the component's key, the BootExecute piece
// or the Winlogon value's name.
#pragma once

#include "items.h"
#include "startup_changes.h"
#include "watch_places.h"

#define IFEO_KEY         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options"
#define SILENT_EXIT_KEY  "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit"
#define ACTIVE_SETUP_KEY "SOFTWARE\\Microsoft\\Active Setup\\Installed Components"
#define SESSION_MANAGER_KEY "SYSTEM\\CurrentControlSet\\Control\\Session Manager"

// 1 for the item types of these places.
int IsStartupHookType(int type);

// Appends the entries of these places to the item list.
void ListStartupHooks(void);

// Deletes exactly the entry: the Debugger, MonitorProcess or StubPath
// value (the key's other values stay), the BootExecute piece (the others
// stay, in order) or the Winlogon value. 1 when it was there and is gone.
int DeleteStartupHook(const StartupRef &entry);

// Writes an entry back where it was, never over one that is there
// (ERROR_ALREADY_EXISTS). 1 or 0.
int PutBackStartupHook(int view, const char *name, const char *command, int type);

// Where an entry lives, with its own name: the key and its value. Returns
// the length.
int DescribeStartupHookPlace(const Item *record, char *out, int size);

// The keys of these places, in every view read, for instant detection.
void ForEachStartupHookPlace(WatchPlaceVisitor visit, void *context);
