// BuildStartupList over 1,000 Run values, then with 200 Startup-folder
// shortcuts, then over 500 HKLM Run values in each registry view, each
// against a floor measured in the same run that makes the same system calls
// for the same entries, bare (see Floor). Goal: at most 1.3 times the floor
// (median of the rounds' ratios; the spread is the least and greatest).
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_support.h"
#include "disabled_marks.h"
#include "items.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "unicode_text.h"
#include "watch_places.h"

namespace {
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const int kRunValues = 1000;
const int kShortcuts = 200;
const int kRounds = 15;

std::string StartupFolder()
{
    char folder[PATH_SIZE] = "";
    DWORD size = sizeof folder;
    RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "Startup", RRF_RT_REG_SZ, nullptr, folder, &size);
    return folder;
}

std::string Target()
{
    char system[PATH_SIZE];
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\notepad.exe";
}

void PopulateRun()
{
    std::string target = Target();
    for (int i = 0; i < kRunValues; i++) {
        HKEY root = i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        HKEY key;
        RegCreateKeyExA(root, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        std::string name = "Bench entry " + std::to_string(i);
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)target.c_str(), (DWORD)target.size() + 1);
        RegCloseKey(key);
    }
}

void PopulateShortcuts(const std::string &folder)
{
    std::string target = Target();
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < kShortcuts; i++) {
        std::string link = folder + "\\bench" + std::to_string(i) + ".lnk";
        CreateShortcut(link.c_str(), target.c_str(), "", "C:\\", ("Bench shortcut " + std::to_string(i)).c_str(),
                       "", 0);
    }
}

void Clean(const std::string &folder)
{
    for (int i = 0; i < kRunValues; i++) {
        HKEY key;
        if (RegOpenKeyExA(i % 2 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kRun, 0, KEY_SET_VALUE, &key)) continue;
        RegDeleteValueA(key, ("Bench entry " + std::to_string(i)).c_str());
        RegCloseKey(key);
    }
    for (int i = 0; i < kShortcuts; i++) DeleteFileA((folder + "\\bench" + std::to_string(i) + ".lnk").c_str());
}

// The floor: the same system calls for the same entries, made bare. Every
// place the list reads (the places it names for instant detection: the
// Run family of both hives and views, the Shell Folders keys and the
// Startup folders, win.ini's key, Winlogon and its Notify subkeys, the
// shell extension points, the startup hooks) is opened and all its values
// read, subkeys too where changes below count; Sentrel's own keys of
// disabled entries and their folder are opened; win.ini's run= and load=
// are read; every shortcut is loaded and resolved, its description and
// target taken (the long form asked for only when the target holds a
// short name, as the list does).
struct Place {
    HKEY root;
    REGSAM view;
    int subtree;
    std::wstring path;
};

std::vector<Place> keyPlaces;
std::vector<std::wstring> folderPlaces;

void CollectPlaces(void)
{
    keyPlaces.clear();
    folderPlaces.clear();
    ForEachStartupPlace([](const WatchPlace *place, void *) {
        WideText path(place->path);
        if (place->kind == WATCH_FOLDER) {
            folderPlaces.push_back(path.get());
            return;
        }
        keyPlaces.push_back({place->root, place->view == VIEW_32 ? (REGSAM)KEY_WOW64_32KEY : 0, place->subtree,
                             path.get()});
    }, nullptr);
    // Sentrel's own: the marks of disabled entries and their saved copies.
    for (const char *path : {DISABLED_KEY, DISABLED_NAMES_KEY}) keyPlaces.push_back({HKEY_LOCAL_MACHINE, 0, 0, WideText(path).get()});
    for (int type : {1, 2, 3, 4, 5, 6, 7, (int)ITEM_WIN_LOAD, (int)ITEM_WIN_RUN})
        keyPlaces.push_back({HKEY_LOCAL_MACHINE, 0, 0, WideText(DisabledSubkey(type)).get()});
    char disabled[PATH_SIZE];
    if (GetDisabledFolder(disabled)) folderPlaces.push_back(WideText(disabled).get());
}

int ReadValues(HKEY key)
{
    static WCHAR name[16384];
    static BYTE data[65536];
    int seen = 0;
    for (DWORD index = 0;; index++) {
        DWORD nameLength = 16384, dataLength = sizeof data, type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
        seen += type == REG_SZ || type == REG_EXPAND_SZ;
    }
    return seen;
}

int ReadKey(const Place &place)
{
    HKEY key;
    if (RegOpenKeyExW(place.root, place.path.c_str(), 0, KEY_READ | place.view, &key) != ERROR_SUCCESS) return 0;
    int seen = ReadValues(key);
    for (DWORD index = 0; place.subtree; index++) {
        WCHAR sub[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child;
        if (RegOpenKeyExW(key, sub, 0, KEY_READ | place.view, &child) != ERROR_SUCCESS) continue;
        ReadValues(child);
        RegCloseKey(child);
    }
    RegCloseKey(key);
    return seen;
}

int ReadShortcut(const std::wstring &path)
{
    IShellLinkW *link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void **)&link)))
        return 0;
    int seen = 0;
    IPersistFile *file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) && link->Resolve(nullptr, SLR_NO_UI | (500 << 16)) == S_OK) {
            WCHAR description[1024], target[MAX_PATH], longPath[MAX_PATH];
            link->GetDescription(description, 1024);
            link->GetPath(target, MAX_PATH, nullptr, SLGP_SHORTPATH);
            if (wcschr(target, L'~')) GetLongPathNameW(target, longPath, MAX_PATH);
            seen = 1;
        }
        file->Release();
    }
    link->Release();
    return seen;
}

int ReadFolder(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int seen = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring path = folder + L"\\" + found.cFileName;
        size_t length = path.size();
        if (length > 4 && !_wcsicmp(path.c_str() + length - 4, L".lnk")) seen += ReadShortcut(path);
        else if (length < 4 || _wcsicmp(path.c_str() + length - 4, L".ini")) seen++;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return seen;
}

int Floor(void)
{
    int seen = 0;
    for (const Place &place : keyPlaces) seen += ReadKey(place);
    for (const std::wstring &folder : folderPlaces) seen += ReadFolder(folder);
    WCHAR list[4096];
    for (const WCHAR *name : {L"run", L"load"}) GetProfileStringW(L"windows", name, L"", list, 4096);
    return seen;
}

int ListAll(void)
{
    return BuildStartupList(0);
}

// Floor and list one after the other in each round (Wine's registry calls
// vary a lot with what else runs, so a round's two parts are compared with
// each other); the median and spread of the times and of the ratios.
struct Measured {
    std::vector<double> floor, list, ratio;
    int floorCount = 0, listCount = 0;
};

Measured Measure(int rounds)
{
    CollectPlaces();
    Floor();
    ListAll();
    Measured m;
    for (int round = 0; round < rounds; round++) {
        double start = bench::WallMs();
        m.floorCount = Floor();
        double floor = bench::WallMs() - start;
        start = bench::WallMs();
        m.listCount = ListAll();
        double list = bench::WallMs() - start;
        m.floor.push_back(floor);
        m.list.push_back(list);
        m.ratio.push_back(list / floor);
    }
    FreeItems();
    return m;
}

void Report(const char *what, const Measured &m)
{
    printf("%s (floor %d values and files, list %d records), ", what, m.floorCount, m.listCount);
    bench::PrintRatioRounds("BuildStartupList", m.floor, m.list, m.ratio, 1.3);
}

// --- Both registry views: 500 HKLM Run values in each -----------------------

const int kPerView = 500;

void PopulateViews()
{
    std::string target = Target();
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        HKEY key;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
        for (int i = 0; i < kPerView; i++) {
            std::string name = "View entry " + std::to_string(i);
            RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)target.c_str(), (DWORD)target.size() + 1);
        }
        RegCloseKey(key);
    }
}

void CleanViews()
{
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) continue;
        for (int i = 0; i < kPerView; i++) RegDeleteValueA(key, ("View entry " + std::to_string(i)).c_str());
        RegCloseKey(key);
    }
}
}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string folder = StartupFolder();
    Clean(folder);
    PopulateRun();
    Measured run = Measure(kRounds);
    PopulateShortcuts(folder);
    Measured all = Measure(kRounds);
    Clean(folder);
    PopulateViews();
    Measured views = Measure(31);
    CleanViews();
    CoUninitialize();

    Report("1,000 Run values", run);
    Report("... and 200 shortcuts", all);
    Report("500 HKLM Run values in each registry view", views);
    return 0;
}
