// The system files and browser settings of a group A pass when nothing has
// changed: 50 monitored files, the three browser pages, the Automatic
// Updates setting and the URL prefix, against the bare platform work the
// same comparison needs (the Sysfiles subkeys enumerated, each record's
// four values and its file's attributes read, each page, setting and
// baseline read once), measured in the same run. Goal: at most 1.3 times
// the bare work and well under 250 ms.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "browser_settings.h"
#include "checks.h"
#include "locations.h"
#include "monitor.h"
#include "store.h"
#include "sysfiles.h"
#include "text.h"

namespace {
const int kFiles = 50;
const int kRounds = 100;
const char kMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kDesktop[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0";

void ReadOne(HKEY root, const char *path, const char *name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    BYTE data[1024];
    DWORD size = sizeof data;
    RegQueryValueExA(key, name, nullptr, nullptr, data, &size);
    RegCloseKey(key);
}

// The least the comparison has to ask of the platform.
void BarePass(void)
{
    HKEY records;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SYSFILES_KEY, 0, KEY_READ, &records) == ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0;; i++) {
            DWORD length = sizeof name;
            if (RegEnumKeyExA(records, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            HKEY record;
            if (RegOpenKeyExA(records, name, 0, KEY_QUERY_VALUE, &record) != ERROR_SUCCESS) continue;
            char values[4][PATH_SIZE];
            const char *names[4] = {"Location", "Date", "Size", "Type"};
            for (int v = 0; v < 4; v++) {
                DWORD size = sizeof values[v];
                values[v][0] = 0;
                RegQueryValueExA(record, names[v], nullptr, nullptr, (BYTE *)values[v], &size);
            }
            RegCloseKey(record);
            WIN32_FILE_ATTRIBUTE_DATA data;
            GetFileAttributesExA(values[0], GetFileExInfoStandard, &data);
        }
        RegCloseKey(records);
    }
    ReadOne(HKEY_CURRENT_USER, kMain, "Start Page");
    ReadOne(HKEY_CURRENT_USER, STORE_ROOT, "StartPage");
    ReadOne(HKEY_CURRENT_USER, kMain, "Search Page");
    ReadOne(HKEY_CURRENT_USER, STORE_ROOT, "SearchPage");
    ReadOne(HKEY_CURRENT_USER, kDesktop, "Source");
    ReadOne(HKEY_CURRENT_USER, STORE_ROOT, "SourcePage");
    ReadOne(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions");
    ReadOne(HKEY_LOCAL_MACHINE, AUTO_UPDATE_KEY, "AUOptions");
    ReadOne(HKEY_CURRENT_USER, STORE_ROOT, "wwwPrefix");
    ReadOne(HKEY_LOCAL_MACHINE, URL_PREFIXES_KEY, "www");
}

void SentrelPass(void)
{
    CheckUpdateSettings();
    CheckSystemFiles();
    CheckBrowserPages();
}

}  // namespace

int main()
{
    mainWindow = CreateWindowA("STATIC", "bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    CopyText(windowTitle, sizeof windowTitle, "Sentrel");
    StoreDeleteKey(HKEY_LOCAL_MACHINE, SYSFILES_KEY);
    CreateDirectoryA("C:\\sysfiles-bench", nullptr);
    for (int i = 0; i < kFiles; i++) {
        char name[32], path[PATH_SIZE];
        FormatText(name, sizeof name, "File%02d.ini", i);
        FormatText(path, sizeof path, "C:\\sysfiles-bench\\%s", name);
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, "127.0.0.1 localhost\r\n", 21, &written, nullptr);
        CloseHandle(file);
        AddMonitoredFile(name, path, "A file of the benchmark.", i % 2);
    }
    StoreWriteString(HKEY_CURRENT_USER, kMain, "Start Page", "http://home.example/");
    StoreWriteString(HKEY_CURRENT_USER, kMain, "Search Page", "http://search.example/");
    StoreWriteString(HKEY_CURRENT_USER, kDesktop, "Source", "about:home");
    StoreWriteNumber(HKEY_LOCAL_MACHINE, AUTO_UPDATE_KEY, "AUOptions", 3);
    StoreWriteString(HKEY_LOCAL_MACHINE, URL_PREFIXES_KEY, "www", "http://");
    SentrelPass();   // the baselines are taken at first sight
    CheckUpdateSettings();
    for (int round = 0; round < 5; round++) {   // warm both
        BarePass();
        SentrelPass();
    }

    bench::RoundTimes times = bench::TimeRounds(kRounds, BarePass, SentrelPass);
    double floor = bench::Median(times.floor), pass = bench::Median(times.measured);
    printf("bare reads (%d files, 3 pages, 2 settings)  %8.3f ms wall (median of %d)\n", kFiles, floor, kRounds);
    printf("system files + browser settings             %8.3f ms wall  ratio %5.2f (goal at most 1.30, under 250 ms)\n",
           pass, pass / floor);
    DestroyWindow(mainWindow);
    return 0;
}
