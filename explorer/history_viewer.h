// SentrelEx.exe: the history viewer, history.txt as a list with undo of
// the events that can be reversed.
#pragma once
#include <windows.h>

#include "history.h"

// The modal viewer; returns when it is closed.
void ShowHistory(HWND owner);

// 1 when the line names an event that can be undone, exactly: a removed
// startup entry, a hidden file or scheduled job kept in the vault, a
// removed IE helper (registered again).
int CanRestoreHistoryEvent(const HistoryEntry *entry);

// Undoes one such event: a removed startup entry is written back under the
// exact name, type and registry view its line gives, only where nothing is
// now and without approving it; a hidden file or job comes back from the
// copy its line names, never over a file. 1 when undone (and written to the
// history); 0 with ERROR_ALREADY_EXISTS when something is in the way.
int RestoreHistoryEvent(const HistoryEntry *entry);
