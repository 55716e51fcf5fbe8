// First-seen dates: when each program file was first noticed, per category
// (HKCU Software\Orvendale\Detected\<category>).
#pragma once

#include "dates.h"   // DATE_TEXT_SIZE

#define DETECTED_STARTUP      STORE_DETECTED "\\Startup"
#define DETECTED_IEHELPER     STORE_DETECTED "\\IEHelper"
#define DETECTED_SERVICES     STORE_DETECTED "\\Services"
#define DETECTED_TASKS        STORE_DETECTED "\\Tasks"
#define DETECTED_ACTIVETASKS  STORE_DETECTED "\\ActiveTasks"
#define DETECTED_FILETYPES    STORE_DETECTED "\\FileTypes"
#define DETECTED_HIDDEN       STORE_DETECTED "\\Hidden"

// The category key of an item type.
const char *FirstSeenKey(int type);

// Records today as the first-seen date of the program behind path, unless
// one is stored. 1 when a date was already stored, 0 otherwise (also when
// the program file does not exist).
int RecordFirstSeen(const char *path, const char *categoryKey);

// The stored first-seen date of the program behind path. Returns its
// length, 0 when none.
int GetFirstSeen(const char *path, int type, char *out /* DATE_TEXT_SIZE */);

// The same for many paths (of types[i] each), with one opening of a
// category's key for up to 32 paths in a row of that category: dates[i]
// gets what GetFirstSeen gives for paths[i]. Returns the number found.
int GetFirstSeenMany(const char *const *paths, const int *types, int count, char (*dates)[DATE_TEXT_SIZE]);
