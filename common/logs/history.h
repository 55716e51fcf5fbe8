// The history log: history.txt in the program folder, one TAB-separated
// line per decision (time, action, type, title, command, detail), appended
// by both programs and read back by the explorer's history page.
#pragma once
#include <windows.h>

#define HISTORY_TIME_SIZE    32
// The texts are UTF-8: a title of 127 characters of any script, a command
// or detail of 259.
#define HISTORY_TITLE_SIZE   384
#define HISTORY_PATH_SIZE    784
#define HISTORY_LINE_SIZE    3072   // a line with its CR LF is at most 3071 bytes

#define HISTORY_TYPE_UNKNOWN   3000
// Added to a type code: the entry lives in the 32-bit registry view of
// 64-bit Windows (its label ends in "_32").
#define HISTORY_VIEW_32        0x10000
#define HISTORY_ACTION_UNKNOWN 31
#define HISTORY_DELETE_ON_REBOOT 40
// Decisions the history names beside the removals.
enum HistoryDecision {
    HISTORY_START_APPROVE = 41,
    HISTORY_SERVICE_APPROVE = 42,
    HISTORY_TASK_APPROVE = 43,
    HISTORY_IEHELPER_APPROVE = 44,
    HISTORY_HIDDEN_ACCEPT = 45,
    HISTORY_FILETYPE_APPROVE = 46,
    HISTORY_START_RESTORE = 47,
    HISTORY_HIDDEN_RESTORE = 48,
    HISTORY_FILETYPE_RESTORE = 49,
    HISTORY_FILETYPE_REMOVE = 50,
    HISTORY_TASK_DISABLE = 51,
    HISTORY_TASK_ENABLE = 52,
};

// "12/07/2026  2:05 PM": month/day/year, two blanks, the 12-hour clock; a
// date of all zeros is "Never" (string 686). Returns the length.
int FormatHistoryTime(const SYSTEMTIME *time, char *out /* HISTORY_TIME_SIZE */);

// Appends one line to history.txt, in UTF-8. TAB, CR, LF and other control
// characters in the texts become blanks, and the texts are shortened so that the line
// always ends with CR LF. An action code not in the table is written as
// "LOG_UNKNOWN", a type code not in the table as "TYPE_UNKNOWN". When the
// other program holds the file, the open is retried for about a second.
// 1 when written; 0 when the option "History" is below 1 or the file cannot
// be written now (held by another program past the retries, or read-only):
// the line is then kept, with its own time, and written in order in front of
// the next line that can be written. A file whose last line lacks its CR LF
// gets one first.
int WriteHistory(const char *title, const char *command, const char *detail, int typeCode,
                 int actionCode);

// At a program's end: lines still waiting for history.txt are written, or
// kept in "history-pending.txt" beside it, from where the next line written
// by either program takes them first. 1 when none is lost.
int FlushHistory(void);

// Names of the codes; "" for an unknown action, "TYPE_UNKNOWN" for an
// unknown type.
const char *HistoryActionName(int actionCode);
const char *HistoryTypeName(int typeCode);

// Codes of the names, ignoring case; an unknown action name gives 31
// ("LOG_UNKNOWN"), an unknown type name 3000 ("TYPE_UNKNOWN"). A label of
// the 32-bit view gives its type with HISTORY_VIEW_32 added.
int HistoryActionCode(const char *name);
int HistoryTypeCode(const char *name);

// 1 for the actions that the history page can undo (names beginning "*").
int HistoryActionIsReversible(int actionCode);

// Path of history.txt in the program folder. Returns its length.
int GetHistoryPath(char *out /* HISTORY_PATH_SIZE */);

// One line of the history, read back. A field longer than its buffer (time
// 31, title 383, command and detail 783 bytes) reads as empty.
struct HistoryEntry {
    char time[HISTORY_TIME_SIZE];
    int action;
    int type;
    char title[HISTORY_TITLE_SIZE];
    char command[HISTORY_PATH_SIZE];
    char detail[HISTORY_PATH_SIZE];
    // 1 when the texts were read as written, in UTF-8 and without U+FFFD:
    // only such a line names its entry exactly enough to be undone.
    int exact;
};

// Receives each entry in file order; returning 0 stops the reading.
typedef int (*HistoryVisitor)(const HistoryEntry *entry, void *context);

// Reads a history file: each non-empty line (ending at LF, a CR before it
// dropped, the last line also without LF) becomes one entry. Lines with
// fewer fields leave the rest empty; fields after the sixth are ignored.
// With maxEntries above 0 only the last maxEntries lines are visited, so
// the newest events are always among them. Returns the number visited.
int ReadHistoryFile(const char *path, int maxEntries, HistoryVisitor visit, void *context);

// ReadHistoryFile of history.txt in the program folder.
int ReadHistory(int maxEntries, HistoryVisitor visit, void *context);
