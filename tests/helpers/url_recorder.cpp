// Stands in for a web browser (and for the AOL client and Internet
// Explorer): appends the command line it was started with, one line per
// start, to "recorded.txt" beside itself, and ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char *slash = path + n;
    while (slash > path && *slash != '\\') slash--;
    lstrcpynA(slash + 1, "recorded.txt", (int)(MAX_PATH - (slash + 1 - path)));
    // Written under a lock of the file, so two starts never mix their lines.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 200 && file == INVALID_HANDLE_VALUE; i++) {
        file = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE) return 1;
    const char *line = GetCommandLineA();
    DWORD written;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
    return 0;
}
