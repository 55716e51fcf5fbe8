// Where a startup entry lives, in a few words ("HKLM Run", "HKCU RunOnce
// (32-bit)", "Startup folder (all users)", "Winlogon Shell"), as the lists
// show it in their Type column: short enough to read at a glance, exact
// enough to find the entry.
#pragma once

#include "items.h"

// The words of a record's location, its registry view included; a
// disabled entry still says where it lives. Types that are no startup
// place give their long location text. Returns the length.
int LocationWords(const Item *record, char *out, int size);

// 1 when a file lies in the all-users Startup folder, 0 when it does not
// (the user's own Startup folder, or anywhere else).
int IsAllUsersStartupFile(const char *path);

// The explorer's location text of a record (disabled: the entry is disabled).
int DescribeLocation(int index, int disabled, char *out, int size);

// The same for an item type, for pages that keep rows of their own.
int DescribeLocationOfType(int type, int disabled, char *out, int size);

// The location text of a record, its registry view included.
int DescribeEntryLocation(const Item *record, int disabled, char *out, int size);
