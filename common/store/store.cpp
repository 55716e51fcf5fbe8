#include "store.h"

#include <cstdlib>
#include <cstring>

#include "text.h"
#include "trace.h"

// The platform's ANSI registry calls may take a key path of fewer than 260
// characters only; a longer one (a class id key of 255 characters below
// its parents) is opened one level at a time.
static const size_t kLongPath = 250;

static LONG OpenPath(HKEY root, const char *path, REGSAM access, HKEY *key)
{
    if (strlen(path) < kLongPath) return RegOpenKeyExA(root, path, 0, access, key);
    REGSAM view = access & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    HKEY current = root;
    LONG rc = ERROR_SUCCESS;
    for (const char *part = path;;) {
        const char *end = strchr(part, '\\');
        size_t length = end ? (size_t)(end - part) : strlen(part);
        char name[256];
        if (length == 0 || length >= sizeof name) {
            rc = ERROR_INVALID_PARAMETER;
            break;
        }
        memcpy(name, part, length);
        name[length] = 0;
        HKEY next;
        rc = RegOpenKeyExA(current, name, 0, end ? KEY_QUERY_VALUE | view : access, &next);
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

static int OpenKey(HKEY root, const char *path, REGSAM access, HKEY *key)
{
    if (!path) return 0;
    return OpenPath(root, path, access, key) == ERROR_SUCCESS;
}

static int CreateKeyIn(HKEY root, REGSAM view, const char *path, REGSAM access, HKEY *key)
{
    if (!path || RegCreateKeyExA(root, path, 0, nullptr, 0, access | view, nullptr, key, nullptr) !=
                     ERROR_SUCCESS) {
        TraceNote("ERROR RegCreateKey", path);
        return 0;
    }
    return 1;
}

int StoreCreateKey(HKEY root, const char *path)
{
    HKEY key;
    if (!CreateKeyIn(root, 0, path, KEY_WRITE, &key)) return 0;
    RegCloseKey(key);
    return 1;
}


// Text of raw value data (terminated one byte past count) as StoreReadString
// gives it. Returns the length, or 0 with an empty buffer.
static int TextOfData(DWORD type, char *text, char *buffer, int size)
{
    buffer[0] = 0;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return 0;

    char expanded[STORE_DATA_MAX];
    if (type == REG_EXPAND_SZ) {
        // At most 1023 characters after expansion.
        DWORD need = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
        if (need == 0 || need > sizeof expanded) {
            // A cut expansion would look like a valid but wrong path.
            TraceNote(text, "Registry Error #1023: String can not be expanded");
            return 0;
        }
        expanded[sizeof expanded - 1] = 0;
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

    // One byte more than a value may hold, so that text is always
    // terminated, whether or not the stored data carried its zero.
    BYTE data[STORE_DATA_MAX + 1];
    DWORD type = 0;
    if (!StoreReadRawIn(root, view, path, name, &type, data, sizeof data)) return 0;
    return TextOfData(type, (char *)data, buffer, size);
}

unsigned StoreReadStrings(HKEY root, const char *path, StoreText *texts, int count)
{
    for (int i = 0; i < count; i++)
        if (texts[i].buffer && texts[i].size > 0) texts[i].buffer[0] = 0;
    HKEY key;
    if (!OpenKey(root, path, KEY_QUERY_VALUE, &key)) return 0;
    unsigned present = 0;
    BYTE data[STORE_DATA_MAX + 1];
    for (int i = 0; i < count && i < 32; i++) {
        DWORD size = STORE_DATA_MAX, type = 0;
        LONG rc = RegQueryValueExA(key, texts[i].name ? texts[i].name : "", nullptr, &type, data, &size);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) continue;
        present |= 1u << i;
        if (rc != ERROR_SUCCESS || size > STORE_DATA_MAX || !texts[i].buffer || texts[i].size <= 0) continue;
        data[size] = 0;
        TextOfData(type, (char *)data, texts[i].buffer, texts[i].size);
    }
    RegCloseKey(key);
    return present;
}

int StoreDeleteValue(HKEY root, const char *path, const char *name)
{
    return StoreDeleteValueIn(root, 0, path, name);
}

static int OpenForWrite(HKEY root, const char *path, REGSAM access, HKEY *key)
{
    if (OpenKey(root, path, access, key)) return 1;
    if (!StoreCreateKey(root, path)) return 0;
    return OpenKey(root, path, access, key);
}

int StoreWriteStringIn(HKEY root, REGSAM view, const char *path, const char *name, const char *text)
{
    if (!text) return 0;
    StoreBlob blob = {REG_SZ, (DWORD)strlen(text) + 1, (BYTE *)text};
    return StoreWriteBlob(root, view, path, name, &blob);
}

int StoreWriteString(HKEY root, const char *path, const char *name, const char *text)
{
    HKEY key;
    if (!text || !OpenForWrite(root, path, KEY_ALL_ACCESS, &key)) return 0;
    LONG rc = RegSetValueExA(key, name ? name : "", 0, REG_SZ, (const BYTE *)text,
                             (DWORD)strlen(text) + 1);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int StoreWriteNumber(HKEY root, const char *path, const char *name, DWORD value)
{
    HKEY key;
    if (!OpenForWrite(root, path, KEY_WRITE, &key)) return 0;
    LONG rc = RegSetValueExA(key, name ? name : "", 0, REG_DWORD, (const BYTE *)&value, sizeof value);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int StoreReadSmallNumber(HKEY root, const char *path, const char *name)
{
    BYTE data[STORE_DATA_MAX + 1] = {0};
    DWORD type = 0;
    int count = StoreReadRaw(root, path, name, &type, data, sizeof data);
    int low = count > 0 ? (signed char)data[0] : 0;
    int high = count > 1 ? (signed char)data[1] : 0;
    return low + 256 * high;
}

int StoreReadSmallNumberIn(HKEY root, REGSAM view, const char *path, const char *name)
{
    if (view == 0) return StoreReadSmallNumber(root, path, name);
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
    HKEY key;
    if (!data || size < 2 || !OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    DWORD count = size - 1, valueType = 0;
    LONG rc = RegQueryValueExA(key, name ? name : "", nullptr, &valueType, (BYTE *)data, &count);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || count > size - 1) {
        ((char *)data)[0] = 0;
        return 0;
    }
    ((char *)data)[count] = 0;
    if (type) *type = valueType;
    return (int)count;
}

int StoreWriteRaw(HKEY root, const char *path, const char *name, DWORD type, const void *data,
                  DWORD size)
{
    HKEY key;
    if (!OpenForWrite(root, path, KEY_WRITE, &key)) return 0;
    LONG rc = RegSetValueExA(key, name ? name : "", 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int StoreValueExists(HKEY root, const char *path, const char *name)
{
    return StoreValueExistsIn(root, 0, path, name);
}

static LONG DeleteTree(HKEY parent, const char *name, REGSAM view)
{
    HKEY key;
    LONG rc = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE | view, &key);
    if (rc != ERROR_SUCCESS) return rc;
    char sub[256];
    for (;;) {
        DWORD len = sizeof sub;
        if (RegEnumKeyExA(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (DeleteTree(key, sub, view) != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return view ? RegDeleteKeyExA(parent, name, view, 0) : RegDeleteKeyA(parent, name);
}

int StoreDeleteKey(HKEY root, const char *path)
{
    return StoreDeleteKeyIn(root, 0, path);
}

int StoreDeleteKeyIn(HKEY root, REGSAM view, const char *path)
{
    if (!path || !*path) return 0;
    if (strlen(path) < kLongPath) return DeleteTree(root, path, view) == ERROR_SUCCESS;
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
    rc = DeleteTree(parent, leaf + 1, view);
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
    // 255 characters, but the platform may count it differently).
    DWORD longest = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr);
    DWORD room = (longest > 255 ? longest : 255) + 2;
    char *name = (char *)malloc(room);
    int visited = 0;
    for (DWORD index = 0; name;) {
        DWORD len = room;
        LONG rc = RegEnumKeyExA(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
            // A longer name written meanwhile: ask again with more room.
            char *bigger = room < 65536 ? (char *)realloc(name, room * 2) : nullptr;
            if (!bigger) break;
            name = bigger;
            room *= 2;
            continue;
        }
        index++;
        if (rc != ERROR_SUCCESS) continue;
        name[len < room ? len : room - 1] = 0;
        visited++;
        if (!visit(name, context)) break;
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
    char name[260];
    for (DWORD index = 0;; index++) {
        DWORD len = sizeof name;
        LONG rc = RegEnumValueA(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        name[sizeof name - 1] = 0;
        visited++;
        if (!visit(name, context)) break;
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
    HKEY key;
    if (!visit || !OpenKey(root, path, KEY_ENUMERATE_SUB_KEYS | view, &key)) return 0;
    int visited = 0;
    char name[256];
    for (DWORD index = 0;; index++) {
        DWORD len = sizeof name;
        LONG rc = RegEnumKeyExA(key, index, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        name[len < sizeof name ? len : sizeof name - 1] = 0;
        visited++;
        if (!visit(name, context)) break;
    }
    RegCloseKey(key);
    return visited;
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
        if (list->count == list->room) {
            int room = list->room ? list->room * 2 : 16;
            void *bigger = realloc(list->names, sizeof(StoreKeyName) * (size_t)room);
            if (!bigger) return 0;
            list->names = (StoreKeyName *)bigger;
            list->room = room;
        }
        CopyTextCut(list->names[list->count++], sizeof(StoreKeyName), name);
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
    HKEY key;
    if (!OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    // Most values fit the first room and are read with one query; a longer
    // one (or one that grew meanwhile) is read again at the size it reports.
    DWORD room = 512;
    LONG rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 5 && rc == ERROR_MORE_DATA; attempt++) {
        BYTE *data = (BYTE *)realloc(blob->data, room + 2);
        if (!data) {
            rc = ERROR_OUTOFMEMORY;
            break;
        }
        blob->data = data;
        DWORD count = room, type = 0;
        rc = RegQueryValueExA(key, name ? name : "", nullptr, &type, data, &count);
        if (rc == ERROR_MORE_DATA) {
            room = count > room ? count : room * 2;
        } else if (rc == ERROR_SUCCESS) {
            // Text is always terminated, whether or not the data carried its zero.
            data[count] = 0;
            data[count + 1] = 0;
            blob->type = type;
            blob->size = count;
        }
    }
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
    LONG rc = RegSetValueExA(key, name ? name : "", 0, blob->type, blob->data, blob->size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

void StoreFreeBlob(StoreBlob *blob)
{
    free(blob->data);
    blob->data = nullptr;
    blob->size = 0;
    blob->type = 0;
}

int StoreSameBlob(const StoreBlob *a, const StoreBlob *b)
{
    return a->type == b->type && a->size == b->size && (a->size == 0 || memcmp(a->data, b->data, a->size) == 0);
}

int StoreDeleteValueIn(HKEY root, REGSAM view, const char *path, const char *name)
{
    HKEY key;
    if (!OpenKey(root, path, KEY_SET_VALUE | view, &key)) return 0;
    LONG rc = RegDeleteValueA(key, name ? name : "");
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
    LONG rc = RegQueryValueExA(key, name ? name : "", nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int StoreEachValue(HKEY root, REGSAM view, const char *path, StoreValueReader visit, void *context)
{
    HKEY key;
    if (!visit || !OpenKey(root, path, KEY_QUERY_VALUE | view, &key)) return 0;
    char *name = nullptr;
    BYTE *data = nullptr;
    DWORD nameRoom = 0, dataRoom = 0;
    int visited = 0;
    int retries = 0;
    for (DWORD index = 0;;) {
        // Room for the longest name and data the key holds now; a value
        // written meanwhile that is longer makes the key be asked again.
        DWORD maxName = 0, maxData = 0;
        if (!name || retries) {
            if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                 &maxData, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (maxName + 1 > nameRoom) {
                char *bigger = (char *)realloc(name, maxName + 1);
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
        LONG rc = RegEnumValueA(key, index, name, &nameLen, nullptr, &type, data, &dataLen);
        if (rc == ERROR_MORE_DATA && retries < 4) {
            retries++;
            continue;
        }
        retries = 0;
        if (rc == ERROR_NO_MORE_ITEMS) break;
        index++;
        if (rc != ERROR_SUCCESS) continue;
        name[nameLen < nameRoom ? nameLen : nameRoom - 1] = 0;
        data[dataLen] = 0;
        data[dataLen + 1] = 0;
        StoreBlob value = {type, dataLen, data};
        visited++;
        if (!visit(name, &value, context)) break;
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
