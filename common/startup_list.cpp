// Startup locations: the Run family, the Startup folders, win.ini, Winlogon
// and the shell extension points.
#include <windows.h>

#include <cstring>

#include "inventory.h"
#include "items.h"
#include "text.h"

namespace {
// The Run family, key number 1-7; HKLM entries get the key number as their
// type, HKCU entries the key number + 10.
const char *const kRunKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\Setup",
    "Software\\Microsoft\\Windows\\CurrentVersion\\policies\\Explorer\\Run",
};

void ListRunKey(HKEY root, const char *path, int type)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    DWORD values = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    char lastName[256] = "", lastData[513] = "";
    for (DWORD index = 0; index < values; index++) {
        char name[256];
        BYTE data[513];
        DWORD nameLen = sizeof name, dataLen = sizeof data - 1, valueType = 0;
        LONG rc = RegEnumValueA(key, index, name, &nameLen, nullptr, &valueType, data, &dataLen);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        if (valueType != REG_SZ && valueType != REG_EXPAND_SZ) continue;
        name[sizeof name - 1] = 0;
        data[dataLen < sizeof data ? dataLen : sizeof data - 1] = 0;
        const char *command = (const char *)data;
        if (TextEqualNoCase(name, lastName) && TextEqualNoCase(command, lastData)) continue;
        if (strlen(name) > 1 && strlen(command) >= 5 && (unsigned char)name[0] < 0x80)
            AddItem(name, command, "", "", type, 0);
        CopyText(lastName, sizeof lastName, name);
        CopyText(lastData, sizeof lastData, command);
    }
    RegCloseKey(key);
}

void ListRunValues(void)
{
    for (int number = 1; number <= 7; number++)
        ListRunKey(HKEY_LOCAL_MACHINE, kRunKeys[number - 1], number);
    for (int number = 1; number <= 7; number++)
        ListRunKey(HKEY_CURRENT_USER, kRunKeys[number - 1], number + 10);
}
}  // namespace

int BuildStartupList(int)
{
    FreeItems();
    ListRunValues();
    return ItemCount();
}

int ListDelayedPrograms(void)
{
    FreeItems();
    return 0;
}
