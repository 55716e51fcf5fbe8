// Paths put together and folders walked, for every place that looks at
// files: the names come through the platform's wide calls (folder_entries),
// and a path that would not fit is never cut.
#pragma once
#include <windows.h>

#include <cstddef>

// "folder\name" (a folder that already ends in a backslash takes none more).
// Returns the length, 0 (and an empty text) when it does not fit.
size_t JoinPath(char *out, size_t size, const char *folder, const char *name);

// Walks a folder: files and subfolders are passed to visit (subfolders
// after their contents when depth > 0). Stops when visit returns non-zero.
// Junctions are never followed; an entry whose path would not fit is skipped.
typedef int (*FoundFileVisitor)(const char *path, DWORD attributes, LPARAM param);
void WalkFolder(const char *folder, FoundFileVisitor visit, int depth, LPARAM param);
