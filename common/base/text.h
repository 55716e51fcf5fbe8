// Bounded text helpers: every copy, append and format into a fixed buffer
// goes through these. Each takes the buffer's full size in bytes and always
// leaves it terminated.
#pragma once
#include <cstddef>

// Room for a path of up to MAX_PATH characters of any script in UTF-8
// (three bytes a character at most, a surrogate pair taking four for two).
#define PATH_SIZE 784

// Copies src into dst. Returns the length copied, or 0 when src does not fit
// (dst is then the empty text). A null or empty src gives 0 and an empty dst.
size_t CopyText(char *dst, size_t size, const char *src);

// Copies at most size-1 bytes of src, cutting the rest at a whole character
// (text is UTF-8). Returns the length copied.
size_t CopyTextCut(char *dst, size_t size, const char *src);

// Copies at most count bytes of src (and never past its end), cutting at
// size-1; a cut never splits a character. Returns the length copied.
size_t CopyTextN(char *dst, size_t size, const char *src, size_t count);

// Appends src to the text in dst. Returns the new length, or 0 when the
// result would not fit (dst is then unchanged).
size_t AppendText(char *dst, size_t size, const char *src);

// Appends as much of src as fits. Returns the new length.
size_t AppendTextCut(char *dst, size_t size, const char *src);

// printf-style format into dst. Returns the length, or 0 when the result
// does not fit (dst is then the empty text).
size_t FormatText(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// As FormatText, but a result that does not fit is cut at size-1 (at a
// whole character).
size_t FormatTextCut(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Length of a text that may lack its terminator within max bytes.
size_t TextLength(const char *text, size_t max);

// Case-insensitive comparisons, for letters of every script as the
// registry and the file system compare names (quick for ASCII).
int TextEqualNoCase(const char *a, const char *b);
const char *FindTextNoCase(const char *haystack, const char *needle);

// Leading decimal digits (with an optional sign and leading blanks) as a
// number; anything else reads as 0. Saturates instead of overflowing.
long DecimalValue(const char *text);

// --- Text operations on paths, names and commands --------------------------
// Functions with an output buffer take its size; a result that does not fit
// leaves the buffer empty and reports 0 (EscapeForUrl: -1). Input and output
// may be the same buffer.

// 1 when needle occurs in haystack, ignoring case. 0 when either is missing
// or empty, the needle is the longer, or the haystack is over 772 characters.
int ContainsNoCase(const char *haystack, const char *needle);

// The text behind the last backslash. Returns its length; 0 and an empty
// output when there is no backslash or nothing behind it.
int FileNamePart(const char *path, char *out, size_t size);

// Index of the first character behind the last backslash; 0 when there is
// none or the text is empty.
int FileNameIndex(const char *path);

// The text from its first character that is not a blank or TAB. Returns the
// remaining length.
int SkipBlanks(const char *text, char *out, size_t size);

// The text behind the first "." (not the last). 1 when there is a dot.
int ExtensionAfterFirstDot(const char *name, char *out, size_t size);

// The text with every "=" replaced by ":" (registry value names of the
// baselines). Returns the length.
int EqualsToColon(const char *text, char *out, size_t size);

// The text without any '"'. Returns the length.
int RemoveQuotes(const char *text, char *out, size_t size);

// Every a becomes b, in place; with b = 0 every a is removed. Returns the
// number of characters replaced or removed.
int ReplaceChar(char *text, char a, char b);

// Appends a backslash unless the text already ends with one. 1 when the text
// ends with a backslash afterwards, 0 for an empty text or no room.
int AddBackslash(char *path, size_t size);

// Removes one trailing backslash; with keepRoot a backslash right after a
// drive colon ("C:\") stays. 1 when one was removed.
int RemoveBackslash(char *path, int keepRoot);

// Escapes a text for a query part of an address: a blank becomes "%20", "&"
// becomes "+", and the characters that would end or confuse the query
// ("%", "#", "?", "=", quotes, "<", ">", a "+" of the text itself, the
// characters an address may not hold: "\", "|", "^", "`", braces and
// brackets; control and non-ASCII bytes) become "%XX". Returns the length
// minus 1; -1 for an empty text or a result
// that does not fit.
int EscapeForUrl(char *out, size_t size, const char *text);

// Seconds since 1 January 1970 (UTC) as local calendar time. 1 or 0.
struct _SYSTEMTIME;
int UnixTimeToLocal(long long seconds, struct _SYSTEMTIME *out);

// Fills a translatable template: replaces each "%s" of a template by the next of the values (a missing
// value by the empty text); every other character, "%" included, is kept as
// it stands. Returns the length, 0 when the result does not fit (out is
// then empty).
int FillTemplate(char *out, int size, const char *pattern, const char *const *values, int count);
