// The registry store: every read and write of Sentrel's settings, baselines
// and first-seen dates goes through these operations. Names and texts are
// UTF-8 in the forms of unicode_text.h, so a name the registry holds is
// named exactly, also one that holds a NUL. Each call opens the
// key, does its work and closes it again, so the monitor and the explorer
// can share the store without locks.
#pragma once
#include <windows.h>

#define STORE_ROOT      "Software\\Orvendale\\Sentrel"
#define STORE_COMPANY   "Software\\Orvendale"
#define STORE_DETECTED  "Software\\Orvendale\\Detected"
#define STORE_OPTIONS   STORE_ROOT "\\Options"
#define STORE_TEXT_MAX  1024   // units of text a read takes; more reads as missing
#define STORE_DATA_MAX  3072   // bytes such a text takes at most in UTF-8

// Creates every missing level of path. 1 or 0.
int StoreCreateKey(HKEY root, const char *path);

// Reads a REG_SZ or REG_EXPAND_SZ value (the latter expanded) into buffer,
// which holds size bytes: a text of up to size-1 characters is returned
// whole, a longer one reads as missing. An empty name is the key's default
// value. Returns the length, or 0 with an empty buffer when the value is
// missing, too long, or not text.
int StoreReadString(HKEY root, const char *path, const char *name, char *buffer, int size);

// Reads several text values of one key with one opening of the key, each
// as StoreReadString reads it (a value that is too long or not text leaves
// its buffer empty). Returns a mask with bit i set when value i exists,
// whatever its type or size; 0 when the key cannot be opened. At most 32.
struct StoreText {
    const char *name;
    char *buffer;
    int size;
};
unsigned StoreReadStrings(HKEY root, const char *path, StoreText *texts, int count);

// Deletes one value. 1 or 0 (0 with no message when the key is missing).
int StoreDeleteValue(HKEY root, const char *path, const char *name);

// Writes a REG_SZ value, creating the key when needed. 1 or 0.
int StoreWriteString(HKEY root, const char *path, const char *name, const char *text);

// Writes a REG_DWORD value, creating the key when needed. 1 or 0.
int StoreWriteNumber(HKEY root, const char *path, const char *name, DWORD value);

// Reads the first two data bytes of a value of any type as a small number
// (each byte signed, low byte first). Serves REG_DWORD values in 0..127;
// a missing value reads as 0.
int StoreReadSmallNumber(HKEY root, const char *path, const char *name);

// The same in a registry view (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY).
int StoreReadSmallNumberIn(HKEY root, REGSAM view, const char *path, const char *name);

// Reads a value stored as decimal text; missing or empty gives fallback.
long StoreReadDecimal(HKEY root, const char *path, const char *name, long fallback);

// Writes a number as decimal text.
int StoreWriteDecimal(HKEY root, const char *path, const char *name, long value);

// Reads a value's data as stored, whatever its type, into data (size
// bytes; text is terminated). Returns the byte count, 0 when missing or
// larger than size-1.
int StoreReadRaw(HKEY root, const char *path, const char *name, DWORD *type, void *data, DWORD size);

// Writes a value with the given type and data, creating the key when needed. 1 or 0.
int StoreWriteRaw(HKEY root, const char *path, const char *name, DWORD type, const void *data,
                  DWORD size);

// 1 when the value exists.
int StoreValueExists(HKEY root, const char *path, const char *name);

// --- Values of any size and type, in a chosen registry view ----------------
// view is 0 for the program's own view or KEY_WOW64_32KEY / KEY_WOW64_64KEY.

// A value's data, on the heap, followed by two zero bytes so that text is
// always terminated. Text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is UTF-8,
// a NUL inside it a zero byte; written back, it gives the same units (and
// the odd last byte a text value may hold) as were read.
struct StoreBlob {
    DWORD type;
    DWORD size;
    BYTE *data;
    BYTE oddByte = 0;
    BYTE hasOddByte = 0;
};
// Reads a value whole. 1 when it exists (blob filled), 0 otherwise (blob empty).
int StoreReadBlob(HKEY root, REGSAM view, const char *path, const char *name, StoreBlob *blob);
// A text value whole, on the heap (free()): REG_SZ and REG_EXPAND_SZ as
// stored, the first string of a REG_MULTI_SZ. Null when missing, empty or
// of another type.
char *StoreReadTextCopy(HKEY root, const char *path, const char *name);
// Writes a value exactly as the blob holds it, creating the key. 1 or 0.
int StoreWriteBlob(HKEY root, REGSAM view, const char *path, const char *name, const StoreBlob *blob);
void StoreFreeBlob(StoreBlob *blob);
// 1 for a string value (REG_SZ or REG_EXPAND_SZ), the kind Windows starts a
// program from.
int StoreBlobIsString(const StoreBlob *blob);
// 1 when both have the same type and the same bytes.
int StoreSameBlob(const StoreBlob *a, const StoreBlob *b);
int StoreDeleteValueIn(HKEY root, REGSAM view, const char *path, const char *name);
int StoreValueExistsIn(HKEY root, REGSAM view, const char *path, const char *name);
// StoreReadString, StoreReadRaw and StoreWriteString in a view.
int StoreReadStringIn(HKEY root, REGSAM view, const char *path, const char *name, char *buffer, int size);
int StoreReadRawIn(HKEY root, REGSAM view, const char *path, const char *name, DWORD *type, void *data,
                   DWORD size);
int StoreWriteStringIn(HKEY root, REGSAM view, const char *path, const char *name, const char *text);
// 1 when the key of path is one and the same key in the 32-bit and the
// 64-bit view (a key Windows shares between them); 0 when the views keep
// it apart, or either is missing.
int StoreKeyIsShared(HKEY root, const char *path);

// Calls visit(name, value, context) for every value of a key, names and data
// of any size (data terminated as in a blob). Stops when visit returns 0.
// Returns the number of values visited; 0 when the key cannot be opened.
typedef int (*StoreValueReader)(const char *name, const StoreBlob *value, void *context);
int StoreEachValue(HKEY root, REGSAM view, const char *path, StoreValueReader visit, void *context);

// The same with any callable: visit(name, value) returns non-zero to go on.
template <typename Visit>
int StoreForEachValue(HKEY root, REGSAM view, const char *path, Visit visit)
{
    return StoreEachValue(
        root, view, path,
        [](const char *name, const StoreBlob *value, void *context) -> int {
            return (*(Visit *)context)(name, value);
        },
        &visit);
}

// A name kept as a value's data (the exact name of an entry): text, or the
// name's wide units as REG_BINARY when it holds a NUL, which text data
// cannot hold. 1 or 0.
int StoreWriteName(HKEY root, const char *path, const char *valueName, const char *name);
// The name a value's data holds in either form (heap, free()); null when
// the data is of another type or memory is short.
char *StoreNameOfBlob(const StoreBlob *value);

// Deletes a key with everything below it. 1 or 0 (0 when it did not exist).
int StoreDeleteKey(HKEY root, const char *path);

// --- Subkeys in a chosen registry view (the IE helper locations) ---------
// 1 when the key exists in the view.
int StoreKeyExistsIn(HKEY root, REGSAM view, const char *path);
// Deletes a key of the view with everything below it. 1 or 0.
int StoreDeleteKeyIn(HKEY root, REGSAM view, const char *path);
// Calls visit(name, context) for every subkey name of the key (any length
// the registry allows). Stops when visit returns 0. Returns the number of
// names visited; 0 when the key cannot be opened.
typedef int (*StoreSubkeyVisitor)(const char *name, void *context);
int StoreEachSubkey(HKEY root, REGSAM view, const char *path, StoreSubkeyVisitor visit, void *context);
// The same with any callable: visit(name) returns non-zero to go on.
template <typename Visit>
int StoreForEachSubkey(HKEY root, REGSAM view, const char *path, Visit visit)
{
    return StoreEachSubkey(
        root, view, path, [](const char *name, void *context) -> int { return (*(Visit *)context)(name); },
        &visit);
}

// 1 when the key exists.
int StoreKeyExists(HKEY root, const char *path);

// Calls visit(name, context) for every value name of the key (names longer
// than 259 characters are skipped). Stops early when visit returns 0.
// Returns the number of names visited.
typedef int (*StoreValueVisitor)(const char *name, void *context);
int StoreEnumValueNames(HKEY root, const char *path, StoreValueVisitor visit, void *context);

// Calls visit(name, context) for every subkey of the key, in index order.
// Stops early when visit returns 0. Returns the number of names visited.
typedef int (*StoreKeyVisitor)(const char *name, void *context);
int StoreEnumSubkeys(HKEY root, const char *path, StoreKeyVisitor visit, void *context);

// Reports: StoreEnumSubkeys in a registry view (0, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY).
int StoreEnumSubkeysIn(HKEY root, REGSAM view, const char *path, StoreKeyVisitor visit, void *context);

// The subkey names of a key taken all at once, so that the caller may look
// at (or change) the key while it goes through them. *names is an array of
// *count names on the heap (free()); null with a count of 0 when the key has
// none or cannot be read.
typedef char StoreKeyName[768];   // 255 characters of any script
int StoreListSubkeys(HKEY root, REGSAM view, const char *path, StoreKeyName **names, int *count);
