#include "vault.h"

#include <cstdlib>
#include <cstring>

#include "data_folders.h"
#include "folder_walk.h"
#include "program_files.h"
#include "store.h"
#include "text.h"

#define SHELL_FOLDERS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"

namespace {
const DWORD kCompareChunk = 64 * 1024;
const int kMostVaultCopies = 9999;

// The n-th vault name of a file: its own name, then "name (2).ext", ...
int VaultCandidate(const char *name, int n, char *out)
{
    if (n <= 1) return (int)CopyText(out, PATH_SIZE, name);
    const char *dot = strrchr(name, '.');
    size_t stem = dot && dot != name ? (size_t)(dot - name) : strlen(name);
    char base[PATH_SIZE];
    CopyTextN(base, sizeof base, name, stem);
    return (int)FormatText(out, PATH_SIZE, "%s (%d)%s", base, n, name + stem);
}

}  // namespace

// The full path of a copy; 0 for a name that is not plainly a file of the
// vault itself (a history line is untrusted).
int VaultCopyPath(const char *vaultName, char *out)
{
    out[0] = 0;
    if (!vaultName || !vaultName[0] || strchr(vaultName, '\\') || strchr(vaultName, '/') ||
        strchr(vaultName, ':') || !strcmp(vaultName, ".") || !strcmp(vaultName, "..")) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    char vault[PATH_SIZE];
    if (!GetVault(vault) || !JoinPath(out, PATH_SIZE, vault, vaultName)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    return 1;
}

int DropVaultCopy(const char *vaultName)
{
    char copy[PATH_SIZE];
    if (!VaultCopyPath(vaultName, copy)) return 0;
    SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(copy) ? 1 : 0;
}

int GetVaultFolder(char *out)
{
    out[0] = 0;
    char appData[PATH_SIZE], copyFolder[PATH_SIZE], vault[PATH_SIZE];
    if (StoreReadString(HKEY_CURRENT_USER, SHELL_FOLDERS_KEY, "AppData", appData, sizeof appData) > 0 &&
        FormatText(copyFolder, sizeof copyFolder, "%s\\Sentrel", appData) &&
        FormatText(vault, sizeof vault, "%s\\vault", copyFolder)) {
        CreateDirectoryA(copyFolder, nullptr);
        CreateDirectoryA(vault, nullptr);
        DWORD attributes = GetFileAttributesA(vault);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return (int)CopyText(out, PATH_SIZE, copyFolder);
    }
    return GetDataFolder(out);
}

int GetVault(char *out)
{
    char copyFolder[PATH_SIZE];
    out[0] = 0;
    if (!GetVaultFolder(copyFolder) || !FormatText(out, PATH_SIZE, "%s\\vault", copyFolder)) return 0;
    // The copy folder may be the program folder, which has no vault yet.
    CreateDirectoryA(out, nullptr);
    DWORD attributes = GetFileAttributesA(out);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        out[0] = 0;
        return 0;
    }
    return (int)strlen(out);
}

int SameFileContent(const char *a, const char *b)
{
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE first = CreateFileA(a, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    HANDLE second = CreateFileA(b, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    char *buffers = (char *)malloc(2 * kCompareChunk);
    int same = 0;
    LARGE_INTEGER size1, size2;
    if (first != INVALID_HANDLE_VALUE && second != INVALID_HANDLE_VALUE && buffers &&
        GetFileSizeEx(first, &size1) && GetFileSizeEx(second, &size2) && size1.QuadPart == size2.QuadPart) {
        same = 1;
        for (;;) {
            DWORD got1 = 0, got2 = 0;
            if (!ReadFile(first, buffers, kCompareChunk, &got1, nullptr) ||
                !ReadFile(second, buffers + kCompareChunk, kCompareChunk, &got2, nullptr) || got1 != got2 ||
                memcmp(buffers, buffers + kCompareChunk, got1) != 0) {
                same = 0;
                break;
            }
            if (got1 == 0) break;
        }
    }
    free(buffers);
    if (first != INVALID_HANDLE_VALUE) CloseHandle(first);
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    return same;
}

int CopyIntoVault(const char *path, char *vaultName)
{
    if (vaultName) vaultName[0] = 0;
    char vault[PATH_SIZE], name[PATH_SIZE];
    if (!GetVault(vault)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!path || FileNamePart(path, name, sizeof name) <= 0) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    char candidate[PATH_SIZE], copy[PATH_SIZE];
    int copied = 0;
    for (int n = 1; n <= kMostVaultCopies && !copied; n++) {
        if (!VaultCandidate(name, n, candidate) || !JoinPath(copy, sizeof copy, vault, candidate)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return 0;
        }
        // An existing copy is never replaced: it may be the only one of
        // another file of the same name.
        if (CopyFileA(path, copy, TRUE)) {
            copied = 1;
            break;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return 0;
    }
    if (!copied) {
        SetLastError(ERROR_FILE_EXISTS);
        return 0;
    }
    if (!SameFileContent(path, copy)) {
        SetFileAttributesA(copy, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy);
        SetLastError(ERROR_WRITE_FAULT);
        return 0;
    }
    // The copy keeps the marks a restore gives back (never hidden: the
    // vault is the user's to see).
    DWORD kept = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesA(copy, kept ? kept : FILE_ATTRIBUTE_NORMAL);
    if (vaultName) CopyText(vaultName, PATH_SIZE, candidate);
    return 1;
}

int MoveIntoVault(const char *path, char *vaultName)
{
    char name[PATH_SIZE];
    if (!CopyIntoVault(path, name)) return 0;
    DWORD attributes = GetFileAttributesA(path);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path)) {
        DWORD error = GetLastError();
        // Left as it was; the unused copy goes.
        SetFileAttributesA(path, attributes);
        DropVaultCopy(name);
        SetLastError(error);
        return 0;
    }
    if (vaultName) CopyText(vaultName, PATH_SIZE, name);
    return 1;
}

int CopyOutOfVault(const char *vaultName, const char *path, DWORD attributes)
{
    char copy[PATH_SIZE];
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!VaultCopyPath(vaultName, copy)) return 0;
    if (!CopyFileA(copy, path, TRUE)) return 0;
    if (attributes) SetFileAttributesA(path, attributes);
    return 1;
}
