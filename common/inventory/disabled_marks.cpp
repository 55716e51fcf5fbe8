#include "disabled_marks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "growing_array.h"
#include "items.h"
#include "store.h"
#include "text.h"

namespace {
// Locations whose entries are stored under their own value name when that
// name is free: the Run family and Winlogon Notify, in the program's own
// registry view.
int KeepsOwnName(int type, int view, const char *name)
{
    if (view != VIEW_NATIVE || !name || !name[0]) return 0;
    return (type >= 1 && type <= 7) || (type >= 11 && type <= 17) || type == ITEM_WINLOGON_NOTIFY;
}

// "@<type>:<name>" or "@<type>/32:<name>" (heap).
char *QualifiedName(int type, int view, const char *name)
{
    char prefix[32];
    int n = snprintf(prefix, sizeof prefix, view == VIEW_32 ? "@%d/32:" : "@%d:", type);
    if (n <= 0 || n >= (int)sizeof prefix) return nullptr;
    size_t len = strlen(name ? name : "");
    char *out = (char *)malloc((size_t)n + len + 1);
    if (!out) return nullptr;
    memcpy(out, prefix, (size_t)n);
    memcpy(out + n, name ? name : "", len + 1);
    return out;
}

// The view written into a qualified name; VIEW_NATIVE for any other text.
int ViewOfQualified(const char *stored)
{
    if (!stored || stored[0] != '@') return VIEW_NATIVE;
    const char *colon = strchr(stored, ':');
    return colon && colon - stored >= 4 && strncmp(colon - 3, "/32", 3) == 0 ? VIEW_32 : VIEW_NATIVE;
}

int ReadMarkType(const StoreBlob *value)
{
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) return 0;
    if (value->size > 16) return 0;
    long type = DecimalValue((const char *)value->data);
    return type > 0 && type < 100000 ? (int)type : 0;
}
}  // namespace

void MarkIndex::Clear(void)
{
    for (int i = 0; i < count; i++) {
        free(marks[i].stored);
        free(marks[i].name);
    }
    free(marks);
    marks = nullptr;
    count = 0;
}

void MarkIndex::Load(void)
{
    Clear();
    int room = 0;
    StoreForEachValue(HKEY_LOCAL_MACHINE, 0, DISABLED_KEY, [&](const char *stored, const StoreBlob *value) {
        int type = ReadMarkType(value);
        if (!type) return 1;
        if (!MakeRoomForOne(marks, count, room, 16)) return 0;
        Mark &m = marks[count];
        m.stored = DuplicateText(stored);
        m.name = nullptr;
        m.type = type;
        m.view = VIEW_NATIVE;
        m.qualified = 0;
        if (!m.stored) return 0;
        count++;
        return 1;
    });
    // The exact names behind qualified stored names.
    StoreForEachValue(HKEY_LOCAL_MACHINE, 0, DISABLED_NAMES_KEY, [&](const char *stored, const StoreBlob *value) {
        if (value->type != REG_SZ && value->type != REG_BINARY) return 1;
        for (int i = 0; i < count; i++) {
            if (marks[i].qualified || !TextEqualNoCase(marks[i].stored, stored)) continue;
            char *name = StoreNameOfBlob(value);
            if (!name) return value->type == REG_SZ ? 0 : 1;
            marks[i].name = name;
            marks[i].qualified = 1;
            marks[i].view = ViewOfQualified(stored);
        }
        return 1;
    });
    for (int i = 0; i < count; i++)
        if (!marks[i].name) marks[i].name = DuplicateText(marks[i].stored);
}

const char *MarkIndex::Find(int type, int view, const char *name) const
{
    if (!name) name = "";
    for (int i = 0; i < count; i++) {
        const Mark &m = marks[i];
        if (m.type != type || m.view != view || !m.name || !TextEqualNoCase(m.name, name)) continue;
        if (!m.qualified) {
            if (KeepsOwnName(type, view, name)) return m.stored;
            continue;
        }
        char *qualified = QualifiedName(type, view, name);
        int same = qualified && TextEqualNoCase(m.stored, qualified);
        free(qualified);
        if (same) return m.stored;
    }
    return nullptr;
}

const MarkIndex::Mark *MarkIndex::Stored(const char *stored) const
{
    for (int i = 0; i < count; i++)
        if (TextEqualNoCase(marks[i].stored, stored)) return &marks[i];
    return nullptr;
}

char *FindDisabledMark(int type, int view, const char *name)
{
    MarkIndex index;
    index.Load();
    return DuplicateText(index.Find(type, view, name));
}

char *ChooseMarkName(int type, int view, const char *name)
{
    MarkIndex index;
    index.Load();
    const char *own = index.Find(type, view, name);
    if (own) return DuplicateText(own);
    if (KeepsOwnName(type, view, name) && !StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, name) &&
        !StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_NAMES_KEY, name))
        return DuplicateText(name);
    char *qualified = QualifiedName(type, view, name);
    // A qualified name that some other entry holds is never taken over.
    if (qualified && (StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_KEY, qualified) ||
                      StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_NAMES_KEY, qualified))) {
        free(qualified);
        return nullptr;
    }
    return qualified;
}

int WriteDisabledMark(const char *stored, int type, int view, const char *name)
{
    if (!stored) return 0;
    if (!TextEqualNoCase(stored, name ? name : "") || !KeepsOwnName(type, view, name)) {
        if (!StoreWriteName(HKEY_LOCAL_MACHINE, DISABLED_NAMES_KEY, stored, name)) return 0;
    }
    if (!StoreWriteDecimal(HKEY_LOCAL_MACHINE, DISABLED_KEY, stored, type)) return 0;
    return MarkTypeOf(stored) == type;
}

int DeleteDisabledMark(const char *stored, const char *subkey)
{
    if (!stored) return 0;
    if (subkey) StoreDeleteValue(HKEY_LOCAL_MACHINE, subkey, stored);
    if (StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_NAMES_KEY, stored))
        StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_NAMES_KEY, stored);
    if (StoreValueExists(HKEY_LOCAL_MACHINE, DISABLED_FOLDERS_KEY, stored))
        StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_FOLDERS_KEY, stored);
    for (const char *list : {DISABLED_WININI_KEY "\\Before", DISABLED_WININI_KEY "\\After"})
        if (StoreValueExists(HKEY_LOCAL_MACHINE, list, stored)) StoreDeleteValue(HKEY_LOCAL_MACHINE, list, stored);
    return StoreDeleteValue(HKEY_LOCAL_MACHINE, DISABLED_KEY, stored);
}

int MarkTypeOf(const char *stored)
{
    StoreBlob value;
    if (!stored || !StoreReadBlob(HKEY_LOCAL_MACHINE, 0, DISABLED_KEY, stored, &value)) return 0;
    int type = ReadMarkType(&value);
    StoreFreeBlob(&value);
    return type;
}
