// File type associations: reading an extension's class and open command by
// each method, the approved associations (HKCU Software\Orvendale\Sentrel
// Ext, ExtApp, ExtProgID, ExtRoot with Class and ClassRoot), writing an
// approved association back, and the inventory of the watched extensions.
//
// Commands are kept exactly as the registry holds them, quotes and value
// type included, so that a restored association is the one that was
// approved, byte for byte; quotes only stop mattering when two commands are
// compared.
#include "file_types.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "inventory.h"
#include "items.h"
#include "program_files.h"
#include "registry_views.h"
#include "text.h"
#include "unicode_text.h"
#include "trace.h"
#include "watch_places.h"

namespace {
const char kClasses[] = "Software\\Classes\\";
const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const char kOpenCommand[] = "\\shell\\open\\command";
const char kDoNotEdit[] = "Do not edit.";

// Where each method reads its class and its command, and where its
// baseline is kept.
struct MethodPlace {
    HKEY classRoot;
    const char *classPrefix;    // + extension
    const char *classValue;     // "" is the default value
    HKEY commandRoot;
    const char *commandPrefix;  // + class + kOpenCommand
    const char *savedClassKey;  // class by extension
    const char *savedCommandKey;
};
const MethodPlace kMethods[] = {
    {HKEY_LOCAL_MACHINE, kClasses, "", HKEY_LOCAL_MACHINE, kClasses, STORE_ROOT "\\Ext", STORE_ROOT "\\Class"},
    {HKEY_CURRENT_USER, kFileExts, "Application", HKEY_CLASSES_ROOT, "Applications\\", STORE_ROOT "\\ExtApp",
     STORE_ROOT "\\Class"},
    {HKEY_CURRENT_USER, kFileExts, "ProgID", HKEY_CLASSES_ROOT, "", STORE_ROOT "\\ExtProgID",
     STORE_ROOT "\\Class"},
    {HKEY_CLASSES_ROOT, "", "", HKEY_CLASSES_ROOT, "", STORE_ROOT "\\ExtRoot", STORE_ROOT "\\ClassRoot"},
    // Read by ReadUserAssociation: the user's class or command, the
    // machine's for the part the user's classes leave alone.
    {HKEY_CURRENT_USER, kClasses, "", HKEY_CURRENT_USER, kClasses, STORE_ROOT "\\ExtUser", STORE_ROOT "\\ClassUser"},
};

const MethodPlace *PlaceOf(int method)
{
    return method >= METHOD_CLASS && method <= METHOD_USER ? &kMethods[method - 1] : nullptr;
}

// HKLM Software is read in the program's registry view.
REGSAM ViewOf(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? RegistryViewFlag(VIEW_NATIVE) : 0;
}

const char *TextOf(const StoreBlob &blob)
{
    return blob.data ? (const char *)blob.data : "";
}

// The extension with one leading dot. 0 when it does not fit.
int Dotted(const char *extension, char *out, size_t size)
{
    if (!extension || !extension[0]) return 0;
    return extension[0] == '.' ? (int)CopyText(out, size, extension)
                               : (int)FormatText(out, size, ".%s", extension);
}

// A text value read whole; 1 when it is text (the blob is freed otherwise).
int ReadText(HKEY root, const char *path, const char *name, StoreBlob *blob)
{
    if (!StoreReadBlob(root, ViewOf(root), path, name, blob)) return 0;
    if (StoreBlobIsString(blob)) return 1;
    StoreFreeBlob(blob);
    return 0;
}

// A class, application or ProgID read from a value: text that can name a
// key. 1 when cls was filled.
int ReadClassName(HKEY root, const char *path, const char *name, char *cls)
{
    cls[0] = 0;
    StoreBlob blob;
    if (!ReadText(root, path, name, &blob)) return 0;
    size_t copied = CopyText(cls, ASSOCIATION_CLASS_SIZE, TextOf(blob));
    StoreFreeBlob(&blob);
    if (copied && TextUnits(cls, copied) > ASSOCIATION_CLASS_UNITS) cls[0] = 0;
    return cls[0] != 0;
}

int WriteTextValue(HKEY root, const char *path, const char *name, const char *text)
{
    StoreBlob blob = {REG_SZ, (DWORD)strlen(text) + 1, (BYTE *)text};
    return StoreWriteBlob(root, ViewOf(root), path, name, &blob);
}

int CommandKey(const MethodPlace *place, const char *cls, char *out, size_t size)
{
    return FormatText(out, size, "%s%s%s", place->commandPrefix, cls, kOpenCommand) > 0;
}

// --- Comparing commands ------------------------------------------------------

int IsBoundary(char c)
{
    return c == 0 || c == ' ' || c == '\t' || c == '"' || c == ',';
}

// Where the program of a command ends when it is not quoted: behind the
// first name ending that Windows runs, else at the first blank.
const char *UnquotedProgramEnd(const char *begin)
{
    static const char *const kEndings[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".dll", ".cpl"};
    for (const char *c = begin; *c; c++) {
        if (*c != '.') continue;
        for (const char *ending : kEndings) {
            size_t n = strlen(ending);
            if (_strnicmp(c, ending, n) == 0 && IsBoundary(c[n])) return c + n;
        }
    }
    const char *blank = strpbrk(begin, " \t");
    return blank ? blank : begin + strlen(begin);
}

// The program's file name in a command (quotes included in the range, if
// any): [*name, *end).
void ProgramRange(const char *command, const char **name, const char **end)
{
    const char *p = command;
    while (*p == ' ' || *p == '\t') p++;
    const char *begin = p, *stop;
    if (*p == '"') {
        begin = p + 1;
        stop = strchr(begin, '"');
        if (!stop) stop = begin + strlen(begin);
    } else {
        stop = UnquotedProgramEnd(p);
    }
    *name = begin;
    for (const char *c = begin; c < stop; c++)
        if (*c == '\\' || *c == '/') *name = c + 1;
    *end = stop;
}

// The next character of a compared command: quotes skipped, "=" taken as
// ":", case folded.
int NextCompared(const char **p)
{
    while (**p == '"') (*p)++;
    if (!**p) return 0;
    int c = (unsigned char)*(*p)++;
    if (c == '=') c = ':';
    return tolower(c);
}
}  // namespace

int SameOpenCommand(const char *saved, const char *current)
{
    if (!saved || !current) return 0;
    const char *a, *b, *end;
    ProgramRange(saved, &a, &end);
    ProgramRange(current, &b, &end);
    for (;;) {
        int x = NextCompared(&a), y = NextCompared(&b);
        if (x != y) return 0;
        if (!x) return 1;
    }
}

int OpenCommandProgramName(const char *command, char *out, size_t size)
{
    out[0] = 0;
    if (!command) return 0;
    const char *name, *end;
    ProgramRange(command, &name, &end);
    size_t n = 0;
    for (const char *c = name; c < end && n + 1 < size; c++)
        if (*c != '"') out[n++] = *c;
    out[n] = 0;
    return (int)n;
}

// --- Reading, saving and restoring associations ------------------------------------

void FreeAssociation(Association *association)
{
    association->cls[0] = 0;
    StoreFreeBlob(&association->command);
}

int ListedMethod(int index)
{
    static const int kListed[] = {METHOD_CLASS, METHOD_APPLICATION, METHOD_PROGID, METHOD_USER};
    return index >= 0 && index < (int)(sizeof kListed / sizeof kListed[0]) ? kListed[index] : 0;
}

int IsUserChoice(int method)
{
    return method == METHOD_APPLICATION || method == METHOD_PROGID || method == METHOD_USER;
}

namespace {
// What the user's own classes make of an extension: their class of it (or
// the machine's) and their open command of that class (or the machine's).
// Nothing when they change neither: that is the machine's association.
int ReadUserAssociation(const char *dotted, Association *out, int *userClass, int *userCommand)
{
    char path[600];
    *userClass = *userCommand = 0;
    if (!FormatText(path, sizeof path, "%s%s", kClasses, dotted)) return 0;
    *userClass = ReadClassName(HKEY_CURRENT_USER, path, "", out->cls);
    if (!*userClass && !ReadClassName(HKEY_LOCAL_MACHINE, path, "", out->cls)) return 0;
    if (!FormatText(path, sizeof path, "%s%s%s", kClasses, out->cls, kOpenCommand)) return 0;
    *userCommand = ReadText(HKEY_CURRENT_USER, path, "", &out->command);
    if (!*userClass && !*userCommand) return 0;
    if (!*userCommand && !ReadText(HKEY_LOCAL_MACHINE, path, "", &out->command)) return 0;
    return TextOf(out->command)[0] != 0;
}
}  // namespace

int ReadAssociation(const char *extension, int method, Association *out)
{
    out->cls[0] = 0;
    out->command = StoreBlob{0, 0, nullptr};
    const MethodPlace *place = PlaceOf(method);
    char dotted[ASSOCIATION_CLASS_SIZE], path[600];
    if (!place || !Dotted(extension, dotted, sizeof dotted) ||
        !FormatText(path, sizeof path, "%s%s", place->classPrefix, dotted))
        return 0;
    if (method == METHOD_USER) {
        int userClass, userCommand;
        if (ReadUserAssociation(dotted, out, &userClass, &userCommand)) return 1;
        FreeAssociation(out);
        return 0;
    }
    if (!ReadClassName(place->classRoot, path, place->classValue, out->cls)) return 0;
    if (!CommandKey(place, out->cls, path, sizeof path) ||
        !ReadText(place->commandRoot, path, "", &out->command) || !TextOf(out->command)[0]) {
        FreeAssociation(out);
        return 0;
    }
    return 1;
}

int GetAssociation(const char *extension, char *cls, char *command, int method)
{
    Association found;
    if (!ReadAssociation(extension, method, &found)) return 0;
    char expanded[PATH_SIZE];
    const char *text = TextOf(found.command);
    int fits = 1;
    if (found.command.type == REG_EXPAND_SZ) {
        DWORD need = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
        fits = need > 0 && need <= sizeof expanded;
        text = expanded;
    }
    fits = fits && strlen(text) < PATH_SIZE && strlen(found.cls) < PATH_SIZE;
    if (fits) {
        CopyText(cls, PATH_SIZE, found.cls);
        CopyText(command, PATH_SIZE, text);
    }
    FreeAssociation(&found);
    return fits;
}

int ReadSavedAssociation(const char *extension, int method, Association *out)
{
    out->cls[0] = 0;
    out->command = StoreBlob{0, 0, nullptr};
    const MethodPlace *place = PlaceOf(method);
    char dotted[ASSOCIATION_CLASS_SIZE];
    if (!place || !Dotted(extension, dotted, sizeof dotted)) return 0;
    // Without a saved class there is no baseline; the default value of the
    // command key (the watched list) is never taken for a command.
    if (!ReadClassName(HKEY_CURRENT_USER, place->savedClassKey, dotted, out->cls)) return 0;
    // A saved command is read whatever its length: one too long for a
    // buffer is still the approved one.
    if (!ReadText(HKEY_CURRENT_USER, place->savedCommandKey, out->cls, &out->command) ||
        !TextOf(out->command)[0]) {
        FreeAssociation(out);
        return 0;
    }
    return 1;
}

int SaveAssociationAs(const char *extension, int method, const Association *shown)
{
    const MethodPlace *place = PlaceOf(method);
    char dotted[ASSOCIATION_CLASS_SIZE];
    // An empty class would name the default value of Class, the watched list.
    if (!place || !shown || !shown->cls[0] || !StoreBlobIsString(&shown->command) ||
        !Dotted(extension, dotted, sizeof dotted))
        return 0;
    return StoreWriteString(HKEY_CURRENT_USER, place->savedClassKey, dotted, shown->cls) &&
           StoreWriteBlob(HKEY_CURRENT_USER, 0, place->savedCommandKey, shown->cls, &shown->command);
}

int SaveAssociation(const char *extension, int method)
{
    Association now;
    if (!ReadAssociation(extension, method, &now)) return 0;
    int saved = SaveAssociationAs(extension, method, &now);
    FreeAssociation(&now);
    return saved;
}

int RestoreAssociation(const char *extension, int method)
{
    const MethodPlace *place = PlaceOf(method);
    char dotted[ASSOCIATION_CLASS_SIZE], cls[ASSOCIATION_CLASS_SIZE], path[600];
    if (!place || !Dotted(extension, dotted, sizeof dotted)) return 0;
    if (!ReadClassName(HKEY_CURRENT_USER, place->savedClassKey, dotted, cls)) return 0;

    // The class goes back under the extension: HKLM Software\Classes for
    // the class methods, the user's FileExts for the chosen programs.
    HKEY classRoot = method == METHOD_ROOT ? HKEY_LOCAL_MACHINE : place->classRoot;
    const char *classPrefix = method == METHOD_ROOT ? kClasses : place->classPrefix;
    if (!FormatText(path, sizeof path, "%s%s", classPrefix, dotted) ||
        !WriteTextValue(classRoot, path, place->classValue, cls))
        return 0;
    if (method == METHOD_ROOT) return 1;

    StoreBlob command;
    if (!ReadText(HKEY_CURRENT_USER, place->savedCommandKey, cls, &command)) return 1;
    int written = 1;
    if (TextOf(command)[0])
        written = CommandKey(place, cls, path, sizeof path) &&
                  StoreWriteBlob(place->commandRoot, ViewOf(place->commandRoot), path, "", &command);
    StoreFreeBlob(&command);
    return written;
}

int RemoveUserChoice(const char *extension, int method)
{
    const MethodPlace *place = PlaceOf(method);
    char dotted[ASSOCIATION_CLASS_SIZE], path[600];
    if (!place || !IsUserChoice(method) || !Dotted(extension, dotted, sizeof dotted) ||
        !FormatText(path, sizeof path, "%s%s", place->classPrefix, dotted))
        return 0;
    if (method != METHOD_USER)
        return !StoreValueExists(HKEY_CURRENT_USER, path, place->classValue) ||
               StoreDeleteValue(HKEY_CURRENT_USER, path, place->classValue);
    // The user's class of the extension and the user's command of the class
    // it names go; what the machine has stays.
    Association now;
    int userClass, userCommand;
    int found = ReadUserAssociation(dotted, &now, &userClass, &userCommand);
    int removed = 1;
    if (found && userCommand) {
        char command[600];
        removed = FormatText(command, sizeof command, "%s%s%s", kClasses, now.cls, kOpenCommand) > 0 &&
                  StoreDeleteValue(HKEY_CURRENT_USER, command, "");
    }
    if (found && userClass) removed = StoreDeleteValue(HKEY_CURRENT_USER, path, "") && removed;
    FreeAssociation(&now);
    return removed;
}

int GetAssociationIcon(const char *extension, int method, char *file, int *index)
{
    file[0] = 0;
    *index = 0;
    Association found;
    if (!ReadAssociation(extension, method, &found)) return 0;
    const MethodPlace *place = PlaceOf(method);
    char path[600];
    StoreBlob icon = {0, 0, nullptr};
    // The user's classes lie over the machine's: their icon is what
    // HKEY_CLASSES_ROOT shows.
    HKEY iconRoot = method == METHOD_USER ? HKEY_CLASSES_ROOT : place->commandRoot;
    const char *prefix = method == METHOD_USER ? "" : place->commandPrefix;
    int named = FormatText(path, sizeof path, "%s%s\\DefaultIcon", prefix, found.cls) > 0 &&
                ReadText(iconRoot, path, "", &icon);
    FreeAssociation(&found);
    if (!named) return 0;
    // "file,index", the file perhaps quoted and holding variables.
    char text[PATH_SIZE], expanded[PATH_SIZE];
    named = CopyText(text, sizeof text, TextOf(icon)) > 0;
    StoreFreeBlob(&icon);
    if (!named) return 0;
    char *comma = strrchr(text, ',');
    if (comma) {
        *index = (int)DecimalValue(comma + 1);
        *comma = 0;
    }
    ReplaceChar(text, '"', 0);
    DWORD need = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
    if (need == 0 || need > sizeof expanded || !expanded[0] || strstr(expanded, "%1")) return 0;
    return (int)CopyText(file, PATH_SIZE, expanded) > 0;
}

// --- The inventory ---------------------------------------------------------------

namespace {
// The description of a class (default value of its HKLM Software\Classes
// key): 1023 characters at most, a longer one counts as none.
void ClassDescription(const char *cls, char *out, size_t size)
{
    out[0] = 0;
    char path[400];
    StoreBlob blob;
    if (!FormatText(path, sizeof path, "%s%s", kClasses, cls) || !ReadText(HKEY_LOCAL_MACHINE, path, "", &blob))
        return;
    if (strlen(TextOf(blob)) < 1024) CopyTextCut(out, size, TextOf(blob));
    StoreFreeBlob(&blob);
}

// The command as a program would use it (variables expanded), cut to a
// path's size: the item shows it, the association keeps the whole.
void ShownCommand(const Association &association, char *out, size_t size)
{
    const char *text = TextOf(association.command);
    if (association.command.type == REG_EXPAND_SZ) {
        char expanded[1024];
        DWORD need = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
        if (need > 0 && need <= sizeof expanded) {
            CopyTextCut(out, size, expanded);
            return;
        }
    }
    CopyTextCut(out, size, text);
}

struct ListState {
    int added;
    int full;
};

int ListExtension(const char *extension, void *context)
{
    ListState *state = (ListState *)context;
    static VersionFacts facts;
    for (int i = 0, method; (method = ListedMethod(i)) != 0; i++) {
        Association found;
        if (!ReadAssociation(extension, method, &found)) continue;
        char command[PATH_SIZE], title[ITEM_TITLE_SIZE], detail[ITEM_DETAIL_SIZE];
        ShownCommand(found, command, sizeof command);
        ClassDescription(found.cls, title, sizeof title);
        CopyTextCut(detail, sizeof detail, found.cls);
        if (!title[0]) {
            char file[PATH_SIZE];
            for (auto &fact : facts) fact[0] = 0;
            if (ResolveCommandPath(command, file) > 0) ReadVersionFacts(file, facts);
            CopyTextCut(title, sizeof title, facts[VERSION_PRODUCT_NAME]);
            CopyTextCut(detail, sizeof detail, facts[VERSION_FILE_DESCRIPTION]);
        }
        FreeAssociation(&found);
        // The record is the extension by this method; its title is only shown.
        ItemIdentity identity = {extension, VIEW_NATIVE, 0, nullptr};
        if (!AddItemAs(identity, title, command, detail, extension, ITEM_FILETYPE, method)) {
            state->full = 1;
            return 0;
        }
        state->added++;
    }
    return 1;
}
}  // namespace

int ListFileTypes(void)
{
    FreeItems();
    ListState state = {0, 0};
    ForEachWatchedExtension(ListExtension, &state);
    return state.added;
}

namespace {
// Saves the association of every listed record as approved.
void SaveListedAssociations(void)
{
    int count = ListFileTypes();
    for (int i = 0; i < count; i++) SaveAssociation(GetItemInfo(i), GetItemQualifier(i));
    FreeItems();
}

// 1 when the watched list has a ";" among its first 10 characters.
int WatchedListLooksValid(void)
{
    char *list = nullptr;
    int length = ReadWatchedList(&list);
    int valid = length > 0 && memchr(list, ';', length < 10 ? (size_t)length : 10) != nullptr;
    free(list);
    return valid;
}
}  // namespace

void InitFileTypes(void)
{
    const char *extKey = kMethods[0].savedClassKey;
    char mark[64];
    int markLength = StoreReadString(HKEY_CURRENT_USER, extKey, "", mark, sizeof mark);
    // The marker of an earlier version: the baseline is taken again.
    if (markLength == 11) {
        SaveListedAssociations();
        StoreWriteString(HKEY_CURRENT_USER, extKey, "", kDoNotEdit);
        return;
    }
    int listValid = WatchedListLooksValid();
    if (markLength > 0 && listValid) {
        // A baseline of a version that did not read the user's own classes:
        // what they hold now is taken as approved once, so that only what
        // comes later is asked about.
        const char *userKey = PlaceOf(METHOD_USER)->savedClassKey;
        if (!StoreKeyExists(HKEY_CURRENT_USER, userKey) && StoreCreateKey(HKEY_CURRENT_USER, userKey)) {
            int count = ListFileTypes();
            for (int i = 0; i < count; i++)
                if (GetItemQualifier(i) == METHOD_USER) SaveAssociation(GetItemInfo(i), METHOD_USER);
            FreeItems();
        }
        return;
    }

    for (int i = 0, method; (method = ListedMethod(i)) != 0; i++)
        StoreCreateKey(HKEY_CURRENT_USER, PlaceOf(method)->savedClassKey);
    StoreCreateKey(HKEY_CURRENT_USER, FILE_TYPE_CLASS_KEY);
    // A usable list of the user's own stays; a missing or broken one is
    // replaced by the initial list of the string table (never a translation).
    if (!listValid) {
        char initial[1024] = "";
        if (LoadStringA(GetModuleHandleA(nullptr), 750, initial, sizeof initial) <= 0 ||
            !StoreWriteString(HKEY_CURRENT_USER, FILE_TYPE_CLASS_KEY, "", initial))
            TraceNote("ERROR Creating REGCLASSKEY", FILE_TYPE_CLASS_KEY);
    }
    SaveListedAssociations();
    StoreWriteString(HKEY_CURRENT_USER, extKey, "", kDoNotEdit);
}

namespace {
struct FileTypePlaces {
    WatchPlaceVisitor visit;
    void *context;
};

void VisitFileTypeKey(const FileTypePlaces &places, HKEY root, int subtree, const char *path)
{
    // What HKEY_CLASSES_ROOT shows comes from the user's classes or the machine's.
    if (root == HKEY_CLASSES_ROOT) {
        char full[700];
        if (!FormatText(full, sizeof full, "%s%s", kClasses, path)) return;
        VisitFileTypeKey(places, HKEY_CURRENT_USER, subtree, full);
        VisitFileTypeKey(places, HKEY_LOCAL_MACHINE, subtree, full);
        return;
    }
    WatchPlace place = {WATCH_KEY, root, VIEW_NATIVE, subtree, path};
    places.visit(&place, places.context);
}

int VisitExtensionPlaces(const char *extension, void *context)
{
    const FileTypePlaces &places = *(const FileTypePlaces *)context;
    char dotted[ASSOCIATION_CLASS_SIZE], path[700];
    if (!Dotted(extension, dotted, sizeof dotted)) return 1;
    for (int method = METHOD_CLASS; method <= METHOD_ROOT; method++) {
        const MethodPlace *place = PlaceOf(method);
        if (!FormatText(path, sizeof path, "%s%s", place->classPrefix, dotted)) continue;
        // The user's choice sits below the extension's key.
        VisitFileTypeKey(places, place->classRoot, place->classRoot == HKEY_CURRENT_USER, path);
        char cls[ASSOCIATION_CLASS_SIZE];
        if (ReadClassName(place->classRoot, path, place->classValue, cls) &&
            CommandKey(place, cls, path, sizeof path))
            VisitFileTypeKey(places, place->commandRoot, 0, path);
    }
    return 1;
}
}  // namespace

void ForEachFileTypePlace(WatchPlaceVisitor visit, void *context)
{
    FileTypePlaces places = {visit, context};
    ForEachWatchedExtension(VisitExtensionPlaces, &places);
}

int IsAssociationApproved(const char *extension, int method)
{
    Association saved, current;
    int approved = 0;
    if (ReadSavedAssociation(extension, method, &saved)) {
        if (ReadAssociation(extension, method, &current)) {
            approved = SameOpenCommand(saved.command.data ? (const char *)saved.command.data : "",
                                       current.command.data ? (const char *)current.command.data : "");
            FreeAssociation(&current);
        }
        FreeAssociation(&saved);
    }
    return approved;
}
