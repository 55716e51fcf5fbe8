#include "delete_on_reboot.h"

#include <windows.h>

#include <cstring>

#include "platform.h"
#include "text.h"

int DeleteOnReboot(const char *file)
{
    if (!file || !file[0]) return 0;
    SetFileAttributesA(file, FILE_ATTRIBUTE_NORMAL);
    if (IsNtFamily()) return MoveFileExA(file, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;

    // wininit.ini runs only the lines of its [rename] section.
    char shortPath[PATH_SIZE], windows[PATH_SIZE], ini[PATH_SIZE];
    DWORD length = GetShortPathNameA(file, shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath) CopyText(shortPath, sizeof shortPath, file);
    UINT folder = GetWindowsDirectoryA(windows, sizeof windows);
    if (folder == 0 || folder >= sizeof windows) return 0;
    if (!FormatText(ini, sizeof ini, "%s\\wininit.ini", windows)) return 0;
    HANDLE handle = CreateFileA(ini, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    // Looks for the section header in what the file holds (it is small).
    char text[16384];
    DWORD read = 0;
    int inSection = 0, endsLine = 1;   // inSection: the last section is [rename]
    if (ReadFile(handle, text, sizeof text - 1, &read, nullptr) && read > 0) {
        text[read] = 0;
        for (const char *c = text; *c; c++)
            if ((c == text || c[-1] == '\n') && *c == '[') inSection = _strnicmp(c, "[rename]", 8) == 0;
        endsLine = text[read - 1] == '\n';
    }
    int hasSection = inSection;
    char line[PATH_SIZE + 32];
    size_t used = FormatText(line, sizeof line, "%s%s%sNUL=%s\r\n", endsLine ? "" : "\r\n",
                             hasSection ? "" : "[rename]", hasSection ? "" : "\r\n", shortPath);
    LARGE_INTEGER zero = {};
    DWORD written = 0;
    int ok = used > 0 && SetFilePointerEx(handle, zero, nullptr, FILE_END) &&
             WriteFile(handle, line, (DWORD)used, &written, nullptr) && written == used;
    CloseHandle(handle);
    return ok;
}
