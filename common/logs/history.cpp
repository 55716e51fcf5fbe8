#include "history.h"

#include <cstdlib>
#include <cstring>

#include "data_folders.h"
#include "options.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"
#include "unicode_text.h"

namespace {
struct CodeName {
    int code;
    const char *name;
};

// Item types as the history names them; the codes are the inventory's.
const CodeName kTypes[] = {
    {1, "MACHINE_RUN"},            {2, "MACHINE_RUNONCE"},
    {3, "MACHINE_RUNONCEEX"},      {4, "MACHINE_RUNSERVICES"},
    {5, "MACHINE_RUNSERVICESONCE"}, {6, "MACHINE_RUNONCESETUP"},
    {7, "MACHINE_RUNPOLICY"},      {11, "CURRENT_RUN"},
    {12, "CURRENT_RUNONCE"},       {13, "CURRENT_RUNONCEEX"},
    {14, "CURRENT_RUNSERVICES"},   {15, "CURRENT_RUNSERVICESONCE"},
    {21, "USERS_RUN"},             {22, "USERS_RUNONCE"},
    {23, "USERS_RUNONCEEX"},       {24, "USERS_RUNSERVICES"},
    {25, "USERS_RUNSERVICESONCE"}, {31, "SENTREL_RUN"},
    {32, "SENTREL_RUNONCE"},       {33, "SENTREL_RUNONCEEX"},
    {34, "SENTREL_RUNSERVICES"},   {35, "SENTREL_RUNSERVICESONCE"},
    {100, "WIN_LOAD"},             {101, "WIN_RUN"},
    {200, "GROUP_STARTUP"},        {250, "WINLOGON_Userinit"},
    {251, "WINLOGON_Shell"},       {252, "REG_Delayload"},
    {253, "REG_TaskScheduler"},    {254, "REG_ShellExecuteHook"},
    {255, "REG_AppInitDLLs"},      {256, "RUN_WINLOGONNOTIFY"},
    {257, "REG_IFEO_Debugger"},    {258, "REG_SilentExitMonitor"},
    {259, "REG_ActiveSetup"},      {260, "REG_BootExecute"},
    {261, "REG_WinlogonValue"},
    {300, "RESTART_DELETE"},       {301, "RESTART_RENAME"},
    {350, "TYPE_MONITOR"},         {360, "TYPE_BLACKLIST"},
    {370, "TYPE_HIDDEN"},          {400, "TYPE_FILETYPE"},
    {450, "TYPE_PROSEARCH"},       {500, "INFO_COOKIE"},
    {501, "INFO_NETCOOKIE"},       {502, "INFO_SAVECOOKIE"},
    {503, "INFO_NUTS"},            {600, "INFO_TASK"},
    {700, "SERVICE_EXE"},          {701, "SERVICE_SVCHOST"},
    {800, "TASK_SCHEDULED"},       {801, "TASK_SCHEDULED2"},
    {900, "TYPE_BHO"},
    {901, "TYPE_TOOLBAR"},         {902, "TYPE_EXTENSION"},
    {3000, "TYPE_UNKNOWN"},
};

// Entries of the 32-bit registry view of 64-bit Windows: the same types,
// named so that the history says which view was changed.
const CodeName kTypes32[] = {
    {1, "MACHINE_RUN_32"},            {2, "MACHINE_RUNONCE_32"},
    {3, "MACHINE_RUNONCEEX_32"},      {4, "MACHINE_RUNSERVICES_32"},
    {5, "MACHINE_RUNSERVICESONCE_32"}, {6, "MACHINE_RUNONCESETUP_32"},
    {7, "MACHINE_RUNPOLICY_32"},      {252, "REG_Delayload_32"},
    {253, "REG_TaskScheduler_32"},    {254, "REG_ShellExecuteHook_32"},
    {255, "REG_AppInitDLLs_32"},      {256, "RUN_WINLOGONNOTIFY_32"},
    {257, "REG_IFEO_Debugger_32"},    {258, "REG_SilentExitMonitor_32"},
    {259, "REG_ActiveSetup_32"},      {261, "REG_WinlogonValue_32"},
    {400, "TYPE_FILETYPE_32"},        {900, "TYPE_BHO_32"},
    {901, "TYPE_TOOLBAR_32"},         {902, "TYPE_EXTENSION_32"},
};

// What was done; searched from the top, the first match wins.
const CodeName kActions[] = {
    {0, "*START_Remove"},           {1, "START_Disable"},
    {2, "START_Enable"},            {3, "IEHELPER_Remove"},
    {4, "TASK_Remove"},             {5, "TASK_Kill"},
    {6, "START_Alert"},             {7, "TASK_Alert"},
    {8, "IEHELPER_Alert"},          {9, "SERVICE_Stop"},
    {10, "SERVICE_Automatic"},      {11, "SERVICE_Manual"},
    {12, "SERVICE_Disabled"},       {13, "TASK_Restore"},
    {14, "IEHELPER_Restore"},       {15, "ScheduledTask_Remove"},
    {17, "SERVICE_from_Automatic"}, {18, "SERVICE_from_Manual"},
    {19, "SERVICE_from_Disabled"},  {20, "SERVICE__from_Disabled"},
    {21, "RESET_USERINIT"},         {22, "RESET_SHELL"},
    {23, "REMOVE_TaskScheduler"},   {24, "REMOVE_DELAYLOAD"},
    {25, "REMOVE_SHELLEXECUTEHOOK"}, {26, "REMOVE_APPINIT"},
    {28, "HIDDEN_Alert"},           {29, "*HIDDEN_DeleteFile"},
    {30, "REMOVE_WinLogonNotify"},  {31, "LOG_UNKNOWN"},
    // Services: a start, and changes the service control manager refused
    // (the detail holds the key name and the system's error).
    {32, "SERVICE_Start"},          {33, "SERVICE_Stop_Failed"},
    {34, "SERVICE_Start_Failed"},   {35, "SERVICE_StartType_Failed"},
    // A file the user had deleted at the next restart (the detail holds the
    // entry's own name).
    {40, "FILE_DeleteOnReboot"},
    // Approvals (the title, command and place of what was approved) and
    // what the history viewer put back.
    {41, "START_Approve"},          {42, "SERVICE_Approve"},
    {43, "TASK_Approve"},           {44, "IEHELPER_Approve"},
    {45, "HIDDEN_Accept"},          {46, "FILETYPE_Approve"},
    {47, "START_Restore"},          {48, "HIDDEN_Restore"},
    // No to a file type change (the approved association written back) and
    // to a new choice of the user's own (taken away).
    {49, "FILETYPE_Restore"},       {50, "FILETYPE_Remove"},
    // A Task Scheduler 2.0 task switched off and on.
    {51, "TASK_Disable"},           {52, "TASK_Enable"},
};

const size_t kNameSize = 48;   // names are at most 47 characters
static_assert(HISTORY_TIME_SIZE + 2 * kNameSize + HISTORY_TITLE_SIZE + 2 * HISTORY_PATH_SIZE + 6 * 3 + 7 <
                  HISTORY_LINE_SIZE,
              "a line holds every field one byte over its reader's room");

// The other program holds history.txt only for the moment of one append:
// an open that meets it waits a little and tries again, about a second in all.
const int kOpenTries = 20;

HANDLE OpenShared(const char *path, DWORD access, DWORD share, DWORD disposition, int *waited = nullptr)
{
    if (waited) *waited = 0;
    for (int attempt = 1;; attempt++) {
        HANDLE file = CreateFileA(path, access, share, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            attempt >= kOpenTries)
            return INVALID_HANDLE_VALUE;
        if (waited) *waited = attempt;
        Sleep(10 + 4 * attempt);
    }
}

// Lines that could not be written yet (history.txt held too long by another
// program, or read-only), oldest first, each with the time of its event.
// They go out in front of the next line that can be written.
const size_t kPendingSize = 64 * 1024;
char pendingLines[kPendingSize];
size_t pendingUsed;
unsigned long pendingLost;   // lines that found no room in the queue
SRWLOCK pendingLock = SRWLOCK_INIT;

void KeepPending(const char *line, size_t length)
{
    if (pendingUsed + length > kPendingSize) {
        pendingLost++;
        return;
    }
    memcpy(pendingLines + pendingUsed, line, length);
    pendingUsed += length;
}

// 1 when the file is empty or its last byte ends a line.
int EndsWithLineEnd(HANDLE file)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size) || size.QuadPart == 0) return 1;
    LARGE_INTEGER last;
    last.QuadPart = size.QuadPart - 1;
    char byte = '\n';
    DWORD read = 0;
    if (!SetFilePointerEx(file, last, nullptr, FILE_BEGIN) || !ReadFile(file, &byte, 1, &read, nullptr) ||
        read != 1)
        return 1;
    return byte == '\n';
}

// Appends the queued lines to history.txt. 1 when all of them were written.
int AppendPending(const char *path)
{
    char note[96];
    // A read-only history.txt is kept as it is, also where the file system
    // would let this process write it anyway.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        FormatText(note, sizeof note, "history.txt is read-only, %lu byte(s) kept", (unsigned long)pendingUsed);
        TraceLog("History", note);
        return 0;
    }
    int waited = 0;
    HANDLE file = OpenShared(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, &waited);
    if (waited) {
        FormatText(note, sizeof note, "waited %d time(s) for history.txt%s", waited,
                   file == INVALID_HANDLE_VALUE ? ", lines kept for the next write" : "");
        TraceLog("History", note);
    }
    if (file == INVALID_HANDLE_VALUE) return 0;
    // A file left without its last line end (an editor, an interrupted
    // write) must not glue the next event onto its last line.
    int ok = 1;
    if (!EndsWithLineEnd(file)) {
        LARGE_INTEGER zero = {};
        DWORD written = 0;
        ok = SetFilePointerEx(file, zero, nullptr, FILE_END) && WriteFile(file, "\r\n", 2, &written, nullptr) &&
             written == 2;
    }
    LARGE_INTEGER zero = {};
    DWORD written = 0;
    ok = ok && SetFilePointerEx(file, zero, nullptr, FILE_END) &&
         WriteFile(file, pendingLines, (DWORD)pendingUsed, &written, nullptr) && written == pendingUsed;
    CloseHandle(file);
    if (!ok) return 0;
    pendingUsed = 0;
    if (pendingLost) {
        FormatText(note, sizeof note, "%lu line(s) found no room while history.txt could not be written",
                   pendingLost);
        TraceLog("History", note);
        pendingLost = 0;
    }
    return 1;
}

// Lines that waited when a program ended are kept beside history.txt
// ("history-pending.txt"), and go out in front of the next line written.
int PendingFilePath(char *out /* HISTORY_PATH_SIZE */)
{
    char folder[PATH_SIZE];
    out[0] = 0;
    if (!GetDataFolder(folder)) return 0;
    return (int)FormatText(out, HISTORY_PATH_SIZE, "%s\\history-pending.txt", folder);
}

// Takes the kept lines back into the queue (the file is claimed first, so
// that two programs never both take it). 1 when there were any.
int TakeKeptLines(void)
{
    char path[HISTORY_PATH_SIZE], claimed[HISTORY_PATH_SIZE + 32];
    if (!PendingFilePath(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
    if (!FormatText(claimed, sizeof claimed, "%s.%lu", path, (unsigned long)GetCurrentProcessId()) ||
        !MoveFileExA(path, claimed, MOVEFILE_REPLACE_EXISTING))
        return 0;
    HANDLE file = CreateFileA(claimed, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    int taken = 0;
    if (file != INVALID_HANDLE_VALUE) {
        LARGE_INTEGER size = {};
        DWORD got = 0;
        // The kept lines come first: they are older than any in the queue.
        if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && (size_t)size.QuadPart + pendingUsed <= kPendingSize) {
            memmove(pendingLines + size.QuadPart, pendingLines, pendingUsed);
            if (ReadFile(file, pendingLines, (DWORD)size.QuadPart, &got, nullptr) && got == size.QuadPart) {
                pendingUsed += got;
                taken = 1;
            } else {
                memmove(pendingLines, pendingLines + size.QuadPart, pendingUsed);
            }
        }
        CloseHandle(file);
    }
    if (taken) {
        DeleteFileA(claimed);
    } else {
        MoveFileExA(claimed, path, 0);   // left for a later write
    }
    return taken;
}

const char *NameOf(const CodeName *table, size_t count, int code)
{
    for (size_t i = 0; i < count; i++)
        if (table[i].code == code) return table[i].name;
    return nullptr;
}

int CodeOf(const CodeName *table, size_t count, const char *name, int fallback)
{
    if (!name || !name[0]) return fallback;
    for (size_t i = 0; i < count; i++)
        if (TextEqualNoCase(table[i].name, name)) return table[i].code;
    return fallback;
}

// Splits the bytes of a history file into entries. Fields that overflow
// their buffer read as empty; the line ends at LF, and a CR right before it
// is dropped (any other CR, and other control bytes, read as blanks).
struct HistoryParser {
    HistoryEntry entry;
    char actionName[kNameSize];
    char typeName[kNameSize];
    int field;
    size_t length;
    int overflow;
    int lineHasText;
    int pendingCR;

    // Counting and choosing: lines before skip are passed over, and at most
    // limit lines are visited (0: no limit).
    int lines;
    int skip;
    int limit;
    int visited;
    int stopped;
    HistoryVisitor visit;
    void *context;

    char *FieldBuffer(size_t *size)
    {
        switch (field) {
        case 0: *size = sizeof entry.time; return entry.time;
        case 1: *size = sizeof actionName; return actionName;
        case 2: *size = sizeof typeName; return typeName;
        case 3: *size = sizeof entry.title; return entry.title;
        case 4: *size = sizeof entry.command; return entry.command;
        case 5: *size = sizeof entry.detail; return entry.detail;
        default: *size = 0; return nullptr;
        }
    }

    void StartLine()
    {
        memset(&entry, 0, sizeof entry);
        actionName[0] = typeName[0] = 0;
        field = 0;
        length = 0;
        overflow = 0;
        lineHasText = 0;
        pendingCR = 0;
    }

    void EndField()
    {
        size_t size;
        char *buffer = FieldBuffer(&size);
        if (buffer) buffer[overflow ? 0 : length] = 0;
        field++;
        length = 0;
        overflow = 0;
    }

    void Add(char c)
    {
        lineHasText = 1;
        size_t size;
        char *buffer = FieldBuffer(&size);
        if (!buffer) return;
        if (length + 1 < size)
            buffer[length++] = (unsigned char)c < 0x20 ? ' ' : c;
        else
            overflow = 1;
    }

    // A field that is not UTF-8 (a line of an older Sentrel, in the ANSI
    // code page) is shown from that code page; such a line, and one with
    // U+FFFD in its texts, does not name its entry exactly.
    static void ReadField(char *field, size_t size, int *exact)
    {
        if (HasReplacement(field)) *exact = 0;
        if (TextIsPlain(field)) return;
        *exact = 0;
        char *copy = (char *)malloc(size * 3);
        if (!copy) return;
        if (LegacyToText(field, -1, copy, (int)size * 3) > 0) CopyTextCut(field, size, copy);
        free(copy);
    }

    void EndLine()
    {
        EndField();
        if (lineHasText && !stopped) {
            int index = lines++;
            if (visit && index >= skip && (limit <= 0 || visited < limit)) {
                entry.action = CodeOf(kActions, sizeof kActions / sizeof kActions[0], actionName,
                                      HISTORY_ACTION_UNKNOWN);
                entry.type = HistoryTypeCode(typeName);
                entry.exact = 1;
                ReadField(entry.title, sizeof entry.title, &entry.exact);
                ReadField(entry.command, sizeof entry.command, &entry.exact);
                ReadField(entry.detail, sizeof entry.detail, &entry.exact);
                visited++;
                if (!visit(&entry, context)) stopped = 1;
            }
        }
        StartLine();
    }

    void Feed(const char *bytes, size_t count)
    {
        for (size_t i = 0; i < count && !stopped; i++) {
            char c = bytes[i];
            if (pendingCR) {
                pendingCR = 0;
                if (c != '\n') Add(' ');
            }
            if (c == '\n')
                EndLine();
            else if (c == '\r')
                pendingCR = 1;
            else if (c == '\t') {
                lineHasText = 1;
                EndField();
            } else
                Add(c);
        }
    }
};

// Runs the parser over the whole file. 1 when the file could be read.
int ParseHistoryFile(const char *path, HistoryParser *parser)
{
    HANDLE file = OpenShared(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) return 0;
    parser->StartLine();
    char chunk[16384];
    DWORD got = 0;
    while (!parser->stopped && ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        parser->Feed(chunk, got);
    CloseHandle(file);
    if (parser->lineHasText) parser->EndLine();
    return 1;
}
}  // namespace

int FormatHistoryTime(const SYSTEMTIME *time, char *out)
{
    out[0] = 0;
    if (!time) return 0;
    if (time->wYear == 0 && time->wMonth == 0 && time->wDay == 0)
        return LoadUiString(686, out, HISTORY_TIME_SIZE);
    unsigned hour = time->wHour % 12;
    if (hour == 0) hour = 12;
    return (int)FormatTextCut(out, HISTORY_TIME_SIZE, "%02u/%02u/%04u  %u:%02u %s", time->wMonth,
                              time->wDay, time->wYear, hour, time->wMinute,
                              time->wHour >= 12 ? "PM" : "AM");
}

const char *HistoryActionName(int actionCode)
{
    const char *name = NameOf(kActions, sizeof kActions / sizeof kActions[0], actionCode);
    return name ? name : "";
}

const char *HistoryTypeName(int typeCode)
{
    const char *name = typeCode & HISTORY_VIEW_32
                           ? NameOf(kTypes32, sizeof kTypes32 / sizeof kTypes32[0], typeCode & ~HISTORY_VIEW_32)
                           : NameOf(kTypes, sizeof kTypes / sizeof kTypes[0], typeCode);
    return name ? name : "TYPE_UNKNOWN";
}

int HistoryActionCode(const char *name)
{
    return CodeOf(kActions, sizeof kActions / sizeof kActions[0], name, HISTORY_ACTION_UNKNOWN);
}

int HistoryTypeCode(const char *name)
{
    int code = CodeOf(kTypes32, sizeof kTypes32 / sizeof kTypes32[0], name, 0);
    if (code) return code | HISTORY_VIEW_32;
    return CodeOf(kTypes, sizeof kTypes / sizeof kTypes[0], name, HISTORY_TYPE_UNKNOWN);
}

int HistoryActionIsReversible(int actionCode)
{
    return HistoryActionName(actionCode)[0] == '*';
}

int GetHistoryPath(char *out)
{
    char folder[PATH_SIZE];
    out[0] = 0;
    if (!GetDataFolder(folder)) return 0;
    return (int)FormatText(out, HISTORY_PATH_SIZE, "%s\\history.txt", folder);
}

int WriteHistory(const char *title, const char *command, const char *detail, int typeCode,
                 int actionCode)
{
    // Read now, not from the loaded settings: the explorer may have changed it.
    if (GetOption("History", 1) < 1) return 0;

    const char *action = NameOf(kActions, sizeof kActions / sizeof kActions[0], actionCode);
    if (!action) action = HistoryActionName(HISTORY_ACTION_UNKNOWN);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char time[HISTORY_TIME_SIZE];
    FormatHistoryTime(&now, time);
    char path[HISTORY_PATH_SIZE];
    if (!GetHistoryPath(path)) return 0;

    // A TAB, CR or LF inside a text would shift every field (or start a new
    // line) when the file is read back, so control characters become
    // blanks. A text too long for the reader's field is written one byte
    // longer than that field, so that it reads back empty and is never
    // taken for a whole name; the line always has room for every field.
    const char *pieces[6] = {time, action, HistoryTypeName(typeCode), title, command, detail};
    // The file is UTF-8 that any reader takes: a name that cannot be
    // written so (one holding a NUL or a lone surrogate) is written with
    // U+FFFD in place of what cannot be written, and is never undone.
    char *written[3] = {};
    for (int i = 3; i < 6; i++) {
        if (!pieces[i] || TextIsPlain(pieces[i])) continue;
        size_t room = strlen(pieces[i]) * 3 + 1;
        written[i - 3] = (char *)malloc(room);
        if (written[i - 3]) FileText(pieces[i], written[i - 3], (int)room);
        pieces[i] = written[i - 3] ? written[i - 3] : "";
    }
    char line[HISTORY_LINE_SIZE];
    const size_t room = sizeof line - 3;
    size_t used = 0;
    const size_t fieldMax[6] = {HISTORY_TIME_SIZE, kNameSize, kNameSize, HISTORY_TITLE_SIZE, HISTORY_PATH_SIZE,
                                HISTORY_PATH_SIZE};
    for (int i = 0; i < 6; i++) {
        size_t separatorsAfter = 5 - i, start = used;
        const char *c = pieces[i] ? pieces[i] : "";
        // Past the field's room the character in hand is finished, so the
        // line stays UTF-8.
        for (; *c && (used - start < fieldMax[i] || ((unsigned char)*c & 0xC0) == 0x80) &&
               used + separatorsAfter < room;
             c++)
            line[used++] = (unsigned char)*c < 0x20 ? ' ' : *c;
        // A text shortened for the line never ends inside a character.
        if (*c && used - start < fieldMax[i]) used = start + WholeCharacters(line + start, used - start);
        if (i < 5) line[used++] = '\t';
    }
    for (char *piece : written) free(piece);
    line[used++] = '\r';
    line[used++] = '\n';
    line[used] = 0;

    // The line joins those still waiting and all go out in order; when the
    // file cannot be written now they wait for the next write.
    AcquireSRWLockExclusive(&pendingLock);
    TakeKeptLines();
    KeepPending(line, used);
    int ok = AppendPending(path);
    ReleaseSRWLockExclusive(&pendingLock);
    return ok;
}

int FlushHistory(void)
{
    AcquireSRWLockExclusive(&pendingLock);
    int ok = 1;
    char path[HISTORY_PATH_SIZE], kept[HISTORY_PATH_SIZE];
    if (pendingUsed && GetHistoryPath(path) && !AppendPending(path)) {
        // history.txt still cannot be written: the lines wait in a file of
        // their own rather than end with the program.
        ok = 0;
        if (PendingFilePath(kept)) {
            HANDLE file = CreateFileA(kept, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written = 0;
            if (file != INVALID_HANDLE_VALUE) {
                if (WriteFile(file, pendingLines, (DWORD)pendingUsed, &written, nullptr) && written == pendingUsed) {
                    pendingUsed = 0;
                    ok = 1;
                }
                CloseHandle(file);
            }
        }
    }
    ReleaseSRWLockExclusive(&pendingLock);
    return ok;
}

int ReadHistoryFile(const char *path, int maxEntries, HistoryVisitor visit, void *context)
{
    if (!path || !path[0] || !visit) return 0;
    HistoryParser parser = {};
    if (maxEntries > 0) {
        // First count the lines, so that only the newest are visited.
        if (!ParseHistoryFile(path, &parser)) return 0;
        int total = parser.lines;
        parser = HistoryParser();
        parser.skip = total > maxEntries ? total - maxEntries : 0;
        parser.limit = maxEntries;
    }
    parser.visit = visit;
    parser.context = context;
    if (!ParseHistoryFile(path, &parser)) return 0;
    return parser.visited;
}

int ReadHistory(int maxEntries, HistoryVisitor visit, void *context)
{
    char path[HISTORY_PATH_SIZE];
    if (!GetHistoryPath(path)) return 0;
    return ReadHistoryFile(path, maxEntries, visit, context);
}
