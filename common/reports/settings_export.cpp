// The settings export: the user's settings and the maker's machine-wide
// key written as a registry script that the registry editor imports again.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "data_folders.h"
#include "program_files.h"
#include "report_writer.h"
#include "reports.h"
#include "store.h"
#include "text.h"
#include "unicode_text.h"

namespace {

struct ExportState {
    ReportFile *file;
    const char *rootName;
    const char *path;
    char *skipped;
    int skippedSize;
    int written;
};

const char *RootName(HKEY root)
{
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_USERS) return "HKEY_USERS";
    if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
    return "HKEY_LOCAL_MACHINE";
}

// A quoted text of the script: backslashes and quotes escaped.
void WriteQuoted(ReportFile *file, const char *text, size_t length)
{
    ReportWrite(file, "\"");
    const char *run = text;
    for (const char *c = text; c < text + length; c++) {
        if (*c != '\\' && *c != '"') continue;
        ReportWriteBytes(file, run, (size_t)(c - run));
        ReportWrite(file, *c == '\\' ? "\\\\" : "\\\"");
        run = c + 1;
    }
    ReportWriteBytes(file, run, (size_t)(text + length - run));
    ReportWrite(file, "\"");
}

void WriteHexBytes(ReportFile *file, const BYTE *data, size_t count)
{
    for (size_t i = 0; i < count; i++) ReportFormat(file, i ? ",%02x" : "%02x", data[i]);
}

// The data of a text value of several strings or with variables, as a
// script of this version keeps it: the UTF-16 bytes of the text, its zeros
// included.
void WriteWideHex(ReportFile *file, const StoreBlob *value)
{
    if (!value->size) return;
    WideText wide((const char *)value->data, (int)value->size);
    if (wide.get()) WriteHexBytes(file, (const BYTE *)wide.get(), sizeof(WCHAR) * (size_t)wide.units());
}

void NoteSkipped(ExportState *state, const char *name)
{
    char line[1200], shown[800];
    FileText(name, shown, sizeof shown);
    FormatTextCut(line, sizeof line, "%s\\%s: %s\n", state->rootName, state->path, name[0] ? shown : "@");
    AppendTextCut(state->skipped, (size_t)state->skippedSize, line);
}

int ExportValue(ExportState *state, const char *name, const StoreBlob *value)
{
    ReportFile *file = state->file;
    const char *text = (const char *)value->data;
    size_t textLength = value->type == REG_SZ ? strlen(text) : 0;
    // A line break cannot stand in a name, nor in a quoted text; nor can a
    // NUL or a lone surrogate, which a script does not carry.
    if (strpbrk(name, "\r\n") || (value->type == REG_SZ && memchr(text, '\n', textLength)) ||
        (value->type == REG_SZ && memchr(text, '\r', textLength)) || !TextIsPlain(name) ||
        (value->type == REG_SZ && !TextIsPlain(text))) {
        NoteSkipped(state, name);
        return 1;
    }
    if (name[0])
        WriteQuoted(file, name, strlen(name));
    else
        ReportWrite(file, "@");
    ReportWrite(file, "=");
    if (value->type == REG_SZ) {
        WriteQuoted(file, text, textLength);
    } else if (value->type == REG_DWORD && value->size == 4) {
        DWORD number;
        memcpy(&number, value->data, 4);
        ReportFormat(file, "dword:%08lx", (unsigned long)number);
    } else if (value->type == REG_EXPAND_SZ || value->type == REG_MULTI_SZ) {
        ReportFormat(file, "hex(%lu):", (unsigned long)value->type);
        WriteWideHex(file, value);
    } else {
        if (value->type == REG_BINARY)
            ReportWrite(file, "hex:");
        else
            ReportFormat(file, "hex(%lx):", (unsigned long)value->type);
        WriteHexBytes(file, value->data, value->size);
    }
    ReportWrite(file, "\r\n");
    state->written++;
    return 1;
}

int ExportValues(ExportState *state, HKEY root, const char *path)
{
    state->path = path;
    state->written = 0;
    StoreForEachValue(root, 0, path, [&](const char *name, const StoreBlob *value) {
        return ExportValue(state, name, value);
    });
    return state->written;
}

// A key and every key below it (the store's deepest keys are a few levels
// down: disabled entries' saved copies, the delay values, the monitored
// files' records).
int ExportTree(ExportState *state, HKEY root, const char *path, int depth)
{
    StoreKeyName *names;
    int count;
    StoreListSubkeys(root, 0, path, &names, &count);
    int keys = 0;
    for (int i = 0; i < count; i++) {
        char subkey[2048];
        if (depth >= 16 || !FormatText(subkey, sizeof subkey, "%s\\%s", path, names[i])) {
            // Too deep or too long to name: said, never cut into another key.
            state->path = path;
            NoteSkipped(state, names[i]);
            continue;
        }
        ReportFormat(state->file, "\r\n[%s\\%s]\r\n", state->rootName, subkey);
        ExportValues(state, root, subkey);
        keys += 1 + ExportTree(state, root, subkey, depth + 1);
    }
    free(names);
    return keys;
}

int ExportKey(ExportState *state, HKEY root, const char *path)
{
    state->rootName = RootName(root);
    ReportFormat(state->file, "[%s\\%s]\r\n", state->rootName, path);
    ExportValues(state, root, path);
    int count = ExportTree(state, root, path, 1);
    ReportWrite(state->file, "\r\n");
    return count;
}

}  // namespace

int ExportPathOf(char *out)
{
    out[0] = 0;
    char folder[PATH_SIZE], user[228];
    DWORD size = sizeof user;
    if (!GetUserDataFolder(folder) || !GetUserNameA(user, &size)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\%s" EXPORT_FILE_TAIL, folder, user);
}

int ExportSettingsFile(const char *path, char *skipped, int skippedSize)
{
    if (skipped && skippedSize > 0) skipped[0] = 0;
    char none[1];
    ReportFile file;
    // Unicode text, as the registry editor reads a script of this version.
    if (!ReportOpenWide(&file, path)) return 0;
    ExportState state = {&file, "", "", skipped ? skipped : none, skipped ? skippedSize : 1, 0};
    ReportWrite(&file, "Windows Registry Editor Version 5.00\r\n\r\n");
    ExportKey(&state, HKEY_CURRENT_USER, STORE_ROOT);
    ExportKey(&state, HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvendale");
    return ReportClose(&file);
}
