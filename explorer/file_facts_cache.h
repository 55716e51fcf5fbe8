// SentrelEx.exe: what a page shows of a program file (its picture and its
// company), looked up once per file while a page fills. Many entries share
// a file (rundll32.exe, svchost.exe, one program's several entries).
#pragma once
#include "version_names.h"

struct FileFacts {
    int image;          // index in the page's image list; -1 not looked up yet
    char company[VERSION_NAME_SIZE];
    int companyRead;
};

// Empties the cache (at the start of each fill: files may have changed).
void ClearFileFacts(void);

// The facts slot of a resolved program file, created empty on first use;
// null when the cache is full (the caller then looks the file up itself).
FileFacts *FindFileFacts(const char *file);

// The CompanyName of the program behind a command, read once per file and
// fill. Returns its length; 0 and an empty text when there is none.
int ProgramCompany(const char *command, char *out, int size);
