// The vault: where Sentrel keeps what it removes, so that nothing it deletes
// is gone without a way back. It lies in the user's application data
// (%APPDATA%\Sentrel\vault; the program folder's "vault" when that cannot
// be used). A copy never replaces another copy: a second file of one name
// becomes "name (2).ext".
#pragma once
#include <windows.h>

// The folder Sentrel keeps its own copies in (%APPDATA%\Sentrel, created
// when missing; else the program folder). Returns its length, 0 on failure.
int GetVaultFolder(char *out /* PATH_SIZE */);

// The vault itself, created when missing. Returns its length, 0 on failure.
int GetVault(char *out /* PATH_SIZE */);

// Copies a file into the vault under a name no copy has yet and checks the
// copy byte for byte. vaultName (optional, PATH_SIZE) receives the copy's
// name. 1, or 0 with the system's error as the last error (no copy left).
int CopyIntoVault(const char *path, char *vaultName);

// CopyIntoVault, then deletes the file. 1 when the file is gone and its
// copy kept; 0 leaves the file as it was and no copy.
int MoveIntoVault(const char *path, char *vaultName);

// Puts a copy back at path, never over a file that is there, with the
// attributes given (0: as the copy has them). 1 or 0 (ERROR_FILE_EXISTS
// when a file is in the way; ERROR_INVALID_NAME for a name that is not
// one of the vault's own).
int CopyOutOfVault(const char *vaultName, const char *path, DWORD attributes);

// The full path of a copy in the vault; 0 (ERROR_INVALID_NAME) for a name
// that is not plainly a file of the vault itself: a history line is
// untrusted.
int VaultCopyPath(const char *vaultName, char *out /* PATH_SIZE */);

// Deletes a copy that is not needed after all. 1 or 0.
int DropVaultCopy(const char *vaultName);

// 1 when both files hold the same bytes.
int SameFileContent(const char *a, const char *b);
