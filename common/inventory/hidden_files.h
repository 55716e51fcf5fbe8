// Hidden files: the files marked hidden in the few system places where
// malicious programs like to hide, the baseline of the ones the user has
// accepted, and the vault into which a removed file is copied before it is
// deleted, so that it can be put back.
#pragma once
#include <windows.h>

#include "inventory.h"   // ListHiddenFiles
#include "store.h"

// HKCU: one value per accepted file, named by its full path, holding the
// date and time of acceptance; default value "P" once built.
#define HIDDEN_BASELINE STORE_ROOT "\\Hidden"

// The watched places in scan order: "C:\" and the Windows folder (the files
// only), the system folder, the common files folders (both registry views)
// and the temporary folder (each with its direct subfolders).
#define HIDDEN_PLACE_COUNT 6

// Calls visit for every hidden file of the watched places (hidden folders
// and their names are not files and are passed over), without the item
// list and without its limit. Return 0 from visit to stop. Returns the
// number of files visited.
typedef int (*HiddenFileVisitor)(const char *path, DWORD attributes, void *context);
int ForEachHiddenFile(HiddenFileVisitor visit, void *context);

// The most hidden files one scan lists; the page says how many more it found.
#define HIDDEN_FILES_MAX 4096

// How many hidden files the last ListHiddenFiles found but could not hold
// (more than HIDDEN_FILES_MAX).
int HiddenFilesLeftOut(void);

// The title of a hidden file as its record has it: the FileDescription of
// its version information, else its name without the extension. Returns the length.
int HiddenFileTitle(const char *path, char *out, int size);

// 1 when the baseline holds the file (a non-empty text of at most 23 characters).
int IsHiddenFileKnown(const char *path);
// Writes the file into the baseline with the current date and time. 1 or 0.
int AcceptHiddenFile(const char *path);

// Removes a hidden file: a program running from it is stopped, the file is
// copied into the vault, and only when the copy holds the same bytes is the
// file deleted. The copy gets a name of its own when the vault already holds
// one of that file name (from the same or another folder), so that no copy
// is ever replaced; the history line (action 29) keeps the copy's name as
// its detail. The file's baseline value is removed in every case, so that a
// file that stays is reported again. 1 when the file was deleted; 0 with
// the platform's last error saying why (the file is then left as it was).
// vaultName (optional, PATH_SIZE) receives the copy's file name.
int RemoveHiddenFile(const char *title, const char *path);
int RemoveHiddenFileTo(const char *title, const char *path, char *vaultName);

// Puts a removed file back from its vault copy (the copy's name as the
// history line keeps it; empty: the file's own name, as older lines have
// it). A file that exists again at the path is not replaced. The restored
// file is hidden again. 1 when restored; 0 with the last error set.
int RestoreHiddenFile(const char *path, const char *vaultName);

// The vault folder, created when missing. Returns its length, 0 when it
// cannot be made.
int GetHiddenVault(char *out /* PATH_SIZE */);

// The text telling the user why a hidden file could not be removed: string
// 3700 filled with the path and the platform's text for error. Returns the length.
int DescribeRemovalFailure(const char *path, DWORD error, char *out, int size);
