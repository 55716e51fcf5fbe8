// Cookies of the browsers and the cookie filter.
//
// Cookies are the user's data: a filter pass removes exactly the cookies
// whose site matches a filter text (or that the user marked for removal)
// and keeps every other byte. cookies.txt is never rewritten from a part
// of it, and a new copy only replaces it after it was written completely.
#include "cookies.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "browsers.h"
#include "dates.h"
#include "growing_array.h"
#include "inventory.h"
#include "folder_entries.h"
#include "items.h"
#include "options.h"
#include "program_files.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

int cookieSource = COOKIE_SOURCE_IE;

namespace {

const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kMozillaWindowClass[] = "MozillaWindowClass";

// --- The filter list ------------------------------------------------------------

struct FilterEntry {
    char *text;    // the value name, exactly
    char *lower;   // the same in lower case, for matching
    size_t length;   // of lower
    int number;
};

FilterEntry *filters;
int filterCount;

// Matching a text against every filter text in one walk over the text: the
// filter texts (marks of single cookies are none) are found by their first
// two bytes, a text of one byte by that byte alone.
unsigned char lowerOf[256];   // each byte in lower case, as tolower gives it
unsigned char pairBits[65536 / 8];
unsigned char singleBits[256 / 8];
int *pairOrder;   // filter texts of two bytes or more, by their first two bytes
int pairCount;
// Indexes of the entries sorted by name (case ignored), for exact lookups.
int *filterOrder;
int filterLoaded;
int filterMarks;   // entries that may name single cookies (any entry not a plain filter text)

char *LowerCopy(const char *text)
{
    char *copy = DuplicateText(text);
    if (copy)
        for (char *c = copy; *c; c++) *c = (char)tolower((unsigned char)*c);
    return copy;
}

unsigned PairOf(const char *text)
{
    return (unsigned)(unsigned char)text[0] << 8 | (unsigned char)text[1];
}

int HasBit(const unsigned char *bits, unsigned n)
{
    return bits[n >> 3] & (1u << (n & 7));
}

void SetBit(unsigned char *bits, unsigned n)
{
    bits[n >> 3] = (unsigned char)(bits[n >> 3] | (1u << (n & 7)));
}

int ComparePairs(const void *a, const void *b)
{
    unsigned x = PairOf(filters[*(const int *)a].lower), y = PairOf(filters[*(const int *)b].lower);
    return x < y ? -1 : x > y ? 1 : 0;
}

// Indexes the loaded filter texts for TextIsFiltered. 1 or 0 (memory).
int IndexFilterTexts(void)
{
    if (!lowerOf['A'])
        for (int c = 0; c < 256; c++) lowerOf[c] = (unsigned char)tolower(c);
    pairOrder = (int *)malloc((size_t)(filterCount ? filterCount : 1) * sizeof(int));
    if (!pairOrder) return 0;
    for (int i = 0; i < filterCount; i++) {
        const FilterEntry &entry = filters[i];
        if (entry.number == 2 || entry.length == 0) continue;
        if (entry.length == 1) {
            SetBit(singleBits, (unsigned char)entry.lower[0]);
            continue;
        }
        SetBit(pairBits, PairOf(entry.lower));
        pairOrder[pairCount++] = i;
    }
    qsort(pairOrder, (size_t)pairCount, sizeof(int), ComparePairs);
    return 1;
}

// The first of pairOrder whose text begins with pair.
int FirstWithPair(unsigned pair)
{
    int low = 0, high = pairCount;
    while (low < high) {
        int middle = (low + high) / 2;
        if (PairOf(filters[pairOrder[middle]].lower) < pair)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// 1 when the text (length bytes, in lower case) contains a filter text.
int TextIsFiltered(const char *lower, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        unsigned c = (unsigned char)lower[i];
        if (HasBit(singleBits, c)) return 1;
        if (i + 1 >= length) break;
        unsigned pair = c << 8 | (unsigned char)lower[i + 1];
        if (!HasBit(pairBits, pair)) continue;
        for (int k = FirstWithPair(pair); k < pairCount; k++) {
            const FilterEntry &entry = filters[pairOrder[k]];
            if (PairOf(entry.lower) != pair) break;
            if (entry.length <= length - i && memcmp(lower + i, entry.lower, entry.length) == 0) return 1;
        }
    }
    return 0;
}

int CompareOrder(const void *a, const void *b)
{
    return strcmp(filters[*(const int *)a].lower, filters[*(const int *)b].lower);
}

// 1 when an entry of the filter list is named exactly key (case ignored).
int HasFilterEntry(const char *key)
{
    if (filterCount <= 0 || !key || !key[0]) return 0;
    char *lower = LowerCopy(key);
    if (!lower) return 0;
    int low = 0, high = filterCount - 1, found = 0;
    while (low <= high && !found) {
        int middle = (low + high) / 2;
        int order = strcmp(lower, filters[filterOrder[middle]].lower);
        if (order == 0)
            found = 1;
        else if (order < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
    free(lower);
    return found;
}

// --- Small file helpers -----------------------------------------------------------

int EndsWithTxt(const char *name)
{
    size_t len = strlen(name);
    return len >= 4 && TextEqualNoCase(name + len - 4, ".txt");
}

int FolderHolds(const char *folder, const char *name)
{
    char path[PATH_SIZE];
    if (!FormatText(path, sizeof path, "%s%s", folder, name)) return 0;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first subfolder of folder matching pattern (not "." or ".."), appended
// to folder into out. 1 when found.
int FindSubfolder(const char *folder, const char *pattern, int skipDotNames, char *out, int size)
{
    char search[PATH_SIZE];
    if (!FormatText(search, sizeof search, "%s%s", folder, pattern)) return 0;
    int result = 0;
    ForEachEntryOf(search, [&](const FolderEntry *found) {
        if (!(found->attributes & FILE_ATTRIBUTE_DIRECTORY)) return 1;
        if (skipDotNames && found->name[0] == '.') return 1;
        if (FormatText(out, (size_t)size, "%s%s", folder, found->name)) result = 1;
        return 0;
    });
    return result;
}

int ReadAppData(char *out, int size)
{
    return StoreReadString(HKEY_CURRENT_USER, kShellFolders, "AppData", out, size) > 0;
}

// --- cookies.txt ----------------------------------------------------------------

// The whole of a file on the heap (terminated). 1 when read completely;
// 0 when it cannot be opened or read, or is larger than COOKIE_FILE_MAX.
int ReadWholeFile(const char *path, char **data, size_t *size)
{
    *data = nullptr;
    *size = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER length;
    int ok = 0;
    if (GetFileSizeEx(file, &length) && length.QuadPart <= COOKIE_FILE_MAX) {
        size_t want = (size_t)length.QuadPart;
        char *buffer = (char *)malloc(want + 1);
        DWORD got = 0;
        if (buffer && (want == 0 || (ReadFile(file, buffer, (DWORD)want, &got, nullptr) && got == want))) {
            buffer[want] = 0;
            *data = buffer;
            *size = want;
            ok = 1;
        } else {
            free(buffer);
        }
    }
    CloseHandle(file);
    return ok;
}

// One line of cookies.txt, taken apart in place of nothing: the fields
// point into the line and carry their lengths.
struct CookieLine {
    const char *field[7];
    size_t length[7];
    int fields;
    int comment;
};

void SplitLine(const char *line, size_t length, CookieLine *out)
{
    memset(out, 0, sizeof *out);
    // A line ended by CR LF: the CR is not part of the value.
    if (length > 0 && line[length - 1] == '\r') length--;
    const char *start = line;
    const char *end = line + length;
    // "#HttpOnly_" marks a cookie that scripts may not read; every other
    // line starting with "#" is a comment.
    static const char kHttpOnly[] = "#HttpOnly_";
    if (length >= sizeof kHttpOnly - 1 && !strncmp(line, kHttpOnly, sizeof kHttpOnly - 1))
        start += sizeof kHttpOnly - 1;
    else if (length > 0 && line[0] == '#')
        out->comment = 1;
    int n = 0;
    const char *p = start;
    out->field[0] = p;
    while (p < end) {
        // The value (the seventh field) runs to the end of the line.
        if (*p == '\t' && n < 6) {
            out->length[n] = (size_t)(p - out->field[n]);
            n++;
            out->field[n] = p + 1;
        }
        p++;
    }
    out->length[n] = (size_t)(p - out->field[n]);
    out->fields = n + 1;
}

// "host - name" of a cookie line, on the heap (any length).
char *CookieTitle(const CookieLine &line)
{
    const char *domain = line.field[0];
    size_t hostLength = line.length[0];
    if (hostLength > 0 && domain[0] == '.') {
        domain++;
        hostLength--;
    }
    size_t nameLength = line.fields > 5 ? line.length[5] : 0;
    char *title = (char *)malloc(hostLength + nameLength + 4);
    if (!title) return nullptr;
    memcpy(title, domain, hostLength);
    memcpy(title + hostLength, " - ", 3);
    if (nameLength) memcpy(title + hostLength + 3, line.field[5], nameLength);
    title[hostLength + 3 + nameLength] = 0;
    return title;
}

// The expiry field (seconds since 1970) as a date; empty when it is not a
// plain non-negative number or cannot be shown.
void ExpiryText(const CookieLine &line, char *out, size_t size)
{
    out[0] = 0;
    if (line.fields < 5 || line.length[4] == 0 || line.length[4] > 18) return;
    long long seconds = 0;
    for (size_t i = 0; i < line.length[4]; i++) {
        char c = line.field[4][i];
        if (c < '0' || c > '9') return;
        seconds = seconds * 10 + (c - '0');
    }
    SYSTEMTIME local;
    char date[DATE_TEXT_SIZE];
    if (UnixTimeToLocal(seconds, &local) && FormatDateTime(&local, date)) CopyTextCut(out, size, date);
}

void ListCookieLine(const CookieLine &line)
{
    if (line.comment || line.length[0] == 0) return;
    if (line.length[0] == 1 && line.field[0][0] == '.') return;   // no host
    char *title = CookieTitle(line);
    if (!title) return;
    char path[ITEM_PATH_SIZE], value[ITEM_DETAIL_SIZE], expires[ITEM_INFO_SIZE];
    CopyTextN(path, sizeof path, line.field[2], line.fields > 2 ? line.length[2] : 0);
    CopyTextN(value, sizeof value, line.field[6], line.fields > 6 ? line.length[6] : 0);
    ExpiryText(line, expires, sizeof expires);
    char flag[64];
    CopyTextN(flag, sizeof flag, line.field[3], line.fields > 3 ? line.length[3] : 0);
    int secure = FindTextNoCase(flag, "TRUE") != nullptr;
    ItemIdentity identity = {title, VIEW_NATIVE, 0, nullptr};
    AddItemAs(identity, title, path, value, expires, ITEM_MOZILLA_COOKIE, secure ? 1 : 0);
    free(title);
}

// 1 when the filter removes the cookie of a line: its host contains a
// filter text, or the user marked it for removal by its host and name.
struct HostCache {
    char host[516];
    int filtered;
    int valid;
};

int LineIsFiltered(const char *lineStart, size_t length, HostCache *cache)
{
    // Only the domain is needed to match filter texts: the whole line is
    // taken apart only when single cookies are marked.
    static const char kHttpOnly[] = "#HttpOnly_";
    const char *domain = lineStart;
    size_t left = length;
    if (left > 0 && domain[left - 1] == '\r') left--;
    if (left >= sizeof kHttpOnly - 1 && !strncmp(domain, kHttpOnly, sizeof kHttpOnly - 1)) {
        domain += sizeof kHttpOnly - 1;
        left -= sizeof kHttpOnly - 1;
    } else if (left > 0 && domain[0] == '#') {
        return 0;   // a comment
    }
    const char *tab = (const char *)memchr(domain, '\t', left);
    size_t hostLength = tab ? (size_t)(tab - domain) : left;
    if (hostLength == 0) return 0;
    if (domain[0] == '.') {
        domain++;
        hostLength--;
    }
    // The host in lower case, as the filter texts are; one of 512
    // characters or more is never matched as a text.
    char host[516];
    if (hostLength >= 512) hostLength = 0;
    for (size_t i = 0; i < hostLength; i++) host[i] = (char)lowerOf[(unsigned char)domain[i]];
    host[hostLength] = 0;
    if (!cache->valid || strcmp(cache->host, host)) {
        memcpy(cache->host, host, hostLength + 1);
        cache->filtered = hostLength > 0 && filterCount > 0 && TextIsFiltered(host, hostLength);
        cache->valid = 1;
    }
    if (cache->filtered) return 1;
    if (filterMarks == 0) return 0;
    CookieLine line;
    SplitLine(lineStart, length, &line);
    char *title = CookieTitle(line);
    int marked = title && HasFilterEntry(title);
    free(title);
    return marked;
}

// Writes all of data to file. 1 or 0.
int WriteAll(HANDLE file, const char *data, size_t size)
{
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : (DWORD)size, written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written != chunk) return 0;
        data += chunk;
        size -= chunk;
    }
    return 1;
}

// Filters text in its own buffer, which holds size + 1 bytes: every kept
// line byte for byte, each ended by a line feed (a last line without one
// gets it), moved up over the lines left out. Returns the size of what is
// kept; *dropped is the number of lines left out.
size_t FilterCookieText(char *text, size_t size, int *dropped)
{
    size_t used = 0;
    *dropped = 0;
    HostCache cache = {};
    size_t start = 0;
    while (start < size) {
        char *lineStart = text + start;
        const char *feed = (const char *)memchr(lineStart, '\n', size - start);
        size_t length = feed ? (size_t)(feed - lineStart) : size - start;
        if (LineIsFiltered(lineStart, length, &cache)) {
            (*dropped)++;
        } else {
            // Until a line is left out, every line is where it belongs.
            if (used != start) memmove(text + used, lineStart, length);
            used += length;
            text[used++] = '\n';
        }
        start += length + 1;
    }
    return used;
}

int ProfileFiles(char *cookies, char *fresh, char *temporary)
{
    char folder[PATH_SIZE];
    if (!FindMozillaProfileFolder(folder)) return 0;
    RemoveBackslash(folder, 0);
    return FormatText(cookies, PATH_SIZE, "%s\\cookies.txt", folder) &&
           FormatText(fresh, PATH_SIZE, "%s\\cookiesnew.txt", folder) &&
           FormatText(temporary, PATH_SIZE, "%s\\cookiesnew.tmp", folder);
}

// Writes the filtered copy of cookies.txt as cookiesnew.txt: first to a
// temporary file, renamed only once it is complete; durable: on the disk
// before the rename (the copy that is to replace cookies.txt). 1 when written (with *dropped lines left
// out) or when nothing is to be left out (no copy then exists); 0 on any
// failure (nothing is left behind).
int WriteFilteredCopy(const char *cookies, const char *fresh, const char *temporary, int *dropped, int durable)
{
    char *text = nullptr;
    size_t size = 0;
    *dropped = 0;
    if (!ReadWholeFile(cookies, &text, &size)) return 0;
    char *filtered = text;
    size_t outSize = FilterCookieText(filtered, size, dropped);
    if (*dropped == 0) {
        // Nothing to take out: no copy is needed.
        free(filtered);
        DeleteFileA(fresh);
        return 1;
    }
    int ok = 0;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ok = WriteAll(file, filtered, outSize) && (!durable || FlushFileBuffers(file));
        if (!CloseHandle(file)) ok = 0;
        if (ok)
            ok = MoveFileExA(temporary, fresh, MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0)) != 0;
        if (!ok) DeleteFileA(temporary);
    }
    free(filtered);
    return ok;
}

// --- IE cookie files --------------------------------------------------------------

void CreationText(const FILETIME &created, char *out, size_t size)
{
    out[0] = 0;
    FILETIME localTime;
    SYSTEMTIME local;
    if (!FileTimeToLocalFileTime(&created, &localTime) || !FileTimeToSystemTime(&localTime, &local)) return;
    FormatText(out, size, "%04d/%02d/%02d %02d:%02d", local.wYear, local.wMonth, local.wDay, local.wHour,
               local.wMinute);
}

}  // namespace

// --- Filter list --------------------------------------------------------------------

void FreeCookieFilter(void)
{
    for (int i = 0; i < filterCount; i++) {
        free(filters[i].text);
        free(filters[i].lower);
    }
    free(filters);
    free(filterOrder);
    free(pairOrder);
    filters = nullptr;
    filterOrder = nullptr;
    pairOrder = nullptr;
    pairCount = 0;
    memset(pairBits, 0, sizeof pairBits);
    memset(singleBits, 0, sizeof singleBits);
    filterCount = 0;
    filterLoaded = 0;
    filterMarks = 0;
}

void FreeCookies(void)
{
    FreeCookieFilter();
}

int LoadCookieFilter(void)
{
    FreeCookieFilter();
    int capacity = 0;
    StoreForEachValue(HKEY_CURRENT_USER, 0, STORE_NUTS, [&](const char *name, const StoreBlob *value) {
        // An empty name would match every cookie: it is no filter text.
        if (!name[0]) return 1;
        if (!MakeRoomForOne(filters, filterCount, capacity, 64)) return 0;
        FilterEntry entry;
        entry.text = DuplicateText(name);
        entry.lower = LowerCopy(name);
        entry.length = entry.lower ? strlen(entry.lower) : 0;
        entry.number = 0;
        if (value->type == REG_SZ || value->type == REG_EXPAND_SZ)
            entry.number = (int)DecimalValue((const char *)value->data);
        else if (value->type == REG_DWORD && value->size >= 4)
            entry.number = (int)*(const DWORD *)value->data;
        if (!entry.text || !entry.lower) {
            free(entry.text);
            free(entry.lower);
            return 0;
        }
        if (entry.number != 1 || strstr(entry.text, " - ")) filterMarks++;
        filters[filterCount++] = entry;
        return 1;
    });
    filterOrder = (int *)malloc((size_t)(filterCount ? filterCount : 1) * sizeof(int));
    if (!filterOrder || !IndexFilterTexts()) {
        FreeCookieFilter();
        return 0;
    }
    for (int i = 0; i < filterCount; i++) filterOrder[i] = i;
    qsort(filterOrder, (size_t)filterCount, sizeof(int), CompareOrder);
    filterLoaded = 1;
    return filterCount;
}

int CookieFilterCount(void)
{
    return filterCount;
}

const char *CookieFilterText(int index)
{
    return index >= 0 && index < filterCount ? filters[index].text : "";
}

int CookieFilterNumber(int index)
{
    return index >= 0 && index < filterCount ? filters[index].number : 0;
}

int IsFilteredCookie(const char *text)
{
    if (!text || filterCount <= 0) return 0;
    char lower[513];
    size_t n = 0;
    for (; text[n]; n++) {
        if (n >= 512) return 0;   // 513 characters or more are never matched
        lower[n] = (char)lowerOf[(unsigned char)text[n]];
    }
    lower[n] = 0;
    // Marks of single Mozilla cookies name one cookie exactly; they are no
    // texts to look for (the index leaves them out).
    return TextIsFiltered(lower, n);
}

int IsCookieFilterEntry(const char *name)
{
    return HasFilterEntry(name);
}

void PruneCookieFilter(void)
{
    // Collected first: deleting while enumerating would skip values.
    char **marked = nullptr;
    int count = 0, capacity = 0;
    StoreForEachValue(HKEY_CURRENT_USER, 0, STORE_NUTS, [&](const char *name, const StoreBlob *value) {
        if (value->type != REG_SZ || DecimalValue((const char *)value->data) != 2) return 1;
        if (!MakeRoomForOne(marked, count, capacity, 32)) return 0;
        if ((marked[count] = DuplicateText(name)) != nullptr) count++;
        return 1;
    });
    for (int i = 0; i < count; i++) {
        StoreDeleteValue(HKEY_CURRENT_USER, STORE_NUTS, marked[i]);
        free(marked[i]);
    }
    free(marked);
}

int AddCookieFilter(const char *text)
{
    if (!text || !text[0]) return 0;
    return StoreWriteString(HKEY_CURRENT_USER, STORE_NUTS, text, "1");
}

int RemoveCookieFilter(const char *text)
{
    if (!text || !text[0]) return 0;
    return StoreDeleteValue(HKEY_CURRENT_USER, STORE_NUTS, text);
}

int IsKeptCookie(const char *name)
{
    return name && name[0] && StoreValueExists(HKEY_CURRENT_USER, STORE_COOKIES, name);
}

int SetKeptCookie(const char *name, int keep)
{
    if (!name || !name[0]) return 0;
    if (keep) return StoreWriteString(HKEY_CURRENT_USER, STORE_COOKIES, name, "1");
    if (!StoreValueExists(HKEY_CURRENT_USER, STORE_COOKIES, name)) return 1;
    return StoreDeleteValue(HKEY_CURRENT_USER, STORE_COOKIES, name);
}

int CookieKeyOf(const Item *record, char *out, int size)
{
    out[0] = 0;
    if (!record) return 0;
    if (record->type == ITEM_MOZILLA_COOKIE) return (int)CopyText(out, (size_t)size, record->name);
    const char *name = record->name && record->name[0] ? record->name : record->path;
    const char *slash = strrchr(name, '\\');
    return (int)CopyText(out, (size_t)size, slash ? slash + 1 : name);
}

int RemoveCookie(const Item *record)
{
    if (!record || !record->name || !record->name[0]) return 0;
    if (record->type == ITEM_MOZILLA_COOKIE)
        return StoreWriteString(HKEY_CURRENT_USER, STORE_NUTS, record->name, "2");
    if (record->type != ITEM_COOKIE) return 0;
    SetFileAttributesA(record->name, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(record->name) != 0;
}

void SetUpdateCookieFile(int flag)
{
    if (flag)
        StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "UpdateCookieFile", "1");
    else
        StoreDeleteValue(HKEY_CURRENT_USER, STORE_OPTIONS, "UpdateCookieFile");
}

// --- Folders ------------------------------------------------------------------------

int CookieIndexKind(const char *folder)
{
    if (!folder) return 0;
    size_t len = strlen(folder);
    if (len > 250 || len < 3) return 0;
    if (folder[len - 1] == '\\') return FolderHolds(folder, "index.dat") ? 1 : 0;
    return FolderHolds(folder, "\\index.dat") ? 2 : 0;
}

int FindIECookieFolder(char *out)
{
    char candidate[PATH_SIZE];
    for (int step = 0; step < 4; step++) {
        candidate[0] = 0;
        switch (step) {
        case 0: StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, "IECookieFolder", candidate, sizeof candidate); break;
        case 1: StoreReadString(HKEY_CURRENT_USER, kShellFolders, "Cookies", candidate, sizeof candidate); break;
        case 2: StoreReadString(HKEY_CURRENT_USER, kUserShellFolders, "Cookies", candidate, sizeof candidate); break;
        default: {
            char windows[PATH_SIZE];
            UINT n = GetWindowsDirectoryA(windows, sizeof windows);
            if (n > 0 && n < sizeof windows) FormatText(candidate, sizeof candidate, "%s\\Cookies", windows);
            break;
        }
        }
        int kind = CookieIndexKind(candidate);
        if (!kind) continue;
        if (kind == 2 && !AppendText(candidate, sizeof candidate, "\\")) continue;
        return (int)CopyText(out, PATH_SIZE, candidate) > 0;
    }
    LoadUiString(968, out, PATH_SIZE);
    return 0;
}

int FindMozillaProfileFolder(char *out)
{
    out[0] = 0;
    if (StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, "CookieFolder", out, PATH_SIZE) > 0) return 1;
    char appData[PATH_SIZE], profiles[PATH_SIZE];
    if (!ReadAppData(appData, sizeof appData)) return 0;
    RemoveBackslash(appData, 0);
    if (FormatText(profiles, sizeof profiles, "%s\\Mozilla\\FireFox\\Profiles\\", appData)) {
        char found[PATH_SIZE];
        int result = 0;
        if (FindSubfolder(profiles, "*.default", 0, found, sizeof found)) result = (int)CopyText(out, PATH_SIZE, found) > 0;
        if (FindSubfolder(profiles, "default.*", 0, found, sizeof found)) result = (int)CopyText(out, PATH_SIZE, found) > 0;
        if (result) return 1;
    }
    if (DefaultBrowserKind() != 2) return 0;
    if (!FormatText(profiles, sizeof profiles, "%s\\Mozilla\\Profiles\\default\\", appData)) return 0;
    return FindSubfolder(profiles, "*.*", 1, out, PATH_SIZE);
}

int CookieSiteOf(const char *fileName, char *out, int size)
{
    out[0] = 0;
    if (!fileName) return 0;
    const char *slash = strrchr(fileName, '\\');
    const char *name = slash ? slash + 1 : fileName;
    const char *at = strrchr(name, '@');
    const char *start = at ? at + 1 : name;
    size_t length = strlen(start);
    if (length >= 4 && TextEqualNoCase(start + length - 4, ".txt")) length -= 4;
    // The counter IE adds to tell files of one site apart: "[1]".
    if (length > 0 && start[length - 1] == ']') {
        size_t open = length;
        while (open > 0 && start[open - 1] != '[') open--;
        if (open > 0) length = open - 1;
    }
    return (int)CopyTextN(out, (size_t)size, start, length);
}

// --- Reading and filtering ---------------------------------------------------------------

int ReadIECookies(int mode)
{
    FreeItems();
    char folder[PATH_SIZE];
    if (!FindIECookieFolder(folder)) return 0;
    char pattern[PATH_SIZE];
    if (!FormatText(pattern, sizeof pattern, "%s*.*", folder)) return 0;
    int listing = 1;
    ForEachEntryOf(pattern, [&](const FolderEntry *found) {
        if (found->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) return 1;
        if (!EndsWithTxt(found->name)) return 1;
        int filtered = 0;
        if (mode >= 1) {
            char site[PATH_SIZE];
            filtered = CookieSiteOf(found->name, site, sizeof site) > 0 && IsFilteredCookie(site);
        }
        if (!filtered && !listing) return 1;
        char path[PATH_SIZE];
        // A file whose full name does not fit is left alone, never cut.
        if (!FormatText(path, sizeof path, "%s%s", folder, found->name)) return 1;
        if (filtered) {
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path);
            return 1;
        }
        char created[FILE_DATE_SIZE];
        CreationText(found->created, created, sizeof created);
        ItemIdentity identity = {path, VIEW_NATIVE, 0, nullptr};
        if (!AddItemAs(identity, found->name, path, "", created, ITEM_COOKIE, 0)) {
            // The list is full: a filter pass still looks at every file.
            if (mode < 1) return 0;
            listing = 0;
        }
        return 1;
    });
    return ItemCount();
}

int ReadMozillaCookies(int mode)
{
    FreeItems();
    char cookies[PATH_SIZE], fresh[PATH_SIZE], temporary[PATH_SIZE];
    if (!ProfileFiles(cookies, fresh, temporary)) return 0;
    if (mode >= 1) {
        int dropped = 0;
        // This copy shows what the update will do; the update itself
        // filters cookies.txt again and writes its own copy.
        if (WriteFilteredCopy(cookies, fresh, temporary, &dropped, 0)) {
            if (dropped > 0) {
                SetUpdateCookieFile(1);
            } else {
                // Nothing to take out: cookies.txt stays as it is.
                DeleteFileA(fresh);
            }
        } else {
            // No stale or partial copy may ever replace cookies.txt.
            DeleteFileA(fresh);
            SetUpdateCookieFile(0);
        }
        return ItemCount();
    }
    char *text = nullptr;
    size_t size = 0;
    if (!ReadWholeFile(cookies, &text, &size)) return 0;
    size_t start = 0;
    while (start < size) {
        const char *lineStart = text + start;
        const char *feed = (const char *)memchr(lineStart, '\n', size - start);
        size_t length = feed ? (size_t)(feed - lineStart) : size - start;
        CookieLine line;
        SplitLine(lineStart, length, &line);
        ListCookieLine(line);
        start += length + 1;
    }
    free(text);
    return ItemCount();
}

int ReadCookies(int mode)
{
    if (mode >= 1) LoadCookieFilter();
    int count = cookieSource == COOKIE_SOURCE_IE ? ReadIECookies(mode) : ReadMozillaCookies(mode);
    if (mode >= 1) FreeCookieFilter();
    return count;
}

int ApplyMozillaCookieUpdate(void)
{
    if (GetOption("UpdateCookieFile", 0) < 1) return 0;
    char windowClass[64];
    if (LoadUiString(11, windowClass, sizeof windowClass) <= 0) CopyText(windowClass, sizeof windowClass, kMozillaWindowClass);
    if (FindWindowA(windowClass, nullptr)) return 0;
    char cookies[PATH_SIZE], fresh[PATH_SIZE], temporary[PATH_SIZE];
    if (!ProfileFiles(cookies, fresh, temporary)) return 0;
    // The browser may have written newer cookies since the filtered copy
    // was made: filter what cookies.txt holds now.
    int ownFilter = !filterLoaded;
    if (ownFilter) LoadCookieFilter();
    int dropped = 0;
    int written = WriteFilteredCopy(cookies, fresh, temporary, &dropped, 1);
    if (ownFilter) FreeCookieFilter();
    if (!written) {
        DeleteFileA(fresh);
        SetUpdateCookieFile(0);
        return 0;
    }
    if (dropped == 0) {
        DeleteFileA(fresh);
        return 1;
    }
    if (!MoveFileExA(fresh, cookies, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(fresh);
        return 0;
    }
    return 1;
}
