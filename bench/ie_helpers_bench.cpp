// EnumerateIEHelpers over 500 helpers (300 helper objects, 100 toolbars,
// 100 buttons) against a floor measured in the same run: the bare registry
// reads of the same helpers. Twice: with program files that do not exist
// (the listing's own work), and with a real program file of its own for
// each helper, whose version reads are measured apart and allowed on top.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "version_names.h"
#include "store.h"
#include "text.h"

namespace {
const int kObjects = 300, kToolbars = 100, kButtons = 100;
const int kRounds = 15;

std::string ClassId(int n)
{
    char text[64];
    snprintf(text, sizeof text, "{B3AC4000-0000-4000-8000-%012d}", n);
    return text;
}

// Distinct program files with version information: the system's DLLs.
std::vector<std::string> ProgramFiles(size_t count)
{
    char system[PATH_SIZE];
    GetSystemDirectoryA(system, sizeof system);
    std::vector<std::string> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(system) + "\\*.dll").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do files.push_back(std::string(system) + "\\" + found.cFileName);
    while (files.size() < count && FindNextFileA(find, &found));
    FindClose(find);
    while (!files.empty() && files.size() < count) files.push_back(files[files.size() % 50]);
    return files;
}

void Populate(const std::vector<std::string> &files)
{
    for (int i = 0; i < kObjects + kToolbars; i++) {
        std::string id = ClassId(i);
        bench::SetRegString(HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InprocServer32", "", files[i]);
        if (i < kObjects)
            bench::SetRegString(HKEY_LOCAL_MACHINE, std::string(BHO_KEY) + "\\" + id, "NoExplorer", "1");
        else
            bench::SetRegString(HKEY_LOCAL_MACHINE, IE_TOOLBAR_KEY, id.c_str(), "");
    }
    for (int i = 0; i < kButtons; i++) {
        std::string key = std::string(IE_EXTENSIONS_KEY) + "\\" + ClassId(1000 + i);
        bench::SetRegString(HKEY_LOCAL_MACHINE, key, "ButtonText", "Bench button " + std::to_string(i));
        bench::SetRegString(HKEY_LOCAL_MACHINE, key, "Exec", files[kObjects + kToolbars + i]);
        bench::SetRegString(HKEY_LOCAL_MACHINE, key, "HotIcon", files[kObjects + kToolbars + i] + ",1");
    }
}

// Removes what Populate wrote and nothing else.
void Clean()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, IE_TOOLBAR_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        for (int i = kObjects; i < kObjects + kToolbars; i++) RegDeleteValueA(key, ClassId(i).c_str());
        RegCloseKey(key);
    }
    for (int i = 0; i < kObjects; i++)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(BHO_KEY) + "\\" + ClassId(i)).c_str());
    for (int i = 0; i < kButtons; i++)
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(IE_EXTENSIONS_KEY) + "\\" + ClassId(1000 + i)).c_str());
    for (int i = 0; i < kObjects + kToolbars; i++) RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + ClassId(i)).c_str());
}

std::string ReadServer(const char *id)
{
    char data[PATH_SIZE] = "";
    DWORD size = sizeof data;
    RegGetValueA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id + "\\InprocServer32").c_str(), "", RRF_RT_REG_SZ,
                 nullptr, data, &size);
    return data;
}

// The floor: the registry reads any listing of these helpers has to make.
int Floor(void)
{
    int seen = 0;
    char name[256];
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, BHO_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            seen += !ReadServer(name).empty();
        }
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, IE_TOOLBAR_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            DWORD length = sizeof name;
            if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            ReadServer(name);
            seen++;
        }
        RegCloseKey(key);
    }
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, IE_EXTENSIONS_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            HKEY button;
            if (RegOpenKeyExA(key, name, 0, KEY_READ, &button) != ERROR_SUCCESS) continue;
            char data[PATH_SIZE];
            for (const char *value : {"ButtonText", "Exec", "script", "HotIcon"}) {
                DWORD size = sizeof data;
                RegQueryValueExA(button, value, nullptr, nullptr, (BYTE *)data, &size);
            }
            RegCloseKey(button);
            seen++;
        }
        RegCloseKey(key);
    }
    return seen;
}

int DistinctCount(const std::vector<std::string> &files)
{
    int distinct = 0;
    for (size_t i = 0; i < files.size(); i++) {
        bool seen = false;
        for (size_t j = 0; j < i && !seen; j++) seen = lstrcmpiA(files[i].c_str(), files[j].c_str()) == 0;
        distinct += !seen;
    }
    return distinct;
}

// The same reads through the store functions the listing uses.
int StoreWalk(void)
{
    int seen = 0;
    auto server = [&](const char *id) {
        StoreBlob blob;
        if (StoreReadBlob(HKEY_CLASSES_ROOT, 0, (std::string("CLSID\\") + id + "\\InprocServer32").c_str(), "", &blob))
            StoreFreeBlob(&blob);
        seen++;
    };
    StoreForEachSubkey(HKEY_LOCAL_MACHINE, 0, BHO_KEY, [&](const char *id) { server(id); return 1; });
    StoreForEachValue(HKEY_LOCAL_MACHINE, 0, IE_TOOLBAR_KEY, [&](const char *id, const StoreBlob *) {
        server(id);
        return 1;
    });
    StoreForEachSubkey(HKEY_LOCAL_MACHINE, 0, IE_EXTENSIONS_KEY, [&](const char *id) {
        StoreForEachValue(HKEY_LOCAL_MACHINE, 0, (std::string(IE_EXTENSIONS_KEY) + "\\" + id).c_str(),
                          [](const char *, const StoreBlob *) { return 1; });
        seen++;
        return 1;
    });
    return seen;
}

struct Timing {
    double floorMs = 1e30, versionMs = 1e30, listMs = 1e30, storeMs = 1e30;
    int floorCount = 0, listCount = 0;
    // (listing - version reads) / floor of each round: the three parts of
    // one round run close together, so a slow stretch of the machine moves
    // them alike. The median of these is the figure to judge by.
    std::vector<double> ratios;
    std::string rounds;   // floor/version reads/listing of each round, in ms
};

Timing Measure(const std::vector<std::string> &files)
{
    Clean();
    Populate(files);
    Timing t;
    auto bareReads = [&] { return bench::TimeBest(&t.floorMs, [&] { t.floorCount = Floor(); }); };
    auto versions = [&] {
        return bench::TimeBest(&t.versionMs, [&] {
            for (const std::string &file : files) {
                VersionNames names;
                ReadVersionNames(file.c_str(), &names);
            }
        });
    };
    auto storeWalk = [&] { bench::TimeBest(&t.storeMs, StoreWalk); };
    auto listing = [&] { return bench::TimeBest(&t.listMs, [&] { t.listCount = EnumerateIEHelpers(); }); };
    // The order changes from round to round, so that no part always finds
    // what the one before it left in the caches.
    for (int round = 0; round < kRounds; round++) {
        double bare, version, list;
        if (round % 2) {
            list = listing();
            version = versions();
            bare = bareReads();
        } else {
            bare = bareReads();
            version = versions();
            list = listing();
        }
        t.ratios.push_back((list - version) / bare);
        char line[64];
        snprintf(line, sizeof line, " %.0f/%.0f/%.0f", bare, version, list);
        t.rounds += line;
        storeWalk();
    }
    FreeItems();
    Clean();
    return t;
}

void Report(const char *what, const Timing &t)
{
    printf("%-26s floor %6.1f ms (%d)  version reads %7.1f ms  EnumerateIEHelpers %7.1f ms (%d)\n", what,
           t.floorMs, t.floorCount, t.versionMs, t.listMs, t.listCount);
    printf("%-26s rounds (floor/version reads/listing):%s\n", "", t.rounds.c_str());
    printf("%-26s the same reads through the store functions %6.1f ms\n", "", t.storeMs);
    printf("%-26s (listing - version reads) / floor: best times %5.2f, median of the rounds %5.2f\n", "",
           (t.listMs - t.versionMs) / t.floorMs, bench::Median(t.ratios));
}
}  // namespace

int main()
{
    std::vector<std::string> real = ProgramFiles(kObjects + kToolbars + kButtons);
    printf("%d distinct program files\n", DistinctCount(real));
    if (real.empty()) {
        printf("no program files found\n");
        return 1;
    }
    std::vector<std::string> missing;
    for (int i = 0; i < kObjects + kToolbars + kButtons; i++)
        missing.push_back("C:\\Program Files\\Bench Helpers\\helper" + std::to_string(i) + ".dll");

    Timing none = Measure(missing);
    Timing all = Measure(real);
    Report("files missing", none);
    Report("500 real program files", all);
    printf("goal: listing at most 1.30 times the floor plus the version reads (ratio <= 1.30)\n");
    return 0;
}
