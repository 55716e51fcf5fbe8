#include "folder_entries.h"

#include "unicode_text.h"

int ForEachFolderEntry(const char *pattern, FolderEntryVisitor visit, void *context)
{
    if (!pattern || !visit) return 0;
    WideText wide(pattern);
    if (!wide.get()) return 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(wide, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int visited = 0;
    FolderEntry entry;
    do {
        const WCHAR *n = found.cFileName;
        if (n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0))) continue;
        if (!WideToText(n, -1, entry.name, sizeof entry.name, 0)) continue;
        entry.attributes = found.dwFileAttributes;
        entry.created = found.ftCreationTime;
        entry.written = found.ftLastWriteTime;
        visited++;
        if (!visit(&entry, context)) break;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return visited;
}
