#include "registry_views.h"

#include "platform.h"
#include "store.h"

int ViewsOf(const char *path, int views[2])
{
    int count = 0;
    views[count++] = VIEW_NATIVE;
    if (HasRegistryViews() && !StoreKeyIsShared(HKEY_LOCAL_MACHINE, path)) views[count++] = VIEW_32;
    return count;
}

REGSAM RegistryViewFlag(int view)
{
    return view == VIEW_32 ? KEY_WOW64_32KEY : 0;
}

