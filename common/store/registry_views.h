// Registry views: on 64-bit Windows, HKLM Software is seen by 32-bit
// programs through a view of its own (Software\Wow6432Node). Every
// inventory that reads HKLM reads it in each view Windows keeps apart.
#pragma once
#include <windows.h>

// The view an entry was read from: the program's own, or the 32-bit one.
enum ItemView { VIEW_NATIVE = 0, VIEW_32 = 1 };

// The access flag that opens a key in a registry view (VIEW_NATIVE: none).
REGSAM RegistryViewFlag(int view);

// The registry views an HKLM key is read in: the program's own and, on
// 64-bit Windows, the 32-bit one, unless Windows shares the key between
// them (StoreKeyIsShared). Returns the count.
int ViewsOf(const char *path, int views[2]);
