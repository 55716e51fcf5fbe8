// Cookie filter passes against floors measured in the same run: a pass
// over 5,000 IE cookie files against the bare walk of their folder, and a
// pass over a 5 MB cookies.txt (one cookie in seven filtered) against the
// bare read of the file (and, for comparison, against reading and writing
// as many bytes). Goal: at most 1.5 times the floor.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_support.h"
#include "cookies.h"
#include "items.h"
#include "options.h"

namespace {
const int kFiles = 5000;
const int kRounds = 5;
const char kStore[] = "Software\\Orvendale\\Sentrel";
const char kFolder[] = "C:\\sentrel-bench-cookies";
const char kIE[] = "C:\\sentrel-bench-cookies\\Cookies";
const char kProfile[] = "C:\\sentrel-bench-cookies\\profile";

void Plant(void)
{
    CreateDirectoryA(kFolder, nullptr);
    CreateDirectoryA(kIE, nullptr);
    CreateDirectoryA(kProfile, nullptr);
    bench::WriteWholeFile(std::string(kIE) + "\\index.dat", "index");
    for (int i = 0; i < kFiles; i++)
        bench::WriteWholeFile(std::string(kIE) + "\\user@site" + std::to_string(i) + ".example[1].txt",
                   "id\n" + std::to_string(i) + "\nsite.example/\n");
    std::string text = "# Netscape HTTP Cookie File\n";
    for (int i = 0; text.size() < 5 * 1024 * 1024; i++)
        text += (i % 7 == 0 ? ".ads" : ".site") + std::to_string(i) + ".com\tTRUE\t/\tFALSE\t" +
                std::to_string(1700000000 + i) + "\tname" + std::to_string(i) + "\t" + std::string(60, 'v') + "\n";
    bench::WriteWholeFile(std::string(kProfile) + "\\cookies.txt", text);
    bench::SetRegString(HKEY_CURRENT_USER, kStore, "IECookieFolder", kIE);
    bench::SetRegString(HKEY_CURRENT_USER, kStore, "CookieFolder", kProfile);
    // Twenty filter texts; the IE files match none, so every round sees them all.
    for (int i = 0; i < 19; i++) bench::SetRegString(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Nuts", ("tracker" + std::to_string(i)).c_str(), "1");
    bench::SetRegString(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel\\Nuts", "ads", "1");
}

void Unplant(void)
{
    for (int i = 0; i < kFiles; i++)
        DeleteFileA((std::string(kIE) + "\\user@site" + std::to_string(i) + ".example[1].txt").c_str());
    DeleteFileA((std::string(kIE) + "\\index.dat").c_str());
    for (const char *name : {"cookies.txt", "cookiesnew.txt"}) DeleteFileA((std::string(kProfile) + "\\" + name).c_str());
    RemoveDirectoryA(kIE);
    RemoveDirectoryA(kProfile);
    RemoveDirectoryA(kFolder);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvendale");
}

int BareWalk(void)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(kIE) + "\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) count++;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return count;
}

// Writes the bytes to a copy beside the file and deletes it. Returns the
// count written.
DWORD WriteCopy(const char *data, DWORD size)
{
    std::string copy = std::string(kProfile) + "\\bench-copy.txt";
    HANDLE out = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(out, data, size, &written, nullptr);
    CloseHandle(out);
    DeleteFileA(copy.c_str());
    return written;
}

// The bare read of cookies.txt, its lines counted; with write, the least a
// pass that writes a filtered copy can do: read the file and write as many
// bytes again.
size_t BareRead(int write)
{
    DWORD got = 0;
    char *data = bench::ReadWholeFile(std::string(kProfile) + "\\cookies.txt", &got);
    if (!data) return 0;
    size_t done = write ? WriteCopy(data, got) : (size_t)std::count(data, data + got, '\n');
    free(data);
    return done;
}

double Compare(const char *what, const char *floorName, const std::function<void()> &floor,
               const std::function<void()> &pass)
{
    bench::MeanTimes t = bench::AlternateMeans(kRounds, floor, pass);
    double ratio = t.measuredMs / t.floorMs;
    printf("%-44s %8.2f ms\n%-44s %8.2f ms\n", what, t.measuredMs, floorName, t.floorMs);
    bench::PrintGoal(ratio, 1.5);
    return ratio;
}
}  // namespace

int main()
{
    Plant();
    LoadOptions();
    printf("%d IE cookie files, cookies.txt of 5 MB\n", BareWalk());
    cookieSource = COOKIE_SOURCE_IE;
    Compare("filter pass over 5,000 IE cookie files:", "bare walk of the folder:", BareWalk, [] { ReadCookies(1); });
    cookieSource = COOKIE_SOURCE_MOZILLA;
    Compare("filter pass over a 5 MB cookies.txt:", "bare read of the file:", [] { BareRead(0); },
            [] { ReadCookies(1); });
    Compare("the same pass:", "bare read and write of the file:", [] { BareRead(1); }, [] { ReadCookies(1); });
    FreeItems();
    Unplant();
    return 0;
}
