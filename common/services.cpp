// Services: enumeration, start type and control.
#include "inventory.h"
#include "items.h"

int EnumerateServices(int)
{
    FreeItems();
    return 0;
}

// The state, control and start type of one service come with the services
// category; until then a service cannot be asked or changed.
#include <windows.h>

#include "services.h"
#include "text.h"
#include "ui_strings.h"

DWORD QueryServiceState(const char *)
{
    return 0;
}

DWORD ServiceStateText(const char *, char *out)
{
    if (out) LoadUiString(652, out, 256);
    return 0;
}

int ControlServiceByName(const char *, DWORD)
{
    return 0;
}

int ServiceDisplayName(const char *, char *out)
{
    if (out) out[0] = 0;
    return 0;
}

int SetServiceStartType(const char *, int)
{
    return 0;
}

int ServiceKeyName(const char *displayName, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!displayName || !displayName[0]) return 0;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return 0;
    int length = 0;
    DWORD bytes = (DWORD)size;
    if (GetServiceKeyNameA(manager, displayName, out, &bytes)) {
        length = (int)TextLength(out, (size_t)size);
    } else {
        // Not a display name: a key name of an existing service stands for itself.
        SC_HANDLE service = OpenServiceA(manager, displayName, SERVICE_QUERY_STATUS);
        if (service) {
            length = (int)CopyText(out, (size_t)size, displayName);
            CloseServiceHandle(service);
        } else {
            out[0] = 0;
        }
    }
    CloseServiceHandle(manager);
    return length;
}
