// Sentrel.exe: the patrol tick, the pass and the task-change step.
#pragma once
#include <windows.h>

// The clock the pass measures itself with (tests may replace it).
extern DWORD (*patrolClock)(void);

// Passes since the tray icon was last added again.
extern int verifyCount;

// The process count seen by the last task-change step.
extern int lastProcessCount;

// One patrol pass over the group that is due. 1 when it ran or was refused
// because one is already open, 0 when it ended early (two within a second).
int VerifyPass(void);

// The task-change step after a real-time notice: when the number of running
// programs changed, the real-time categories become due and the next tick
// runs a group A pass. Returns the count.
int CheckTaskChange(void);
