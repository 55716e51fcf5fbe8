#include "text.h"

#include "unicode_text.h"

#include <windows.h>

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

size_t CopyText(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0) return 0;
    dst[0] = 0;
    if (!src) return 0;
    size_t len = strlen(src);
    if (len >= size) return 0;
    memcpy(dst, src, len + 1);
    return len;
}

size_t CopyTextCut(char *dst, size_t size, const char *src)
{
    return CopyTextN(dst, size, src, (size_t)-1);
}

size_t CopyTextN(char *dst, size_t size, const char *src, size_t count)
{
    if (!dst || size == 0) return 0;
    size_t len = 0;
    if (src) {
        size_t limit = size - 1 < count ? size - 1 : count;
        while (len < limit && src[len]) len++;
        // A cut never splits a character.
        if (src[len]) len = WholeCharacters(src, len);
        memmove(dst, src, len);
    }
    dst[len] = 0;
    return len;
}

size_t AppendText(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0) return 0;
    size_t have = TextLength(dst, size);
    if (have >= size) { dst[0] = 0; return 0; }
    if (!src) return have;
    size_t add = strlen(src);
    if (have + add >= size) return 0;
    memcpy(dst + have, src, add + 1);
    return have + add;
}

size_t AppendTextCut(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0) return 0;
    size_t have = TextLength(dst, size);
    if (have >= size) { dst[size - 1] = 0; return size - 1; }
    return have + CopyTextCut(dst + have, size - have, src);
}

static size_t FormatInto(char *dst, size_t size, int cut, const char *format, va_list args)
{
    if (!dst || size == 0) return 0;
    int n = vsnprintf(dst, size, format, args);
    if (n < 0) { dst[0] = 0; return 0; }
    if ((size_t)n >= size) {
        if (!cut) { dst[0] = 0; return 0; }
        size_t whole = WholeCharacters(dst, size - 1);
        dst[whole] = 0;
        return whole;
    }
    return (size_t)n;
}

size_t FormatText(char *dst, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    size_t n = FormatInto(dst, size, 0, format, args);
    va_end(args);
    return n;
}

size_t FormatTextCut(char *dst, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    size_t n = FormatInto(dst, size, 1, format, args);
    va_end(args);
    return n;
}

size_t TextLength(const char *text, size_t max)
{
    if (!text) return 0;
    const void *end = memchr(text, 0, max);
    return end ? (size_t)((const char *)end - text) : max;
}

static int IsAscii(const char *text)
{
    for (; *text; text++)
        if ((unsigned char)*text >= 0x80) return 0;
    return 1;
}

int TextEqualNoCase(const char *a, const char *b)
{
    if (!a || !b) return 0;
    const char *startA = a, *startB = b;
    for (; *a && *b; a++, b++) {
        unsigned char ca = (unsigned char)*a, cb = (unsigned char)*b;
        // Past ASCII, letters of every script are compared as the
        // registry and the file system compare them.
        if (ca >= 0x80 || cb >= 0x80) return UnicodeEqualNoCase(startA, startB);
        if (tolower(ca) != tolower(cb)) return 0;
    }
    return *a == *b;
}

const char *FindTextNoCase(const char *haystack, const char *needle)
{
    if (!haystack || !needle) return nullptr;
    if (!*needle) return haystack;
    if (!IsAscii(needle)) return UnicodeFindNoCase(haystack, needle);
    // An ASCII needle matches ASCII bytes only, and those never occur
    // inside a UTF-8 sequence.
    for (; *haystack; haystack++) {
        const char *h = haystack, *n = needle;
        while (*h && *n && tolower((unsigned char)*h) == tolower((unsigned char)*n)) { h++; n++; }
        if (!*n) return haystack;
    }
    return nullptr;
}

long DecimalValue(const char *text)
{
    if (!text) return 0;
    while (*text == ' ' || *text == '\t') text++;
    int negative = 0;
    if (*text == '-' || *text == '+') negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        value = value * 10 + (*text - '0');
        if (value > LONG_MAX) { value = LONG_MAX; break; }
    }
    return negative ? -(long)value : (long)value;
}

// --- Text operations on paths, names and commands --------------------------

int ContainsNoCase(const char *haystack, const char *needle)
{
    if (!haystack || !needle || !needle[0]) return 0;
    size_t have = TextLength(haystack, 774);
    if (have > 772 || strlen(needle) > have) return 0;
    return FindTextNoCase(haystack, needle) != nullptr;
}

int FileNameIndex(const char *path)
{
    if (!path) return 0;
    const char *slash = strrchr(path, '\\');
    return slash ? (int)(slash + 1 - path) : 0;
}

// Moves the text from (which may lie inside out itself) into out: its
// length, or -1 (and an empty out) when there is none or it does not fit.
static int MoveTextInto(const char *from, char *out, size_t size)
{
    size_t len = from ? strlen(from) : 0;
    if (!from || len >= size) {
        out[0] = 0;
        return -1;
    }
    memmove(out, from, len + 1);
    return (int)len;
}

int FileNamePart(const char *path, char *out, size_t size)
{
    if (!out || size == 0) return 0;
    const char *slash = path ? strrchr(path, '\\') : nullptr;
    int len = MoveTextInto(slash ? slash + 1 : nullptr, out, size);
    return len < 0 ? 0 : len;
}

int SkipBlanks(const char *text, char *out, size_t size)
{
    if (!out || size == 0) return 0;
    while (text && (*text == ' ' || *text == '\t')) text++;
    int len = MoveTextInto(text, out, size);
    return len < 0 ? 0 : len;
}

int ExtensionAfterFirstDot(const char *name, char *out, size_t size)
{
    if (!out || size == 0) return 0;
    const char *dot = name ? strchr(name, '.') : nullptr;
    return MoveTextInto(dot ? dot + 1 : nullptr, out, size) < 0 ? 0 : 1;
}

// Copies text into out with every from replaced by to (to = 0 drops it).
// Nothing is written when the result does not fit.
static int MapCharacter(const char *text, char *out, size_t size, char from, char to)
{
    if (!out || size == 0) return 0;
    if (!text) { out[0] = 0; return 0; }
    size_t len = 0;
    for (const char *c = text; *c; c++)
        if (*c != from || to) len++;
    if (len >= size) { out[0] = 0; return 0; }
    // Writing never overtakes reading, so out may be text itself.
    size_t n = 0;
    for (const char *c = text; *c; c++) {
        if (*c != from) out[n++] = *c;
        else if (to) out[n++] = to;
    }
    out[n] = 0;
    return (int)n;
}

int EqualsToColon(const char *text, char *out, size_t size)
{
    return MapCharacter(text, out, size, '=', ':');
}

int RemoveQuotes(const char *text, char *out, size_t size)
{
    return MapCharacter(text, out, size, '"', 0);
}

int ReplaceChar(char *text, char a, char b)
{
    if (!text || !a) return 0;
    int count = 0;
    char *to = text;
    for (char *c = text; *c; c++) {
        if (*c == a) {
            count++;
            if (b) *to++ = b;
        } else {
            *to++ = *c;
        }
    }
    *to = 0;
    return count;
}

int AddBackslash(char *path, size_t size)
{
    if (!path || size == 0) return 0;
    size_t len = TextLength(path, size);
    if (len == 0 || len >= size) return 0;
    if (path[len - 1] == '\\') return 1;
    if (len + 1 >= size) return 0;
    path[len] = '\\';
    path[len + 1] = 0;
    return 1;
}

int RemoveBackslash(char *path, int keepRoot)
{
    if (!path || !path[0]) return 0;
    size_t len = strlen(path);
    if (path[len - 1] != '\\') return 0;
    if (keepRoot && len >= 2 && path[len - 2] == ':') return 0;
    path[len - 1] = 0;
    return 1;
}

int EscapeForUrl(char *out, size_t size, const char *text)
{
    static const char kHex[] = "0123456789ABCDEF";
    if (!out || size == 0) return -1;
    out[0] = 0;
    if (!text || !text[0]) return -1;
    char escaped[1024];
    size_t n = 0;
    for (const unsigned char *c = (const unsigned char *)text; *c; c++) {
        if (n + 4 > sizeof escaped) return -1;
        if (*c == ' ') {
            memcpy(escaped + n, "%20", 3);
            n += 3;
        } else if (*c == '&') {
            escaped[n++] = '+';
        } else if (*c < 0x20 || *c >= 0x7f || strchr("%#?=\"'<>+\\|^`{}[]", *c)) {
            escaped[n++] = '%';
            escaped[n++] = kHex[*c >> 4];
            escaped[n++] = kHex[*c & 15];
        } else {
            escaped[n++] = (char)*c;
        }
    }
    escaped[n] = 0;
    if (!CopyText(out, size, escaped)) return -1;
    return (int)n - 1;
}

int UnixTimeToLocal(long long seconds, SYSTEMTIME *out)
{
    if (!out) return 0;
    // 100-nanosecond steps from 1601 to 1970.
    const long long kEpoch = 116444736000000000LL;
    if (seconds < -(kEpoch / 10000000) || seconds > (0x7fffffffffffffffLL - kEpoch) / 10000000) return 0;
    long long ticks = seconds * 10000000 + kEpoch;
    FILETIME utc;
    utc.dwLowDateTime = (DWORD)ticks;
    utc.dwHighDateTime = (DWORD)(ticks >> 32);
    SYSTEMTIME universal;
    if (!FileTimeToSystemTime(&utc, &universal)) return 0;
    return SystemTimeToTzSpecificLocalTime(nullptr, &universal, out) != 0;
}

int FillTemplate(char *out, int size, const char *pattern, const char *const *values, int count)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!pattern) return 0;
    int used = 0, next = 0;
    for (const char *p = pattern; *p;) {
        const char *piece = p;
        size_t length = 1;
        char single[2] = {*p, 0};
        if (p[0] == '%' && p[1] == 's') {
            piece = next < count && values[next] ? values[next] : "";
            next++;
            length = strlen(piece);
            p += 2;
        } else {
            piece = single;
            p++;
        }
        if (used + length >= (size_t)size) {
            out[0] = 0;
            return 0;
        }
        memcpy(out + used, piece, length);
        used += (int)length;
        out[used] = 0;
    }
    return used;
}
