// Task files: see task_files.h.
#include "task_files.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "folder_entries.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"
#include "unicode_text.h"

namespace {

// --- The text of a task file -------------------------------------------------------

enum TaskEncoding { ENCODING_UTF8, ENCODING_UTF8_BOM, ENCODING_UTF16 };

// The file's text as UTF-8 (free()), and how it was written.
char *TaskText(const char *bytes, size_t length, int *encoding, int *textLength)
{
    const unsigned char *b = (const unsigned char *)bytes;
    *encoding = ENCODING_UTF8;
    if (length >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == '<' && b[1] == 0))) {
        // UTF-16 little-endian, as Windows writes task files.
        size_t skip = b[0] == 0xFF ? 2 : 0;
        size_t units = (length - skip) / 2;
        WCHAR *wide = (WCHAR *)malloc((units + 1) * sizeof(WCHAR));
        if (!wide) return nullptr;
        memcpy(wide, bytes + skip, units * sizeof(WCHAR));
        wide[units] = 0;
        *encoding = ENCODING_UTF16;
        char *text = WideToTextCopy(wide, (int)units, 0, textLength);
        free(wide);
        return text;
    }
    size_t skip = 0;
    if (length >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        skip = 3;
        *encoding = ENCODING_UTF8_BOM;
    }
    char *text = (char *)malloc(length - skip + 1);
    if (!text) return nullptr;
    memcpy(text, bytes + skip, length - skip);
    text[length - skip] = 0;
    *textLength = (int)(length - skip);
    return text;
}

// The text written back as it was read.
char *EncodedText(const char *text, size_t length, int encoding, size_t *outLength)
{
    if (encoding == ENCODING_UTF16) {
        int size = (int)length + 2;
        WCHAR *wide = (WCHAR *)malloc((size_t)size * sizeof(WCHAR));
        if (!wide) return nullptr;
        int units = TextToWide(text, (int)length, wide, size);
        if (units < 0) {
            free(wide);
            return nullptr;
        }
        char *out = (char *)malloc((size_t)units * 2 + 2);
        if (out) {
            out[0] = (char)0xFF;
            out[1] = (char)0xFE;
            memcpy(out + 2, wide, (size_t)units * 2);
            *outLength = (size_t)units * 2 + 2;
        }
        free(wide);
        return out;
    }
    size_t bom = encoding == ENCODING_UTF8_BOM ? 3 : 0;
    char *out = (char *)malloc(length + bom + 1);
    if (!out) return nullptr;
    memcpy(out, "\xEF\xBB\xBF", bom);
    memcpy(out + bom, text, length);
    out[length + bom] = 0;
    *outLength = length + bom;
    return out;
}

// --- A small reader of the XML a task file holds ------------------------------------
// Elements are named by their local name (a prefix is dropped); text is
// handed over with its entities decoded. Comments, processing
// instructions and declarations are passed by.

#define XML_DEPTH 16
#define XML_NAME 64

struct XmlWalk {
    const char *text;
    size_t length;
    int depth;
    char names[XML_DEPTH][XML_NAME];
    size_t starts[XML_DEPTH];      // where each open element's start tag begins
    size_t contents[XML_DEPTH];    // where its content begins
};

struct XmlEvents {
    // An element opens (depth counts it); end: the close tag's offset when
    // an element ends (contentEnd: where its content ends).
    virtual void Open(const XmlWalk &) {}
    virtual void Text(const XmlWalk &, const char *, size_t) {}
    virtual void Close(const XmlWalk &, size_t /*contentEnd*/, size_t /*end*/) {}
    virtual ~XmlEvents() {}
};

const char *Find(const char *from, const char *end, const char *what)
{
    size_t n = strlen(what);
    for (const char *p = from; p + n <= end; p++)
        if (memcmp(p, what, n) == 0) return p;
    return nullptr;
}

// Appends text with the five entities and numeric references decoded.
void AppendDecoded(char *out, size_t size, const char *text, size_t length)
{
    size_t used = strlen(out);
    for (size_t i = 0; i < length && used + 1 < size;) {
        if (text[i] != '&') {
            out[used++] = text[i++];
            continue;
        }
        const char *semi = (const char *)memchr(text + i, ';', length - i < 12 ? length - i : 12);
        if (!semi) {
            out[used++] = text[i++];
            continue;
        }
        size_t n = (size_t)(semi - (text + i));
        static const struct {
            const char *name;
            char c;
        } kEntities[] = {{"&amp", '&'}, {"&lt", '<'}, {"&gt", '>'}, {"&quot", '"'}, {"&apos", '\''}};
        int done = 0;
        for (const auto &e : kEntities)
            if (n == strlen(e.name) && memcmp(text + i, e.name, n) == 0) {
                out[used++] = e.c;
                done = 1;
            }
        if (!done && n > 2 && text[i + 1] == '#') {
            unsigned long code = text[i + 2] == 'x' || text[i + 2] == 'X' ? strtoul(text + i + 3, nullptr, 16)
                                                                          : strtoul(text + i + 2, nullptr, 10);
            WCHAR units[3] = {0, 0, 0};
            if (code > 0 && code < 0x10000) {
                units[0] = (WCHAR)code;
            } else if (code >= 0x10000 && code <= 0x10FFFF) {
                units[0] = (WCHAR)(0xD800 + ((code - 0x10000) >> 10));
                units[1] = (WCHAR)(0xDC00 + ((code - 0x10000) & 0x3FF));
            }
            char piece[8];
            if (units[0] && WideToText(units, units[1] ? 2 : 1, piece, sizeof piece, 1) > 0) {
                out[used] = 0;
                AppendTextCut(out, size, piece);
                used = strlen(out);
                done = 1;
            }
        }
        if (!done) {
            out[used++] = '&';
            i++;
            continue;
        }
        i += n + 1;
    }
    out[used] = 0;
}

void WalkXml(const char *text, size_t length, XmlEvents *events)
{
    XmlWalk walk = {};
    walk.text = text;
    walk.length = length;
    const char *end = text + length;
    const char *p = text;
    while (p < end) {
        const char *open = (const char *)memchr(p, '<', (size_t)(end - p));
        if (!open) break;
        if (open > p && walk.depth > 0) events->Text(walk, p, (size_t)(open - p));
        if (Find(open, end, "<!--") == open) {
            const char *close = Find(open + 4, end, "-->");
            p = close ? close + 3 : end;
            continue;
        }
        if (Find(open, end, "<![CDATA[") == open) {
            const char *close = Find(open + 9, end, "]]>");
            if (walk.depth > 0) events->Text(walk, open + 9, (size_t)((close ? close : end) - (open + 9)));
            p = close ? close + 3 : end;
            continue;
        }
        const char *close = (const char *)memchr(open, '>', (size_t)(end - open));
        if (!close) break;
        if (open[1] == '?' || open[1] == '!') {
            p = close + 1;
            continue;
        }
        int ending = open[1] == '/';
        const char *name = open + 1 + ending;
        size_t n = 0;
        while (name + n < close && name[n] != ' ' && name[n] != '\t' && name[n] != '\r' && name[n] != '\n' &&
               name[n] != '/')
            n++;
        const char *colon = (const char *)memchr(name, ':', n);
        if (colon) {
            n -= (size_t)(colon + 1 - name);
            name = colon + 1;
        }
        char local[XML_NAME];
        CopyTextN(local, sizeof local, name, n < XML_NAME - 1 ? n : XML_NAME - 1);
        if (ending) {
            if (walk.depth > 0) {
                events->Close(walk, (size_t)(open - text), (size_t)(close + 1 - text));
                walk.depth--;
            }
        } else {
            int empty = close[-1] == '/';
            if (walk.depth < XML_DEPTH) {
                CopyText(walk.names[walk.depth], XML_NAME, local);
                walk.starts[walk.depth] = (size_t)(open - text);
                walk.contents[walk.depth] = (size_t)(close + 1 - text);
                walk.depth++;
                events->Open(walk);
                if (empty) {
                    events->Close(walk, (size_t)(open - text), (size_t)(close + 1 - text));
                    walk.depth--;
                }
            }
        }
        p = close + 1;
    }
}

// 1 when the open elements are the names given, from the root.
int At(const XmlWalk &walk, std::initializer_list<const char *> path)
{
    if ((int)path.size() != walk.depth) return 0;
    int i = 0;
    for (const char *name : path)
        if (strcmp(walk.names[i++], name) != 0) return 0;
    return 1;
}

void Trim(char *text)
{
    size_t start = 0, length = strlen(text);
    while (text[start] == ' ' || text[start] == '\t' || text[start] == '\r' || text[start] == '\n') start++;
    while (length > start && (text[length - 1] == ' ' || text[length - 1] == '\t' || text[length - 1] == '\r' ||
                              text[length - 1] == '\n'))
        length--;
    memmove(text, text + start, length - start);
    text[length - start] = 0;
}

void AppendListed(char *out, size_t size, const char *piece)
{
    if (!piece[0]) return;
    if (out[0]) AppendTextCut(out, size, ", ");
    AppendTextCut(out, size, piece);
}

// What a task file tells.
struct TaskReader : XmlEvents {
    TaskFile *task;
    int isTask = 0;
    char value[TASK_TEXT_SIZE] = "";
    char command[TASK_TEXT_SIZE] = "", arguments[TASK_TEXT_SIZE] = "", classId[TASK_TEXT_SIZE] = "";
    char start[TASK_TEXT_SIZE] = "";
    int schedule = 0;   // 1 daily, 2 weekly, 3 monthly

    void Open(const XmlWalk &walk) override
    {
        value[0] = 0;
        if (walk.depth == 1 && strcmp(walk.names[0], "Task") == 0) isTask = 1;
        if (walk.depth == 3 && At(walk, {"Task", "Triggers", walk.names[2]})) {
            start[0] = 0;
            schedule = 0;
        }
        if (walk.depth == 3 && At(walk, {"Task", "Actions", walk.names[2]})) command[0] = arguments[0] = classId[0] = 0;
        if (walk.depth == 4 && strcmp(walk.names[1], "Triggers") == 0) {
            if (strcmp(walk.names[3], "ScheduleByDay") == 0) schedule = 1;
            if (strcmp(walk.names[3], "ScheduleByWeek") == 0) schedule = 2;
            if (strncmp(walk.names[3], "ScheduleByMonth", 15) == 0) schedule = 3;
        }
    }
    void Text(const XmlWalk &, const char *text, size_t length) override
    {
        AppendDecoded(value, sizeof value, text, length);
    }
    void Close(const XmlWalk &walk, size_t, size_t) override
    {
        Trim(value);
        if (At(walk, {"Task", "RegistrationInfo", "Author"})) CopyTextCut(task->author, TASK_TEXT_SIZE, value);
        if (At(walk, {"Task", "Settings", "Enabled"})) task->enabled = !TextEqualNoCase(value, "false");
        if (At(walk, {"Task", "Settings", "Hidden"})) task->hidden = TextEqualNoCase(value, "true");
        if (walk.depth == 4 && strcmp(walk.names[1], "Actions") == 0) {
            if (strcmp(walk.names[3], "Command") == 0) CopyTextCut(command, sizeof command, value);
            if (strcmp(walk.names[3], "Arguments") == 0) CopyTextCut(arguments, sizeof arguments, value);
            if (strcmp(walk.names[3], "ClassId") == 0) CopyTextCut(classId, sizeof classId, value);
        }
        if (walk.depth == 4 && strcmp(walk.names[1], "Triggers") == 0 && strcmp(walk.names[3], "StartBoundary") == 0)
            CopyTextCut(start, sizeof start, value);
        if (walk.depth == 3 && At(walk, {"Task", "Actions", walk.names[2]})) CloseAction(walk.names[2]);
        if (walk.depth == 3 && At(walk, {"Task", "Triggers", walk.names[2]})) CloseTrigger(walk.names[2]);
        value[0] = 0;
    }
    void CloseAction(const char *kind)
    {
        char words[TASK_TEXT_SIZE] = "";
        if (strcmp(kind, "Exec") == 0) {
            TaskCommandLine(command, arguments, words, sizeof words);
            if (task->actionCount == 0) {
                CopyTextCut(task->command, TASK_TEXT_SIZE, command);
                CopyTextCut(task->arguments, TASK_TEXT_SIZE, arguments);
            }
        } else if (strcmp(kind, "ComHandler") == 0) {
            char pattern[128];
            LoadUiString(3882, pattern, sizeof pattern);
            const char *values[] = {classId};
            FillTemplate(words, sizeof words, pattern, values, 1);
        } else {
            LoadUiString(strcmp(kind, "SendEmail") == 0 ? 3883 : 3884, words, sizeof words);
        }
        if (task->actions[0]) AppendTextCut(task->actions, TASK_TEXT_SIZE, "; ");
        AppendTextCut(task->actions, TASK_TEXT_SIZE, words);
        task->actionCount++;
    }
    void CloseTrigger(const char *kind)
    {
        static const struct {
            const char *element;
            UINT words;
        } kTriggers[] = {
            {"LogonTrigger", 3870},      {"BootTrigger", 3871},         {"IdleTrigger", 3872},
            {"TimeTrigger", 3873},       {"EventTrigger", 3877},        {"RegistrationTrigger", 3878},
            {"SessionStateChangeTrigger", 3879},
        };
        UINT words = 0;
        for (const auto &t : kTriggers)
            if (strcmp(kind, t.element) == 0) words = t.words;
        if (strcmp(kind, "CalendarTrigger") == 0) words = schedule == 1 ? 3874 : schedule == 2 ? 3875 : 3876;
        char time[16] = "", pattern[128], piece[256];
        // "2024-01-01T03:00:00": the hour and minute.
        if (strlen(start) >= 16 && start[10] == 'T') CopyTextN(time, sizeof time, start + 11, 5);
        if (!words) {
            CopyTextCut(piece, sizeof piece, kind);   // a trigger of its own kind, by its name
        } else {
            LoadUiString(words, pattern, sizeof pattern);
            const char *values[] = {time[0] ? time : "?"};
            FillTemplate(piece, sizeof piece, pattern, values, 1);
        }
        AppendListed(task->triggers, TASK_TEXT_SIZE, piece);
    }
};

}  // namespace

int ParseTaskFile(const char *bytes, size_t length, TaskFile *task)
{
    memset(task, 0, sizeof *task);
    task->enabled = 1;
    if (!bytes) return 0;
    int encoding, textLength = 0;
    char *text = TaskText(bytes, length, &encoding, &textLength);
    if (!text) return 0;
    TaskReader reader;
    reader.task = task;
    WalkXml(text, (size_t)textLength, &reader);
    free(text);
    return reader.isTask;
}

char *ReadTaskBytes(const char *path, DWORD *length)
{
    *length = 0;
    WideText wide(path);
    HANDLE file = CreateFileW(wide.get(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    // As much as the file holds, up to the most a task file can be.
    LARGE_INTEGER size;
    DWORD wanted = GetFileSizeEx(file, &size) && size.QuadPart < TASK_FILE_MAX ? (DWORD)size.QuadPart : TASK_FILE_MAX;
    char *bytes = (char *)malloc((size_t)wanted + 2);
    DWORD read = 0;
    if (bytes && !ReadFile(file, bytes, wanted, &read, nullptr)) {
        free(bytes);
        bytes = nullptr;
    }
    CloseHandle(file);
    if (bytes) {
        bytes[read] = bytes[read + 1] = 0;
        *length = read;
    }
    return bytes;
}

int ReadTaskFile(const char *path, TaskFile *task)
{
    memset(task, 0, sizeof *task);
    task->enabled = 1;
    DWORD length;
    char *bytes = ReadTaskBytes(path, &length);
    if (!bytes) return 0;
    ParseTaskFile(bytes, length, task);
    free(bytes);
    return 1;
}

void TaskCommandLine(const char *command, const char *arguments, char *out, size_t size)
{
    int quote = strchr(command, ' ') && command[0] != '"';
    FormatTextCut(out, size, "%s%s%s%s%s", quote ? "\"" : "", command, quote ? "\"" : "", arguments[0] ? " " : "",
                  arguments);
}

int TaskStoreFolder(char *out)
{
    out[0] = 0;
    char system[PATH_SIZE];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n == 0 || n >= sizeof system) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\Tasks", system);
}

namespace {
struct TaskWalk {
    TaskFileVisitor visit;
    void *context;
    int count;
    int stopped;
};

void WalkTaskFolder(const char *folder, const char *taskFolder, TaskWalk *walk, int depth)
{
    char pattern[PATH_SIZE];
    if (depth > 32 || !FormatText(pattern, sizeof pattern, "%s\\*", folder)) return;
    ForEachEntryOf(pattern, [&](const FolderEntry *entry) -> int {
        char file[PATH_SIZE], taskPath[PATH_SIZE];
        if (!FormatText(file, sizeof file, "%s\\%s", folder, entry->name) ||
            !FormatText(taskPath, sizeof taskPath, "%s\\%s", taskFolder, entry->name))
            return 1;   // a name too long for a path is no task file Windows reads
        if (entry->attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!(entry->attributes & FILE_ATTRIBUTE_REPARSE_POINT))
                WalkTaskFolder(file, taskPath, walk, depth + 1);
        } else {
            walk->count++;
            if (!walk->visit(taskPath, file, walk->context)) walk->stopped = 1;
        }
        return !walk->stopped;
    });
}
}  // namespace

int ForEachTaskFile(TaskFileVisitor visit, void *context)
{
    char folder[PATH_SIZE];
    if (!TaskStoreFolder(folder)) return 0;
    TaskWalk walk = {visit, context, 0, 0};
    WalkTaskFolder(folder, "", &walk, 0);
    return walk.count;
}

int TaskFileOf(const char *taskPath, char *out)
{
    out[0] = 0;
    if (!taskPath || taskPath[0] != '\\' || strchr(taskPath, '/') || strchr(taskPath, ':')) return 0;
    // Every part a plain name: no "..", ".", or empty part.
    for (const char *part = taskPath + 1; *part;) {
        const char *next = strchr(part, '\\');
        size_t n = next ? (size_t)(next - part) : strlen(part);
        if (n == 0 || (n == 1 && part[0] == '.') || (n == 2 && part[0] == '.' && part[1] == '.')) return 0;
        part += n + (next ? 1 : 0);
        if (next && !*part) return 0;
    }
    char folder[PATH_SIZE];
    if (!TaskStoreFolder(folder)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s%s", folder, taskPath);
}

namespace {
// Where Settings and its Enabled are in the text.
struct EnabledFinder : XmlEvents {
    long settingsContent = -1, settingsEnd = -1, enabledContent = -1, enabledEnd = -1, taskEnd = -1;
    void Open(const XmlWalk &walk) override
    {
        if (At(walk, {"Task", "Settings"})) settingsContent = (long)walk.contents[1];
        if (At(walk, {"Task", "Settings", "Enabled"})) enabledContent = (long)walk.contents[2];
    }
    void Close(const XmlWalk &walk, size_t contentEnd, size_t) override
    {
        if (At(walk, {"Task", "Settings", "Enabled"})) enabledEnd = (long)contentEnd;
        if (At(walk, {"Task", "Settings"})) settingsEnd = (long)contentEnd;
        if (At(walk, {"Task"})) taskEnd = (long)contentEnd;
    }
};
}  // namespace

char *TaskFileWithEnabled(const char *bytes, size_t length, int enabled, size_t *newLength)
{
    int encoding, textLength = 0;
    char *text = TaskText(bytes, length, &encoding, &textLength);
    if (!text) return nullptr;
    EnabledFinder finder;
    WalkXml(text, (size_t)textLength, &finder);
    const char *value = enabled ? "true" : "false";
    char piece[64];
    size_t cutFrom, cutTo;
    if (finder.enabledContent >= 0 && finder.enabledEnd >= finder.enabledContent) {
        cutFrom = (size_t)finder.enabledContent;
        cutTo = (size_t)finder.enabledEnd;
        CopyText(piece, sizeof piece, value);
    } else if (finder.settingsContent >= 0) {
        cutFrom = cutTo = (size_t)finder.settingsContent;
        FormatText(piece, sizeof piece, "<Enabled>%s</Enabled>", value);
    } else if (finder.taskEnd >= 0) {
        cutFrom = cutTo = (size_t)finder.taskEnd;
        FormatText(piece, sizeof piece, "<Settings><Enabled>%s</Enabled></Settings>", value);
    } else {
        free(text);
        return nullptr;
    }
    size_t pieceLength = strlen(piece);
    size_t changedLength = (size_t)textLength - (cutTo - cutFrom) + pieceLength;
    char *changed = (char *)malloc(changedLength + 1);
    char *out = nullptr;
    if (changed) {
        memcpy(changed, text, cutFrom);
        memcpy(changed + cutFrom, piece, pieceLength);
        memcpy(changed + cutFrom + pieceLength, text + cutTo, (size_t)textLength - cutTo);
        changed[changedLength] = 0;
        out = EncodedText(changed, changedLength, encoding, newLength);
        free(changed);
    }
    free(text);
    return out;
}
