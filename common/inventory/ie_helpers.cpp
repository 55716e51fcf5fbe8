// IE helpers: browser helper objects, toolbars and extensions (toolbar
// buttons), listed from HKLM with their program files looked up under
// HKEY_CLASSES_ROOT, removed registration by registration, and approved
// by what each one is.
#include "ie_helpers.h"

#include <cstdlib>
#include <cstring>

#include "growing_array.h"
#include "history.h"
#include "platform.h"
#include "inventory.h"
#include "program_files.h"
#include "registry_views.h"
#include "signatures.h"
#include "text.h"
#include "unicode_text.h"
#include "trace.h"
#include "version_names.h"
#include "watch_places.h"

namespace {

// The registry views the helpers are read from: a 32-bit browser's helpers
// are registered in the 32-bit view of 64-bit Windows.
const int kViews[] = {VIEW_NATIVE, VIEW_32};

// 1 when the key is read in this view: the 32-bit view only where it
// exists and the key is not one that both views share.
int ReadsView(int view, const char *key)
{
    if (view != VIEW_32) return 1;
    return HasRegistryViews() && !StoreKeyIsShared(HKEY_LOCAL_MACHINE, key);
}

const struct {
    int type;
    const char *key;
} kKinds[] = {
    {ITEM_BHO, BHO_KEY},
    {ITEM_TOOLBAR, IE_TOOLBAR_KEY},
    {ITEM_EXTENSION, IE_EXTENSIONS_KEY},
};

// One helper as found in the registry.
struct Found {
    int type;
    int view;
    const char *name;   // the class id as it stands in its key
    const char *path;   // program file (900, 901) or command (902), as read
    const char *info;
    char title[ITEM_TITLE_SIZE];
};
typedef int (*FoundVisitor)(const Found *found, void *context);   // 0 stops the walk

struct Walk {
    int view;
    int withTitles;   // 0: titles and version facts are not needed
    FoundVisitor visit;
    void *context;
    int stopped;
};

// A class id can name a key of its own: not empty, no backslash.
int UsableClassId(const char *name)
{
    return name && name[0] && !strchr(name, '\\');
}

// The text of a value (REG_SZ, or REG_EXPAND_SZ expanded) of any length, on
// the heap; null when it is empty or not text.
char *TextOf(const StoreBlob *value)
{
    const char *data = (const char *)value->data;
    if (!data || !data[0]) return nullptr;
    if (value->type == REG_SZ) return DuplicateText(data);
    if (value->type != REG_EXPAND_SZ) return nullptr;
    DWORD need = ExpandEnvironmentStringsA(data, nullptr, 0);
    if (need == 0) return nullptr;
    char *text = (char *)malloc(need + 1);
    if (text && ExpandEnvironmentStringsA(data, text, need + 1) == 0) {
        free(text);
        text = nullptr;
    }
    return text;
}

// A text value read on its own; null when missing, empty or not text.
char *ReadText(HKEY root, int view, const char *path, const char *name)
{
    StoreBlob blob;
    if (!StoreReadBlob(root, RegistryViewFlag(view), path, name, &blob)) return nullptr;
    char *text = TextOf(&blob);
    StoreFreeBlob(&blob);
    return text;
}

// The server file of a class: the default value of CLSID\<id>\InprocServer32
// under HKEY_CLASSES_ROOT, with braces put round an id written without them
// when the id as it stands has none. Null when there is none, and for a file
// name too long for any program to load (it would be shown cut).
char *ClassServer(const char *classId, int view)
{
    if (!UsableClassId(classId)) return nullptr;
    char *server = nullptr;
    for (int braced = 0; braced < 2 && !server; braced++) {
        if (braced && classId[0] == '{') break;
        char key[1024];
        if (!FormatText(key, sizeof key, braced ? "CLSID\\{%s}\\InprocServer32" : "CLSID\\%s\\InprocServer32",
                        classId))
            continue;
        server = ReadText(HKEY_CLASSES_ROOT, view, key, "");
    }
    if (server && (strlen(server) >= PATH_SIZE || TextUnits(server, strlen(server)) >= MAX_PATH)) {
        TraceNote("IE helper server path too long", classId);
        free(server);
        server = nullptr;
    }
    return server;
}

// A title shows on one line: control characters become blanks.
void MakePrintable(char *text)
{
    for (char *c = text; *c; c++)
        if ((unsigned char)*c < 32 || *c == 127) *c = ' ';
}

// The title of a helper with a program file: its product name, else the
// file's name with its extension, else the class id.
void ServerTitle(Found *found, const VersionNames &names)
{
    const char *path = found->path ? found->path : "";
    char file[ITEM_TITLE_SIZE];
    if (names.productName[0])
        CopyTextCut(found->title, sizeof found->title, names.productName);
    else if (FileNamePart(path, file, sizeof file) > 0)
        CopyText(found->title, sizeof found->title, file);
    else if (path[0])
        CopyTextCut(found->title, sizeof found->title, path);
    else
        CopyTextCut(found->title, sizeof found->title, found->name);
    MakePrintable(found->title);
}

// The version names of the program files met in one walk: many helpers
// share a file.
struct NamesCache {
    enum { kSlots = 8 };
    char path[kSlots][PATH_SIZE];
    VersionNames names[kSlots];
    int used = 0, next = 0;

    const VersionNames &Of(const char *file)
    {
        for (int i = 0; i < used; i++)
            if (TextEqualNoCase(path[i], file)) return names[i];
        int slot = next;
        next = (next + 1) % kSlots;
        if (used < kSlots) used++;
        CopyTextCut(path[slot], PATH_SIZE, file);
        ReadVersionNames(file, &names[slot]);
        return names[slot];
    }
};

void VisitFound(Walk *walk, Found *found)
{
    if (walk->stopped) return;
    if (!walk->visit(found, walk->context)) walk->stopped = 1;
}

// A server path as it is shown and read: without quotes.
void Unquoted(const char *path, char *out, size_t size)
{
    if (!RemoveQuotes(path, out, size)) out[0] = 0;
}

// Visits a class helper of that type and its server (heap, freed here; null:
// none). 0 when the walk stops.
int VisitServer(Walk *walk, NamesCache *cache, int type, const char *classId, char *server)
{
    char file[PATH_SIZE];
    Unquoted(server ? server : "", file, sizeof file);
    Found found = {type, walk->view, classId, file, "", ""};
    VersionNames none = {};
    const VersionNames &names = walk->withTitles && file[0] ? cache->Of(file) : none;
    found.info = names.productVersion;
    if (walk->withTitles) ServerTitle(&found, names);
    VisitFound(walk, &found);
    free(server);
    return walk->stopped ? 0 : 1;
}

void ListClassHelpers(Walk *walk, NamesCache *cache)
{
    REGSAM flag = RegistryViewFlag(walk->view);
    // Browser helper objects: one subkey each; one without a server file is
    // never loaded and not listed.
    if (ReadsView(walk->view, BHO_KEY)) StoreForEachSubkey(HKEY_LOCAL_MACHINE, flag, BHO_KEY, [&](const char *classId) {
        char *server = ClassServer(classId, walk->view);
        if (!server) return 1;
        return VisitServer(walk, cache, ITEM_BHO, classId, server);
    });
    if (walk->stopped) return;
    // Toolbars: one value each, named by the class id (the key's default
    // value is no toolbar).
    if (!ReadsView(walk->view, IE_TOOLBAR_KEY)) return;
    StoreForEachValue(HKEY_LOCAL_MACHINE, flag, IE_TOOLBAR_KEY, [&](const char *classId, const StoreBlob *) {
        if (!classId[0]) return 1;
        return VisitServer(walk, cache, ITEM_TOOLBAR, classId, ClassServer(classId, walk->view));
    });
}

void ListExtensions(Walk *walk, NamesCache *cache)
{
    if (!ReadsView(walk->view, IE_EXTENSIONS_KEY)) return;
    StoreForEachSubkey(HKEY_LOCAL_MACHINE, RegistryViewFlag(walk->view), IE_EXTENSIONS_KEY,
                       [&](const char *classId) {
        char key[400];
        if (!FormatText(key, sizeof key, "%s\\%s", IE_EXTENSIONS_KEY, classId)) return 1;
        // The button's values in one reading of its key.
        enum { BUTTON_TEXT, EXEC, SCRIPT, HOT_ICON, VALUES };
        static const char *const kNames[VALUES] = {"ButtonText", "Exec", "script", "HotIcon"};
        char *values[VALUES] = {};
        StoreForEachValue(HKEY_LOCAL_MACHINE, RegistryViewFlag(walk->view), key,
                          [&](const char *name, const StoreBlob *value) {
            for (int i = 0; i < VALUES; i++)
                if (!values[i] && TextEqualNoCase(name, kNames[i])) values[i] = TextOf(value);
            return 1;
        });
        // A button without text is not shown by the browser.
        char *text = values[BUTTON_TEXT];
        char *command = values[EXEC] ? values[EXEC] : values[SCRIPT];
        char *hotIcon = values[HOT_ICON];
        if (!text) {
            for (char *value : values) free(value);
            return 1;
        }

        Found found = {ITEM_EXTENSION, walk->view, classId, command ? command : "", "", ""};
        found.info = hotIcon ? hotIcon : found.path;
        if (walk->withTitles) {
            if (strstr(text, "shdoclc.dll"))
                CopyText(found.title, sizeof found.title, "Related");
            else
                CopyTextCut(found.title, sizeof found.title, text);
            char file[PATH_SIZE];
            if (ResolveCommandFile(found.path, file) > 0) {
                const VersionNames &names = cache->Of(file);
                if (names.productName[0]) CopyTextCut(found.title, sizeof found.title, names.productName);
            }
            MakePrintable(found.title);
        }
        VisitFound(walk, &found);
        for (char *value : values) free(value);
        return walk->stopped ? 0 : 1;
    });
}

// Walks every helper in list order: per view, the browser helper objects,
// the toolbars, then the extensions.
void WalkIEHelpers(int withTitles, FoundVisitor visit, void *context)
{
    NamesCache *cache = withTitles ? new NamesCache : nullptr;
    for (int view : kViews) {
        Walk walk = {view, withTitles, visit, context, 0};
        ListClassHelpers(&walk, cache);
        if (!walk.stopped) ListExtensions(&walk, cache);
        if (walk.stopped) break;
    }
    delete cache;
}

}  // namespace

void ForEachIEHelperPlace(WatchPlaceVisitor visit, void *context)
{
    for (int view : kViews)
        for (const auto &kind : kKinds) {
            if (!ReadsView(view, kind.key)) continue;
            // A toolbar button is a subkey whose values are written after it
            // is made: changes below the key count too.
            WatchPlace place = {WATCH_KEY, HKEY_LOCAL_MACHINE, view, kind.type == ITEM_EXTENSION, kind.key};
            visit(&place, context);
        }
}

namespace {

int AddFound(const Found *found, void *)
{
    ItemIdentity identity = {found->name, found->view, 0, nullptr};
    AddItemAs(identity, found->title, found->path, found->name, found->info, found->type, 0);
    return 1;
}

// A path as the item list holds it: no quotes, the long form.
void ListedPath(const char *path, char *out)
{
    char unquoted[PATH_SIZE];
    Unquoted(path, unquoted, sizeof unquoted);
    out[0] = 0;
    if (strlen(unquoted) < 4 || (!GetLongPath(out, unquoted) && !out[0])) CopyText(out, PATH_SIZE, unquoted);
}

// One registration to remove.
struct Target {
    int type;
    int view;
    char *name;
    char *path;
};

struct Targets {
    Target *items = nullptr;
    int count = 0, room = 0;
    const char *path = nullptr;   // the program file whose registrations are wanted

    ~Targets()
    {
        for (int i = 0; i < count; i++) {
            free(items[i].name);
            free(items[i].path);
        }
        free(items);
    }
    int Has(int type, int view, const char *name) const
    {
        for (int i = 0; i < count; i++)
            if (items[i].type == type && items[i].view == view && TextEqualNoCase(items[i].name, name)) return 1;
        return 0;
    }
    int Add(int type, int view, const char *name, const char *file, int first)
    {
        if (!MakeRoomForOne(items, count, room, 8)) return 0;
        Target t = {type, view, DuplicateText(name), DuplicateText(file)};
        if (!t.name || !t.path) {
            free(t.name);
            free(t.path);
            return 0;
        }
        if (first) {
            memmove(items + 1, items, (size_t)count * sizeof(Target));
            items[0] = t;
        } else {
            items[count] = t;
        }
        count++;
        return 1;
    }
};

int CollectSameFile(const Found *found, void *context)
{
    Targets *targets = (Targets *)context;
    char file[PATH_SIZE];
    ListedPath(found->path, file);
    if (TextEqualNoCase(file, targets->path)) targets->Add(found->type, found->view, found->name, file, 0);
    return 1;
}

// Deletes one registration by its own kind and class id. 1 when deleted.
int DeleteRegistration(const Target &t)
{
    const char *key = IEHelperKey(t.type);
    if (!key || !t.name[0]) return 0;
    REGSAM flag = RegistryViewFlag(t.view);
    // A toolbar is a value, whatever its name holds; the others are keys.
    if (t.type == ITEM_TOOLBAR) return StoreDeleteValueIn(HKEY_LOCAL_MACHINE, flag, key, t.name);
    if (!UsableClassId(t.name)) return 0;
    char path[400];
    if (!FormatText(path, sizeof path, "%s\\%s", key, t.name)) return 0;
    return StoreDeleteKeyIn(HKEY_LOCAL_MACHINE, flag, path);
}

// Starts the system's regsvr32 to unregister an in-process server, without
// waiting. The file is quoted: a path with blanks must reach regsvr32 whole,
// or it unregisters nothing and may load another file. A server of the
// 32-bit view is unregistered by the 32-bit regsvr32, which sees the file
// and the classes as its program did.
void Unregister(const char *file, int view)
{
    char system[PATH_SIZE], program[PATH_SIZE], command[2 * PATH_SIZE + 32];
    if (!file[0] || strchr(file, '"')) return;
    UINT length = 0;
    if (view == VIEW_32) length = GetSystemWow64DirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system) length = GetSystemDirectoryA(system, sizeof system);
    if (length == 0 || length >= sizeof system) return;
    if (!FormatText(program, sizeof program, "%s\\regsvr32.exe", system)) return;
    if (!FormatText(command, sizeof command, "\"%s\" /u /s \"%s\"", program, file)) return;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        TraceNote("ERROR regsvr32", file);
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void WriteRemoval(const Target &t, const char *title)
{
    char name[PATH_SIZE], location[PATH_SIZE];
    if (FileNamePart(t.path, name, sizeof name) <= 0) CopyTextCut(name, sizeof name, t.path[0] ? t.path : title);
    DescribeIEHelperLocation(t.type, t.view, location, sizeof location);
    AppendTextCut(location, sizeof location, "\\");
    AppendTextCut(location, sizeof location, t.name);
    WriteHistory(name, t.path, location, t.view == VIEW_32 ? t.type | HISTORY_VIEW_32 : t.type, 3);
}

}  // namespace

int EnumerateIEHelpers(void)
{
    FreeItems();
    WalkIEHelpers(1, AddFound, nullptr);
    return ItemCount();
}

const char *IEHelperKey(int type)
{
    for (const auto &kind : kKinds)
        if (kind.type == type) return kind.key;
    return nullptr;
}

int DescribeIEHelperLocation(int type, int view, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    const char *key = IEHelperKey(type);
    if (!key) return 0;
    if (view == VIEW_32) return (int)FormatText(out, (size_t)size, "SOFTWARE\\Wow6432Node%s", key + 8);
    return (int)CopyText(out, (size_t)size, key);
}

int IEHelperRegistered(const Item *record)
{
    if (!record) return 0;
    const char *key = IEHelperKey(record->type);
    if (!key || !record->name || !record->name[0]) return 0;
    REGSAM flag = RegistryViewFlag(record->view);
    if (record->type == ITEM_TOOLBAR) return StoreValueExistsIn(HKEY_LOCAL_MACHINE, flag, key, record->name);
    if (!UsableClassId(record->name)) return 0;
    char path[400];
    if (!FormatText(path, sizeof path, "%s\\%s", key, record->name)) return 0;
    return StoreKeyExistsIn(HKEY_LOCAL_MACHINE, flag, path);
}

int RemoveIEHelperEntry(const Item *record)
{
    if (!record || !IEHelperKey(record->type) || !record->name) return 0;
    Targets targets;
    // Every registration of the same program file goes with it; a helper
    // without a file stands alone.
    if (record->path[0]) {
        targets.path = record->path;
        WalkIEHelpers(0, CollectSameFile, &targets);
    }
    if (!targets.Has(record->type, record->view, record->name))
        targets.Add(record->type, record->view, record->name, record->path, 1);

    int removed = 0;
    for (int i = 0; i < targets.count; i++) {
        const Target &t = targets.items[i];
        int deleted = DeleteRegistration(t);
        // Buttons start programs or scripts; only servers are unregistered.
        if (t.type != ITEM_EXTENSION) Unregister(t.path, t.view);
        if (!deleted) continue;
        removed++;
        WriteRemoval(t, record->title);
    }
    return removed;
}

int RemoveIEHelper(const char *helperPath, int index)
{
    const Item *item = GetItem(index);
    if (!item || !helperPath || !TextEqualNoCase(item->path, helperPath)) return 0;
    Item record = {};
    if (!CopyItemRecord(&record, item)) return 0;
    int removed = RemoveIEHelperEntry(&record);
    ReleaseItemCopy(&record);
    return removed;
}

int IEHelperIdentityName(const Item *record, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!record || !record->name || !record->name[0]) return 0;
    return (int)FormatText(out, (size_t)size, "%d%s:%s", record->type, record->view == VIEW_32 ? "/32" : "",
                           record->name);
}

int IEHelperApproved(const Item *record)
{
    if (!record || !record->title[0]) return 0;
    char data[17];
    if (StoreReadString(HKEY_CURRENT_USER, IE_HELPER_BASELINE, record->title, data, sizeof data) <= 0 ||
        DecimalValue(data) == 0)
        return 0;
    char identity[400], approvedAs[ITEM_TITLE_SIZE];
    if (!IEHelperIdentityName(record, identity, sizeof identity)) return 0;
    return StoreReadString(HKEY_CURRENT_USER, IE_HELPER_KNOWN, identity, approvedAs, sizeof approvedAs) > 0 &&
           TextEqualNoCase(approvedAs, record->title) &&
           ApprovedSignerHolds(IE_HELPER_SIGNERS, identity, record->path, nullptr);
}

int ApproveIEHelper(const Item *record)
{
    char identity[400];
    if (!record || !record->title[0] || !IEHelperIdentityName(record, identity, sizeof identity)) return 0;
    int title = StoreWriteDecimal(HKEY_CURRENT_USER, IE_HELPER_BASELINE, record->title, record->type);
    int known = StoreWriteString(HKEY_CURRENT_USER, IE_HELPER_KNOWN, identity, record->title);
    // The approval remembers who signed the helper's server.
    if (title && known) RememberApprovedSigner(IE_HELPER_SIGNERS, identity, record->path);
    return title && known;
}

void ForgetIEHelper(const Item *record)
{
    if (!record) return;
    char identity[400];
    if (IEHelperIdentityName(record, identity, sizeof identity))
        StoreDeleteValue(HKEY_CURRENT_USER, IE_HELPER_KNOWN, identity);
    if (!record->title[0]) return;
    int shared = 0;
    StoreForEachValue(HKEY_CURRENT_USER, 0, IE_HELPER_KNOWN, [&](const char *, const StoreBlob *value) {
        if ((value->type == REG_SZ || value->type == REG_EXPAND_SZ) &&
            TextEqualNoCase((const char *)value->data, record->title))
            shared = 1;
        return shared ? 0 : 1;
    });
    if (!shared) StoreDeleteValue(HKEY_CURRENT_USER, IE_HELPER_BASELINE, record->title);
}

void WriteIEHelperBaseline(void)
{
    int count = EnumerateIEHelpers();
    for (int i = 0; i < count; i++) ApproveIEHelper(GetItem(i));
    FreeItems();
}
