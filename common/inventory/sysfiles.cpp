// Monitored system files (HOSTS and the boot files) and their copies, and
// the restart commands of Windows 9x.
#include "sysfiles.h"

#include <cstdlib>
#include <cstring>

#include "dates.h"
#include "growing_array.h"
#include "inventory.h"
#include "locations.h"
#include "platform.h"
#include "program_files.h"
#include "text.h"
#include "vault.h"
#include "watch_places.h"

int GetHostsPath(char *out, int size)
{
    char folder[PATH_SIZE];
    if (IsNtFamily()) {
        UINT n = GetSystemDirectoryA(folder, sizeof folder);
        if (n == 0 || n >= sizeof folder) return 0;
        return (int)FormatText(out, size, "%s\\drivers\\etc\\HOSTS", folder);
    }
    UINT n = GetWindowsDirectoryA(folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) return 0;
    return (int)FormatText(out, size, "%s\\HOSTS", folder);
}


namespace {
const char kRecordValues[][12] = {"Location", "Date", "Size", "Type"};

int RecordKey(const char *name, char *out, size_t size)
{
    return name && name[0] && FormatText(out, size, "%s\\%s", SYSFILES_KEY, name) ? 1 : 0;
}

// A name the file system would read as something else than one plain file
// in the copy folder.
int IsDeviceName(const char *name)
{
    static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    char stem[16];
    size_t n = strcspn(name, ".");
    if (n >= sizeof stem) return 0;
    CopyTextN(stem, sizeof stem, name, n);
    for (const char *device : kDevices)
        if (TextEqualNoCase(stem, device)) return 1;
    if (n != 4 || name[3] < '1' || name[3] > '9') return 0;
    stem[3] = 0;
    return TextEqualNoCase(stem, "COM") || TextEqualNoCase(stem, "LPT");
}

int MustEscape(const char *name, size_t i, size_t length)
{
    unsigned char c = (unsigned char)name[i];
    if (c < 32 || strchr("\\/:*?\"<>|%", c)) return 1;
    // Windows drops a trailing dot or blank; "." and ".." are folders.
    if (i == length - 1 && (c == '.' || c == ' ')) return 1;
    // A device, or the hidden-file vault beside the copies.
    return i == 0 && (IsDeviceName(name) || TextEqualNoCase(name, "vault"));
}

void WriteState(const char *key, const FileState &state)
{
    StoreWriteString(HKEY_LOCAL_MACHINE, key, "Date", state.date);
    StoreWriteString(HKEY_LOCAL_MACHINE, key, "Size", state.size);
}

// Copies a file over another; both lose their read-only attribute for the
// copy and get their attributes back afterwards. 1 or 0 (the last error
// tells why).
int CopyKeepingAttributes(const char *from, const char *to)
{
    DWORD fromAttributes = GetFileAttributesA(from);
    if (fromAttributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (fromAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    DWORD toAttributes = GetFileAttributesA(to);
    SetFileAttributesA(from, fromAttributes & ~FILE_ATTRIBUTE_READONLY);
    if (toAttributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(to, toAttributes & ~FILE_ATTRIBUTE_READONLY);
    BOOL copied = CopyFileA(from, to, FALSE);
    DWORD error = GetLastError();
    SetFileAttributesA(from, fromAttributes);
    if (toAttributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(to, toAttributes);
    else if (copied) SetFileAttributesA(to, fromAttributes);
    SetLastError(copied ? ERROR_SUCCESS : error);
    return copied ? 1 : 0;
}

// 1 when the file holds its copy's bytes, or when there is no copy to tell.
int SameContentAsCopy(const MonitoredRecord *record)
{
    char copy[PATH_SIZE];
    if (!GetMonitoredCopyPath(record->name, copy) || GetFileAttributesA(copy) == INVALID_FILE_ATTRIBUTES) return 1;
    return SameFileContent(record->location, copy);
}

// The file still carries the time and size of its copy: what was accepted.
int SameAsCopy(const char *name, const FileState &state, const FileDates *dates)
{
    char copy[PATH_SIZE];
    FileState copied;
    if (!GetMonitoredCopyPath(name, copy) || !ReadFileState(copy, &copied, dates)) return 0;
    return copied.bytes == state.bytes && CompareFileTime(&copied.written, &state.written) == 0;
}
}  // namespace

int GetMonitoredCopyPath(const char *name, char *out)
{
    out[0] = 0;
    char folder[PATH_SIZE], file[PATH_SIZE * 3];
    size_t length = name ? strlen(name) : 0;
    if (length == 0 || length >= SYSFILE_NAME_SIZE || !GetVaultFolder(folder)) return 0;
    size_t n = 0;
    for (size_t i = 0; i < length; i++) {
        if (MustEscape(name, i, length))
            n += FormatText(file + n, sizeof file - n, "%%%02X", (unsigned char)name[i]);
        else
            file[n++] = name[i];
    }
    file[n] = 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\%s", folder, file);
}

void ReadFileDates(FileDates *dates)
{
    ReadDateFormat(&dates->format);
    dates->haveZone = GetTimeZoneInformation(&dates->zone) != TIME_ZONE_ID_INVALID;
}

int ReadFileState(const char *path, FileState *state, const FileDates *dates)
{
    memset(state, 0, sizeof *state);
    FileDates now;
    if (!dates) {
        ReadFileDates(&now);
        dates = &now;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !path[0] || !GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    state->written = data.ftLastWriteTime;
    state->bytes = ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    FormatText(state->size, sizeof state->size, "%llu", (unsigned long long)state->bytes);
    SYSTEMTIME universal, local;
    if (FileTimeToSystemTime(&data.ftLastWriteTime, &universal) &&
        SystemTimeToTzSpecificLocalTime(dates->haveZone ? &dates->zone : nullptr, &universal, &local)) {
        char date[DATE_TEXT_SIZE];
        FormatDateTimeAs(&dates->format, &local, date);
        CopyText(state->date, sizeof state->date, date);
    }
    return 1;
}

int ReadMonitoredRecord(const char *name, MonitoredRecord *record)
{
    memset(record, 0, sizeof *record);
    char key[400];
    if (!RecordKey(name, key, sizeof key) || !CopyText(record->name, sizeof record->name, name)) return 0;
    StoreText texts[] = {{kRecordValues[0], record->location, sizeof record->location},
                         {kRecordValues[1], record->date, sizeof record->date},
                         {kRecordValues[2], record->size, sizeof record->size},
                         {kRecordValues[3], record->type, sizeof record->type}};
    unsigned present = StoreReadStrings(HKEY_LOCAL_MACHINE, key, texts, 4);
    record->hasDate = (present & 2) != 0;
    record->hasSize = (present & 4) != 0;
    return present != 0 || StoreKeyExists(HKEY_LOCAL_MACHINE, key);
}

int CompareMonitoredFile(const MonitoredRecord *record, const FileDates *dates)
{
    FileState now;
    char key[400];
    if (!RecordKey(record->name, key, sizeof key) || !ReadFileState(record->location, &now, dates)) return 0;
    long type = DecimalValue(record->type);
    const char *storedSize = record->size;
    if (!record->hasSize || DecimalValue(record->size) == 0) {
        StoreWriteString(HKEY_LOCAL_MACHINE, key, "Size", now.size);
        storedSize = now.size;
    }
    if (!record->hasDate) {
        StoreWriteString(HKEY_LOCAL_MACHINE, key, "Date", now.date);
        return 0;
    }
    // "Date" holds minutes only: a file rewritten within the minute of its
    // record still shows itself by its size. A file rewritten to the same
    // size with its old time set back shows itself by its content, which the
    // copy holds as it was accepted.
    int sameSize = strcmp(storedSize, now.size) == 0;
    if ((strcmp(record->date, now.date) == 0 || type == 0) && sameSize) return !SameContentAsCopy(record);
    // The date reads differently. After a change of the date format or of
    // the time zone, and after a restore, the file still carries the exact
    // time and size of its copy: nothing has changed.
    if (SameAsCopy(record->name, now, dates)) {
        WriteState(key, now);
        return 0;
    }
    return 1;
}

int AddMonitoredFile(const char *name, const char *path, const char *description, int type)
{
    char key[400], copy[PATH_SIZE];
    // The whole key path must stay within the registry's 255 characters.
    if (!RecordKey(name, key, sizeof key) || strlen(key) > 255) return 0;
    StoreCreateKey(HKEY_LOCAL_MACHINE, key);
    FileState state;
    if (!ReadFileState(path, &state, nullptr)) return 0;
    int copied = GetMonitoredCopyPath(name, copy) && CopyKeepingAttributes(path, copy);
    // The copy carries the file's time: its facts are what was registered.
    FileState registered;
    if (copied && ReadFileState(copy, &registered, nullptr)) state = registered;
    WriteState(key, state);
    StoreWriteDecimal(HKEY_LOCAL_MACHINE, key, "Type", type);
    if (description && description[0]) StoreWriteString(HKEY_LOCAL_MACHINE, key, "Comment", description);
    StoreWriteString(HKEY_LOCAL_MACHINE, key, "Location", path);
    return copied;
}

int AcceptMonitoredFile(const char *name, const char *path, int stopWatching)
{
    char key[400], copy[PATH_SIZE];
    if (!RecordKey(name, key, sizeof key)) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    if (stopWatching) StoreDeleteKey(HKEY_LOCAL_MACHINE, key);
    FileState state;
    if (!ReadFileState(path, &state, nullptr)) {
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!GetMonitoredCopyPath(name, copy)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (!CopyKeepingAttributes(path, copy)) return 0;
    // The new date and size are the accepted state only once the copy
    // holds the accepted content; the copy's own facts are that content's.
    FileState accepted;
    WriteState(key, ReadFileState(copy, &accepted, nullptr) ? accepted : state);
    SetLastError(ERROR_SUCCESS);
    return 1;
}

int RestoreMonitoredFile(const char *name, const char *path, int stopWatching)
{
    char key[400], copy[PATH_SIZE];
    if (!RecordKey(name, key, sizeof key) || !path || !path[0]) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    if (stopWatching) StoreDeleteKey(HKEY_LOCAL_MACHINE, key);
    if (!GetMonitoredCopyPath(name, copy)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (GetFileAttributesA(copy) == INVALID_FILE_ATTRIBUTES) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!CopyKeepingAttributes(copy, path)) return 0;
    // The restored file is the accepted one: it must not alert again,
    // whatever the date format is today.
    FileState restored;
    if (!stopWatching && ReadFileState(path, &restored, nullptr)) WriteState(key, restored);
    SetLastError(ERROR_SUCCESS);
    return 1;
}

namespace {
struct NameList {
    char (*names)[SYSFILE_NAME_SIZE];
    int count, room;
};

int CollectName(const char *name, void *context)
{
    NameList *list = (NameList *)context;
    if (!name[0]) return 1;
    if (!MakeRoomForOne(list->names, list->count, list->room, 16)) return 0;
    CopyTextCut(list->names[list->count++], SYSFILE_NAME_SIZE, name);
    return 1;
}
}  // namespace

char (*ListMonitoredFiles(int *count))[SYSFILE_NAME_SIZE]
{
    NameList list = {nullptr, 0, 0};
    StoreEnumSubkeys(HKEY_LOCAL_MACHINE, SYSFILES_KEY, CollectName, &list);
    *count = list.count;
    if (list.count == 0) {
        free(list.names);
        return nullptr;
    }
    return list.names;
}

// --- Restart commands -------------------------------------------------------

int GetRestartCommandsPath(char *out)
{
    out[0] = 0;
    char folder[PATH_SIZE], program[PATH_SIZE];
    UINT n = GetWindowsDirectoryA(folder, sizeof folder);
    if (n == 0 || n >= sizeof folder || !FormatText(program, sizeof program, "%s\\wininit.exe", folder))
        return 0;
    DWORD attributes = GetFileAttributesA(program);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\wininit.ini", folder);
}

namespace {
HANDLE OpenRestartCommands(const char *path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

int HasRestartCommands(const char *path)
{
    HANDLE file = OpenRestartCommands(path);
    if (file == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size;
    BOOL known = GetFileSizeEx(file, &size);
    CloseHandle(file);
    return known && size.QuadPart > 0;
}

char *ReadRestartCommandsText(const char *path, int *longer)
{
    *longer = 0;
    HANDLE file = OpenRestartCommands(path);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    char *raw = (char *)malloc(RESTART_SHOWN_BYTES + 1);
    // Each byte may become two (a line end gains its CR).
    char *text = (char *)malloc(2 * RESTART_SHOWN_BYTES + 1);
    DWORD got = 0;
    BOOL read = raw && text && ReadFile(file, raw, RESTART_SHOWN_BYTES + 1, &got, nullptr);
    CloseHandle(file);
    if (!read) {
        free(raw);
        free(text);
        return nullptr;
    }
    if (got > RESTART_SHOWN_BYTES) {
        *longer = 1;
        got = RESTART_SHOWN_BYTES;
    }
    size_t n = 0;
    for (DWORD i = 0; i < got; i++) {
        char c = raw[i];
        if (c == '\r') {
            text[n++] = '\r';
            text[n++] = '\n';
            if (i + 1 < got && raw[i + 1] == '\n') i++;
        } else if (c == '\n') {
            text[n++] = '\r';
            text[n++] = '\n';
        } else {
            text[n++] = c == 0 ? ' ' : c;
        }
    }
    text[n] = 0;
    free(raw);
    return text;
}

int DeleteRestartCommands(const char *path)
{
    if (!path || !path[0]) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path) ? 1 : 0;
}

void ForEachMonitoredFilePlace(WatchPlaceVisitor visit, void *context)
{
    int count = 0;
    char (*names)[SYSFILE_NAME_SIZE] = ListMonitoredFiles(&count);
    for (int i = 0; i < count; i++) {
        MonitoredRecord record;
        if (!ReadMonitoredRecord(names[i], &record) || !record.location[0]) continue;
        char folder[PATH_SIZE];
        if (!CopyText(folder, sizeof folder, record.location)) continue;
        char *slash = strrchr(folder, '\\');
        if (!slash) continue;
        // "C:\boot.ini" lives in "C:\".
        if (slash == folder + 2 && folder[1] == ':')
            slash[1] = 0;
        else
            *slash = 0;
        WatchPlace place = {WATCH_FOLDER, nullptr, VIEW_NATIVE, 0, folder};
        visit(&place, context);
    }
    free(names);
}
