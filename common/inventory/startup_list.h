// Startup locations: every place from which Windows starts a program by
// itself, enumerated into the item list.
#pragma once
#include <windows.h>

#include "disabled_marks.h"
#include "items.h"
#include "shortcuts.h"
#include "store.h"

// Empties the item list and fills it with every startup entry: the Run
// family, the Startup folders, win.ini, the disabled entries and, unless
// respectShowAll is set and "ShowAllStartup" is not, the Winlogon and
// extended group. A list cut short (SetItemLimit) stops where it filled.
// Returns the item count.
int BuildStartupList(int respectShowAll);

// The delayed-start list of HKLM and HKCU. Returns the item count.
int ListDelayedPrograms(void);

// The name of an entry's value in the startup baseline: its command with
// every "=" turned into ":", at most 259 characters. Returns its length.
int StartupBaselineName(const char *command, char *out /* 260 */);
// The same for an entry of a registry view: an entry of the 32-bit view is
// named with STARTUP_BASELINE_32 in front.
#define STARTUP_BASELINE_32 "@32:"
int StartupBaselineNameIn(int view, const char *command, char *out /* 260 */);

// The startup baseline: under its baseline name (its command) an approved
// entry holds its type; 0 is a refused one, 1103 one waiting in delayed
// start.
#define STARTUP_BASELINE        STORE_ROOT "\\Run"
#define STARTUP_DELAYED_MARK    1103
#define STARTUP_STATUS_MISSING  (-1)
// The number stored under a baseline name; STARTUP_STATUS_MISSING when
// there is none. Data over 31 characters reads as missing. An entry is
// never approved through a value named by its title: any program can
// choose a title that is another entry's approved command.
long StartupBaselineStatus(const char *baselineName);
// 1 when the startup entry of that view and command is approved.
int IsStartupEntryApproved(int view, const char *command);

// The signer an approval was given for, under the baseline name: kept when
// the entry's program was verified at its approval, so that a file whose
// signature no longer holds is asked about again.
#define STARTUP_SIGNERS STORE_ROOT "\\Signers"
// Keeps (or forgets, when the program is not verified) the signer of the
// program command starts.
void RememberStartupSigner(const char *baselineName, const char *command);
// 1 unless the approval was given for a signer that the program's
// signature no longer names; signer (SIGNER_NAME_SIZE, may be null) gets
// the signer it was approved for.
int StartupSignatureHolds(const char *baselineName, const char *command, char *signer);

// The Run family, key number 1-7 (HKLM types 1-7, HKCU types 11-17).
const char *RunKeyPath(int keyNumber);

// The live key and hive of a Run-family type (1-7, 11-17); 0 for other types.
int RunLocation(int type, HKEY *root, const char **path);

// The Disabled subkey that keeps the saved command of a type; null for
// types without one.
const char *DisabledSubkey(int type);

// The folder "Disabled" in the program's folder. Returns its length.
int GetDisabledFolder(char *out /* 260 */);

// Room for a win.ini run=/load= list; a longer list may have been cut and
// is never rewritten.
#define WIN_INI_LIST_MAX 4096

// For a RUNDLL32 command, what follows the program name; 1 when recognised,
// else out is the whole command and the result 0.
int SplitRundll(const char *command, char *out /* 260 */);

// What AddFoundFile does with a file: 1 startup folder, 2 cookie folder,
// 7 hidden-file scan.
extern int walkMode;
int AddFoundFile(const char *path, DWORD attributes, LPARAM param);

// The place of an entry with its own name: the location, then the value's
// name (a registry entry) or the file or win.ini piece. Returns the length.
int DescribeEntryPlace(const Item *record, char *out, int size);

