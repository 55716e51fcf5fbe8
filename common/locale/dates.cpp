#include "dates.h"

#include "store.h"
#include "text.h"

namespace {
const char kInternational[] = "Control Panel\\International";

enum DateStyle { MonthDayYear, YearMonthDay, IsoDate, DayMonthName };
struct DatePattern {
    const char *pattern;
    DateStyle style;
};
// The first row also serves patterns not in the table.
const DatePattern kDatePatterns[] = {
    {"M/d/yyyy", MonthDayYear}, {"M/d/yy", MonthDayYear},   {"MM/dd/yy", MonthDayYear},
    {"MM/dd/yyyy", MonthDayYear}, {"yy/MM/dd", YearMonthDay}, {"yyyy-MM-dd", IsoDate},
    {"dd-MMM-yy", DayMonthName},
};

enum TimeStyle { Clock12, Clock12Padded, Clock24, Clock24Padded };
struct TimePattern {
    const char *pattern;
    TimeStyle style;
};
const TimePattern kTimePatterns[] = {
    {"h:mm:ss tt", Clock12}, {"hh:mm:ss tt", Clock12Padded},
    {"H:mm:ss", Clock24},    {"HH:mm:ss", Clock24Padded},
};

const char *const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <typename Row, size_t N>
const Row &MatchPattern(const Row (&table)[N], const char *valueName)
{
    char pattern[24];
    StoreReadString(HKEY_CURRENT_USER, kInternational, valueName, pattern, sizeof pattern);
    for (const Row &row : table)
        if (TextEqualNoCase(pattern, row.pattern)) return row;
    return table[0];
}
}  // namespace

void ReadDateFormat(DateFormat *format)
{
    format->dateStyle = MatchPattern(kDatePatterns, "sShortDate").style;
    format->timeStyle = MatchPattern(kTimePatterns, "sTimeFormat").style;
}

int FormatDateTime(const SYSTEMTIME *t, char *out)
{
    DateFormat format;
    ReadDateFormat(&format);
    return FormatDateTimeAs(&format, t, out);
}

int FormatDateTimeAs(const DateFormat *format, const SYSTEMTIME *t, char *out)
{
    char date[12];
    switch ((DateStyle)format->dateStyle) {
    case MonthDayYear:
        FormatTextCut(date, sizeof date, "%02d/%02d/%04d", t->wMonth, t->wDay, t->wYear);
        break;
    case YearMonthDay:
        FormatTextCut(date, sizeof date, "%02d/%02d/%02d", t->wYear, t->wMonth, t->wDay);
        break;
    case IsoDate:
        FormatTextCut(date, sizeof date, "%04d-%02d-%02d", t->wYear, t->wMonth, t->wDay);
        break;
    case DayMonthName: {
        int month = t->wMonth >= 1 && t->wMonth <= 12 ? t->wMonth - 1 : 0;
        FormatTextCut(date, sizeof date, "%02d-%s-%02d", t->wDay, kMonthNames[month], t->wYear);
        break;
    }
    }

    char time[12];
    int hour12 = t->wHour % 12 == 0 ? 12 : t->wHour % 12;
    const char *half = t->wHour < 12 ? "AM" : "PM";
    switch ((TimeStyle)format->timeStyle) {
    case Clock12:
        FormatTextCut(time, sizeof time, "%d:%02d %s", hour12, t->wMinute, half);
        break;
    case Clock12Padded:
        FormatTextCut(time, sizeof time, "%02d:%02d %s", hour12, t->wMinute, half);
        break;
    case Clock24:
        FormatTextCut(time, sizeof time, "%d:%02d", t->wHour, t->wMinute);
        break;
    case Clock24Padded:
        FormatTextCut(time, sizeof time, "%02d:%02d", t->wHour, t->wMinute);
        break;
    }

    FormatTextCut(out, DATE_TEXT_SIZE, "%s %s", date, time);
    return 1;
}

int FormatNow(char *out)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return FormatDateTime(&now, out);
}

int FormatThousands(char *out, int size, long long number)
{
    // The digits of the magnitude, written from the right (64-bit: a
    // memory figure in KB of a 64-bit process passes 2^31).
    unsigned long long magnitude = number < 0 ? 0ULL - (unsigned long long)number : (unsigned long long)number;
    char reversed[24];
    int n = 0;
    do {
        reversed[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude && n < (int)sizeof reversed);
    char digits[24];
    for (int i = 0; i < n; i++) digits[i] = reversed[n - 1 - i];
    char text[40];
    int len = 0;
    if (number < 0) text[len++] = '-';
    for (int i = 0; i < n; i++) {
        if (i > 0 && (n - i) % 3 == 0) text[len++] = ',';
        text[len++] = digits[i];
    }
    text[len] = 0;
    if (size < 0) return len;
    if (!out || size == 0) return 0;
    return (int)CopyText(out, (size_t)size, text);
}
