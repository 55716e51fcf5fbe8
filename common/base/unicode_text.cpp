#include "unicode_text.h"

#include <cstdlib>
#include <cstring>

namespace {
const WCHAR kReplacement = 0xFFFD;

int IsHigh(unsigned u) { return u >= 0xD800 && u <= 0xDBFF; }
int IsLow(unsigned u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Bytes one unit (or one pair) takes.
int EncodedSize(const WCHAR *wide, int i, int count, int nulAsText, int *consumed)
{
    unsigned u = wide[i];
    *consumed = 1;
    if (u == 0) return nulAsText ? 2 : 1;
    if (u < 0x80) return 1;
    if (u < 0x800) return 2;
    if (IsHigh(u) && i + 1 < count && IsLow(wide[i + 1])) {
        *consumed = 2;
        return 4;
    }
    return 3;
}

int Encode(const WCHAR *wide, int i, int count, int nulAsText, char *out, int *consumed)
{
    unsigned u = wide[i];
    int n = EncodedSize(wide, i, count, nulAsText, consumed);
    unsigned char *o = (unsigned char *)out;
    switch (n) {
    case 1: o[0] = (unsigned char)u; break;
    case 2:
        if (u == 0) {
            o[0] = 0xC0;
            o[1] = 0x80;
        } else {
            o[0] = (unsigned char)(0xC0 | (u >> 6));
            o[1] = (unsigned char)(0x80 | (u & 0x3F));
        }
        break;
    case 3:
        o[0] = (unsigned char)(0xE0 | (u >> 12));
        o[1] = (unsigned char)(0x80 | ((u >> 6) & 0x3F));
        o[2] = (unsigned char)(0x80 | (u & 0x3F));
        break;
    default: {
        unsigned c = 0x10000 + ((u - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
        o[0] = (unsigned char)(0xF0 | (c >> 18));
        o[1] = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
        o[2] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
        o[3] = (unsigned char)(0x80 | (c & 0x3F));
    }
    }
    return n;
}

int IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Decodes one character at text[i] (i < length): its units into units[]
// (one or two), the bytes it took into *taken. Returns the unit count.
// *plain is cleared for the escaped forms and for bytes that are not UTF-8.
int Decode(const unsigned char *t, size_t i, size_t length, WCHAR units[2], int *taken, int *plain)
{
    unsigned b = t[i];
    size_t left = length - i;
    *taken = 1;
    if (b < 0x80) {
        units[0] = (WCHAR)b;
        return 1;
    }
    if (b == 0xC0 && left >= 2 && t[i + 1] == 0x80) {
        *taken = 2;
        *plain = 0;
        units[0] = 0;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF && left >= 2 && IsContinuation(t[i + 1])) {
        *taken = 2;
        units[0] = (WCHAR)(((b & 0x1F) << 6) | (t[i + 1] & 0x3F));
        return 1;
    }
    if (b >= 0xE0 && b <= 0xEF && left >= 3 && IsContinuation(t[i + 1]) && IsContinuation(t[i + 2])) {
        unsigned u = ((b & 0x0F) << 12) | ((t[i + 1] & 0x3F) << 6) | (t[i + 2] & 0x3F);
        if (u >= 0x800) {
            *taken = 3;
            if (u >= 0xD800 && u <= 0xDFFF) *plain = 0;   // a lone surrogate's own form
            units[0] = (WCHAR)u;
            return 1;
        }
    }
    if (b >= 0xF0 && b <= 0xF4 && left >= 4 && IsContinuation(t[i + 1]) && IsContinuation(t[i + 2]) &&
        IsContinuation(t[i + 3])) {
        unsigned c = ((b & 0x07) << 18) | ((t[i + 1] & 0x3F) << 12) | ((t[i + 2] & 0x3F) << 6) | (t[i + 3] & 0x3F);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            *taken = 4;
            c -= 0x10000;
            units[0] = (WCHAR)(0xD800 + (c >> 10));
            units[1] = (WCHAR)(0xDC00 + (c & 0x3FF));
            return 2;
        }
    }
    *plain = 0;
    units[0] = kReplacement;
    return 1;
}

size_t LengthOf(const char *text, int length)
{
    return length < 0 ? strlen(text) : (size_t)length;
}

WCHAR UpperUnit(WCHAR c)
{
    if (c < 0x80) return c >= 'a' && c <= 'z' ? (WCHAR)(c - 32) : c;
    return (WCHAR)(ULONG_PTR)CharUpperW((LPWSTR)(ULONG_PTR)c);
}
}  // namespace

int WideToText(const WCHAR *wide, int count, char *out, int size, int nulAsText)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!wide) return 0;
    if (count < 0) count = (int)wcslen(wide);
    int used = 0;
    for (int i = 0; i < count;) {
        int consumed;
        int n = EncodedSize(wide, i, count, nulAsText, &consumed);
        if (used + n >= size) {
            out[0] = 0;
            return 0;
        }
        Encode(wide, i, count, nulAsText, out + used, &consumed);
        used += n;
        i += consumed;
    }
    out[used] = 0;
    return used;
}

char *WideToTextCopy(const WCHAR *wide, int count, int nulAsText, int *length)
{
    if (!wide) return nullptr;
    if (count < 0) count = (int)wcslen(wide);
    size_t need = 1;
    for (int i = 0; i < count;) {
        int consumed;
        need += (size_t)EncodedSize(wide, i, count, nulAsText, &consumed);
        i += consumed;
    }
    char *text = (char *)malloc(need);
    if (!text) return nullptr;
    int n = need > 1 ? WideToText(wide, count, text, (int)need, nulAsText) : 0;
    text[n] = 0;
    if (length) *length = n;
    return text;
}

int TextToWide(const char *text, int length, WCHAR *out, int size)
{
    if (!out || size <= 0) return -1;
    out[0] = 0;
    if (!text) return 0;
    size_t bytes = LengthOf(text, length);
    const unsigned char *t = (const unsigned char *)text;
    int used = 0;
    for (size_t i = 0; i < bytes;) {
        WCHAR units[2];
        int taken, plain = 1;
        int n = Decode(t, i, bytes, units, &taken, &plain);
        if (used + n >= size) {
            out[0] = 0;
            return -1;
        }
        for (int k = 0; k < n; k++) out[used++] = units[k];
        i += (size_t)taken;
    }
    out[used] = 0;
    return used;
}

WideText::WideText(const char *text, int length) : heap_(nullptr), text_(small_), units_(0)
{
    small_[0] = 0;
    if (!text) return;
    size_t bytes = LengthOf(text, length);
    // Never more units than bytes.
    if (bytes + 1 > sizeof small_ / sizeof small_[0]) {
        heap_ = (WCHAR *)malloc((bytes + 1) * sizeof(WCHAR));
        text_ = heap_;
        if (!heap_) return;
    }
    units_ = TextToWide(text, (int)bytes, text_, (int)bytes + 1);
    if (units_ < 0) units_ = 0;
}

WideText::~WideText()
{
    free(heap_);
}

int WideText::hasNul() const
{
    if (!text_) return 0;
    for (int i = 0; i < units_; i++)
        if (text_[i] == 0) return 1;
    return 0;
}

int TextIsPlain(const char *text)
{
    if (!text) return 1;
    const unsigned char *t = (const unsigned char *)text;
    size_t bytes = strlen(text);
    for (size_t i = 0; i < bytes;) {
        if (t[i] < 0x80) {
            i++;
            continue;
        }
        WCHAR units[2];
        int taken, plain = 1;
        Decode(t, i, bytes, units, &taken, &plain);
        if (!plain) return 0;
        i += (size_t)taken;
    }
    return 1;
}

namespace {
int ReplaceUnshown(const char *text, char *out, int size, int markNul)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!text) return 0;
    const unsigned char *t = (const unsigned char *)text;
    size_t bytes = strlen(text);
    int used = 0;
    for (size_t i = 0; i < bytes;) {
        WCHAR units[2];
        int taken, plain = 1;
        int n = Decode(t, i, bytes, units, &taken, &plain);
        char piece[4];
        int pieceLength;
        if (plain) {
            memcpy(piece, text + i, (size_t)taken);
            pieceLength = taken;
        } else if (n == 1 && units[0] == 0 && !markNul) {
            pieceLength = 0;
        } else {
            memcpy(piece, "\xEF\xBF\xBD", 3);   // U+FFFD
            pieceLength = 3;
        }
        if (used + pieceLength >= size) break;
        memcpy(out + used, piece, (size_t)pieceLength);
        used += pieceLength;
        i += (size_t)taken;
    }
    out[used] = 0;
    return used;
}

}  // namespace

int ShownText(const char *text, char *out, int size)
{
    return ReplaceUnshown(text, out, size, 0);
}

int FileText(const char *text, char *out, int size)
{
    return ReplaceUnshown(text, out, size, 1);
}

int HasReplacement(const char *text)
{
    return text && strstr(text, "\xEF\xBF\xBD") != nullptr;
}

size_t WholeCharacters(const char *text, size_t length)
{
    if (!text || length == 0) return 0;
    const unsigned char *t = (const unsigned char *)text;
    size_t j = length - 1;
    // Back over at most three continuation bytes to the character's lead.
    while (j > 0 && length - j < 4 && IsContinuation(t[j])) j--;
    unsigned b = t[j];
    if (b < 0xC0) return length;
    size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
    return j + need > length ? j : length;
}

size_t TextUnits(const char *text, size_t length)
{
    if (!text) return 0;
    const unsigned char *t = (const unsigned char *)text;
    size_t units = 0;
    for (size_t i = 0; i < length; i++) {
        if (IsContinuation(t[i])) continue;
        units += t[i] >= 0xF0 ? 2 : 1;
    }
    return units;
}

int UnicodeEqualNoCase(const char *a, const char *b)
{
    if (!a || !b) return 0;
    WideText wa(a), wb(b);
    if (!wa.get() || !wb.get()) return strcmp(a, b) == 0;
    return CompareStringOrdinal(wa, wa.units(), wb, wb.units(), TRUE) == CSTR_EQUAL;
}

const char *UnicodeFindNoCase(const char *haystack, const char *needle)
{
    if (!haystack || !needle) return nullptr;
    if (!*needle) return haystack;
    WideText wn(needle);
    if (!wn.get() || wn.units() == 0) return nullptr;
    int n = wn.units();
    WCHAR *upper = (WCHAR *)malloc((size_t)n * sizeof(WCHAR));
    if (!upper) return nullptr;
    for (int k = 0; k < n; k++) upper[k] = UpperUnit(wn.get()[k]);
    const unsigned char *t = (const unsigned char *)haystack;
    size_t bytes = strlen(haystack);
    const char *found = nullptr;
    for (size_t start = 0; start < bytes && !found;) {
        int matched = 0;
        size_t i = start;
        while (matched < n && i < bytes) {
            WCHAR units[2];
            int taken, plain = 1;
            int count = Decode(t, i, bytes, units, &taken, &plain);
            int k = 0;
            for (; k < count && matched < n; k++, matched++)
                if (UpperUnit(units[k]) != upper[matched]) break;
            if (k < count) break;
            i += (size_t)taken;
        }
        if (matched == n) found = haystack + start;
        WCHAR units[2];
        int taken, plain = 1;
        Decode(t, start, bytes, units, &taken, &plain);
        start += (size_t)taken;
    }
    free(upper);
    return found;
}

int LegacyToText(const char *bytes, int length, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!bytes) return 0;
    if (length < 0) length = (int)strlen(bytes);
    if (length == 0) return 0;
    UINT page = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, (LPWSTR)&page,
                       sizeof page / sizeof(WCHAR)) == 0 ||
        page == 0 || page == CP_UTF8)
        page = 1252;
    int units = MultiByteToWideChar(page, 0, bytes, length, nullptr, 0);
    if (units <= 0) return 0;
    WCHAR *wide = (WCHAR *)malloc((size_t)units * sizeof(WCHAR));
    if (!wide) return 0;
    MultiByteToWideChar(page, 0, bytes, length, wide, units);
    int n = WideToText(wide, units, out, size, 0);
    free(wide);
    return n;
}

int CodePageIsUtf8(void)
{
    return GetACP() == CP_UTF8;
}
