// Date and number texts in the user's formats.
#pragma once
#include <windows.h>

#define DATE_TEXT_SIZE 24   // a date and time text: at most 23 characters

// Date in the user's short-date pattern, a blank and the time (hours and
// minutes) in the user's time pattern. Always 1.
int FormatDateTime(const SYSTEMTIME *time, char *out /* DATE_TEXT_SIZE bytes */);

// The user's date and time patterns, read once to format many dates.
struct DateFormat {
    int dateStyle, timeStyle;
};
void ReadDateFormat(DateFormat *format);
// FormatDateTime with patterns read before. Always 1.
int FormatDateTimeAs(const DateFormat *format, const SYSTEMTIME *time, char *out /* DATE_TEXT_SIZE bytes */);

// FormatDateTime of the current local time.
int FormatNow(char *out /* DATE_TEXT_SIZE bytes */);

// The number with "," between groups of three digits. With a negative size
// nothing is copied and only the length is returned; a result that does not
// fit gives 0 and an empty text.
int FormatThousands(char *out, int size, long long number);
