// Services: state, control, display and key names, start type. The
// enumeration is EnumerateServices (inventory.h).
#pragma once
#include <windows.h>

// The service's current state in the high 16 bits and its service type in
// the low 16 bits; 0 when the service cannot be asked.
DWORD QueryServiceState(const char *displayName);

// The state as text (string 652 "Stopped" ... 658 "Paused") into out (256
// bytes). Returns what QueryServiceState returns.
DWORD ServiceStateText(const char *displayName, char *out /* 256 */);

// Sends a control code (1 = stop). 1 when the service accepted it.
int ControlServiceByName(const char *displayName, DWORD code);

// The display name of a service key name into out (4096 bytes). 1 or 0.
int ServiceDisplayName(const char *keyName, char *out /* 4096 */);

// Writes the "Start" value of the service whose "DisplayName" is the
// given name. 1 when such a service was found.
int SetServiceStartType(const char *displayName, int start);

// The key name of a service given by its display name (a key name is
// returned as it is). Returns the length, 0 when no such service is known.
int ServiceKeyName(const char *displayName, char *out, int size);
