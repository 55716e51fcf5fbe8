// Program files: the file behind a command, whether it exists, its version
// information and dates.
#pragma once
#include <windows.h>

#include "text.h"

// Version facts: five texts in this order, each at most 127 characters.
#define VERSION_SLOTS      5
#define VERSION_SLOT_SIZE  1024
enum VersionSlot {
    VERSION_PRODUCT_NAME,
    VERSION_PRODUCT_VERSION,
    VERSION_COMPANY_NAME,
    VERSION_FILE_DESCRIPTION,
    VERSION_LEGAL_COPYRIGHT
};
typedef char VersionFacts[VERSION_SLOTS][VERSION_SLOT_SIZE];

#define FILE_DATE_SIZE   256   // FormatFileCreationTime, GetFileDateSize
#define FILE_FACT_SIZE   24    // each text of GetFileDates
#define VERSION_TEXT_SIZE 1024

// The program file named by a command as it stands in a Run value, a
// service's image path or a shortcut target, in capitals: "\SystemRoot\..."
// and "%ProgramFiles%..." at the start name the Windows and program folders,
// other %variables% are expanded, a drive letter begins the file and the
// first ".exe" or ".dll" (or the closing quote of a quoted file) ends it.
// Returns its length; 0 and an empty text when nothing fits 259 characters.
int ResolveCommandPath(const char *command, char *out /* PATH_SIZE */);
// The same file in the letters the command writes it, for reading it: a
// file system that must search a folder for a name written in other
// capitals finds it at once.
int ResolveCommandFile(const char *command, char *out /* PATH_SIZE */);

// Splits a command into its program file (long form; ".cpl" also ends it)
// and the parameters behind it, the separating blank included. Returns the
// number of characters taken as the program file; 0 with empty outputs when
// there is none or a part does not fit.
int SplitCommand(const char *command, char *file /* PATH_SIZE */,
                 char *parameters /* PATH_SIZE */);
// The program file SplitCommand finds, in the letters the command writes
// it: a file system that must search a folder for a name written in other
// capitals finds it at once. Returns the same count.
int CommandProgramFile(const char *command, char *file /* PATH_SIZE */);

// 1 when the file exists. A bare name (under 32 characters) is also looked
// for in the Windows folder (the text stays) and in the system folder (the
// text becomes the full short path found there). Folders, wildcards and
// device names ("CON", "NUL.txt") are not files.
int FileExists(char *path /* PATH_SIZE, may be replaced */);

// Reads ProductName, ProductVersion, CompanyName, FileDescription and
// LegalCopyright; of several translations the last that has a product name
// wins. Texts of 128 characters or more stay empty; control characters
// become blanks. 1 when the product name is not empty.
int ReadVersionFacts(const char *file, VersionFacts facts);

// The long form of a path. Returns the platform's result length, 0 when the
// path was copied unchanged (it has no short component, or the file does not
// exist); 0 and an empty text when the path does not fit.
int GetLongPath(char *out /* PATH_SIZE */, const char *path);

// "yyyy/mm/dd hh:mm" of the file's creation time in local time. A file that
// cannot be opened or whose times cannot be read gives an empty text and 1;
// 0 when the time cannot be converted.
int FormatFileCreationTime(const char *file, char *out /* FILE_DATE_SIZE */);

// Date and time of the last write (as the user's dates) and the size in
// bytes as decimal text. Returns the date length, 0 when the file cannot be
// opened.
int GetFileDateSize(const char *file, char *date /* FILE_DATE_SIZE */,
                    char *size /* FILE_DATE_SIZE */);

// Creation, last access and last write dates, the first-seen date for the
// item type (the text is left as it was when none is stored) and the size
// with thousands separators (string 923 when it cannot be read). 1 when the
// file could be opened.
int GetFileDates(const char *file, int type, char dates[5][FILE_FACT_SIZE]);

// Opens a text file in Notepad; a missing file or a failure is shown in a
// message box with the platform's error text. 1 when Notepad was started.
int ViewTextFile(const char *file);

// "monitor version:explorer version" from the programs beside the running
// one. Returns the length.
int GetVersionText(char *out /* VERSION_TEXT_SIZE */);

// The same for the programs in folder, as seen by the program file
// runningFile (its name decides whether it is the hijack-log tool).
int GetVersionTextIn(const char *folder, const char *runningFile,
                     char *out /* VERSION_TEXT_SIZE */);

// The FileDescription of the file's version facts. Returns its length, 0
// (and an empty text) when there is none.
int GetFileDescription(const char *file, char *out /* VERSION_SLOT_SIZE */);
