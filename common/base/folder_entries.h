// The entries of a folder, named in any script: the listing goes through
// the platform's wide calls, so that a name of up to 255 characters of any
// script (765 bytes of UTF-8) is never cut or lost on its way.
#pragma once
#include <windows.h>

#define FOLDER_NAME_SIZE 768

struct FolderEntry {
    char name[FOLDER_NAME_SIZE];   // UTF-8
    DWORD attributes;
    FILETIME created;
    FILETIME written;
};

// Calls visit(entry, context) for every entry that pattern (a folder path
// with a wildcard, such as "C:\dir\*.*") matches, "." and ".." left out.
// Stops when visit returns 0. Returns the number of entries visited.
typedef int (*FolderEntryVisitor)(const FolderEntry *entry, void *context);
int ForEachFolderEntry(const char *pattern, FolderEntryVisitor visit, void *context);

// The same with any callable: visit(entry) returns non-zero to go on.
template <typename Visit>
int ForEachEntryOf(const char *pattern, Visit visit)
{
    return ForEachFolderEntry(
        pattern, [](const FolderEntry *entry, void *context) -> int { return (*(Visit *)context)(entry); },
        &visit);
}
