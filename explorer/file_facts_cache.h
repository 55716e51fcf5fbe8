// SentrelEx.exe: what a page shows of a program file (its picture and its
// company), looked up once per file for the life of the process. Many
// entries share a file (rundll32.exe, svchost.exe, one program's several
// entries), and every page and refill asks again.
#pragma once
#include "version_names.h"

struct FileFacts {
    int image;          // index in the row pictures; -1 not looked up yet, -2 the file has none
    char company[VERSION_NAME_SIZE];
    int companyRead;
};

// The facts slot of a resolved program file (iconIndex: which of its icons
// the image is), created empty on first use. A slot is kept by path, size
// and last-write time: a file that changed since starts empty again. Its
// file is looked at once per round of checks (a page's fill), not at every
// question about the same file. Null when memory is short (the caller then
// looks the file up itself).
FileFacts *FindFileFacts(const char *file, int iconIndex = 0);
// Starts a round of checks: each file's slot is checked against the file
// again at its next use.
void CheckFilesAgain(void);

// The CompanyName in a file's version facts, read now (any thread may ask).
// Returns its length; 0 and an empty text when there is none.
int ReadCompany(const char *file, char *out, int size);
// Keeps a company read for a file's slot.
void KeepCompany(FileFacts *facts, const char *company);

// The CompanyName of the program behind a command, read once per file.
// Returns its length; 0 and an empty text when there is none.
int ProgramCompany(const char *command, char *out, int size);
// The same for a file known exactly.
int FileCompany(const char *file, char *out, int size);
