// BuildStartupList over 1,000 Run values and 200 Startup-folder shortcuts,
// against a floor measured in the same run: the bare registry enumeration,
// long-path conversion and shortcut resolution of the same entries. Then
// 500 HKLM Run values in each registry view against their bare enumeration.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench_support.h"
#include "items.h"
#include "startup_changes.h"
#include "startup_list.h"

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
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) RegDeleteTreeA(root, kRun);
    for (int i = 0; i < kShortcuts; i++) DeleteFileA((folder + "\\bench" + std::to_string(i) + ".lnk").c_str());
}

// The floor: what any listing of these entries has to do.
int Floor(const std::string &folder)
{
    int seen = 0;
    char name[256], data[513], longPath[PATH_SIZE];
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY key;
        if (RegOpenKeyExA(root, kRun, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
        for (DWORD index = 0;; index++) {
            DWORD nameLen = sizeof name, dataLen = sizeof data;
            if (RegEnumValueA(key, index, name, &nameLen, nullptr, nullptr, (BYTE *)data, &dataLen) !=
                ERROR_SUCCESS)
                break;
            GetLongPathNameA(data, longPath, sizeof longPath);
            seen++;
        }
        RegCloseKey(key);
    }
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string path = folder + "\\" + found.cFileName;
            IShellLinkA *link = nullptr;
            if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                        (void **)&link)))
                continue;
            IPersistFile *file = nullptr;
            if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
                WCHAR wide[MAX_PATH];
                MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
                if (SUCCEEDED(file->Load(wide, STGM_READ)) && link->Resolve(nullptr, SLR_NO_UI | (500 << 16)) == S_OK) {
                    char description[1024], target[PATH_SIZE];
                    link->GetDescription(description, sizeof description);
                    link->GetPath(target, sizeof target, nullptr, SLGP_SHORTPATH);
                    GetLongPathNameA(target, longPath, sizeof longPath);
                    seen++;
                }
                file->Release();
            }
            link->Release();
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    return seen;
}

}  // namespace

int ListAll(void)
{
    return BuildStartupList(0);
}

bench::BestTimes Measure(const std::string &folder)
{
    bench::BestTimes t = bench::BestOfRounds(kRounds, [&] { return Floor(folder); }, ListAll);
    FreeItems();
    return t;
}

void Report(const char *what, const bench::BestTimes &t)
{
    bench::PrintBestTimes(what, 28, "BuildStartupList", t);
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
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kRun, KEY_WOW64_32KEY, 0);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kRun);
}

// The floor: the bare enumeration of both views' Run keys.
int ViewsFloor()
{
    int seen = 0;
    char name[256], data[513];
    for (REGSAM view : {(REGSAM)0, (REGSAM)KEY_WOW64_32KEY}) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRun, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) continue;
        for (DWORD index = 0;; index++) {
            DWORD nameLen = sizeof name, dataLen = sizeof data;
            if (RegEnumValueA(key, index, name, &nameLen, nullptr, nullptr, (BYTE *)data, &dataLen) != ERROR_SUCCESS)
                break;
            seen++;
        }
        RegCloseKey(key);
    }
    return seen;
}

// Wine's registry calls vary a lot with what else runs, so each round
// times the floor and the list back to back and the ratio reported is the
// median of the rounds' ratios.
bench::BestTimes MeasureViews(double *medianRatio)
{
    std::vector<double> ratios;
    bench::BestTimes t = bench::BestOfRounds(31, ViewsFloor, ListAll, &ratios);
    *medianRatio = bench::Median(ratios);
    FreeItems();
    return t;
}

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string folder = StartupFolder();
    Clean(folder);
    PopulateRun();
    bench::BestTimes run = Measure(folder);
    PopulateShortcuts(folder);
    bench::BestTimes all = Measure(folder);
    Clean(folder);
    PopulateViews();
    double viewsRatio = 0;
    bench::BestTimes views = MeasureViews(&viewsRatio);
    CleanViews();
    CoUninitialize();

    Report("1,000 Run values", run);
    Report("... and 200 shortcuts", all);
    Report("500 in each registry view", views);
    printf("%-28s median of the rounds' ratios %5.2f\n", "", viewsRatio);
    printf("goal: ratio at most 1.30 with everything, well under a second\n");
    return 0;
}
