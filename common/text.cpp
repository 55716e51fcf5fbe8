#include "text.h"

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
        return size - 1;
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

int TextEqualNoCase(const char *a, const char *b)
{
    if (!a || !b) return 0;
    for (; *a && *b; a++, b++)
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b)) return 0;
    return *a == *b;
}

const char *FindTextNoCase(const char *haystack, const char *needle)
{
    if (!haystack || !needle) return nullptr;
    if (!*needle) return haystack;
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
