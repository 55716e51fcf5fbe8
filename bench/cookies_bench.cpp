// Cookie filter passes against floors measured in the same run that make
// the same system calls for the same result, bare:
// - a pass over 5,000 IE cookie files (none filtered): the filter texts
//   read from their key, the cookie folder found (its setting read, its
//   index.dat looked for) and walked with FindFirstFileW;
// - a pass over a 5 MB cookies.txt (one cookie in seven filtered): the
//   filter texts read, cookies.txt read whole, the filtered copy (its bytes
//   taken from a pass made beforehand) written to cookiesnew.tmp and moved
//   onto cookiesnew.txt, and the update flag written.
// Goal: at most 1.5 times the floor (median of the rounds' ratios; the
// spread is the least and greatest ratio).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cookies.h"
#include "items.h"
#include "options.h"

namespace {
const int kFiles = 5000;
const int kRounds = 15;
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

int ReadFilterTexts(void)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Orvendale\\Sentrel\\Nuts", 0, KEY_QUERY_VALUE, &key))
        return 0;
    int count = 0;
    for (DWORD index = 0;; index++) {
        WCHAR name[256];
        BYTE data[64];
        DWORD nameLength = 256, size = sizeof data;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
        count++;
    }
    RegCloseKey(key);
    return count;
}

int BareWalk(void)
{
    ReadFilterTexts();
    WCHAR folder[MAX_PATH];
    DWORD size = sizeof folder;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvendale\\Sentrel", L"IECookieFolder", RRF_RT_REG_SZ, nullptr,
                 folder, &size);
    GetFileAttributesW((std::wstring(folder) + L"\\index.dat").c_str());
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((std::wstring(folder) + L"\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) count++;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return count;
}

// The filtered copy a pass writes, taken from a pass made beforehand.
char *filtered;
DWORD filteredSize;

void WriteFlag(void)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Orvendale\\Sentrel\\Options", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr))
        return;
    RegSetValueExW(key, L"UpdateCookieFile", 0, REG_SZ, (const BYTE *)L"1", 4);
    RegCloseKey(key);
}

// The same system calls as a Mozilla filter pass, for the same files.
size_t BareFilterPass(void)
{
    ReadFilterTexts();
    DWORD got = 0;
    char *data = bench::ReadWholeFile(std::string(kProfile) + "\\cookies.txt", &got);
    if (!data) return 0;
    std::string temporary = std::string(kProfile) + "\\cookiesnew.tmp";
    HANDLE out = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    DWORD written = 0;
    WriteFile(out, filtered, filteredSize, &written, nullptr);
    CloseHandle(out);
    MoveFileExA(temporary.c_str(), (std::string(kProfile) + "\\cookiesnew.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
    WriteFlag();
    free(data);
    return written;
}

void Compare(const char *what, const char *floorName, const std::function<void()> &floor,
             const std::function<void()> &pass)
{
    floor();
    pass();
    bench::RoundTimes t = bench::TimeRounds(kRounds, floor, pass);
    std::vector<double> ratios;
    for (int i = 0; i < kRounds; i++) ratios.push_back(t.measured[i] / t.floor[i]);
    double low = 1e30, high = 0;
    for (double r : ratios) low = r < low ? r : low, high = r > high ? r : high;
    printf("%-40s median %8.2f ms\n%-40s median %8.2f ms\nratio median %.2f, spread %.2f - %.2f over %d rounds: ",
           what, bench::Median(t.measured), floorName, bench::Median(t.floor), bench::Median(ratios), low, high,
           kRounds);
    bench::PrintGoal(bench::Median(ratios), 1.5);
}
}  // namespace

int main()
{
    Plant();
    LoadOptions();
    printf("%d IE cookie files, cookies.txt of 5 MB\n", BareWalk());
    cookieSource = COOKIE_SOURCE_IE;
    Compare("filter pass over 5,000 IE cookie files:", "floor (filter texts, folder walk):", [] { BareWalk(); },
            [] { ReadCookies(1); });
    cookieSource = COOKIE_SOURCE_MOZILLA;
    ReadCookies(1);
    filtered = bench::ReadWholeFile(std::string(kProfile) + "\\cookiesnew.txt", &filteredSize);
    Compare("filter pass over a 5 MB cookies.txt:", "floor (read, write the same copy, flag):",
            [] { BareFilterPass(); }, [] { ReadCookies(1); });
    free(filtered);
    FreeItems();
    Unplant();
    return 0;
}
