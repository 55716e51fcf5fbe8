#include "class_servers.h"

#include "registry_views.h"
#include "store.h"
#include "text.h"

int ClassServerPath(const char *clsid, char *name, char *server)
{
    return ClassServerPathIn(VIEW_NATIVE, clsid, name, server);
}

int ClassServerPathIn(int view, const char *clsid, char *name, char *server)
{
    name[0] = 0;
    server[0] = 0;
    if (!clsid || !clsid[0]) return 1;
    char key[320];
    if (!FormatText(key, sizeof key, clsid[0] == '{' ? "CLSID\\%s" : "CLSID\\{%s}", clsid)) return 1;
    // A class a 32-bit program registered lives in the 32-bit view.
    REGSAM flag = RegistryViewFlag(view);
    StoreReadStringIn(HKEY_CLASSES_ROOT, flag, key, "", name, CLASS_NAME_SIZE);
    char serverKey[340];
    if (FormatText(serverKey, sizeof serverKey, "%s\\InprocServer32", key))
        StoreReadStringIn(HKEY_CLASSES_ROOT, flag, serverKey, "", server, PATH_SIZE);
    return 1;
}

