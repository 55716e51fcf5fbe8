#include "store_init.h"

#include "always_run.h"
#include "baselines.h"
#include "dates.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "inventory.h"
#include "items.h"
#include "locations.h"
#include "options.h"
#include "program_files.h"
#include "services.h"
#include "store.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

namespace {
const char kServicesKey[] = STORE_ROOT "\\Services";
const char kHiddenKey[] = STORE_ROOT "\\Hidden";
const char kSysfilesKey[] = STORE_ROOT "\\Sysfiles";

void CreateFirstRunKeys(void)
{
    static const char *const kSubkeys[] = {"Nuts", "Cookies", "Options", "Run",
                                           "IEHelpers", "HostFile", "Tasks"};
    StoreCreateKey(HKEY_CURRENT_USER, STORE_COMPANY);
    StoreCreateKey(HKEY_CURRENT_USER, STORE_ROOT);
    for (const char *sub : kSubkeys) {
        char path[128];
        FormatText(path, sizeof path, "%s\\%s", STORE_ROOT, sub);
        StoreCreateKey(HKEY_CURRENT_USER, path);
    }
    char date[DATE_TEXT_SIZE];
    FormatNow(date);
    StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT, "", date);
}

// A baseline key marked "P" once built. Returns 1 when it had to be (re)built
// and is ready to be filled.
int PrepareMarkedBaseline(const char *key)
{
    char mark[STORE_DATA_MAX];
    int len = StoreReadString(HKEY_CURRENT_USER, key, "", mark, sizeof mark);
    if (mark[0] == 'P') return 0;
    if (len > 0) StoreDeleteKey(HKEY_CURRENT_USER, key);
    StoreCreateKey(HKEY_CURRENT_USER, key);
    StoreWriteString(HKEY_CURRENT_USER, key, "", "P");
    return 1;
}

void BuildServiceBaseline(void)
{
    if (!PrepareMarkedBaseline(kServicesKey)) return;
    WriteServiceBaseline();
}

int AcceptPresentHiddenFile(const char *path, DWORD, void *)
{
    AcceptHiddenFile(path);
    return 1;
}

void BuildHiddenBaseline(void)
{
    if (!PrepareMarkedBaseline(kHiddenKey)) return;
    StoreCreateKey(HKEY_CURRENT_USER, STORE_DETECTED);
    InitRegStartups();
    // Every hidden file there is, also beyond what the item list holds.
    ForEachHiddenFile(AcceptPresentHiddenFile, nullptr);
}

void TakeAutoUpdateBaseline(void)
{
    if (StoreReadSmallNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions") != 0) return;
    int current = StoreReadSmallNumber(HKEY_LOCAL_MACHINE, AUTO_UPDATE_KEY, "AUOptions");
    if (current != 0) StoreWriteNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions", (DWORD)current);
}

void RegisterMonitoredFiles(void)
{
    char mark[DATE_TEXT_SIZE];
    if (StoreReadString(HKEY_LOCAL_MACHINE, kSysfilesKey, "", mark, sizeof mark) > 0) return;
    StoreCreateKey(HKEY_LOCAL_MACHINE, kSysfilesKey);
    char hosts[PATH_SIZE];
    // Any change of time alerts for HOSTS: an edit of the same size is no less a hijack.
    if (GetHostsPath(hosts, sizeof hosts)) AddMonitoredFile("HOSTS", hosts, "", 1);
    AddMonitoredFile("Autoexec.bat", "C:\\autoexec.bat", "Runs at system boot time at command level.", 0);
    AddMonitoredFile("Config.sys", "C:\\Config.sys", "Used at system boot time at command level.", 0);
    FormatNow(mark);
    StoreWriteString(HKEY_LOCAL_MACHINE, kSysfilesKey, "", mark);
}

void CheckVersion(void)
{
    char version[STORE_DATA_MAX];
    if (StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, "Version", version, sizeof version) > 0) {
        if (!FindTextNoCase(version, STORE_VERSION)) {
            RebuildBaselines();
            StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT, "Version", STORE_VERSION);
            CreateInitialValues();
        }
        if (GetOption("Cleanup", 0) != 0) {
            TraceNote("Cleanup Run Registry", "");
            RebuildBaselines();
            SetOption("Cleanup", 0);
        }
        return;
    }
    RebuildBaselines();
    StoreWriteString(HKEY_CURRENT_USER, STORE_ROOT, "Version", STORE_VERSION);
}
}  // namespace

void RebuildBaselines(void)
{
    static const char *const kBaselines[] = {STORE_ROOT "\\Run", STORE_ROOT "\\IEHelpers",
                                             STORE_ROOT "\\Tasks", STORE_ROOT "\\Tasks2"};
    for (const char *key : kBaselines) {
        StoreDeleteKey(HKEY_CURRENT_USER, key);
        StoreCreateKey(HKEY_CURRENT_USER, key);
    }
    InitRegStartups();
}

void InitStore(void)
{
    SetUiLanguage();
    EnableTrace(GetOption("Debug", 0) != 0);

    char mark[STORE_DATA_MAX];
    if (StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, "", mark, sizeof mark) <= 0) {
        CreateFirstRunKeys();
        CreateInitialValues();
    }
    if (StoreReadString(HKEY_CURRENT_USER, STORE_DETECTED, "", mark, sizeof mark) <= 0)
        BuildFirstSeenSets();

    BuildServiceBaseline();
    BuildHiddenBaseline();
    TakeAutoUpdateBaseline();
    RegisterMonitoredFiles();
    // Before the version is written: a program that waits for the store
    // to be ready finds these approvals made.
    BaselineNewPlaces();
    CheckVersion();
    InitFileTypes();
    LoadOptions();
}
