// EnumerateIEHelpers over 500 helpers (300 helper objects, 100 toolbars,
// 100 buttons) against a floor measured in the same run that makes the same
// system calls for the same result, bare: in each registry view the list
// reads (the 32-bit view where the keys are not shared), the three keys
// enumerated, each class's InprocServer32 default value read under
// HKEY_CLASSES_ROOT, each button's values read, and the version facts of
// each distinct program file read once (GetFileVersionInfo into room for
// 16 KB, then GetFileVersionInfoSize and GetFileVersionInfo again for a
// larger block; the translations and five texts of each). Twice: with
// program files that do not exist, and with a real program file of its own
// for each helper. Goal: at most 1.3 times the floor (median of the rounds'
// ratios; the spread is the least and greatest ratio).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "bench_plants.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "version_names.h"
#include "store.h"
#include "text.h"
#include "platform.h"
#include "unicode_text.h"

namespace {
const int kObjects = 300, kToolbars = 100, kButtons = 100;
const int kRounds = 15;

void Populate(const std::vector<std::string> &files) { bench::PlantIEHelpers(kObjects, kToolbars, kButtons, files); }
void Clean() { bench::RemoveIEHelpers(kObjects, kToolbars, kButtons); }
std::vector<std::string> ProgramFiles(size_t count) { return bench::SystemDlls(count); }

// The program files whose version facts the floor reads, distinct (case
// ignored), in the order the list meets them.
std::vector<std::wstring> floorFiles;

void ReadServer(const WCHAR *id, REGSAM view, std::vector<std::wstring> *files)
{
    std::wstring key = std::wstring(L"CLSID\\") + id + L"\\InprocServer32";
    HKEY server;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, &server) != ERROR_SUCCESS) return;
    WCHAR data[MAX_PATH * 2];
    DWORD size = sizeof data - sizeof(WCHAR), type = 0;
    if (RegQueryValueExW(server, L"", nullptr, &type, (BYTE *)data, &size) == ERROR_SUCCESS && files) {
        data[size / sizeof(WCHAR)] = 0;
        files->push_back(data);
    }
    RegCloseKey(server);
}

// The registry reads of one view. files (optional) gets the program files.
int RegistryReads(REGSAM view, std::vector<std::wstring> *files)
{
    int seen = 0;
    WCHAR name[256];
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideText(BHO_KEY), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            DWORD length = 256;
            if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            ReadServer(name, view, files);
            seen++;
        }
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideText(IE_TOOLBAR_KEY), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            DWORD length = 256;
            BYTE data[512];
            DWORD size = sizeof data;
            if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
            if (!name[0]) continue;
            ReadServer(name, view, files);
            seen++;
        }
        RegCloseKey(key);
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideText(IE_EXTENSIONS_KEY), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; i++) {
            DWORD length = 256;
            if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            HKEY button;
            if (RegOpenKeyExW(key, name, 0, KEY_READ | view, &button) != ERROR_SUCCESS) continue;
            WCHAR value[256], exec[MAX_PATH * 2] = L"";
            for (DWORD v = 0;; v++) {
                DWORD valueLength = 256;
                BYTE data[MAX_PATH * 4];
                DWORD size = sizeof data - sizeof(WCHAR);
                if (RegEnumValueW(button, v, value, &valueLength, nullptr, nullptr, data, &size) != ERROR_SUCCESS)
                    break;
                ((WCHAR *)data)[size / sizeof(WCHAR)] = 0;
                if (!_wcsicmp(value, L"Exec")) wcsncpy(exec, (const WCHAR *)data, MAX_PATH * 2 - 1);
            }
            if (files && exec[0]) files->push_back(exec);
            RegCloseKey(button);
            seen++;
        }
        RegCloseKey(key);
    }
    return seen;
}

int ViewsRead(void)
{
    // The 32-bit view is read where it keeps the keys apart (always here).
    return HasRegistryViews() ? 2 : 1;
}

// The version facts of a file as the list reads them, bare.
void ReadVersion(const std::wstring &file)
{
    DWORD size = 16 * 1024;
    std::vector<BYTE> block(2 * size + 16);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return;
    if (3 * (DWORD)*(const WORD *)block.data() > size) {
        DWORD handle = 0;
        size = GetFileVersionInfoSizeW(file.c_str(), &handle);
        if (!size) return;
        block.assign(2 * size + 16, 0);
        if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return;
    }
    WORD *pairs = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", (void **)&pairs, &length)) return;
    for (UINT pair = 0; pair < length / 4; pair++)
        for (const WCHAR *name :
             {L"ProductName", L"ProductVersion", L"CompanyName", L"FileDescription", L"LegalCopyright"}) {
            WCHAR query[96];
            swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", pairs[pair * 2], pairs[pair * 2 + 1], name);
            void *text = nullptr;
            UINT textLength = 0;
            VerQueryValueW(block.data(), query, &text, &textLength);
        }
}

int Floor(void)
{
    int seen = 0;
    for (int view = 0; view < ViewsRead(); view++) seen += RegistryReads(view ? KEY_WOW64_32KEY : 0, nullptr);
    for (const std::wstring &file : floorFiles) ReadVersion(file);
    return seen;
}

// The distinct program files of the helpers, as the floor reads them.
void CollectFloorFiles(void)
{
    std::vector<std::wstring> all;
    for (int view = 0; view < ViewsRead(); view++) RegistryReads(view ? KEY_WOW64_32KEY : 0, &all);
    floorFiles.clear();
    for (const std::wstring &file : all) {
        bool seen = false;
        for (const std::wstring &other : floorFiles) seen = seen || !_wcsicmp(file.c_str(), other.c_str());
        if (!seen) floorFiles.push_back(file);
    }
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

struct Timing {
    std::vector<double> floor, list, ratio;
    int floorCount = 0, listCount = 0;
};

Timing Measure(const std::vector<std::string> &files)
{
    Clean();
    Populate(files);
    CollectFloorFiles();
    Floor();
    EnumerateIEHelpers();
    Timing t;
    // The order changes from round to round, so that neither part always
    // finds what the other left in the caches.
    for (int round = 0; round < kRounds; round++) {
        double floor = 0, list = 0;
        for (int part = 0; part < 2; part++) {
            double start = bench::WallMs();
            if ((part == 0) == (round % 2 == 0)) {
                t.floorCount = Floor();
                floor = bench::WallMs() - start;
            } else {
                t.listCount = EnumerateIEHelpers();
                list = bench::WallMs() - start;
            }
        }
        t.floor.push_back(floor);
        t.list.push_back(list);
        t.ratio.push_back(list / floor);
    }
    FreeItems();
    Clean();
    return t;
}

void Report(const char *what, const Timing &t)
{
    printf("%s (floor %d, listed %d, %d distinct files read), ", what, t.floorCount, t.listCount,
           (int)floorFiles.size());
    bench::PrintRatioRounds("EnumerateIEHelpers", t.floor, t.list, t.ratio, 1.3);
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
    Report("files missing", none);
    Timing all = Measure(real);
    Report("500 real program files", all);
    return 0;
}
