// The hidden-files scan of the watched places over a tree of 20,000 files
// (1 in 100 of them hidden) made in the temporary folder's subfolders,
// against a floor measured in the same run that makes the same system
// calls for the same result: the places found as the scan finds them (the
// Windows, system and temporary folders, CommonFilesDir of both registry
// views, each checked to be a folder), a FindFirstFileW walk of each to its
// depth, and for every hidden file the first two bytes read (whether it is
// a program, whose version facts would name it). Goal: at most 1.3 times
// the floor (median of the rounds' ratios; the spread is the least and
// greatest ratio).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

#include "bench_support.h"
#include "hidden_files.h"
#include "items.h"
#include "text.h"

namespace {
const int kFolders = 20;
const int kFilesPerFolder = 1000;
const int kHiddenEvery = 100;
const int kRounds = 15;

// The first two bytes of a file: 1 when they are "MZ".
int IsProgram(const WCHAR *path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char head[2] = {0, 0};
    DWORD got = 0;
    ReadFile(file, head, 2, &got, nullptr);
    CloseHandle(file);
    return got == 2 && head[0] == 'M' && head[1] == 'Z';
}

int BareWalk(const WCHAR *folder, int depth)
{
    WCHAR pattern[MAX_PATH * 2];
    size_t length = wcslen(folder);
    const WCHAR *slash = folder[length - 1] == L'\\' ? L"" : L"\\";
    swprintf(pattern, MAX_PATH * 2, L"%ls%ls*.*", folder, slash);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int hidden = 0;
    do {
        const WCHAR *name = found.cFileName;
        if (name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2]))) continue;
        WCHAR path[MAX_PATH * 2];
        swprintf(path, MAX_PATH * 2, L"%ls%ls%ls", folder, slash, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth > 0 && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) hidden += BareWalk(path, depth - 1);
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) {
            IsProgram(path);
            hidden++;
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return hidden;
}

// A place as the scan takes it: an existing folder, no trailing backslash
// but a drive root's; 0 when it is none or an earlier place covers it.
int AddPlace(std::vector<std::wstring> *folders, std::vector<int> *depths, WCHAR *folder, int depth)
{
    size_t length = wcslen(folder);
    if (length > 3 && folder[length - 1] == L'\\') folder[--length] = 0;
    DWORD attributes = GetFileAttributesW(folder);
    if (!length || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    for (size_t i = 0; i < folders->size(); i++)
        if ((*depths)[i] >= depth && !_wcsicmp((*folders)[i].c_str(), folder)) return 0;
    folders->push_back(folder);
    depths->push_back(depth);
    return 1;
}

int BareScan(void)
{
    std::vector<std::wstring> folders;
    std::vector<int> depths;
    WCHAR folder[MAX_PATH * 2] = L"C:\\";
    AddPlace(&folders, &depths, folder, 0);
    GetWindowsDirectoryW(folder, MAX_PATH);
    AddPlace(&folders, &depths, folder, 0);
    GetSystemDirectoryW(folder, MAX_PATH);
    AddPlace(&folders, &depths, folder, 1);
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        DWORD size = sizeof folder - sizeof(WCHAR);
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                          KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
            continue;
        memset(folder, 0, sizeof folder);
        RegQueryValueExW(key, L"CommonFilesDir", nullptr, nullptr, (BYTE *)folder, &size);
        RegCloseKey(key);
        AddPlace(&folders, &depths, folder, 1);
    }
    GetTempPathW(MAX_PATH, folder);
    AddPlace(&folders, &depths, folder, 1);
    int hidden = 0;
    for (size_t i = 0; i < folders.size(); i++) hidden += BareWalk(folders[i].c_str(), depths[i]);
    return hidden;
}

void Tree(int make)
{
    char temp[PATH_SIZE];
    GetTempPathA(sizeof temp, temp);
    for (int f = 0; f < kFolders; f++) {
        char folder[PATH_SIZE];
        FormatText(folder, sizeof folder, "%shidden-bench-%02d", temp, f);
        if (make) CreateDirectoryA(folder, nullptr);
        for (int i = 0; i < kFilesPerFolder; i++) {
            char path[PATH_SIZE];
            FormatText(path, sizeof path, "%s\\file%04d.dat", folder, i);
            if (!make) {
                SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path);
                continue;
            }
            DWORD attributes = (f * kFilesPerFolder + i) % kHiddenEvery == 0 ? FILE_ATTRIBUTE_HIDDEN : 0;
            HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
            DWORD written;
            WriteFile(file, "data", 4, &written, nullptr);
            CloseHandle(file);
        }
        if (!make) RemoveDirectoryA(folder);
    }
}

}  // namespace

int main()
{
    Tree(1);
    int expected = BareScan();
    for (int round = 0; round < 2; round++) {   // warm both
        BareScan();
        ListHiddenFiles();
    }
    int listed = 0;
    bench::RoundTimes times = bench::TimeRounds(kRounds, BareScan, [&] { listed = ListHiddenFiles(); });
    FreeItems();
    Tree(0);
    std::vector<double> ratios;
    for (int i = 0; i < kRounds; i++) ratios.push_back(times.measured[i] / times.floor[i]);
    printf("%d files, %d hidden, %d listed; %d rounds, ms:\n", kFolders * kFilesPerFolder, expected, listed,
           kRounds);
    bench::PrintSpread("floor (walk, places, 2-byte reads)", times.floor);
    bench::PrintSpread("ListHiddenFiles", times.measured);
    bench::PrintSpread("ListHiddenFiles / floor", ratios);
    bench::PrintGoal(bench::Median(ratios), 1.3);
    return listed == expected ? 0 : 1;
}
