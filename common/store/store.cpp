#include "store.h"

#include <cstdlib>
#include <cstring>

#include "failure_notes.h"
#include "growing_array.h"
#include "text.h"
#include "unicode_text.h"

// Every name and text goes to the registry as wide units through the
// conversions of unicode_text, so that a name in any script, one with a
// lone surrogate and one that holds a NUL (written through the native
// calls, which no ...A or ...W call can name) is read, written and deleted
// exactly. Text data is handed to callers as UTF-8 and written back unit
// for unit.
namespace {
// A key path of more than this many units is opened one level at a time.
const int kLongPath = 250;

// The native value calls, for names that hold a NUL.
struct CountedName {
    USHORT length;
    USHORT room;
    PWSTR buffer;
};
typedef LONG(WINAPI *QueryValueCall)(HANDLE, CountedName *, int, void *, ULONG, ULONG *);
typedef LONG(WINAPI *SetValueCall)(HANDLE, CountedName *, ULONG, ULONG, const void *, ULONG);
typedef LONG(WINAPI *DeleteValueCall)(HANDLE, CountedName *);
const LONG kNativeBufferOverflow = (LONG)0x80000005, kNativeBufferTooSmall = (LONG)0xC0000023,
           kNativeNotFound = (LONG)0xC0000034;
const int kKeyValuePartialInformation = 2;

FARPROC NativeCall(const char *name)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), name);
}

int CountName(const WideText &name, CountedName *counted)
{
    if (!name.get() || name.units() > 32767) return 0;
    counted->length = counted->room = (USHORT)(name.units() * sizeof(WCHAR));
    counted->buffer = (PWSTR)name.get();
    return 1;
}

LONG ErrorOfStatus(LONG status)
{
    if (status == 0) return ERROR_SUCCESS;
    if (status == kNativeNotFound) return ERROR_FILE_NOT_FOUND;
    if (status == kNativeBufferOverflow || status == kNativeBufferTooSmall) return ERROR_MORE_DATA;
    return ERROR_ACCESS_DENIED;
}

// RegQueryValueExW for any name: *size is the room of data in bytes and
// receives the stored size (also with ERROR_MORE_DATA).
LONG QueryValue(HKEY key, const WideText &name, DWORD *type, BYTE *data, DWORD *size)
{
    if (!name.get()) return ERROR_OUTOFMEMORY;
    if (!name.hasNul()) return RegQueryValueExW(key, name, nullptr, type, data, size);
    static QueryValueCall query = (QueryValueCall)(void *)NativeCall("NtQueryValueKey");
    CountedName counted;
    if (!query || !CountName(name, &counted)) return ERROR_INVALID_PARAMETER;
    const ULONG header = 12;   // title index, type, data length
    ULONG room = header + (data && size ? *size : 0);
    BYTE *info = (BYTE *)malloc(room);
    if (!info) return ERROR_OUTOFMEMORY;
    ULONG got = 0;
    LONG status = query(key, &counted, kKeyValuePartialInformation, info, room, &got);
    LONG rc = ErrorOfStatus(status);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        DWORD stored = got >= header ? got - header : 0;
        if (rc == ERROR_SUCCESS) memcpy(&stored, info + 8, sizeof stored);
        if (got >= 8 && type) memcpy(type, info + 4, sizeof *type);
        if (rc == ERROR_SUCCESS && data && size && stored <= *size) memcpy(data, info + header, stored);
        if (rc == ERROR_SUCCESS && (!data || !size || stored > *size) && data) rc = ERROR_MORE_DATA;
        if (size) *size = stored;
    }
    free(info);
    return rc;
}

LONG SetValue(HKEY key, const WideText &name, DWORD type, const BYTE *data, DWORD size)
{
    if (!name.get()) return ERROR_OUTOFMEMORY;
    if (!name.hasNul()) return RegSetValueExW(key, name, 0, type, data, size);
    static SetValueCall set = (SetValueCall)(void *)NativeCall("NtSetValueKey");
    CountedName counted;
    if (!set || !CountName(name, &counted)) return ERROR_INVALID_PARAMETER;
    return ErrorOfStatus(set(key, &counted, 0, type, data, size));
}

LONG DeleteValue(HKEY key, const WideText &name)
{
    if (!name.get()) return ERROR_OUTOFMEMORY;
    if (!name.hasNul()) return RegDeleteValueW(key, name);
    static DeleteValueCall remove = (DeleteValueCall)(void *)NativeCall("NtDeleteValueKey");
    CountedName counted;
    if (!remove || !CountName(name, &counted)) return ERROR_INVALID_PARAMETER;
    return ErrorOfStatus(remove(key, &counted));
}

int IsTextType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A room that grows and is used again (an enumeration converts every value
// into the same room).
struct Room {
    char *text = nullptr;
    size_t size = 0;
    ~Room() { free(text); }
    int Ensure(size_t need)
    {
        if (need <= size) return 1;
        char *bigger = (char *)realloc(text, need);
        if (!bigger) return 0;
        text = bigger;
        size = need;
        return 1;
    }
};

// Starts a blob of raw stored bytes: its type, nothing in it yet, and for
// text the odd last byte kept aside. Returns the text's wide units.
int StartBlob(DWORD type, const BYTE *raw, DWORD size, StoreBlob *blob)
{
    blob->type = type;
    blob->size = 0;
    blob->data = nullptr;
    blob->oddByte = 0;
    blob->hasOddByte = 0;
    if (IsTextType(type) && (size & 1)) {
        blob->hasOddByte = 1;
        blob->oddByte = raw[size - 1];
    }
    return (int)(size / 2);
}

// A blob that points at raw stored bytes (which have two bytes of room
// after them) or, for text, at their UTF-8 form in room. The blob owns
// nothing. 1 or 0 (memory).
int ViewOfRaw(DWORD type, BYTE *raw, DWORD size, Room *room, StoreBlob *blob)
{
    int units = StartBlob(type, raw, size, blob);
    if (!IsTextType(type)) {
        raw[size] = raw[size + 1] = 0;
        blob->data = raw;
        blob->size = size;
        return 1;
    }
    // Three bytes a unit at most, and two zero bytes after.
    if (!room->Ensure((size_t)units * 3 + 2)) return 0;
    int length = units ? WideToText((const WCHAR *)raw, units, room->text, (int)room->size - 1, 0) : 0;
    room->text[length] = room->text[length + 1] = 0;
    blob->data = (BYTE *)room->text;
    blob->size = (DWORD)length;
    return 1;
}

// Fills a blob from raw stored bytes: text types become UTF-8 (a NUL unit a
// zero byte, an odd last byte kept aside), other types stay as they are.
// Two zero bytes always follow the data. 1 or 0 (memory).
int BlobOfRaw(DWORD type, const BYTE *raw, DWORD size, StoreBlob *blob)
{
    int units = StartBlob(type, raw, size, blob);
    if (!IsTextType(type)) {
        blob->data = (BYTE *)malloc((size_t)size + 2);
        if (!blob->data) return 0;
        if (size) memcpy(blob->data, raw, size);
        blob->data[size] = blob->data[size + 1] = 0;
        blob->size = size;
        return 1;
    }
    WCHAR *wide = (WCHAR *)malloc((size_t)units * sizeof(WCHAR) + 2);
    if (!wide) return 0;
    if (units) memcpy(wide, raw, (size_t)units * sizeof(WCHAR));
    int length = 0;
    char *text = units ? WideToTextCopy(wide, units, 0, &length) : (char *)malloc(1);
    free(wide);
    if (!text) return 0;
    BYTE *data = (BYTE *)realloc(text, (size_t)length + 2);
    if (!data) {
        free(text);
        return 0;
    }
    data[length] = data[length + 1] = 0;
    blob->data = data;
    blob->size = (DWORD)length;
    return 1;
}

// The bytes a blob is stored as: text back in wide units (with its odd byte).
// *raw is on the heap (free()) unless it is the blob's own data.
int RawOfBlob(const StoreBlob *blob, const BYTE **raw, DWORD *size, BYTE **owned)
{
    *owned = nullptr;
    if (!IsTextType(blob->type)) {
        *raw = blob->data;
        *size = blob->size;
        return 1;
    }
    WideText wide((const char *)blob->data, (int)blob->size);
    if (!wide.get()) return 0;
    DWORD bytes = (DWORD)wide.units() * sizeof(WCHAR);
    BYTE *copy = (BYTE *)malloc((size_t)bytes + 4);
    if (!copy) return 0;
    memcpy(copy, wide.get(), bytes);
    // What follows the data is no zero unit, which the platform would take
    // for a terminator that the value did not have.
    memset(copy + bytes, 0xFF, 4);
    if (blob->hasOddByte) copy[bytes++] = blob->oddByte;
    *owned = copy;
    *raw = copy;
    *size = bytes;
    return 1;
}

// Reads one value whole into a blob (see StoreReadBlob).
LONG ReadValue(HKEY key, const char *name, StoreBlob *blob)
{
    WideText wide(name ? name : "");
    // Most values fit the first room and are read with one query; a longer
    // one (or one that grew meanwhile) is read again at the size it reports.
    DWORD room = 512;
    BYTE *raw = nullptr;
    LONG rc = ERROR_MORE_DATA;
    DWORD count = 0, type = 0;
    for (int attempt = 0; attempt < 5 && rc == ERROR_MORE_DATA; attempt++) {
        BYTE *bigger = (BYTE *)realloc(raw, room);
        if (!bigger) {
            rc = ERROR_OUTOFMEMORY;
            break;
        }
        raw = bigger;
        count = room;
        rc = QueryValue(key, wide, &type, raw, &count);
        if (rc == ERROR_MORE_DATA) room = count > room ? count : room * 2;
    }
    if (rc == ERROR_SUCCESS && !BlobOfRaw(type, raw, count, blob)) rc = ERROR_OUTOFMEMORY;
    free(raw);
    return rc;
}

LONG OpenPath(HKEY root, const char *path, REGSAM access, HKEY *key)
{
    WideText wide(path);
    if (!wide.get()) return ERROR_OUTOFMEMORY;
    if (wide.units() < kLongPath) return RegOpenKeyExW(root, wide, 0, access, key);
    // The platform may refuse a long path at once: one level at a time.
    REGSAM view = access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    HKEY current = root;
    LONG rc = ERROR_SUCCESS;
    for (const WCHAR *part = wide.get();;) {
        const WCHAR *end = wcschr(part, L'\\');
        size_t length = end ? (size_t)(end - part) : wcslen(part);
        WCHAR name[256];
        if (length == 0 || length >= 256) {
            rc = ERROR_INVALID_PARAMETER;
            break;
        }
        memcpy(name, part, length * sizeof(WCHAR));
        name[length] = 0;
        HKEY next;
        rc = RegOpenKeyExW(current, name, 0, end ? KEY_QUERY_VALUE | view : access, &next);
        if (current != root) RegCloseKey(current);
        if (rc != ERROR_SUCCESS) return rc;
        current = next;
        if (!end) {
            *key = current;
            return ERROR_SUCCESS;
        }
        part = end + 1;
    }
    if (current != root) RegCloseKey(current);
    return rc;
}

int OpenKey(HKEY root, const char *path, REGSAM access, HKEY *key)
{
    if (!path) return 0;
    return OpenPath(root, path, access, key) == ERROR_SUCCESS;
}

int CreateKeyIn(HKEY root, REGSAM view, const char *path, REGSAM access, HKEY *key)
{
    WideText wide(path);
    if (!path || !wide.get() ||
        RegCreateKeyExW(root, wide, 0, nullptr, 0, access | view, nullptr, key, nullptr) != ERROR_SUCCESS) {
        TraceNote("ERROR RegCreateKey", path);
        return 0;
    }
    return 1;
}
}  // namespace

int StoreCreateKey(HKEY root, const char *path)
{
    HKEY key;
    if (!CreateKeyIn(root, 0, path, KEY_WRITE, &key)) return 0;
    RegCloseKey(key);
    return 1;
}

// Text of value data (terminated) as StoreReadString gives it. Returns the
// length, or 0 with an empty buffer.
static int TextOfData(DWORD type, const char *text, char *buffer, int size)
{
    buffer[0] = 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return 0;

    char expanded[STORE_DATA_MAX];
    if (type == REG_EXPAND_SZ) {
        // At most STORE_TEXT_MAX-1 units after expansion.
        WideText wide(text);
        WCHAR units[STORE_TEXT_MAX];
        DWORD need = wide.get() ? ExpandEnvironmentStringsW(wide, units, STORE_TEXT_MAX) : 0;
        if (need == 0 || need > STORE_TEXT_MAX || !WideToText(units, -1, expanded, sizeof expanded, 0)) {
            // A cut expansion would look like a valid but wrong path.
            TraceNote(text, "Registry Error #1023: String can not be expanded");
            return 0;
        }
        text = expanded;
    }

    size_t len = strlen(text);
    if (len >= (size_t)size) {
        TraceNote(text, "Registry Error #1024: Buffer overflow contained");
        return 0;
    }
    memcpy(buffer, text, len + 1);
    return (int)len;
}

int StoreReadString(HKEY root, const char *path, const char *name, char *buffer, int size)
{
    return StoreReadStringIn(root, 0, path, name, buffer, size);
}

int StoreReadStringIn(HKEY root, REGSAM view, const char *path, const char *name, char *buffer, int size)
{
    if (!buffer || size <= 0) return 0;
    buffer[0] = 0;
    StoreBlob blob;
    if (!StoreReadBlob(root, view, path, name, &blob)) return 0;
    int length = TextUnits((const char *)blob.data, blob.size) <= STORE_TEXT_MAX
                     ? TextOfData(blob.type, (const char *)blob.data, buffer, size)
                     : 0;
    StoreFreeBlob(&blob);
    return length;
}

unsigned StoreReadStrings(HKEY root, const char *path, StoreText *texts, int count)
{
    for (int i = 0; i < count; i++)
        if (texts[i].buffer && texts[i].size > 0) texts[i].buffer[0] = 0;
    HKEY key;
    if (!OpenKey(root, path, KEY_QUERY_VALUE, &key)) return 0;
    unsigned present = 0;
    for (int i = 0; i < count && i < 32; i++) {
        StoreBlob blob;
        LONG rc = ReadValue(key, texts[i].name, &blob);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA && rc != ERROR_OUTOFMEMORY) continue;
        present |= 1u << i;
        if (rc != ERROR_SUCCESS) continue;
        if (TextUnits((const char *)blob.data, blob.size) <= STORE_TEXT_MAX && texts[i].buffer && texts[i].size > 0)
            TextOfData(blob.type, (const char *)blob.data, texts[i].buffer, texts[i].size);
        StoreFreeBlob(&blob);
    }
    RegCloseKey(key);
    return present;
}

int StoreDeleteValue(HKEY root, const char *path, const char *name)
{
    return StoreDeleteValueIn(root, 0, path, name);
}

int StoreWriteStringIn(HKEY root, REGSAM view, const char *path, const char *name, const char *text)
{
    if (!text) return 0;
    StoreBlob blob = {REG_SZ, (DWORD)strlen(text) + 1, (BYTE *)text};
    return StoreWriteBlob(root, view, path, name, &blob);
}

int StoreWriteString(HKEY root, const char *path, const char *name, const char *text)
{
    return StoreWriteStringIn(root, 0, path, name, text);
}

int StoreWriteNumber(HKEY root, const char *path, const char *name, DWORD value)
{
    StoreBlob blob = {REG_DWORD, sizeof value, (BYTE *)&value};
    return StoreWriteBlob(root, 0, path, name, &blob);
}

int StoreReadSmallNumber(HKEY root, const char *path, const char *name)
{
    return StoreReadSmallNumberIn(root, 0, path, name);
}

int StoreReadSmallNumberIn(HKEY root, REGSAM view, const char *path, const char *name)
{
    StoreBlob blob;
    if (!StoreReadBlob(root, view, path, name, &blob)) return 0;
    int low = blob.size > 0 ? (signed char)blob.data[0] : 0;
    int high = blob.size > 1 ? (signed char)blob.data[1] : 0;
    StoreFreeBlob(&blob);
    return low + 256 * high;
}

long StoreReadDecimal(HKEY root, const char *path, const char *name, long fallback)
{
    char text[129];
    if (!StoreReadString(root, path, name, text, sizeof text)) return fallback;
    return DecimalValue(text);
}

int StoreWriteDecimal(HKEY root, const char *path, const char *name, long value)
{
    char text[24];
    FormatText(text, sizeof text, "%ld", value);
    return StoreWriteString(root, path, name, text);
}

int StoreReadRaw(HKEY root, const char *path, const char *name, DWORD *type, void *data, DWORD size)
{
    return StoreReadRawIn(root, 0, path, name, type, data, size);
}

int StoreReadRawIn(HKEY root, REGSAM view, const char *path, const char *name, DWORD *type, void *data,
                   DWORD size)
{
    if (!data || size < 2) return 0;
    ((char *)data)[0] = 0;
    StoreBlob blob;
    if (!StoreReadBlob(root, view, path, name, &blob)) return 0;
    int count = 0;
    if (blob.size <= size - 1) {
        memcpy(data, blob.data, blob.size);
        ((char *)data)[blob.size] = 0;
        if (type) *type = blob.type;
        count = (int)blob.size;
    }
    StoreFreeBlob(&blob);
    return count;
}

int StoreWriteRaw(HKEY root, const char *path, const char *name, DWORD type, const void *data,
                  DWORD size)
{
    StoreBlob blob = {type, size, (BYTE *)data};
    return StoreWriteBlob(root, 0, path, name, &blob);
}

int StoreValueExists(HKEY root, const char *path, const char *name)
{
    return StoreValueExistsIn(root, 0, path, name);
}

static LONG DeleteTree(HKEY parent, const WCHAR *name, REGSAM view)
{
    HKEY key;
    LONG rc = RegOpenKeyExW(parent, name, 0, KEY_READ | KEY_WRITE | view, &key);
    if (rc != ERROR_SUCCESS) return rc;
    WCHAR sub[256];
    for (;;) {
        DWORD len = 256;
        if (RegEnumKeyExW(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(key, sub, view) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return view ? RegDeleteKeyExW(parent, name, view, 0) : RegDeleteKeyW(parent, name);
}

int StoreDeleteKey(HKEY root, const char *path)
{
    return StoreDeleteKeyIn(root, 0, path);
}

int StoreDeleteKeyIn(HKEY root, REGSAM view, const char *path)
{
    if (!path || !*path) return 0;
    WideText wide(path);
    if (!wide.get()) return 0;
    if (wide.units() < kLongPath) return DeleteTree(root, wide, view) == ERROR_SUCCESS;
    // A long path: the key is deleted by its own name from its parent.
    const char *leaf = strrchr(path, '\\');
    if (!leaf || !leaf[1] || leaf == path) return 0;
    char *parentPath = (char *)malloc((size_t)(leaf - path) + 1);
    if (!parentPath) return 0;
    memcpy(parentPath, path, (size_t)(leaf - path));
    parentPath[leaf - path] = 0;
    HKEY parent;
    LONG rc = OpenPath(root, parentPath, KEY_READ | KEY_WRITE | view, &parent);
    free(parentPath);
    if (rc != ERROR_SUCCESS) return 0;
    WideText leafName(leaf + 1);
    rc = leafName.get() ? DeleteTree(parent, leafName, view) : ERROR_OUTOFMEMORY;
    RegCloseKey(parent);
    return rc == ERROR_SUCCESS;
}

int StoreKeyExistsIn(HKEY root, REGSAM view, const char *path)
{
    HKEY key;
    if (!OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    RegCloseKey(key);
    return 1;
}

int StoreKeyExists(HKEY root, const char *path)
{
    return StoreKeyExistsIn(root, 0, path);
}

int StoreEachSubkey(HKEY root, REGSAM view, const char *path, StoreSubkeyVisitor visit, void *context)
{
    HKEY key;
    if (!visit || !OpenKey(root, path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view, &key)) return 0;
    // Room for the longest name the key holds now (a key name is at most
    // 255 units, but the platform may count it differently).
    DWORD longest = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    DWORD room = (longest > 255 ? longest : 255) + 2;
    WCHAR *name = (WCHAR *)malloc(room * sizeof(WCHAR));
    int visited = 0;
    for (DWORD index = 0; name;) {
        DWORD len = room;
        LONG rc = RegEnumKeyExW(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
            // A longer name written meanwhile: ask again with more room.
            WCHAR *bigger = room < 65536 ? (WCHAR *)realloc(name, room * 2 * sizeof(WCHAR)) : nullptr;
            if (!bigger) break;
            name = bigger;
            room *= 2;
            continue;
        }
        index++;
        if (rc != ERROR_SUCCESS) continue;
        char *text = WideToTextCopy(name, len < room ? (int)len : (int)room - 1, 1, nullptr);
        if (!text) continue;
        visited++;
        int goOn = visit(text, context);
        free(text);
        if (!goOn) break;
    }
    free(name);
    RegCloseKey(key);
    return visited;
}

int StoreEnumValueNames(HKEY root, const char *path, StoreValueVisitor visit, void *context)
{
    HKEY key;
    if (!visit || !OpenKey(root, path, KEY_QUERY_VALUE, &key)) return 0;
    int visited = 0;
    WCHAR name[260];
    for (DWORD index = 0;; index++) {
        DWORD len = 260;
        LONG rc = RegEnumValueW(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        char *text = WideToTextCopy(name, len < 260 ? (int)len : 259, 1, nullptr);
        if (!text) continue;
        visited++;
        int goOn = visit(text, context);
        free(text);
        if (!goOn) break;
    }
    RegCloseKey(key);
    return visited;
}

int StoreEnumSubkeys(HKEY root, const char *path, StoreKeyVisitor visit, void *context)
{
    return StoreEnumSubkeysIn(root, 0, path, visit, context);
}

int StoreEnumSubkeysIn(HKEY root, REGSAM view, const char *path, StoreKeyVisitor visit, void *context)
{
    return StoreEachSubkey(root, view, path, visit, context);
}

char *StoreReadTextCopy(HKEY root, const char *path, const char *name)
{
    StoreBlob blob;
    if (!StoreReadBlob(root, 0, path, name, &blob)) return nullptr;
    char *text = nullptr;
    if ((blob.type == REG_SZ || blob.type == REG_EXPAND_SZ || blob.type == REG_MULTI_SZ) && blob.data[0]) {
        size_t length = strlen((const char *)blob.data);
        text = (char *)malloc(length + 1);
        if (text) memcpy(text, blob.data, length + 1);
    }
    StoreFreeBlob(&blob);
    return text;
}

int StoreListSubkeys(HKEY root, REGSAM view, const char *path, StoreKeyName **names, int *count)
{
    struct Growing {
        StoreKeyName *names;
        int count, room;
    } list = {nullptr, 0, 0};
    StoreEnumSubkeysIn(root, view, path, [](const char *name, void *context) -> int {
        Growing *list = (Growing *)context;
        if (!MakeRoomForOne(list->names, list->count, list->room, 16)) return 0;
        // A name that does not fit whole is not taken: a cut name names
        // another key.
        if (CopyText(list->names[list->count], sizeof(StoreKeyName), name)) list->count++;
        return 1;
    }, &list);
    *names = list.names;
    *count = list.count;
    return list.count;
}

int StoreReadBlob(HKEY root, REGSAM view, const char *path, const char *name, StoreBlob *blob)
{
    blob->type = 0;
    blob->size = 0;
    blob->data = nullptr;
    blob->oddByte = 0;
    blob->hasOddByte = 0;
    HKEY key;
    if (!OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    LONG rc = ReadValue(key, name, blob);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        StoreFreeBlob(blob);
        return 0;
    }
    return 1;
}

int StoreWriteBlob(HKEY root, REGSAM view, const char *path, const char *name, const StoreBlob *blob)
{
    HKEY key;
    if (!blob || !CreateKeyIn(root, view, path, KEY_SET_VALUE, &key)) return 0;
    const BYTE *raw;
    DWORD size;
    BYTE *owned;
    LONG rc = ERROR_OUTOFMEMORY;
    if (RawOfBlob(blob, &raw, &size, &owned)) {
        rc = SetValue(key, WideText(name ? name : ""), blob->type, raw, size);
        free(owned);
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int StoreWriteName(HKEY root, const char *path, const char *valueName, const char *name)
{
    if (!name) name = "";
    WideText wide(name);
    if (!wide.get()) return 0;
    if (!wide.hasNul()) return StoreWriteString(root, path, valueName, name);
    StoreBlob units = {REG_BINARY, (DWORD)(wide.units() * sizeof(WCHAR)), (BYTE *)wide.get()};
    return StoreWriteBlob(root, 0, path, valueName, &units);
}

char *StoreNameOfBlob(const StoreBlob *value)
{
    if (value->type == REG_SZ) {
        size_t length = strlen((const char *)value->data);
        char *name = (char *)malloc(length + 1);
        if (name) memcpy(name, value->data, length + 1);
        return name;
    }
    if (value->type != REG_BINARY || value->size % 2) return nullptr;
    return WideToTextCopy((const WCHAR *)value->data, (int)(value->size / 2), 1, nullptr);
}

void StoreFreeBlob(StoreBlob *blob)
{
    free(blob->data);
    blob->data = nullptr;
    blob->size = 0;
    blob->type = 0;
    blob->oddByte = 0;
    blob->hasOddByte = 0;
}

int StoreSameBlob(const StoreBlob *a, const StoreBlob *b)
{
    return a->type == b->type && a->size == b->size && a->hasOddByte == b->hasOddByte &&
           (!a->hasOddByte || a->oddByte == b->oddByte) &&
           (a->size == 0 || memcmp(a->data, b->data, a->size) == 0);
}

int StoreDeleteValueIn(HKEY root, REGSAM view, const char *path, const char *name)
{
    HKEY key;
    if (!OpenKey(root, path, KEY_SET_VALUE | KEY_QUERY_VALUE | view, &key)) return 0;
    LONG rc = DeleteValue(key, WideText(name ? name : ""));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        TraceNote("ERROR RegDeleteValue", name);
        return 0;
    }
    return 1;
}

int StoreValueExistsIn(HKEY root, REGSAM view, const char *path, const char *name)
{
    HKEY key;
    if (!OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    DWORD size = 0;
    LONG rc = QueryValue(key, WideText(name ? name : ""), nullptr, nullptr, &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
}

int StoreEachValue(HKEY root, REGSAM view, const char *path, StoreValueReader visit, void *context)
{
    HKEY key;
    if (!visit || !OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    WCHAR *name = nullptr;
    BYTE *data = nullptr;
    DWORD nameRoom = 0, dataRoom = 0;
    Room nameText, dataText;
    int visited = 0;
    int retries = 0;
    for (DWORD index = 0;;) {
        // Room for the longest name and data the key holds now; a value
        // written meanwhile that is longer makes the key be asked again.
        DWORD maxName = 0, maxData = 0;
        if (!name || retries) {
            if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                 &maxData, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (maxName + 1 > nameRoom) {
                WCHAR *bigger = (WCHAR *)realloc(name, (maxName + 1) * sizeof(WCHAR));
                if (!bigger) break;
                name = bigger;
                nameRoom = maxName + 1;
            }
            if (maxData + 2 > dataRoom) {
                BYTE *bigger = (BYTE *)realloc(data, maxData + 2);
                if (!bigger) break;
                data = bigger;
                dataRoom = maxData + 2;
            }
        }
        DWORD nameLen = nameRoom, dataLen = dataRoom - 2, type = 0;
        LONG rc = RegEnumValueW(key, index, name, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_MORE_DATA && retries < 4) {
            retries++;
            continue;
        }
        retries = 0;
        if (rc == ERROR_NO_MORE_ITEMS) break;
        index++;
        if (rc != ERROR_SUCCESS) continue;
        // The name by its count: a NUL inside it is part of the name.
        int units = nameLen < nameRoom ? (int)nameLen : (int)nameRoom - 1;
        StoreBlob value;
        if (!nameText.Ensure((size_t)units * 3 + 1) || !ViewOfRaw(type, data, dataLen, &dataText, &value)) continue;
        if (!WideToText(name, units, nameText.text, (int)nameText.size, 1)) nameText.text[0] = 0;
        visited++;
        if (!visit(nameText.text, &value, context)) break;
    }
    RegCloseKey(key);
    free(name);
    free(data);
    return visited;
}

namespace {
// The full name of an open key, as the kernel knows it. 1 or 0.
int KernelKeyName(HKEY key, WCHAR *name, ULONG size)
{
    typedef LONG(WINAPI * QueryKeyFunction)(HANDLE, int, void *, ULONG, ULONG *);
    static QueryKeyFunction queryKey =
        (QueryKeyFunction)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey");
    struct {
        ULONG length;
        WCHAR text[1024];
    } info;
    ULONG got = 0;
    const int kKeyNameInformation = 3;
    if (!queryKey || queryKey(key, kKeyNameInformation, &info, sizeof info, &got) != 0) return 0;
    ULONG chars = info.length / sizeof(WCHAR);
    if (chars + 1 > size || chars >= 1024) return 0;
    memcpy(name, info.text, chars * sizeof(WCHAR));
    name[chars] = 0;
    return 1;
}
}  // namespace

// 1 shared, 0 kept apart, -1 when the key is missing in either view.
static int KeyIsShared(HKEY root, const char *path)
{
    HKEY native, view32;
    if (!OpenKey(root, path, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &native)) return -1;
    if (!OpenKey(root, path, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &view32)) {
        RegCloseKey(native);
        return -1;
    }
    static WCHAR a[1024], b[1024];
    int shared = KernelKeyName(native, a, 1024) && KernelKeyName(view32, b, 1024) && lstrcmpiW(a, b) == 0;
    RegCloseKey(native);
    RegCloseKey(view32);
    return shared;
}

int StoreKeyIsShared(HKEY root, const char *path)
{
    // Which keys Windows shares between the views does not change while a
    // program runs: each answer is kept (the answer of a missing key is
    // not, since the key may be created later).
    static struct {
        HKEY root;
        char path[160];
        int shared;
    } known[32];
    static int knownCount;
    if (!path) return 0;
    for (int i = 0; i < knownCount; i++)
        if (known[i].root == root && TextEqualNoCase(known[i].path, path)) return known[i].shared;
    int shared = KeyIsShared(root, path);
    int exists = shared >= 0;
    if (!exists) shared = 0;
    if (exists && knownCount < 32 && CopyText(known[knownCount].path, sizeof known[knownCount].path, path)) {
        known[knownCount].root = root;
        known[knownCount].shared = shared;
        knownCount++;
    }
    return shared;
}

int StoreBlobIsString(const StoreBlob *blob)
{
    return blob && (blob->type == REG_SZ || blob->type == REG_EXPAND_SZ);
}
