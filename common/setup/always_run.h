// The monitor's registration in the machine's Run key, so that it starts
// with Windows.
#pragma once

#define MACHINE_RUN_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Run"

// 1 while the monitor is registered to start with Windows.
extern int alwaysRun;

// 1 when a command starts this very monitor: the program file Sentrel.exe
// of the program's own folder (never a file that only has a like name),
// with no parameters or "-expressboot".
int IsOwnRegistration(const char *command);

// 1 while the monitor's own Run value exists: the machine's Run value named
// "Sentrel" (string 2) that starts this very monitor.
int IsAlwaysRun(void);

// Registers (on = 1) or removes (on = 0) the monitor's own Run value; the
// removal touches that value and its approval only, and is written to the
// history. 1 or 0.
int SetAlwaysRun(int on);

// Counts the startup entries that start this very monitor or explorer
// (their program file in the program's own folder) and, with remove = 1,
// deletes them. 1 when at least one starts the monitor.
int RemoveOwnStartupEntries(int remove);
