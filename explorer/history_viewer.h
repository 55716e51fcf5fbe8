// SentrelEx.exe: the history viewer, history.txt as a list with undo of
// the events that can be reversed.
#pragma once
#include <windows.h>

#include "history.h"

// The modal viewer; returns when it is closed.
void ShowHistory(HWND owner);

// Undoes one event of the history: a removed startup entry is written back
// under the exact name, type and registry view its line gives; a hidden
// file removed into the vault is copied back. Any other action, or a line
// that does not name its entry whole, is refused. 1 when undone.
int RestoreHistoryEvent(const HistoryEntry *entry);
