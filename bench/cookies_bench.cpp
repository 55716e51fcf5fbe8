// Cookie filter passes against floors measured in the same run: a pass
// over 5,000 IE cookie files against the bare walk of their folder, and a
// pass over a 5 MB cookies.txt (one cookie in seven filtered) against the
// bare read of the file (and, for comparison, against reading and writing
// as many bytes). Goal: at most 1.5 times the floor.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

void SetString(const char *path, const char *name, const std::string &text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE *)text.c_str(), (DWORD)text.size() + 1);
    RegCloseKey(key);
}

void WriteWhole(const std::string &path, const std::string &text)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(file);
}

void Plant(void)
{
    CreateDirectoryA(kFolder, nullptr);
    CreateDirectoryA(kIE, nullptr);
    CreateDirectoryA(kProfile, nullptr);
    WriteWhole(std::string(kIE) + "\\index.dat", "index");
    for (int i = 0; i < kFiles; i++)
        WriteWhole(std::string(kIE) + "\\user@site" + std::to_string(i) + ".example[1].txt",
                   "id\n" + std::to_string(i) + "\nsite.example/\n");
    std::string text = "# Netscape HTTP Cookie File\n";
    for (int i = 0; text.size() < 5 * 1024 * 1024; i++)
        text += (i % 7 == 0 ? ".ads" : ".site") + std::to_string(i) + ".com\tTRUE\t/\tFALSE\t" +
                std::to_string(1700000000 + i) + "\tname" + std::to_string(i) + "\t" + std::string(60, 'v') + "\n";
    WriteWhole(std::string(kProfile) + "\\cookies.txt", text);
    SetString(kStore, "IECookieFolder", kIE);
    SetString(kStore, "CookieFolder", kProfile);
    // Twenty filter texts; the IE files match none, so every round sees them all.
    for (int i = 0; i < 19; i++) SetString("Software\\Orvendale\\Sentrel\\Nuts", ("tracker" + std::to_string(i)).c_str(), "1");
    SetString("Software\\Orvendale\\Sentrel\\Nuts", "ads", "1");
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

size_t BareRead(void)
{
    HANDLE file = CreateFileA((std::string(kProfile) + "\\cookies.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(file, nullptr), got = 0;
    char *data = (char *)malloc(size + 1);
    ReadFile(file, data, size, &got, nullptr);
    CloseHandle(file);
    size_t lines = 0;
    for (DWORD i = 0; i < got; i++) lines += data[i] == '\n';
    free(data);
    return lines;
}

// The least a pass that writes a filtered copy can do: read the file and
// write as many bytes again.
size_t BareReadWrite(void)
{
    HANDLE file = CreateFileA((std::string(kProfile) + "\\cookies.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(file, nullptr), got = 0;
    char *data = (char *)malloc(size + 1);
    ReadFile(file, data, size, &got, nullptr);
    CloseHandle(file);
    std::string copy = std::string(kProfile) + "\\bench-copy.txt";
    HANDLE out = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(out, data, got, &written, nullptr);
    CloseHandle(out);
    DeleteFileA(copy.c_str());
    free(data);
    return written;
}

double Now(void)
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

template <typename Floor, typename Pass>
double Compare(const char *what, const char *floorName, Floor floor, Pass pass)
{
    floor();
    pass();
    double bare = 0, measured = 0;
    for (int round = 0; round < kRounds; round++) {
        double start = Now();
        floor();
        bare += Now() - start;
        start = Now();
        pass();
        measured += Now() - start;
    }
    bare /= kRounds;
    measured /= kRounds;
    double ratio = measured / bare;
    printf("%-44s %8.2f ms\n%-44s %8.2f ms\nratio %.2f (goal at most 1.50): %s\n", what, measured, floorName, bare,
           ratio, ratio <= 1.5 ? "met" : "NOT MET");
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
    Compare("filter pass over a 5 MB cookies.txt:", "bare read of the file:", BareRead, [] { ReadCookies(1); });
    Compare("the same pass:", "bare read and write of the file:", BareReadWrite, [] { ReadCookies(1); });
    FreeItems();
    Unplant();
    return 0;
}
