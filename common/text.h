// Bounded text helpers: every copy, append and format into a fixed buffer
// goes through these. Each takes the buffer's full size in bytes and always
// leaves it terminated.
#pragma once
#include <cstddef>

// Copies src into dst. Returns the length copied, or 0 when src does not fit
// (dst is then the empty text). A null or empty src gives 0 and an empty dst.
size_t CopyText(char *dst, size_t size, const char *src);

// Copies at most size-1 characters of src, cutting the rest. Returns the
// length copied.
size_t CopyTextCut(char *dst, size_t size, const char *src);

// Copies at most count characters of src (and never past its end), cutting
// at size-1. Returns the length copied.
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

// As FormatText, but a result that does not fit is cut at size-1.
size_t FormatTextCut(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Length of a text that may lack its terminator within max bytes.
size_t TextLength(const char *text, size_t max);

// Case-insensitive (ASCII) comparisons.
int TextEqualNoCase(const char *a, const char *b);
const char *FindTextNoCase(const char *haystack, const char *needle);

// Leading decimal digits (with an optional sign and leading blanks) as a
// number; anything else reads as 0. Saturates instead of overflowing.
long DecimalValue(const char *text);
