#include "folder_walk.h"

#include <cstring>

#include "folder_entries.h"
#include "text.h"

size_t JoinPath(char *out, size_t size, const char *folder, const char *name)
{
    if (!out || size == 0) return 0;
    out[0] = 0;
    if (!folder || !name) return 0;
    size_t length = strlen(folder);
    const char *separator = length > 0 && folder[length - 1] == '\\' ? "" : "\\";
    return FormatText(out, size, "%s%s%s", folder, separator, name);
}

void WalkFolder(const char *folder, FoundFileVisitor visit, int depth, LPARAM param)
{
    char base[PATH_SIZE];
    if (!CopyText(base, sizeof base, folder) || !base[0]) return;
    size_t len = strlen(base);
    if (base[len - 1] != '\\' && !AppendText(base, sizeof base, "\\")) return;
    char pattern[PATH_SIZE];
    if (!FormatText(pattern, sizeof pattern, "%s*.*", base)) return;

    size_t baseLength = strlen(base);
    ForEachEntryOf(pattern, [&](const FolderEntry *found) {
        char path[PATH_SIZE];
        // An entry whose full path would not fit is skipped, never cut.
        size_t nameLength = strlen(found->name);
        if (baseLength + nameLength >= sizeof path) return 1;
        memcpy(path, base, baseLength);
        memcpy(path + baseLength, found->name, nameLength + 1);
        // Junctions are not followed: they can loop back. (".name" folders
        // are folders like any other.)
        if ((found->attributes & FILE_ATTRIBUTE_DIRECTORY) && depth > 0 &&
            !(found->attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            WalkFolder(path, visit, depth - 1, param);
        return visit(path, found->attributes, param) ? 0 : 1;
    });
}
