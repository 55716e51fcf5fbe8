// Hidden files of the watched places, their baseline, and the vault.
#include "hidden_files.h"

#include <cstdlib>
#include <cstring>

#include "dates.h"
#include "folder_walk.h"
#include "history.h"
#include "items.h"
#include "platform.h"
#include "processes.h"
#include "program_files.h"
#include "registry_views.h"
#include "vault.h"
#include "text.h"
#include "ui_strings.h"
#include "vault.h"
#include "version_names.h"

namespace {
const char kCommonFilesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const int kMostStops = 8;   // a program that restarts itself is not chased for ever

// The place itself, in its long form and without a trailing backslash
// (a drive root keeps its own). 0 when it does not exist as a folder.
int SettlePlace(const char *found, char *out)
{
    out[0] = 0;
    if (!found || !found[0]) return 0;
    char folder[PATH_SIZE];
    if (!GetLongPath(folder, found) && !folder[0]) return 0;
    RemoveBackslash(folder, 1);
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    return (int)CopyText(out, PATH_SIZE, folder);
}

// The place of an index before duplicates are weeded out.
int RawPlace(int index, char *folder, int *depth)
{
    char found[PATH_SIZE] = "";
    *depth = 1;
    switch (index) {
    case 0:
        *depth = 0;
        CopyText(found, sizeof found, "C:\\");
        break;
    case 1:
        *depth = 0;
        if (!GetWindowsDirectoryA(found, sizeof found)) found[0] = 0;
        break;
    case 2:
        if (!GetSystemDirectoryA(found, sizeof found)) found[0] = 0;
        break;
    case 3:
        StoreReadString(HKEY_LOCAL_MACHINE, kCommonFilesKey, "CommonFilesDir", found, sizeof found);
        break;
    case 4:
        // 32-bit programs keep their shared files apart on 64-bit Windows.
        if (HasRegistryViews())
            StoreReadStringIn(HKEY_LOCAL_MACHINE, RegistryViewFlag(VIEW_32), kCommonFilesKey, "CommonFilesDir",
                              found, sizeof found);
        break;
    case 5: {
        DWORD n = GetTempPathA(sizeof found, found);
        if (n == 0 || n >= sizeof found) found[0] = 0;
        break;
    }
    default:
        return 0;
    }
    return SettlePlace(found, folder);
}

struct Walk {
    HiddenFileVisitor visit;
    void *context;
    int count;
    int stopped;
};

int VisitFound(const char *path, DWORD attributes, LPARAM param)
{
    Walk *walk = (Walk *)param;
    // Folders (hidden ones too) are not files; only hidden files count.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
    if (!(attributes & FILE_ATTRIBUTE_HIDDEN)) return 0;
    walk->count++;
    if (!walk->visit(path, attributes, walk->context)) {
        walk->stopped = 1;
        return 1;
    }
    return 0;
}

// --- The item list -------------------------------------------------------------

// Only program files (they begin with "MZ") carry version information:
// most hidden files are data, and reading them as programs is slow.
int MayHaveVersion(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;   // let the version reader decide
    char head[2] = {0, 0};
    DWORD got = 0;
    BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
    CloseHandle(file);
    return !read || (got == 2 && head[0] == 'M' && head[1] == 'Z');
}

int leftOut;

int AddHiddenItem(const char *path, DWORD attributes, void *)
{
    if (ItemCount() >= HIDDEN_FILES_MAX) {
        // Counted, so that the page can say that the list is not whole.
        leftOut++;
        return 1;
    }
    VersionNames names = {};
    if (MayHaveVersion(path)) ReadVersionNames(path, &names);
    ItemIdentity identity = {path, VIEW_NATIVE, 0, nullptr};
    if (!AddItemAs(identity, names.fileDescription, path, path, "", ITEM_HIDDEN,
                   (attributes & FILE_ATTRIBUTE_SYSTEM) ? 0 : 1))
        leftOut++;
    return 1;
}

// Every place, each found once: its folder (long form, no trailing
// backslash except for a drive root) and walk depth; an empty folder where
// the place cannot be found or an earlier place already covers it (a
// folder is walked once).
void FindPlaces(char (*folders)[PATH_SIZE], int *depths)
{
    for (int index = 0; index < HIDDEN_PLACE_COUNT; index++) {
        char *folder = folders[index];
        if (!RawPlace(index, folder, &depths[index])) continue;
        for (int earlier = 0; earlier < index; earlier++)
            if (folders[earlier][0] && depths[earlier] >= depths[index] && TextEqualNoCase(folders[earlier], folder)) {
                folder[0] = 0;
                break;
            }
    }
}
}  // namespace

int ForEachHiddenFile(HiddenFileVisitor visit, void *context)
{
    if (!visit) return 0;
    Walk walk = {visit, context, 0, 0};
    char folders[HIDDEN_PLACE_COUNT][PATH_SIZE];
    int depths[HIDDEN_PLACE_COUNT];
    FindPlaces(folders, depths);
    for (int i = 0; i < HIDDEN_PLACE_COUNT && !walk.stopped; i++)
        if (folders[i][0]) WalkFolder(folders[i], VisitFound, depths[i], (LPARAM)&walk);
    return walk.count;
}

int ListHiddenFiles(void)
{
    FreeItems();
    leftOut = 0;
    ForEachHiddenFile(AddHiddenItem, nullptr);
    return ItemCount();
}

int HiddenFilesLeftOut(void)
{
    return leftOut;
}

int HiddenFileTitle(const char *path, char *out, int size)
{
    VersionNames names = {};
    if (MayHaveVersion(path)) ReadVersionNames(path, &names);
    if (names.fileDescription[0]) return (int)CopyTextCut(out, (size_t)size, names.fileDescription);
    // As the item list names a record without a title: the file name without its extension.
    const char *name = path + FileNameIndex(path);
    const char *dot = strrchr(name, '.');
    size_t len = dot && dot != name ? (size_t)(dot - name) : strlen(name);
    return (int)CopyTextN(out, (size_t)size, name, len);
}

int IsHiddenFileKnown(const char *path)
{
    char date[DATE_TEXT_SIZE];
    return path && path[0] && StoreReadString(HKEY_CURRENT_USER, HIDDEN_BASELINE, path, date, sizeof date) > 0;
}

int AcceptHiddenFile(const char *path)
{
    if (!path || !path[0]) return 0;
    char date[DATE_TEXT_SIZE];
    FormatNow(date);
    return StoreWriteString(HKEY_CURRENT_USER, HIDDEN_BASELINE, path, date);
}

int GetHiddenVault(char *out)
{
    return GetVault(out);
}

int RemoveHiddenFile(const char *title, const char *path)
{
    return RemoveHiddenFileTo(title, path, nullptr);
}

int RemoveHiddenFileTo(const char *title, const char *path, char *vaultName)
{
    if (vaultName) vaultName[0] = 0;
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    for (int i = 0; i < kMostStops && StopProgram(path, title, 0); i++) {
    }
    char name[PATH_SIZE] = "";
    int deleted = MoveIntoVault(path, name);
    DWORD error = GetLastError();
    if (deleted) {
        // The copy's name lets the history put this very file back.
        WriteHistory(title ? title : "", path, name, ITEM_HIDDEN, 29);
        if (vaultName) CopyText(vaultName, PATH_SIZE, name);
    }
    StoreDeleteValue(HKEY_CURRENT_USER, HIDDEN_BASELINE, path);
    SetLastError(deleted ? ERROR_SUCCESS : error);
    return deleted;
}

int RestoreHiddenFile(const char *path, const char *vaultName)
{
    char name[PATH_SIZE];
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (vaultName && vaultName[0])
        CopyText(name, sizeof name, vaultName);
    else
        FileNamePart(path, name, sizeof name);
    // Back as a hidden file, with the read-only and system marks it had.
    char vault[PATH_SIZE], copy[PATH_SIZE];
    DWORD kept = GetVault(vault) && JoinPath(copy, sizeof copy, vault, name) ? GetFileAttributesA(copy)
                                                                                         : INVALID_FILE_ATTRIBUTES;
    DWORD attributes = FILE_ATTRIBUTE_HIDDEN;
    if (kept != INVALID_FILE_ATTRIBUTES)
        attributes |= kept & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    return CopyOutOfVault(name, path, attributes);
}

int DescribeRemovalFailure(const char *path, DWORD error, char *out, int size)
{
    char pattern[512], reason[512] = "";
    if (!out || size <= 0) return 0;
    out[0] = 0;
    LoadUiString(3700, pattern, sizeof pattern);
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, reason,
                             sizeof reason, nullptr);
    if (n == 0) FormatText(reason, sizeof reason, "%lu", (unsigned long)error);
    const char *values[] = {path ? path : "", reason};
    if (!FillTemplate(out, size, pattern, values, 2)) CopyTextCut(out, (size_t)size, pattern);
    return (int)strlen(out);
}
