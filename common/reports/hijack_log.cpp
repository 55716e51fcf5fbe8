// The hijack log: one line per place through which the browser or the
// start of Windows can be taken over, each with its short section code.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "addon_locations.h"
#include "browser_settings.h"
#include "browsers.h"
#include "cookies.h"
#include "location_words.h"
#include "startup_hooks.h"
#include "dates.h"
#include "inventory.h"
#include "items.h"
#include "processes.h"
#include "program_files.h"
#include "report_writer.h"
#include "reports.h"
#include "signatures.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {
int BuildAllStartup(void) { return BuildStartupList(0); }
int ListServices(void) { return EnumerateServices(0); }

const char kIEMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kUrlPrefixKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
const char kUrlPrefixesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";

const struct {
    const char *key, *label;
} kControlSets[] = {{"SYSTEM\\ControlSet001", "CS1"},
                    {"SYSTEM\\CurrentControlSet", "CCS"},
                    {"SYSTEM\\ControlSet002", "CS2"},
                    {"SYSTEM\\ControlSet003", "CS3"}};

// One line from a value when it is present and not empty. 1 when written.
int ValueLine(ReportFile *file, HKEY root, const char *path, const char *name, const char *pattern,
              const char *label = nullptr)
{
    char *text = StoreReadTextCopy(root, path, name);
    if (!text) return 0;
    if (label)
        Fill(file, pattern, label, text);
    else
        Fill(file, pattern, text);
    free(text);
    return 1;
}

void InternetExplorerLine(ReportFile *file)
{
    char ie[PATH_SIZE];
    if (GetIEPath(ie) && FileExists(ie)) {
        VersionFacts facts;
        ReadVersionFacts(ie, facts);
        Fill(file, "MSIE: %s (%s)\r\n", facts[VERSION_FILE_DESCRIPTION], facts[VERSION_PRODUCT_VERSION]);
    } else {
        ReportWrite(file, "MSIE: Internet Explorer Not found.\r\n");
    }
}

void WriteHeader(ReportFile *file, const char *caption)
{
    char version[VERSION_TEXT_SIZE], time[32], date[32], platform[512];
    GetVersionText(version);
    SYSTEMTIME now;
    GetLocalTime(&now);
    ReportTimeText(&now, time, sizeof time);
    ReportDateText(&now, date, sizeof date);
    PlatformText(platform, sizeof platform);
    Fill(file, "Log created by %s version %s\r\n", caption, version);
    Fill(file, "Scan saved at %s, on %s\r\n", time, date);
    Fill(file, "Platform: %s\r\n", platform);
    InternetExplorerLine(file);
    int boot = GetSystemMetrics(SM_CLEANBOOT);
    ReportWrite(file, boot == 0   ? "Boot mode: Normal\r\n"
                      : boot == 1 ? "Boot mode: Safe\r\n"
                      : boot == 2 ? "Boot mode: Safe with Network\r\n"
                                  : "Boot mode: Unknown\r\n");
    char running[128];
    LoadUiString(818, running, sizeof running);
    Fill(file, "\r\n%s\r\n", running);
    CountProcesses();
    for (int i = 0; i < ItemCount(); i++) Fill(file, "%s\r\n", GetItemPath(i));
    ReportWrite(file, "\r\n");
}

void BrowserPages(ReportFile *file)
{
    static const struct {
        HKEY root;
        const char *hive, *name, *prefix;
    } kPages[] = {
        {HKEY_CURRENT_USER, "HKCU", "Default_Page_URL", "R1 - "}, {HKEY_CURRENT_USER, "HKCU", "Start Page", "R0 - "},
        {HKEY_LOCAL_MACHINE, "HKLM", "Default_Page_URL", "R1 - "}, {HKEY_LOCAL_MACHINE, "HKLM", "Start Page", "R0 - "},
        {HKEY_CURRENT_USER, "HKCU", "Window Title", "R1 - "},    {HKEY_LOCAL_MACHINE, "HKLM", "Window Title", "R0 - "},
    };
    for (const auto &page : kPages) {
        char *text = StoreReadTextCopy(page.root, kIEMainKey, page.name);
        if (!text) continue;
        Fill(file, "%s%s\\Software\\Microsoft\\Internet Explorer\\Main,%s = %s\r\n", page.prefix, page.hive, page.name,
             text);
        free(text);
    }
}

void SystemFiles(ReportFile *file)
{
    char text[512];
    if (GetPrivateProfileStringA("Boot", "Shell", "", text, sizeof text, "system.ini") && text[0] &&
        !TextEqualNoCase(text, "Explorer.exe"))
        Fill(file, "F0 - system.ini: Shell=%s\r\n", text);
    if (GetProfileStringA("Windows", "run", "", text, sizeof text) && text[0])
        Fill(file, "F1 - win.ini: run=%s\r\n", text);
    if (GetProfileStringA("Windows", "load", "", text, sizeof text) && text[0])
        Fill(file, "F1 - win.ini: load=%s\r\n", text);
    if (GetPrivateProfileStringA("Boot", "UserInit", "", text, sizeof text, "system.ini") && text[0])
        Fill(file, "F2 - REG: system.ini: UserInit=%s\r\n", text);
    const char *key = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    ValueLine(file, HKEY_CURRENT_USER, key, "Load", "F3 - HKCU Load=%s\r\n");
    ValueLine(file, HKEY_CURRENT_USER, key, "Run", "F3 - HKCU Run=%s\r\n");
}

// A whole file on the heap (free()), terminated; null when it cannot be read.
char *ReadWholeFile(const char *path, size_t *length)
{
    *length = 0;
    HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    char *data = nullptr;
    const LONGLONG kLimit = 256LL * 1024 * 1024;
    if (GetFileSizeEx(handle, &size) && size.QuadPart < kLimit) {
        data = (char *)malloc((size_t)size.QuadPart + 1);
        DWORD read = 0;
        if (data && ReadFile(handle, data, (DWORD)size.QuadPart, &read, nullptr)) {
            data[read] = 0;
            *length = read;
        } else {
            free(data);
            data = nullptr;
        }
    }
    CloseHandle(handle);
    return data;
}

// Calls visit(line) for every line of a text: cut at each line feed, TABs
// as blanks, other control characters and NUL bytes dropped.
template <typename Visit> void ForEachLine(const char *data, size_t length, Visit visit)
{
    char *line = (char *)malloc(length + 1);
    if (!line) return;
    size_t n = 0;
    for (size_t i = 0; i <= length; i++) {
        if (i == length || data[i] == '\n') {
            line[n] = 0;
            if (i < length || n) visit(line);
            n = 0;
            continue;
        }
        unsigned char c = (unsigned char)data[i];
        if (c == '\t')
            line[n++] = ' ';
        else if (c >= 32)
            line[n++] = (char)c;
    }
    free(line);
}

// 1 when a HOSTS line only keeps a name on this computer or blocks it: its
// address is a loopback or the null address.
int IsHarmlessHostsAddress(const char *address, size_t length)
{
    static const char *const kAddresses[] = {"127.0.0.1", "::1", "0.0.0.0", "0.0.0.0.0"};
    for (const char *known : kAddresses)
        if (strlen(known) == length && !strncmp(address, known, length)) return 1;
    return 0;
}

void HostsSection(ReportFile *file)
{
    char path[PATH_SIZE];
    if (!GetHostsPath(path, sizeof path)) return;
    size_t length;
    char *data = ReadWholeFile(path, &length);
    if (!data) return;
    ForEachLine(data, length, [&](const char *line) {
        const char *start = line;
        while (*start == ' ') start++;
        if (!*start || *start == '#') return;
        size_t fieldLength = strcspn(start, " #");
        if (IsHarmlessHostsAddress(start, fieldLength)) return;
        // Only an address followed by a name redirects anything.
        const char *rest = start + fieldLength;
        while (*rest == ' ') rest++;
        if (!*rest || *rest == '#') return;
        Fill(file, "O1 - Hosts: %s\r\n", line);
    });
    free(data);
}

const char *RunFormat(int type)
{
    static const char *const kMachine[] = {"O4 - HKLM\\..\\Run: [%s]%s\r\n", "O4 - HKLM\\..\\RunOnce: [%s]%s\r\n",
                                           "O4 - HKLM\\..\\RunOnceEx: [%s]%s\r\n",
                                           "O4 - HKLM\\..\\RunServices: [%s]%s\r\n",
                                           "O4 - HKLM\\..\\RunServicesOnce: [%s]%s\r\n",
                                           "O4 - HKLM\\..\\RunOnceSetup: [%s]%s\r\n",
                                           "O4 - HKLM\\..\\Policies\\Explorer\\Run: [%s]%s\r\n"};
    static const char *const kUser[] = {"O4 - HKCU\\..\\Run: [%s]%s\r\n", "O4 - HKCU\\..\\RunOnce: [%s]%s\r\n",
                                        "O4 - HKCU\\..\\RunOnceEx: [%s]%s\r\n",
                                        "O4 - HKCU\\..\\RunServices: [%s]%s\r\n",
                                        "O4 - HKCU\\..\\RunServicesOnce: [%s]%s\r\n",
                                        "O4 - HKCU\\..\\RunOnceSetup: [%s]%s\r\n"};
    static const char *const kUsers[] = {"O4 - HKU\\..\\Run: [%s]%s\r\n", "O4 - HKU\\..\\RunOnce: [%s]%s\r\n",
                                         "O4 - HKU\\..\\RunOnceEx: [%s]%s\r\n",
                                         "O4 - HKU\\..\\RunService: [%s]%s\r\n",
                                         "O4 - HKU\\..\\RunServicesOnce: [%s]%s\r\n",
                                         "O4 - HKU\\..\\RunOnceSetup: [%s]%s\r\n"};
    if (type >= 1 && type <= 7) return kMachine[type - 1];
    if (type >= 11 && type <= 16) return kUser[type - 11];
    if (type >= 21 && type <= 26) return kUsers[type - 21];
    return "O4 - Other Run: [%s]%s\r\n";
}

// The live entries of the Run family and the Startup folders.
void StartupSection(ReportFile *file)
{
    BuildStartupList(0);
    for (int i = 0; i < ItemCount(); i++) {
        const Item *record = GetItem(i);
        if (record->disabled || record->type >= ITEM_WIN_LOAD) continue;
        // The exact value name, not the shown title.
        Fill(file, RunFormat(record->type), record->name[0] ? record->name : record->title, record->path);
    }
    for (int i = 0; i < ItemCount(); i++) {
        const Item *record = GetItem(i);
        if (record->disabled || record->type != ITEM_STARTUP_FOLDER) continue;
        // The file in the folder (the shortcut itself), and whose folder
        // it is: the user's own or the one of all users.
        char name[PATH_SIZE];
        FileNamePart(record->name, name, sizeof name);
        Fill(file, IsAllUsersStartupFile(record->name) ? "O4 - Global Startup: %s=%s\r\n" : "O4 - Startup: %s=%s\r\n",
             name, record->path);
    }
    // Places the log has no code of its own for, named in plain words.
    for (int i = 0; i < ItemCount(); i++) {
        const Item *record = GetItem(i);
        if (record->disabled || !IsStartupHookType(record->type)) continue;
        char place[256];
        LocationWords(record, place, sizeof place);
        Fill(file, "%s: [%s] %s\r\n", place, record->name, record->path);
    }
}

void PolicySections(ReportFile *file)
{
    char text[513];
    if (StoreReadString(HKEY_CURRENT_USER, "Control Panel\\don't load", "inetcpl.cpl", text, sizeof text) > 0 &&
        strstr(text, "no"))
        Fill(file, "O5 - control.ini: inetcpl.cpl=%s\r\n", text);
    static const char *const kPolicies[] = {"Restrictions", "Control Panel"};
    for (const char *policy : kPolicies) {
        char key[260];
        FormatText(key, sizeof key, "Software\\Policies\\Microsoft\\Internet Explorer\\%s", policy);
        char *value = StoreReadTextCopy(HKEY_CURRENT_USER, key, "");
        if (value) Fill(file, "O6 - HKCU\\%s present\r\n", key);
        free(value);
    }
    static const struct {
        const char *name, *pattern;
    } kSystem[] = {
        {"DisableRegistryTools",
         "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableRegistryTools =%d\r\n"},
        {"DisableRegEdit", "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableRegEdit=%d\r\n"},
        {"DisableTaskMgr", "O7 - HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System, DisableTaskMgr =%d\r\n"},
    };
    for (const auto &value : kSystem) {
        BYTE data[STORE_DATA_MAX];
        DWORD type = 0;
        if (StoreReadRaw(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                         value.name, &type, data, sizeof data) <= 0)
            continue;
        int number = (signed char)data[0];
        if (number > 0) ReportFormat(file, value.pattern, number);
    }
}

void AddOnSections(ReportFile *file)
{
    ListMenuExtensions();
    for (int i = 0; i < ItemCount(); i++)
        Fill(file, "O8 - Extra context menu item: %s - %s\r\n", GetItemTitle(i), GetItemPath(i));
    ListButtonExtensions();
    for (int i = 0; i < ItemCount(); i++)
        Fill(file, GetItemType(i) == 1 ? "O9 - Extra button: %s - %s - %s\r\n"
                                       : "O9 - Extra 'Tools' menuitem: %s - %s - %s\r\n",
             GetItemTitle(i), GetItemDetail(i), GetItemPath(i));
    ListAdvancedOptions();
    for (int i = 0; i < ItemCount(); i++)
        Fill(file, "O11 - Options group: [%s] %s - %s\r\n", GetItemTitle(i), GetItemTitle(i), GetItemDetail(i));
    ListPlugins();
    for (int i = 0; i < ItemCount(); i++) Fill(file, "O12 - Plugin for %s: %s\r\n", GetItemTitle(i), GetItemPath(i));
}

void PrefixAndResetSections(ReportFile *file)
{
    static const struct {
        const char *key, *name, *pattern;
    } kPrefixes[] = {{kUrlPrefixKey, "", "O13 - DefaultPrefix: %s\r\n"},
                     {kUrlPrefixesKey, "www", "O13 - WWW Prefix: %s\r\n"},
                     {kUrlPrefixesKey, "www.", "O13 -  WWW. Prefix: %s\r\n"}};
    for (const auto &prefix : kPrefixes) {
        char *text = StoreReadTextCopy(HKEY_LOCAL_MACHINE, prefix.key, prefix.name);
        if (text && strlen(text) > 7) Fill(file, prefix.pattern, text);
        free(text);
    }

    char inf[PATH_SIZE];
    UINT n = GetWindowsDirectoryA(inf, sizeof inf);
    if (n == 0 || n >= sizeof inf || !AppendText(inf, sizeof inf, "\\inf\\iereset.inf")) return;
    char text[512];
    if (GetPrivateProfileStringA("Strings", "START_PAGE_URL", "", text, sizeof text, inf) && text[0])
        Fill(file, "O14 - IERESET.INF: START_PAGE_URL = %s\r\n", text);
    if (GetPrivateProfileStringA("Strings", "SEARCH_PAGE_URL", "", text, sizeof text, inf) && text[0])
        Fill(file, "O14 - IERESET.INF: SEARCH_PAGE_URL = %s\r\n", text);
    size_t length;
    char *data = ReadWholeFile(inf, &length);
    if (!data) return;
    static const char *const kPageNames[] = {"Start Page", "Default_Page_URL", "Default_Search_URL", "Search Page"};
    ForEachLine(data, length, [&](const char *line) {
        const char *comma = strrchr(line, ',');
        if (!comma || comma == line) return;
        const char *hive = strstr(line, "HKCU") ? "HKCU," : strstr(line, "HKLM") ? "HKLM," : "";
        for (const char *name : kPageNames)
            if (strstr(line, name)) Fill(file, "O14 - IERESET.INF:%s %s = %s\r\n", hive, name, comma + 1);
    });
    free(data);
}

void NetworkSections(ReportFile *file)
{
    ListZoneDomains();
    for (int i = 0; i < ItemCount(); i++) Fill(file, "O15 - Trusted Zone: %s\r\n", GetItemTitle(i));
    ListDownloadedControls();
    for (int i = 0; i < ItemCount(); i++)
        Fill(file, "O16 - DPF: %s (%s) - %s\r\n", GetItemInfo(i), GetItemTitle(i), GetItemPath(i));
    static const struct {
        const char *subkey, *name, *pattern;
    } kPasses[] = {
        {"\\Services\\Tcpip\\Parameters", "SearchList", "O17 - HKLM\\%s: SearchList = %s\r\n"},
        {"\\Services\\Tcpip\\Parameters", "NameServer", "O17 - HKLM\\%s: NameServer = %s\r\n"},
        {"\\Services\\VxD\\MSTCP", "Domain", "O17 - HKLM\\System\\%s\\Services\\VxD\\MSTCP: Domain = %s\r\n"},
        {"\\Services\\Tcpip\\Parameters", "Domain", "O17 - HKLM\\System\\%s\\Services\\Tcpip\\Parameters: Domain = %s\r\n"},
    };
    for (const auto &pass : kPasses)
        for (const auto &set : kControlSets) {
            char key[260];
            FormatText(key, sizeof key, "%s%s", set.key, pass.subkey);
            ValueLine(file, HKEY_LOCAL_MACHINE, key, pass.name, pass.pattern, set.label);
        }
    ValueLine(file, HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Styles", "User Stylesheet",
              "O19 -  User style sheet: %s\r\n");
    ValueLine(file, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "AppInit_DLLs",
              "O20 - AppInit_DLLs: %s\r\n\r\n");
    ListDelayLoadObjects();
    for (int i = 0; i < ItemCount(); i++)
        if (!IsKnownSystemClass(GetItemDetail(i)))
            Fill(file, "O21 - %s - %s - %s - %s\r\n", GetItemInfo(i), GetItemTitle(i), GetItemDetail(i),
                 GetItemPath(i));
    ListSharedTaskSchedulers();
    for (int i = 0; i < ItemCount(); i++)
        if (!FindTextNoCase(GetItemPath(i), "browseui.dll"))
            Fill(file, "O22 - SharedTaskScheduler: (%s) - %s - %s\r\n", GetItemTitle(i), GetItemDetail(i),
                 GetItemPath(i));
    EnumerateServices(0);
    for (int i = 0; i < ItemCount(); i++) {
        char program[PATH_SIZE];
        VersionFacts facts;
        memset(facts, 0, sizeof facts);
        if (ResolveCommandPath(GetItemPath(i), program)) ReadReportFacts(program, facts);
        Fill(file, "O23 - Service: %s - %s - %s\r\n", GetItemTitle(i), facts[VERSION_COMPANY_NAME], GetItemPath(i));
    }
    for (int n = 0; n <= 8; n++) {
        char key[128];
        FormatText(key, sizeof key, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\%1d", n);
        char *name = StoreReadTextCopy(HKEY_CURRENT_USER, key, "FriendlyName");
        if (!name) break;
        if (!strstr(name, "Current Home Page")) {
            char *source = StoreReadTextCopy(HKEY_CURRENT_USER, key, "Source");
            char number[8];
            FormatText(number, sizeof number, "%d", n);
            Fill(file, "O24 -  Desktop Component %s: %s - %s\r\n", number, name, source ? source : "");
            free(source);
        }
        free(name);
    }
}

// Who signed each program of the startup entries, services and IE helpers,
// after the sections: a line of its own per program file, so that the
// section lines stay as every reader of the log knows them.
void Publishers(ReportFile *file)
{
    ReportWrite(file, "Publishers (verified signer, or Not verified):\r\n");
    std::set<std::string> seen;
    for (int (*list)(void) : {BuildAllStartup, ListServices, EnumerateIEHelpers}) {
        list();
        for (int i = 0; i < ItemCount(); i++) {
            char file_[PATH_SIZE], parameters[PATH_SIZE], publisher[SIGNER_NAME_SIZE];
            if (SplitCommand(GetItemPath(i), file_, parameters) <= 0) continue;
            char key[PATH_SIZE];
            CopyTextCut(key, sizeof key, file_);
            CharLowerA(key);
            if (!seen.insert(key).second) continue;
            RecordPublisherText(GetItem(i), publisher, sizeof publisher);
            Fill(file, "  %s - %s\r\n", file_, publisher);
        }
    }
}

void AdditionalInfo(ReportFile *file)
{
    ReportWrite(file, "\r\n---  Additional Sentrel Info  ---\r\n");
    char browser[PATH_SIZE];
    if (GetDefaultBrowser(browser) && FileExists(browser)) {
        VersionFacts facts;
        ReadVersionFacts(browser, facts);
        Fill(file, "Default Browser: %s - %s version %s\r\n", facts[VERSION_PRODUCT_NAME],
             facts[VERSION_FILE_DESCRIPTION], facts[VERSION_PRODUCT_VERSION]);
    } else {
        ReportWrite(file, "Browser: Unable to find default browser.\r\n");
    }
    InternetExplorerLine(file);
    char version[VERSION_SLOT_SIZE], folder[PATH_SIZE];
    if (FindAolWindow() && AppPathVersion("AOL.EXE", version, folder))
        Fill(file, "America Online version %s running %s\r\n", version, folder);
    static const struct {
        const char *program, *pattern;
    } kBrowsers[] = {{"firefox.exe", "Firefox %s installed in %s.\r\n"},
                     {"Mozilla.exe", "Mozilla %s installed in %s.\r\n"},
                     {"Netscp.exe", "Netscape %s installed in %s.\r\n"}};
    for (const auto &other : kBrowsers)
        if (AppPathVersion(other.program, version, folder)) Fill(file, other.pattern, version, folder);
    // The cookies of each browser, counted as their lists show them.
    if (FindIECookieFolder(folder)) {
        char count[16];
        FormatText(count, sizeof count, "%d", ReadIECookies(0));
        Fill(file, "%s IE Cookies in Folder: %s\r\n", count, folder);
    }
    if (FindMozillaProfileFolder(folder)) {
        char count[16];
        FormatText(count, sizeof count, "%d", ReadMozillaCookies(0));
        Fill(file, "%s Mozilla Cookies in Folder: %s\r\n", count, folder);
    }
    FreeItems();

    ReportWrite(file, "\r\n");
    int any = 0;
    for (const auto &set : kControlSets) {
        char key[260];
        FormatText(key, sizeof key, "%s\\Control\\Session Manager\\", set.key);
        any |= ValueLine(file, HKEY_LOCAL_MACHINE, key, "BootExecute", "SE00 - HKLM\\%s: BootExecute = %s\r\n",
                         set.label);
    }
    for (const auto &set : kControlSets) {
        char key[260];
        FormatText(key, sizeof key, "%s\\Control\\Session Manager\\", set.key);
        any |= ValueLine(file, HKEY_LOCAL_MACHINE, key, "PendingFileRenameOperations",
                         "SE01 - HKLM\\%s: PendingFileRenameOperations = %s\r\n", set.label);
    }
    any |= ValueLine(file, HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                     "ComSpec", "SE02 - HKLM\\%s: Command = %s\r\n", "CCS");
    if (any) ReportWrite(file, "\r\n");

    int update = ReadAutoUpdateSetting(VIEW_NATIVE);
    if (update) {
        char text[256], number[16];
        AutoUpdateText(update, text, sizeof text);
        FormatText(number, sizeof number, "%d", update);
        Fill(file, "SE03 - Windows Automatic Update = %s:%s\r\n\r\n", number, text);
    }
    ListDelayedPrograms();
    for (int i = 0; i < ItemCount(); i++) Fill(file, "SE06 - Delayed Start: [%s]%s\r\n", GetItemTitle(i), GetItemPath(i));
    ReportWrite(file, "\r\n");
    int prefixes = ValueLine(file, HKEY_LOCAL_MACHINE, kUrlPrefixKey, "", "SE08 - HKLM\\%s: Default = %s\r\n",
                             kUrlPrefixKey);
    char *www = StoreReadTextCopy(HKEY_LOCAL_MACHINE, kUrlPrefixesKey, "www");
    if (www) {
        Fill(file, "SE08 - HKLM\\%s: %s = %s\r\n", kUrlPrefixesKey, "www", www);
        prefixes = 1;
        free(www);
    }
    if (prefixes) ReportWrite(file, "\r\n");
    EnumerateTasks();
    for (int i = 0; i < ItemCount(); i++)
        Fill(file, "SE31 - Scheduled Tasks: [%s]%s %s\r\n", GetItemTitle(i), GetItemPath(i), GetItemInfo(i));
    ReportWrite(file, "\r\n");
    ListHiddenFiles();
    for (int i = 0; i < ItemCount() && i < 41; i++) Fill(file, "SE32 - Hidden File: %s\r\n", GetItemPath(i));
    ReportWrite(file, "\r\n");
    ListFileTypes();
    for (int i = 0; i < ItemCount(); i++)
        Fill(file, "SE33 - File Type %s: [%s]%s\r\n", GetItemInfo(i), GetItemTitle(i), GetItemPath(i));
    ReportWrite(file, "\r\n");

    MEMORYSTATUSEX memory;
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory)) {
        char load[32], physical[32], paging[32], virtualFree[32];
        FormatThousands(load, sizeof load, (long)memory.dwMemoryLoad);
        FormatThousands(physical, sizeof physical, (long long)(memory.ullAvailPhys >> 10));
        FormatThousands(paging, sizeof paging, (long long)(memory.ullAvailPageFile >> 10));
        FormatThousands(virtualFree, sizeof virtualFree, (long long)(memory.ullAvailVirtual >> 10));
        Fill(file, "Memory currently in use: %s%%\r\n", load);
        Fill(file, "Physical Memory Free: %s KB\r\nPaging File Free: %s KB\r\nVirtual Memory Free: %s KB\r\n", physical,
             paging, virtualFree);
    }
    ReportWrite(file, "\r\n");
    Publishers(file);
    ReportWrite(file, "\r\n\r\n--\r\nEnd of file\r\n");
}

}  // namespace

int WriteHijackLogFile(const char *path, const char *caption)
{
    ReportFile file;
    if (!ReportOpen(&file, path)) return 0;
    HeldItems held;
    HoldItemList(&held);
    ForgetReportFacts();
    WriteHeader(&file, caption);
    BrowserPages(&file);
    SystemFiles(&file);
    HostsSection(&file);
    ListBrowserHelperObjects();
    for (int i = 0; i < ItemCount(); i++)
        Fill(&file, "O2 - BHO: %s - %s - %s\r\n", GetItemTitle(i), GetItemDetail(i), GetItemPath(i));
    ListToolbars();
    for (int i = 0; i < ItemCount(); i++)
        Fill(&file, "O3 - Toolbar: %s - %s - %s\r\n", GetItemTitle(i), GetItemDetail(i), GetItemPath(i));
    StartupSection(&file);
    PolicySections(&file);
    AddOnSections(&file);
    PrefixAndResetSections(&file);
    NetworkSections(&file);
    AdditionalInfo(&file);
    FreeItems();
    RestoreItemList(&held);
    return ReportClose(&file);
}
