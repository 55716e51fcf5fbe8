// SentrelEx.exe: the Set Patrol Time dialog of the patrol categories.
#pragma once
#include <windows.h>

// Asks for the patrol time of the category whose dialog title is the string
// title (784 startup programs, 786 tasks, 788 file types, 957 services...).
// Returns the minutes after OK (0: not patrolled), -1 after Close; with OK,
// *realtime (optional) is the real-time switch as the dialog left it. A
// title that is no category's starts at 3 minutes without a real-time switch.
int SetPatrolTime(HWND owner, UINT title, int *realtime);

// The picture a category's label shows: 0 off, 1 on, 2 real time.
int PatrolLabelState(UINT title);

// SetPatrolTime, then, after OK, stores the category's patrol time and
// real-time switch (which tells the monitor through "Update"). Returns the
// label's new state, -1 when nothing changed.
int ChangePatrolTime(HWND owner, UINT title);
