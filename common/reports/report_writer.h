// Writing the report files: a buffered file that takes texts of any length,
// the escaping each format needs (HTML, CSV, registry script) and the
// pieces every report shares (time stamp, Windows version, item list held
// aside while a report walks the inventories).
#pragma once
#include <windows.h>
#include <cstddef>

#include "items.h"
#include "program_files.h"

// A report file being written. Every write goes into the buffer and the
// buffer to the file; a failed write is remembered, so the caller learns of
// it once at the end.
struct ReportFile {
    HANDLE handle;
    int failed;
    int wide;   // written as UTF-16 with its byte-order mark
    size_t used;
    char buffer[16384];
};

// Creates the file anew (an existing one is replaced). 1, or 0 with the
// system's error as the last error.
int ReportOpen(ReportFile *file, const char *path);
// The same for a file read as Unicode text: what is written (UTF-8) is
// turned into UTF-16, after a byte-order mark. Every file is written as a
// reader takes it: a text that cannot be written exactly (a name holding a
// NUL) is shown as in a window.
int ReportOpenWide(ReportFile *file, const char *path);
// Writes what is left and closes. 1 when every write succeeded.
int ReportClose(ReportFile *file);

void ReportWrite(ReportFile *file, const char *text);
void ReportWriteBytes(ReportFile *file, const char *data, size_t count);
// printf-style; the line is as long as it needs to be (nothing is cut).
void ReportFormat(ReportFile *file, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Fills a template whose every "%s" takes the next value; the values are
// written with escaping: HTML text (& < > " ' as entities) for
// ReportHtml; for ReportFill with CR and LF as blanks, so that one finding
// stays on one line of a log. "%%" stands for "%".
void ReportHtml(ReportFile *file, const char *pattern, const char *const *values, int count);
void ReportFill(ReportFile *file, const char *pattern, const char *const *values, int count);
template <typename... Texts> void Html(ReportFile *file, const char *pattern, const Texts &...texts)
{
    const char *values[] = {texts..., ""};
    ReportHtml(file, pattern, values, (int)sizeof...(texts));
}
template <typename... Texts> void Fill(ReportFile *file, const char *pattern, const Texts &...texts)
{
    const char *values[] = {texts..., ""};
    ReportFill(file, pattern, values, (int)sizeof...(texts));
}

// A text as HTML text: & < > " ' written as entities, control characters
// other than TAB as blanks.
void ReportWriteHtmlText(ReportFile *file, const char *text);

// A field of a spreadsheet row. A field that begins with = + - @ (or TAB or
// CR, which some spreadsheets also read as the start of a formula) gets an
// apostrophe in front, so it is shown as text and never run as a formula.
// With quote set the field is put in double quotes (inner quotes doubled)
// when it holds a comma, quote or line break.
void ReportWriteCsvField(ReportFile *file, const char *text, int quote);

// A text for a TAB-separated line: TAB, CR and LF become blanks.
void ReportWriteTabField(ReportFile *file, const char *text);

// A text for a line of a plain-text log: CR and LF become blanks, so one
// finding stays one line.
void ReportWriteLineText(ReportFile *file, const char *text);

// "h:mm:ss AM" (12-hour clock, the hour padded to two places with a blank)
// and "m/dd/yyyy" of a local time.
void ReportTimeText(const SYSTEMTIME *time, char *out, int size);
void ReportDateText(const SYSTEMTIME *time, char *out, int size);

// Who signed the program of a record, as a person reads it: the verified
// signer, or "Not verified" with the reason (those words are made once per
// report, see ForgetReportFacts). Returns its length.
int RecordPublisherText(const Item *record, char *out, int size);

// The text that names the Windows version. Returns its length.
int PlatformText(char *out, int size);
// The same for a version as GetVersionEx gives it (extended: the EX fields
// are filled; tabletPc: the system says it is one).
int PlatformTextOf(const OSVERSIONINFOEXA *version, int extended, int tabletPc, char *out, int size);

// The version facts of a program file, read once per report: a report
// lists the same few programs again and again. ForgetReportFacts starts a
// report afresh (a file may have changed since the last one, the words of
// the user's language with it).
void ReadReportFacts(const char *file, VersionFacts facts);
void ForgetReportFacts(void);

// The query part of an address as the online information takes it: a blank
// becomes "%20", "&" becomes "+", and every character that could end the
// address or the attribute it stands in is percent-encoded. Empty when the
// result does not fit.
void UrlEncode(char *out, int size, const char *text);
