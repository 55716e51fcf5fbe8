// A program for the alert tests to be alerted about, started and stopped.
//   alert_sample -stay        runs until it is stopped
//   alert_sample anything     appends "show=<n> args=<command line>" to
//                             ran.txt beside itself, then ends
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int show)
{
    if (arguments && strstr(arguments, "-stay")) {
        Sleep(120000);
        return 0;
    }
    // Its folder may be named in any script.
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    wchar_t *slash = wcsrchr(path, L'\\');
    if (!slash || (size_t)(slash - path) + 8 >= MAX_PATH) return 1;
    wcscpy(slash + 1, L"ran.txt");
    FILE *file = _wfopen(path, L"a");
    if (!file) return 1;
    fprintf(file, "show=%d args=%s\n", show, arguments ? arguments : "");
    fclose(file);
    return 0;
}
