// Dialogs and reports of the explorer that are not built yet, called by the
// pages under the names they keep when they are built. Until then each one
// says that it is not available yet (string 3240).
#pragma once
#include <windows.h>

#include "items.h"

// The Set Patrol Time dialog titled by string titleId: the minutes chosen
// (0 or more) after OK, -1 after Cancel.
int SetPatrolTime(HWND owner, UINT titleId);

// The program information dialog of a page's record.
void ShowProgramInfo(HWND owner, const Item *record);

// The online information about a record's program.
void ShowOnlineInfo(HWND owner, const Item *record);

// 1 when the user keeps a note about the program file; ViewProgramNote opens it.
int HasProgramNote(const char *path);
void ViewProgramNote(HWND owner, const Item *record);

// Writes the system report (the pages' "Sentrel Log" command).
void WriteSystemReport(HWND owner);
