// Changes to startup entries: disable, enable, delete, reset and restore.
// Each acts on the entry its record stands for: its location (type and
// registry view) and its exact name there, never its display title.
#pragma once
#include <windows.h>

#include "items.h"
#include "shortcuts.h"

// What a change acts on, as a record of the startup list keeps it.
struct StartupRef {
    int type;
    int view;
    int disabled;
    const char *name;      // exact value name, win.ini piece, Notify subkey or Startup-folder file
    const char *mark;      // stored name of a disabled entry's mark; null when it has none
    const char *command;   // the record's path
    const char *detail;
    const char *title;     // the name shown, for history lines that have no other
};
StartupRef StartupRefOf(const Item &record);

// Disables a live entry (keeping its live value verbatim, of any length,
// as the saved copy first) or enables a disabled one (writing the saved
// copy back verbatim). A disable that would take another entry's mark is
// refused. 1 on success (win.ini and Notify enables: 0, as they always
// were).
int ToggleStartupEntry(const StartupRef &entry);
// Deletes the entry for good, disabled or not, with its history line and
// its approval.
int DeleteStartupEntry(const StartupRef &entry);
// Puts every disabled startup entry back where it lives, each with its
// history line. Returns how many stay disabled (-1 when memory is short).
int EnableAllStartupEntries(void);
// A disabled Run-family entry its program wrote back: the live value
// becomes the saved copy and leaves the live key. 1 on success.
int RedisableStartupEntry(int type, int view, const char *name, const char *stored);
// Resets or removes an entry of the Winlogon and extended group.
int RemoveKeyLocationEntry(HWND owner, const StartupRef &entry);

// The same by (exact name, command, detail, type) in the program's own
// registry view: for win.ini the command is the piece, for the Startup
// folder the detail (or the command) is the file. The entry counts as
// disabled when it has a mark.

// The window that owns the confirmations of these operations.


// Disables the entry when it has no disabled mark, enables it when it has
// one. Disabling keeps what is needed to put the entry back (the saved
// command and the mark in HKLM, or the file in the Disabled folder) and
// removes the live entry only once that is stored.
int ToggleStartupEntry(const char *name, const char *command, const char *detail, int type);

// Deletes the entry for good, disabled or not, with its history line and
// its approved-startup values.
int DeleteStartupEntry(const char *name, const char *command, const char *detail, int type);

// Resets or removes an entry of the Winlogon and extended group (250-255),
// after asking for the extension points. Always 1.
int RemoveKeyLocationEntry(HWND owner, const char *name, const char *command, const char *detail,
                           int type);

// win.ini [windows] run= / load= lists. 1 when written.
int RemoveWinIniEntry(const char *key, const char *command);
int AddWinIniEntry(const char *key, const char *command);

// Winlogon Notify: keeps the DLL name aside in "OldName" / puts it back.
int DisableNotifyDll(const char *name);
int EnableNotifyDll(const char *name);
int DisableNotifyDllIn(int view, const char *name);
int EnableNotifyDllIn(int view, const char *name);

// AppInit_DLLs. 1 when written.
int RemoveAppInitDll(const char *dll);
int AddAppInitDll(const char *dll);
int RemoveAppInitDllIn(int view, const char *dll);
int AddAppInitDllIn(int view, const char *dll);

// Winlogon Userinit and Shell back to the system's own.
int ResetUserinit(void);
int ResetShell(void);

// Puts an entry of the history back where it came from, only where nothing
// is now (a value of that name, the same win.ini piece, a file of that name:
// 0 with ERROR_ALREADY_EXISTS as the last error), and approves nothing: what
// comes back is asked about like anything new. Run-family values, win.ini
// pieces and Startup-folder shortcuts. 1 when written.
int PutBackStartupEntry(int view, const char *name, const char *command, const char *detail, int type);

// Puts an entry back where it came from (explorer). 1 when written back.
int RestoreStartupEntry(const char *name, const char *command, const char *detail, int type);
// The same into a registry view (an entry of the 32-bit view goes back there).
int RestoreStartupEntryIn(int view, const char *name, const char *command, const char *detail, int type);


// Registers a COM server file again ("regsvr32 /s").
int ReregisterFile(const char *file);
// The same with the registry view's own regsvr32 (VIEW_32: the 32-bit one),
// waiting for it. 1 when it reported success.
int ReregisterFileIn(int view, const char *file);
