// Startup hooks: see startup_hooks.h.
#include "startup_hooks.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "locations.h"
#include "platform.h"
#include "program_files.h"
#include "registry_views.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"
#include "unicode_text.h"

namespace {

// The disk check Windows runs at every start is no one's addition.
const char kDiskCheck[] = "autocheck autochk *";
// Winlogon values Windows runs, beyond Userinit and Shell (read apart).
const char *const kWinlogonValues[] = {"AppSetup", "Taskman", "GinaDLL", "VmApplet"};

// The value a subkey entry keeps its command in.
const char *ValueOf(int type)
{
    return type == ITEM_IFEO_DEBUGGER ? "Debugger" : type == ITEM_SILENT_EXIT_MONITOR ? "MonitorProcess" : "StubPath";
}

const char *KeyOf(int type)
{
    return type == ITEM_IFEO_DEBUGGER ? IFEO_KEY : type == ITEM_SILENT_EXIT_MONITOR ? SILENT_EXIT_KEY : ACTIVE_SETUP_KEY;
}

void Add(const char *name, int view, const char *title, const char *command, const char *detail, const char *info,
         int type)
{
    ItemIdentity identity = {name, view, 0, nullptr};
    AddItemAs(identity, title, command, detail, info, type, 0);
}

// Each subkey's command value (Debugger, MonitorProcess, StubPath).
void ListSubkeyValues(int type, int view)
{
    REGSAM flag = RegistryViewFlag(view);
    StoreForEachSubkey(HKEY_LOCAL_MACHINE, flag, KeyOf(type), [&](const char *sub) -> int {
        char key[1024];
        if (!FormatText(key, sizeof key, "%s\\%s", KeyOf(type), sub)) return 1;
        char *command = nullptr;
        StoreBlob value;
        if (StoreReadBlob(HKEY_LOCAL_MACHINE, flag, key, ValueOf(type), &value)) {
            if (StoreBlobIsString(&value)) command = DuplicateText((const char *)value.data);
            StoreFreeBlob(&value);
        }
        if (!command || !command[0]) {
            free(command);
            return 1;
        }
        char title[ITEM_TITLE_SIZE] = "", info[ITEM_INFO_SIZE] = "";
        if (type == ITEM_ACTIVE_SETUP) {
            // The component's own name, and the versions that decide whether
            // it runs for this user.
            StoreReadStringIn(HKEY_LOCAL_MACHINE, flag, key, "", title, sizeof title);
            char machine[64] = "", user[64] = "";
            StoreReadStringIn(HKEY_LOCAL_MACHINE, flag, key, "Version", machine, sizeof machine);
            StoreReadString(HKEY_CURRENT_USER, key, "Version", user, sizeof user);
            FormatTextCut(info, sizeof info, "%s / %s", machine, user);
        }
        if (!title[0]) ShownText(sub, title, sizeof title);
        Add(sub, view, title, command, sub, info, type);
        free(command);
        return 1;
    });
}

void ListBootExecute(void)
{
    StoreBlob value;
    if (!StoreReadBlob(HKEY_LOCAL_MACHINE, 0, SESSION_MANAGER_KEY, "BootExecute", &value)) return;
    if (value.type == REG_MULTI_SZ || StoreBlobIsString(&value)) {
        const char *text = (const char *)value.data;
        size_t length = value.size;
        for (size_t at = 0; at < length && text[at];) {
            const char *piece = text + at;
            size_t n = strnlen(piece, length - at);
            char command[ITEM_PATH_SIZE];
            CopyTextN(command, sizeof command, piece, n);
            if (!TextEqualNoCase(command, kDiskCheck)) Add(command, VIEW_NATIVE, command, command, "", "", ITEM_BOOT_EXECUTE);
            at += n + 1;
            if (value.type != REG_MULTI_SZ) break;
        }
    }
    StoreFreeBlob(&value);
}

void ListWinlogonValues(int view)
{
    for (const char *name : kWinlogonValues) {
        char command[ITEM_PATH_SIZE];
        if (StoreReadStringIn(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), WINLOGON_KEY, name, command,
                              sizeof command) <= 0 || !command[0])
            continue;
        char title[ITEM_TITLE_SIZE];
        FormatText(title, sizeof title, "Winlogon %s", name);
        Add(name, view, title, command, name, "", ITEM_WINLOGON_VALUE);
    }
}

// A multi-string without one piece (the first that equals it exactly), the
// others in their order. Returns the new size in bytes, 0 when not found.
DWORD WithoutPiece(const char *text, DWORD size, const char *piece, char *out)
{
    DWORD used = 0;
    int found = 0;
    for (DWORD at = 0; at < size && text[at];) {
        size_t n = strnlen(text + at, size - at);
        if (!found && strlen(piece) == n && memcmp(text + at, piece, n) == 0) {
            found = 1;
        } else {
            memcpy(out + used, text + at, n + 1);
            used += (DWORD)n + 1;
        }
        at += (DWORD)n + 1;
    }
    out[used++] = 0;
    return found ? used : 0;
}

}  // namespace

int IsStartupHookType(int type)
{
    return type >= ITEM_IFEO_DEBUGGER && type <= ITEM_WINLOGON_VALUE;
}

void ListStartupHooks(void)
{
    int views[2];
    for (int type : {ITEM_IFEO_DEBUGGER, ITEM_SILENT_EXIT_MONITOR, ITEM_ACTIVE_SETUP})
        for (int i = 0, n = ViewsOf(KeyOf(type), views); i < n; i++) ListSubkeyValues(type, views[i]);
    ListBootExecute();
    for (int i = 0, n = ViewsOf(WINLOGON_KEY, views); i < n; i++) ListWinlogonValues(views[i]);
}

int DeleteStartupHook(const StartupRef &entry)
{
    if (!entry.name || !entry.name[0]) return 0;
    REGSAM flag = RegistryViewFlag(entry.view);
    switch (entry.type) {
    case ITEM_IFEO_DEBUGGER:
    case ITEM_SILENT_EXIT_MONITOR:
    case ITEM_ACTIVE_SETUP: {
        char key[1024];
        if (strchr(entry.name, '\\') || !FormatText(key, sizeof key, "%s\\%s", KeyOf(entry.type), entry.name)) return 0;
        return StoreDeleteValueIn(HKEY_LOCAL_MACHINE, flag, key, ValueOf(entry.type));
    }
    case ITEM_BOOT_EXECUTE: {
        StoreBlob value;
        if (!StoreReadBlob(HKEY_LOCAL_MACHINE, 0, SESSION_MANAGER_KEY, "BootExecute", &value)) return 0;
        int done = 0;
        char *rest = value.type == REG_MULTI_SZ ? (char *)malloc(value.size + 2) : nullptr;
        if (rest) {
            DWORD size = WithoutPiece((const char *)value.data, value.size, entry.name, rest);
            done = size && StoreWriteRaw(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, "BootExecute", REG_MULTI_SZ, rest,
                                         size);
        }
        free(rest);
        StoreFreeBlob(&value);
        return done;
    }
    case ITEM_WINLOGON_VALUE:
        for (const char *name : kWinlogonValues)
            if (strcmp(name, entry.name) == 0) return StoreDeleteValueIn(HKEY_LOCAL_MACHINE, flag, WINLOGON_KEY, name);
        return 0;
    default:
        return 0;
    }
}

int PutBackStartupHook(int view, const char *name, const char *command, int type)
{
    if (!name || !name[0] || !command || !command[0] || strchr(name, '\\')) return 0;
    REGSAM flag = RegistryViewFlag(view);
    char key[1024];
    const char *value = nullptr;
    switch (type) {
    case ITEM_IFEO_DEBUGGER:
    case ITEM_SILENT_EXIT_MONITOR:
    case ITEM_ACTIVE_SETUP:
        if (!FormatText(key, sizeof key, "%s\\%s", KeyOf(type), name)) return 0;
        value = ValueOf(type);
        break;
    case ITEM_WINLOGON_VALUE:
        CopyText(key, sizeof key, WINLOGON_KEY);
        value = name;
        break;
    default:
        return 0;   // a BootExecute piece is put back by hand
    }
    if (StoreValueExistsIn(HKEY_LOCAL_MACHINE, flag, key, value)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return 0;
    }
    return StoreWriteStringIn(HKEY_LOCAL_MACHINE, flag, key, value, command);
}

int DescribeStartupHookPlace(const Item *record, char *out, int size)
{
    out[0] = 0;
    const char *name = record->name ? record->name : "";
    char view[64] = "";
    if (record->view == VIEW_32) LoadUiString(2115, view, sizeof view);
    switch (record->type) {
    case ITEM_IFEO_DEBUGGER:
    case ITEM_SILENT_EXIT_MONITOR:
    case ITEM_ACTIVE_SETUP:
        FormatTextCut(out, (size_t)size, "HKLM\\%s\\%s%s, value \"%s\"", KeyOf(record->type), name, view,
                      ValueOf(record->type));
        break;
    case ITEM_BOOT_EXECUTE:
        FormatTextCut(out, (size_t)size, "HKLM\\%s, BootExecute: %s", SESSION_MANAGER_KEY, name);
        break;
    case ITEM_WINLOGON_VALUE:
        FormatTextCut(out, (size_t)size, "HKLM\\%s%s, value \"%s\"", WINLOGON_KEY, view, name);
        break;
    default:
        return 0;
    }
    return (int)strlen(out);
}

void ForEachStartupHookPlace(WatchPlaceVisitor visit, void *context)
{
    int views[2];
    for (const char *key : {IFEO_KEY, SILENT_EXIT_KEY, ACTIVE_SETUP_KEY, WINLOGON_KEY})
        for (int i = 0, n = ViewsOf(key, views); i < n; i++) {
            WatchPlace place = {WATCH_KEY, HKEY_LOCAL_MACHINE, views[i], 1, key};
            visit(&place, context);
        }
    WatchPlace boot = {WATCH_KEY, HKEY_LOCAL_MACHINE, VIEW_NATIVE, 0, SESSION_MANAGER_KEY};
    visit(&boot, context);
}
