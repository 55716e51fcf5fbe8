// Text in any script. Inside Sentrel every name, path and text is UTF-8;
// the programs declare UTF-8 as their code page, so the platform's ...A
// calls take and give UTF-8 too. Where a name must be exact whatever it
// holds (registry names, which may hold a NUL or a lone surrogate), the
// platform's wide strings are converted here, in one place:
// - a valid name becomes plain UTF-8;
// - a NUL inside a counted name becomes the two bytes C0 80, so that the
//   name stays one C text;
// - a lone surrogate becomes its own three-byte form (ED A0 80 .. ED BF BF).
// Plain UTF-8 never holds those bytes, so the wide name comes back exactly.
#pragma once
#include <windows.h>

#include <cstddef>

// Converts count units of wide text (count -1: up to its terminator). With
// nulAsText a NUL unit becomes C0 80 (names); without, a NUL byte (data,
// where the count carries the length). Returns the byte length, or 0 when
// the result does not fit size (out is then empty).
int WideToText(const WCHAR *wide, int count, char *out, int size, int nulAsText);

// The same on the heap (free()); *length receives the byte length when
// given. Null when memory is short.
char *WideToTextCopy(const WCHAR *wide, int count, int nulAsText, int *length);

// Converts length bytes of text (length -1: up to its terminator) back into
// wide units; C0 80 and the three-byte surrogate forms come back as the
// units they stand for, and a byte that is not UTF-8 (text from elsewhere)
// becomes U+FFFD. Returns the unit count, or -1 when the result does not
// fit size units including a terminator (out is then empty).
int TextToWide(const char *text, int length, WCHAR *out, int size);

// A wide copy of a text for one call of the platform: the units are
// terminated, and units holds their count (a name may hold a NUL, so the
// count is what names it). Small texts live inside the object.
class WideText {
public:
    explicit WideText(const char *text, int length = -1);
    ~WideText();
    WideText(const WideText &) = delete;
    WideText &operator=(const WideText &) = delete;
    // Null only when memory was short.
    const WCHAR *get() const { return text_; }
    operator const WCHAR *() const { return text_; }
    int units() const { return units_; }
    // 1 when a NUL lies inside (the name can only be reached by the
    // native calls, which take counted names).
    int hasNul() const;

private:
    WCHAR small_[264];
    WCHAR *heap_;
    WCHAR *text_;
    int units_;
};

// 1 when the text is plain UTF-8: no byte outside UTF-8 and none of the
// forms above, so that the ...A calls and other programs see it exactly.
int TextIsPlain(const char *text);

// The text as a person should see it: a NUL is left out and every lone
// surrogate or stray byte is shown as U+FFFD. Returns the length; the
// result is cut at a whole character when it does not fit.
int ShownText(const char *text, char *out, int size);

// The text as it goes into a file other programs read (history.txt): plain
// UTF-8, every unit that cannot be written so (a NUL too) as U+FFFD, so
// that a reader can tell the line does not name its entry exactly.
int FileText(const char *text, char *out, int size);

// 1 when the text holds U+FFFD.
int HasReplacement(const char *text);

// Length in bytes of the longest start of text[0..length) that ends at a
// whole character (a cut there never splits a sequence).
size_t WholeCharacters(const char *text, size_t length);

// The number of wide units length bytes of text stand for.
size_t TextUnits(const char *text, size_t length);

// Case-insensitive equality and search as the registry and the file system
// compare names (every script, not only ASCII).
int UnicodeEqualNoCase(const char *a, const char *b);
const char *UnicodeFindNoCase(const char *haystack, const char *needle);

// Text of the system's legacy ANSI code page (an old history line, a file
// written by a program of before) as UTF-8. Returns the length, 0 when it
// does not fit.
int LegacyToText(const char *bytes, int length, char *out, int size);

// 1 when the program runs with UTF-8 as its code page (Windows 10 1903 and
// later honour the programs' declaration).
int CodePageIsUtf8(void);
