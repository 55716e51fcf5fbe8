#include "program_files.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "text.h"

int GetProgramFolder(char *out)
{
    out[0] = 0;
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= MAX_PATH) return 0;
    char *slash = strrchr(path, '\\');
    if (!slash) return 0;
    *slash = 0;
    return (int)CopyText(out, PATH_SIZE, path);
}

int ResolveCommandPath(const char *command, char *out)
{
    out[0] = 0;
    if (!command) return 0;
    char work[PATH_SIZE * 4];
    size_t start = 0, len = 0;
    for (const char *c = command; *c && len < sizeof work - 1; c++) {
        if (*c == ':') start = len > 0 ? len - 1 : 0;
        work[len++] = (char)toupper((unsigned char)*c);
        if (*c == '.' && c[1] && c[2] && (toupper((unsigned char)c[2]) == 'X' ||
                                           toupper((unsigned char)c[2]) == 'L')) {
            for (int k = 1; k <= 3 && c[k] && len < sizeof work - 1; k++)
                work[len++] = (char)toupper((unsigned char)c[k]);
            break;
        }
    }
    work[len] = 0;
    return (int)CopyTextCut(out, PATH_SIZE, work + start);
}

int FileExists(char *path)
{
    if (!path || !path[0]) return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
