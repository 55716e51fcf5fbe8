#include "addon_locations.h"

#include <cstdlib>
#include <cstring>

#include "class_servers.h"
#include "items.h"
#include "platform.h"
#include "program_files.h"
#include "registry_views.h"
#include "store.h"
#include "text.h"

namespace {

const char kBhoKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kMenuExtKey[] = "Software\\Microsoft\\Internet Explorer\\MenuExt";
const char kExtensionsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kPluginsKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Plugins\\Extension";
const char kDistributionKey[] = "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units";
const char kDelayLoadKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char kSharedTaskKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler";
const char kAdvancedKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\AdvancedOptions";
const char kZoneDomainsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains";

const int kTextSize = 1024;

template <typename Visit> void ForEachSubkey(HKEY root, int view, const char *path, Visit visit)
{
    StoreKeyName *names;
    int count;
    StoreListSubkeys(root, RegistryViewFlag(view), path, &names, &count);
    for (int i = 0; i < count; i++) visit(names[i]);
    free(names);
}

template <typename Visit> void ForEachView(const char *path, Visit visit)
{
    int views[2];
    int count = ViewsOf(path, views);
    for (int i = 0; i < count; i++) visit(views[i]);
}

int ReadText(HKEY root, int view, const char *path, const char *name, char *out, int size)
{
    return StoreReadStringIn(root, RegistryViewFlag(view), path, name, out, size);
}

int Add(const char *name, int view, const char *title, const char *path, const char *detail, const char *info,
        int type)
{
    ItemIdentity identity = {name, view, 0, nullptr};
    return AddItemAs(identity, title, path, detail, info, type, 0);
}

// A class of a helper key: its name and server file.
struct ClassFacts {
    char name[CLASS_NAME_SIZE];
    char server[PATH_SIZE];
};

void ReadClass(int view, const char *clsid, ClassFacts *facts)
{
    facts->name[0] = facts->server[0] = 0;
    ClassServerPathIn(view, clsid, facts->name, facts->server);
}

int Finish(void) { return ItemCount(); }

}  // namespace

int ListBrowserHelperObjects(void)
{
    FreeItems();
    ForEachView(kBhoKey, [](int view) {
        ForEachSubkey(HKEY_LOCAL_MACHINE, view, kBhoKey, [&](const char *clsid) {
            ClassFacts facts;
            ReadClass(view, clsid, &facts);
            Add(clsid, view, facts.name, facts.server, clsid, "", 900);
        });
    });
    return Finish();
}

int ListToolbars(void)
{
    FreeItems();
    ForEachView(kToolbarKey, [](int view) {
        StoreForEachValue(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), kToolbarKey,
                          [&](const char *clsid, const StoreBlob *) {
            if (!clsid[0]) return 1;
            ClassFacts facts;
            ReadClass(view, clsid, &facts);
            VersionFacts version;
            memset(version, 0, sizeof version);
            if (facts.server[0]) ReadVersionFacts(facts.server, version);
            Add(clsid, view, facts.name, facts.server, clsid, version[VERSION_COMPANY_NAME], 900);
            return 1;
        });
    });
    return Finish();
}

int ListMenuExtensions(void)
{
    FreeItems();
    ForEachSubkey(HKEY_CURRENT_USER, VIEW_NATIVE, kMenuExtKey, [](const char *text) {
        char key[512], target[kTextSize];
        if (!FormatText(key, sizeof key, "%s\\%s", kMenuExtKey, text)) return;
        if (ReadText(HKEY_CURRENT_USER, VIEW_NATIVE, key, "", target, sizeof target) <= 0) return;
        Add(text, VIEW_NATIVE, text, target, text, "", 0);
    });
    return Finish();
}

int ListButtonExtensions(void)
{
    FreeItems();
    auto visitRoot = [](HKEY root, int view) {
        ForEachSubkey(root, view, kExtensionsKey, [&](const char *clsid) {
            char key[512], button[kTextSize], menu[kTextSize], path[kTextSize];
            if (!FormatText(key, sizeof key, "%s\\%s", kExtensionsKey, clsid)) return;
            if (ReadText(root, view, key, "ButtonText", button, sizeof button) <= 0)
                CopyText(button, sizeof button, "(no name)");
            if (ReadText(root, view, key, "script", path, sizeof path) <= 0 &&
                ReadText(root, view, key, "exec", path, sizeof path) <= 0) {
                ClassFacts facts;
                ReadClass(view, clsid, &facts);
                CopyText(path, sizeof path, facts.server);
            }
            if (!path[0]) return;
            if (root == HKEY_CURRENT_USER) AppendTextCut(path, sizeof path, " (HKCU)");
            Add(clsid, view, button, path, clsid, "", 1);
            if (ReadText(root, view, key, "MenuText", menu, sizeof menu) > 0) Add(clsid, view, menu, path, clsid, "", 2);
        });
    };
    ForEachView(kExtensionsKey, [&](int view) { visitRoot(HKEY_LOCAL_MACHINE, view); });
    visitRoot(HKEY_CURRENT_USER, VIEW_NATIVE);
    return Finish();
}

int ListPlugins(void)
{
    FreeItems();
    ForEachView(kPluginsKey, [](int view) {
        ForEachSubkey(HKEY_LOCAL_MACHINE, view, kPluginsKey, [&](const char *name) {
            char key[512], location[kTextSize];
            if (!FormatText(key, sizeof key, "%s\\%s", kPluginsKey, name)) return;
            if (ReadText(HKEY_LOCAL_MACHINE, view, key, "Location", location, sizeof location) <= 0) return;
            Add(name, view, name, location, name, "", 0);
        });
    });
    return Finish();
}

int ListDownloadedControls(void)
{
    FreeItems();
    ForEachView(kDistributionKey, [](int view) {
        ForEachSubkey(HKEY_LOCAL_MACHINE, view, kDistributionKey, [&](const char *clsid) {
            char key[512], codebase[kTextSize];
            if (!FormatText(key, sizeof key, "%s\\%s\\DownloadInformation", kDistributionKey, clsid)) return;
            if (ReadText(HKEY_LOCAL_MACHINE, view, key, "CODEBASE", codebase, sizeof codebase) <= 0) return;
            ClassFacts facts;
            ReadClass(view, clsid, &facts);
            Add(clsid, view, facts.name, codebase, facts.server, clsid, 0);
        });
    });
    return Finish();
}

int ListDelayLoadObjects(void)
{
    FreeItems();
    ForEachView(kDelayLoadKey, [](int view) {
        StoreForEachValue(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), kDelayLoadKey,
                          [&](const char *name, const StoreBlob *value) {
            if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) return 1;
            const char *clsid = (const char *)value->data;
            if (!clsid[0] || strlen(clsid) >= 128) return 1;
            ClassFacts facts;
            ReadClass(view, clsid, &facts);
            if (!facts.server[0]) return 1;
            Add(name, view, facts.name, facts.server, clsid, name, 0);
            return 1;
        });
    });
    return Finish();
}

int ListSharedTaskSchedulers(void)
{
    FreeItems();
    ForEachView(kSharedTaskKey, [](int view) {
        StoreForEachValue(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), kSharedTaskKey,
                          [&](const char *clsid, const StoreBlob *value) {
            if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) return 1;
            const char *data = (const char *)value->data;
            if (strlen(data) >= 128 || !clsid[0]) return 1;
            ClassFacts facts;
            ReadClass(view, clsid, &facts);
            if (!facts.server[0]) return 1;
            Add(clsid, view, facts.name, facts.server, clsid, data, 0);
            return 1;
        });
    });
    return Finish();
}

int ListAdvancedOptions(void)
{
    FreeItems();
    ForEachView(kAdvancedKey, [](int view) {
        ForEachSubkey(HKEY_LOCAL_MACHINE, view, kAdvancedKey, [&](const char *name) {
            char key[512], text[kTextSize], help[kTextSize], bitmap[kTextSize];
            if (!FormatText(key, sizeof key, "%s\\%s", kAdvancedKey, name)) return;
            ReadText(HKEY_LOCAL_MACHINE, view, key, "Text", text, sizeof text);
            ReadText(HKEY_LOCAL_MACHINE, view, key, "HelpID", help, sizeof help);
            if (FindTextNoCase(help, "iexplore.hlp")) return;
            ReadText(HKEY_LOCAL_MACHINE, view, key, "Bitmap", bitmap, sizeof bitmap);
            char *slash = strrchr(bitmap, '\\');
            if (slash) *slash = 0;
            Add(name, view, text, help, bitmap, "", 0);
        });
    });
    return Finish();
}

int ZoneMarkOfDomain(HKEY root, REGSAM view, const char *domainKey)
{
    StoreKeyName *names;
    int count;
    StoreListSubkeys(root, view, domainKey, &names, &count);
    int mark = 0;
    for (int i = 0; i < count && !mark; i++) {
        char key[1024];
        if (!FormatText(key, sizeof key, "%s\\%s", domainKey, names[i])) continue;
        BYTE data[64];
        DWORD type = 0;
        if (StoreReadRawIn(root, view, key, "*", &type, data, sizeof data) <= 0) continue;
        if (data[0] == 4 || data[0] == 5) mark = data[0];
    }
    free(names);
    return mark;
}

int ListZoneDomains(void)
{
    FreeItems();
    auto visitRoot = [](HKEY root, int view) {
        ForEachSubkey(root, view, kZoneDomainsKey, [&](const char *domain) {
            char key[1024];
            if (!FormatText(key, sizeof key, "%s\\%s", kZoneDomainsKey, domain)) return;
            if (ZoneMarkOfDomain(root, RegistryViewFlag(view), key) == 5) Add(domain, view, domain, "", "", "", 0);
        });
    };
    ForEachView(kZoneDomainsKey, [&](int view) { visitRoot(HKEY_LOCAL_MACHINE, view); });
    visitRoot(HKEY_CURRENT_USER, VIEW_NATIVE);
    return Finish();
}

int IsKnownSystemClass(const char *clsid)
{
    static const char *const kClasses[] = {
        "{7849596a-48ea-486e-8937-a2a3009f31a9}", "{fbeb8a05-beee-4442-804e-409d6c4515e9}",
        "{E6FB5E20-DE35-11CF-9C87-00AA005127ED}", "{35CEC8A3-2BE6-11D2-8773-92E220524153}"};
    for (const char *known : kClasses)
        if (TextEqualNoCase(clsid, known)) return 1;
    return 0;
}
