// Monitored system files (HOSTS, the boot files and any file added later):
// their records in the store, their copies in the copy folder, the
// comparison of a file with its record and the two answers to a change;
// and the restart commands that Windows 9x keeps in wininit.ini.
#pragma once
#include <windows.h>

#include "vault.h"

#include "dates.h"
#include "inventory.h"   // AddMonitoredFile, GetHostsPath
#include "store.h"

// HKLM: one subkey per monitored file, named by the file's display name.
#define SYSFILES_KEY STORE_ROOT "\\Sysfiles"

#define SYSFILE_NAME_SIZE 768   // a subkey name (UTF-8)
#define SYSFILE_TEXT_SIZE 784   // "Location", "Date", "Size", "Type"


// The file in the copy folder that holds the accepted content of the
// monitored file with this display name. Names that cannot stand as a file
// name there ("a/b", "CON", "..", "vault", names with "%") are written with
// "%XX" escapes, so two entries never share a copy. Returns the length, 0
// when the name is empty or the path would not fit.
int GetMonitoredCopyPath(const char *name, char *out /* PATH_SIZE */);

// What the record of a monitored file says, read with one opening of its key.
struct MonitoredRecord {
    char name[SYSFILE_NAME_SIZE];   // the subkey: the entry's identity
    char location[SYSFILE_TEXT_SIZE];
    char date[SYSFILE_TEXT_SIZE];
    char size[SYSFILE_TEXT_SIZE];
    char type[SYSFILE_TEXT_SIZE];
    int hasDate, hasSize;           // the values exist (readable or not)
};
// 1 when the record's key exists.
int ReadMonitoredRecord(const char *name, MonitoredRecord *record);

// How file times are written: the user's date format and time zone, read
// once for many files.
struct FileDates {
    DateFormat format;
    TIME_ZONE_INFORMATION zone;
    int haveZone;
};
void ReadFileDates(FileDates *dates);

// A file's last write as the user's date and time to the minute, its size
// in bytes (all of it, files over 4 GB too) and its exact time. 1 for an
// existing file (not a folder); a file that another program holds open
// can still be read. 0 with empty texts otherwise. dates may be null (read
// now).
struct FileState {
    char date[SYSFILE_TEXT_SIZE];
    char size[32];
    FILETIME written;
    ULONGLONG bytes;
};
int ReadFileState(const char *path, FileState *state, const FileDates *dates);

// Compares a monitored file with its record. Fills in a missing "Size" (or
// one that reads as 0) and a missing "Date" from the file. 1 when the file
// has changed and the user is to be asked; 0 when it is missing, unchanged,
// only touched (type 0, same size) or when only the way the date is written
// has changed (the file still carries the time and size of its copy: the
// record's date is then written again in today's format).
int CompareMonitoredFile(const MonitoredRecord *record, const FileDates *dates);

// The answers to a change. With stopWatching the record is deleted first.
// Accept copies the file over its copy and only then stores the copy's
// date and size (after stopWatching: a record without "Location", which is
// not checked any more). Reject copies the copy back over the file and, the
// record still there, stores the restored file's date and size. Read-only
// attributes are lifted for the copy and put back after. 1 on success; 0
// with the platform's last error telling why.
int AcceptMonitoredFile(const char *name, const char *path, int stopWatching);
int RestoreMonitoredFile(const char *name, const char *path, int stopWatching);

// The subkey names of the monitored files, taken in index order before any
// is looked at (an answer may delete or write records). Returns a heap
// array of count names (free with free()), null when there is none.
char (*ListMonitoredFiles(int *count))[SYSFILE_NAME_SIZE];

// --- Restart commands (Windows 9x) ---------------------------------------

#define RESTART_SHOWN_BYTES 16384   // the viewer shows the file's first bytes

// The Windows folder's wininit.ini. Returns the length; 0 when wininit.exe
// is not in the Windows folder (the file means nothing there).
int GetRestartCommandsPath(char *out /* PATH_SIZE */);

// 1 when the file opens and is not empty.
int HasRestartCommands(const char *path);

// The first RESTART_SHOWN_BYTES of the file as an edit control shows text:
// every line ends in CR LF (a lone LF or CR becomes CR LF, CR LF stays),
// NUL bytes become blanks. A heap text (free with free()), or null when the
// file cannot be read. *longer is set when the file holds more than shown.
char *ReadRestartCommandsText(const char *path, int *longer);

// Clears the file's attributes and deletes it. 1 or 0 (last error set).
int DeleteRestartCommands(const char *path);
