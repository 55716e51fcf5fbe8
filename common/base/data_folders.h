// The program's own folder, and where Sentrel keeps the files it writes. Beside its programs while that
// folder is writable (a portable copy, and an older copy whose history and
// Disabled folder are there); otherwise in a folder of its own under the
// machine's or the user's application data.
#pragma once

// The folder of the running program file, without a trailing backslash.
// Returns its length, 0 (and an empty text) on failure.
int GetProgramFolder(char *out /* PATH_SIZE */);

// The folder for what belongs to the machine: history.txt and the lines
// waiting for it, the Disabled folder, the trace files. The program folder
// when it is writable, else "%ProgramData%\Sentrel" when that can be written
// (the installer opens it to the users), else the user's own folder below.
// Returns its length, 0 (and an empty text) when none can be had.
int GetDataFolder(char *out /* PATH_SIZE */);

// The folder for what one user writes and reads: reports, the settings
// export, notes and the lookup shortcut. The program folder when it is
// writable, else "%LOCALAPPDATA%\Sentrel". Returns its length, 0 on failure.
int GetUserDataFolder(char *out /* PATH_SIZE */);

// 1 when a new file can be created in the folder (tried with a file that
// goes again at once).
int IsFolderWritable(const char *folder);

// Forgets the folders found, so that the next call looks again.
void ForgetDataFolders(void);
