// A program for the alert tests to be alerted about, started and stopped.
//   alert_sample -stay        runs until it is stopped
//   alert_sample anything     appends "show=<n> args=<command line>" to
//                             ran.txt beside itself, then ends
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int show)
{
    if (arguments && strstr(arguments, "-stay")) {
        Sleep(120000);
        return 0;
    }
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char *slash = strrchr(path, '\\');
    if (!slash || (size_t)(slash - path) + 8 >= sizeof path) return 1;
    strcpy(slash + 1, "ran.txt");
    FILE *file = fopen(path, "a");
    if (!file) return 1;
    fprintf(file, "show=%d args=%s\n", show, arguments ? arguments : "");
    fclose(file);
    return 0;
}
