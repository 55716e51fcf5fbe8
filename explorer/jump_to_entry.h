// "Jump to Entry": shows where a row's entry lives, in the Registry Editor
// (opened at the entry's key) or in a folder window (the file selected).
#pragma once

#include "items.h"

enum EntryPlaceKind { ENTRY_PLACE_NONE = 0, ENTRY_PLACE_KEY = 1, ENTRY_PLACE_FILE = 2 };

// Where a record lives: the whole key as the Registry Editor names it
// ("HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\..." for the 32-bit view) or
// the file. Returns the kind; ENTRY_PLACE_NONE when it is not known.
int EntryPlace(const Item *record, char *out, int size);

// Opens the place of a record: the Registry Editor after its last key
// ("LastKey") is set to the entry's key, or the folder with the file
// selected. 1 when something was opened.
int JumpToEntry(const Item *record);
