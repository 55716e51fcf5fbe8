// The hidden-files scan of the watched places over a tree of 20,000 files
// (1 in 100 of them hidden) made in the temporary folder's subfolders,
// against a bare FindFirstFile walk of the same places to the same depths,
// measured in the same run. Goal: at most 1.3 times the bare walk.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "hidden_files.h"
#include "items.h"
#include "text.h"

namespace {
const int kFolders = 20;
const int kFilesPerFolder = 1000;
const int kHiddenEvery = 100;
const int kRounds = 7;

int BareWalk(const char *folder, int depth)
{
    char pattern[PATH_SIZE];
    const char *slash = folder[strlen(folder) - 1] == '\\' ? "" : "\\";
    if (!FormatText(pattern, sizeof pattern, "%s%s*.*", folder, slash)) return 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int hidden = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (depth > 0 && strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) {
                char sub[PATH_SIZE];
                if (FormatText(sub, sizeof sub, "%s%s%s", folder, slash, found.cFileName))
                    hidden += BareWalk(sub, depth - 1);
            }
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) {
            hidden++;
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return hidden;
}

int BareScan(void)
{
    int hidden = 0;
    for (int i = 0; i < HIDDEN_PLACE_COUNT; i++) {
        char folder[PATH_SIZE];
        int depth;
        if (GetHiddenFilePlace(i, folder, &depth)) hidden += BareWalk(folder, depth);
    }
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
    double floor = bench::Median(times.floor), scan = bench::Median(times.measured);
    printf("bare FindFirstFile walk (%d files, %d hidden)  %8.3f ms wall (median of %d)\n",
           kFolders * kFilesPerFolder, expected, floor, kRounds);
    printf("ListHiddenFiles (%d listed)                    %8.3f ms wall  ratio %5.2f (goal at most 1.30)\n", listed,
           scan, scan / floor);
    return listed == expected ? 0 : 1;
}
