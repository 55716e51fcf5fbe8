// The watched extension list (the default value of HKCU
// Software\Orvendale\Sentrel\Class): extension names without their dots,
// each followed by ";". Reading it piece by piece, adding an extension to
// it and taking one off.
#include <cstdlib>
#include <cstring>

#include "file_types.h"
#include "items.h"
#include "store.h"
#include "text.h"
#include "unicode_text.h"
#include "trace.h"

namespace {
const char *const kSavedClassKeys[] = {STORE_ROOT "\\Ext", STORE_ROOT "\\ExtApp", STORE_ROOT "\\ExtProgID"};
const char kExtKey[] = STORE_ROOT "\\Ext";
const char kExtTypeKey[] = STORE_ROOT "\\ExtType";
const char kExtUserKey[] = STORE_ROOT "\\ExtUser";
const char kClassUserKey[] = STORE_ROOT "\\ClassUser";

// Room for what the list may hold when the explorer adds to it.
const int kListLimit = 1019;

int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Calls visit(piece, length) for every piece between the ";" of the list
// (the last one also when no ";" ends it). Stops when visit returns 0.
template <typename Visit> void ForEachPiece(const char *list, Visit visit)
{
    const char *piece = list;
    while (piece && *piece) {
        const char *end = strchr(piece, ';');
        size_t length = end ? (size_t)(end - piece) : strlen(piece);
        if (!visit(piece, length)) return;
        piece = end ? end + 1 : nullptr;
    }
}

int WriteWatchedList(const char *text)
{
    return StoreWriteString(HKEY_CURRENT_USER, FILE_TYPE_CLASS_KEY, "", text);
}

// 1 when a saved association in key uses the class.
int KeyHoldsClass(const char *key, const char *cls)
{
    int used = 0;
    StoreForEachValue(HKEY_CURRENT_USER, 0, key, [&](const char *, const StoreBlob *value) {
        if ((value->type == REG_SZ || value->type == REG_EXPAND_SZ) && TextEqualNoCase((const char *)value->data, cls))
            used = 1;
        return !used;
    });
    return used;
}

// 1 when another saved association (methods 1 to 3) uses the class.
int ClassStillUsed(const char *cls)
{
    for (const char *key : kSavedClassKeys)
        if (KeyHoldsClass(key, cls)) return 1;
    return 0;
}

// Empties a baseline value and deletes it (an empty one left behind by a
// failed delete approves nothing).
void ForgetValue(const char *key, const char *name)
{
    if (!StoreValueExists(HKEY_CURRENT_USER, key, name)) return;
    StoreWriteString(HKEY_CURRENT_USER, key, name, "");
    StoreDeleteValue(HKEY_CURRENT_USER, key, name);
}
}  // namespace

int ReadWatchedList(char **text)
{
    *text = nullptr;
    StoreBlob blob;
    if (!StoreReadBlob(HKEY_CURRENT_USER, 0, FILE_TYPE_CLASS_KEY, "", &blob)) return 0;
    if (blob.type != REG_SZ && blob.type != REG_EXPAND_SZ) {
        StoreFreeBlob(&blob);
        return 0;
    }
    // The blob's data is terminated text; the list keeps it.
    *text = (char *)blob.data;
    return (int)strlen(*text);
}

int WatchedExtension(const char *piece, size_t length, char *out)
{
    out[0] = 0;
    if (!piece) return 0;
    while (length > 0 && IsBlank(*piece)) piece++, length--;
    while (length > 0 && IsBlank(piece[length - 1])) length--;
    const char *name = piece;
    size_t nameLength = length;
    if (nameLength > 0 && name[0] == '.') name++, nameLength--;
    if (nameLength == 0 || name[0] == '.') return 0;
    for (size_t i = 0; i < nameLength; i++)
        if (name[i] == '\\' || (unsigned char)name[i] < 32 || name[i] == ';') return 0;
    if (nameLength + 1 >= ASSOCIATION_CLASS_SIZE || TextUnits(name, nameLength) + 1 > ASSOCIATION_CLASS_UNITS)
        return 0;
    out[0] = '.';
    memcpy(out + 1, name, nameLength);
    out[nameLength + 1] = 0;
    return (int)nameLength + 1;
}

int ForEachWatchedExtension(WatchedExtensionVisitor visit, void *context)
{
    char *list = nullptr;
    int length = ReadWatchedList(&list);
    if (length <= 0) return 0;
    // The extensions met so far, one after the other, to pass each only once.
    char *seen = (char *)malloc((size_t)length * 2 + ASSOCIATION_CLASS_SIZE);
    int *starts = (int *)malloc(sizeof(int) * ITEM_MAX);
    int count = 0, used = 0, visited = 0;
    if (seen && starts) {
        ForEachPiece(list, [&](const char *piece, size_t n) {
            char extension[ASSOCIATION_CLASS_SIZE];
            int size = WatchedExtension(piece, n, extension);
            if (size <= 0) {
                if (n > 0) TraceNote("FileTypes", "A piece of the watched list names no extension.");
                return 1;
            }
            for (int i = 0; i < count; i++)
                if (TextEqualNoCase(seen + starts[i], extension)) return 1;
            if (count >= ITEM_MAX) {
                TraceNote("Too many file types watched", extension);
                return 0;
            }
            starts[count++] = used;
            memcpy(seen + used, extension, (size_t)size + 1);
            used += size + 1;
            visited++;
            return visit(extension, context);
        });
    }
    free(starts);
    free(seen);
    free(list);
    return visited;
}

int AddWatchedFileType(const char *text)
{
    char dotted[ASSOCIATION_CLASS_SIZE];
    if (!text || strchr(text, ';') || WatchedExtension(text, strlen(text), dotted) <= 0)
        return FILE_TYPE_NOT_AN_EXTENSION;
    const char *name = dotted + 1;

    char *list = nullptr;
    int length = ReadWatchedList(&list);
    if (length + (int)strlen(name) > kListLimit) {
        free(list);
        return 763;
    }
    int known = 0;
    if (list) {
        ForEachPiece(list, [&](const char *piece, size_t n) {
            char extension[ASSOCIATION_CLASS_SIZE];
            known = WatchedExtension(piece, n, extension) > 0 && TextEqualNoCase(extension, dotted);
            return !known;
        });
    }
    if (known) {
        free(list);
        return 762;
    }

    for (int i = 0, method; (method = ListedMethod(i)) != 0; i++) SaveAssociation(dotted, method);

    // A list that does not end with ";" gets one first, so the new name
    // never runs into the last one.
    char updated[kListLimit + 8];
    int written = FormatText(updated, sizeof updated, "%s%s%s;", list ? list : "",
                             length > 0 && list[length - 1] != ';' ? ";" : "", name) > 0 &&
                  WriteWatchedList(updated);
    free(list);
    return written ? 0 : FILE_TYPE_NOT_WRITTEN;
}

int RemoveWatchedFileType(const char *extension)
{
    char target[ASSOCIATION_CLASS_SIZE];
    if (!extension || WatchedExtension(extension, strlen(extension), target) <= 0) return 0;

    int rewritten = 0;
    char *list = nullptr;
    int length = ReadWatchedList(&list);
    if (list) {
        // Every other piece stays as it was written; empty ones are dropped.
        char *kept = (char *)malloc((size_t)length + 2);
        if (kept) {
            kept[0] = 0;
            size_t used = 0;
            ForEachPiece(list, [&](const char *piece, size_t n) {
                char other[ASSOCIATION_CLASS_SIZE];
                int blank = 1;
                for (size_t i = 0; i < n; i++) blank = blank && IsBlank(piece[i]);
                if (blank) return 1;
                if (WatchedExtension(piece, n, other) > 0 && TextEqualNoCase(other, target)) return 1;
                memcpy(kept + used, piece, n);
                used += n;
                kept[used++] = ';';
                kept[used] = 0;
                return 1;
            });
            rewritten = WriteWatchedList(kept);
            free(kept);
        }
        free(list);
    }

    // The approved class of the extension goes; the class's command only
    // when no other extension is approved with it. Without a saved class
    // there is nothing to forget: the value named "" under Class is the
    // watched list itself.
    char cls[ASSOCIATION_CLASS_SIZE] = "";
    StoreBlob saved;
    if (StoreReadBlob(HKEY_CURRENT_USER, 0, kExtKey, target, &saved)) {
        if (saved.type == REG_SZ || saved.type == REG_EXPAND_SZ) CopyText(cls, sizeof cls, (const char *)saved.data);
        StoreFreeBlob(&saved);
    }
    ForgetValue(kExtKey, target);
    ForgetValue(kExtTypeKey, target);
    if (cls[0] && !ClassStillUsed(cls)) ForgetValue(FILE_TYPE_CLASS_KEY, cls);
    // The same for the approved association of the user's own classes.
    char userCls[ASSOCIATION_CLASS_SIZE] = "";
    if (StoreReadBlob(HKEY_CURRENT_USER, 0, kExtUserKey, target, &saved)) {
        if (saved.type == REG_SZ || saved.type == REG_EXPAND_SZ)
            CopyText(userCls, sizeof userCls, (const char *)saved.data);
        StoreFreeBlob(&saved);
    }
    ForgetValue(kExtUserKey, target);
    if (userCls[0] && !KeyHoldsClass(kExtUserKey, userCls)) ForgetValue(kClassUserKey, userCls);
    return rewritten;
}
