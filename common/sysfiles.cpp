// Monitored system files (HOSTS and the boot files) and their copies.
#include "inventory.h"
#include "platform.h"
#include "text.h"

int AddMonitoredFile(const char *, const char *, const char *, int)
{
    return 0;
}

int GetHostsPath(char *out, int size)
{
    char folder[MAX_PATH];
    if (IsNtFamily()) {
        UINT n = GetSystemDirectoryA(folder, sizeof folder);
        if (n == 0 || n >= sizeof folder) return 0;
        return (int)FormatText(out, size, "%s\\drivers\\etc\\HOSTS", folder);
    }
    UINT n = GetWindowsDirectoryA(folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) return 0;
    return (int)FormatText(out, size, "%s\\HOSTS", folder);
}
