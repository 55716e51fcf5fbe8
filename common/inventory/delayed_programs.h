// The delayed-start list: programs taken out of Windows' startup that the
// monitor starts itself some time after logon. Each program's values are
// named by its command, under Software\Orvendale\Sentrel\Delay of HKLM (all
// users) or HKCU (this user); a record of ListDelayedPrograms has the hive it
// was read from in its qualifier (1 = HKCU) and the command as its name.
#pragma once
#include <windows.h>

#include "items.h"
#include "shortcuts.h"
#include "store.h"

#define DELAY_KEY STORE_ROOT "\\Delay"

// The values of a delayed program besides Delay itself (the type it had in
// the startup list), each under Delay\<which>.
#define DELAY_TIME "Time"
#define DELAY_TITLE "Title"            // exact startup value name (or the title shown)
#define DELAY_PARAMETERS "Parameters"
#define DELAY_SHORTCUTS "Shortcuts"    // the shortcut file of a Startup-folder entry
#define DELAY_APPLET "Applet"          // "RunDLL32.exe" for a RUNDLL32 entry
#define DELAY_VIEW "View"              // "32": the entry came from the 32-bit registry view
#define DELAY_FOLDER "Folder"          // working folder of a Startup-folder shortcut
#define DELAY_OPEN_AS "OpenAs"         // window state, HKCU only, named by the file started
#define DELAY_ORIGINAL "Original"      // the startup value as it was (its type and data)

// Texts of a delayed program's values: the largest parameters, title or
// command that is kept.
#define DELAY_TEXT_SIZE 1024

// Keeps the startup value exactly as it stands (type and data) with the
// delayed program, so that Restore gives back the very same value while its
// parameters are not changed. 1 or 0.
int KeepOriginalStartupValue(HKEY hive, const char *program, HKEY root, int view, const char *live,
                             const char *name);

// The hive of a record of the delayed-start list.
HKEY DelayHive(const Item &record);

// A value of a program under Delay\<which> (which = "" for Delay itself).
// Returns the length; 0 with an empty text when missing or too long.
int ReadDelayValue(HKEY hive, const char *which, const char *program, char *out, int size);
int WriteDelayValue(HKEY hive, const char *which, const char *program, const char *text);

// The delay of a program in seconds (0 when it has none or it is not a
// whole number of at least 0).
long DelaySeconds(HKEY hive, const char *program);
// "1 Min. : 35 Sec." or "30 Sec.".
int FormatDelayTime(long seconds, char *out, int size);

// The startup command of a delayed program: its file (quoted when it holds a
// blank), a blank and the parameters (no blank before parameters that begin
// with a comma), with the applet and a blank in front. Returns the length;
// 0 when the result would not fit.
int DelayedCommand(const char *program, const char *parameters, const char *applet, char *out, int size);


// Adds a program to the delayed-start list (allUsers: HKLM, type 1; else
// HKCU, type 11) with a delay of 30 seconds. 1 when written.
int AddDelayedProgram(const char *file, int allUsers);

// Puts a delayed program back into the startup location it came from, by
// the exact name and registry view it had there, and only once that is
// written takes it off the delayed-start list. 1 when done; on failure the
// program stays delayed as it was.
int RestoreDelayedProgram(const Item &record);

// Approves a startup entry just written back (so the monitor does not ask
// about it): the baseline value of the entry as the startup list reads it,
// found by its type, registry view and exact name. 1 when found.
int ApproveStartupEntry(int type, int view, const char *name);

// Restores every delayed program of both hives. Returns the number that
// could not be restored (they stay delayed).
int RestoreAllDelayed(void);

// Takes a program off the delayed-start list of a hive (all its values but
// the window state).
void RemoveDelayEntry(HKEY root, const char *name);

// Starts a program with the window state the user chose for it (HKCU
// Delay\OpenAs, value named by file): through the shell, else the file
// alone. 0 on success, else the platform's error result.
int LaunchProgram(HWND owner, const char *file, const char *parameters);

// Starts a delayed program now, with its parameters and applet as the
// record's hive keeps them. 0 on success, else the platform's error result.
int LaunchDelayedProgram(HWND owner, HKEY hive, const char *command);
