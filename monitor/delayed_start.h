// Sentrel.exe: the delayed start launcher. LaunchDelayed itself is one of
// the patrol's calls (checks.h).
#pragma once
#include <windows.h>

#include "store.h"

#define DELAY_KEY STORE_ROOT "\\Delay"

// Starts a program with the window state the user chose for it (HKCU
// Delay\OpenAs, value named by file): through the shell, else the file
// alone. 0 on success, else the platform's error result.
int LaunchProgram(HWND owner, const char *file, const char *parameters);

// Deletes a delayed program's values under Delay, Delay\Time,
// Delay\Parameters, Delay\Shortcuts, Delay\Applet and Delay\Title of root.
void RemoveDelayEntry(HKEY root, const char *name);
