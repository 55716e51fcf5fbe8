// Changes to startup entries: disable, enable, delete, reset and restore.
// Each takes an entry by its item fields: name (title), command (path),
// detail and type.
#pragma once
#include <windows.h>

// The window that owns the confirmations of these operations.
extern HWND startupOwner;

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

// AppInit_DLLs. 1 when written.
int RemoveAppInitDll(const char *dll);
int AddAppInitDll(const char *dll);

// Winlogon Userinit and Shell back to the system's own.
int ResetUserinit(void);
int ResetShell(void);

// Puts an entry back where it came from (explorer). 1 when written back.
int RestoreStartupEntry(const char *name, const char *command, const char *detail, int type);

// Creates a shell link. 1 when saved.
int CreateShortcut(const char *shortcut, const char *target, const char *arguments,
                   const char *folder, const char *description, const char *iconFile, int iconIndex);

// Registers a COM server file again ("regsvr32 /s").
int ReregisterFile(const char *file);
