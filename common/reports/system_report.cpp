// The system report: every inventory in one file, as HTML to read in the
// browser or as TAB-separated text.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "data_folders.h"
#include "dates.h"
#include "first_seen.h"
#include "inventory.h"
#include "items.h"
#include "processes.h"
#include "program_files.h"
#include "report_writer.h"
#include "signatures.h"
#include "reports.h"
#include "services.h"
#include "startup_list.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

// The address of the online information about a program.
const char kInfoAddress[] = "http://www.orvendale.com/cgi-bin/zentainfo.pl?program=";
const char kIEMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

int BuildStartupSection(void) { return BuildStartupList(0); }
int BuildServicesSection(void) { return EnumerateServices(0); }

enum { SECTION_IE_HELPERS = 4, SECTION_SERVICES = 6, SECTION_HIDDEN = 7, SECTION_COUNT = 8 };

const struct Section {
    int (*build)(void);
    UINT title;
} kSections[SECTION_COUNT] = {
    {BuildStartupSection, 606}, {ListDelayedPrograms, 609}, {CountProcesses, 607},
    {EnumerateTasks, 680},      {EnumerateIEHelpers, 694},  {ListFileTypes, 739},
    {BuildServicesSection, 636}, {ListHiddenFiles, 973},
};

// What the report shows of one record's program file.
struct FileFacts {
    char file[PATH_SIZE];
    VersionFacts version;
};

void ReadFacts(const Item *record, FileFacts *facts)
{
    memset(facts->version, 0, sizeof facts->version);
    facts->file[0] = 0;
    if (!record->path[0]) return;
    if (record->type == ITEM_HIDDEN)
        CopyText(facts->file, sizeof facts->file, record->path);
    else if (!ResolveCommandPath(record->path, facts->file))
        return;
    ReadReportFacts(facts->file, facts->version);
}

void WriteHeader(ReportFile *file, const char *caption)
{
    char version[VERSION_TEXT_SIZE], time[32], date[32];
    GetVersionText(version);
    SYSTEMTIME now;
    GetLocalTime(&now);
    ReportTimeText(&now, time, sizeof time);
    ReportDateText(&now, date, sizeof date);
    Html(file, "Report created by %s version %s at %s, on %s<br>\r\n", caption, version, time, date);
    ReportWrite(file, "<br>\r\n");
    char platform[512];
    PlatformText(platform, sizeof platform);
    Html(file, "<b>Platform:</b> %s<br>\r\n", platform);

    char browser[PATH_SIZE];
    VersionFacts facts;
    if (GetDefaultBrowser(browser) && FileExists(browser)) {
        ReadVersionFacts(browser, facts);
        Html(file, "<b>Browser:</b> %s - <i>%s</i> version %s<br>\r\n", facts[VERSION_PRODUCT_NAME],
             facts[VERSION_FILE_DESCRIPTION], facts[VERSION_PRODUCT_VERSION]);
    } else {
        ReportWrite(file, "Browser: Unable to find default browser.<br>\r\n");
    }
    MEMORYSTATUSEX memory;
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory))
        ReportFormat(file, "Memory currently in use: %lu%%<br>\r\n<br>", (unsigned long)memory.dwMemoryLoad);

    char ie[PATH_SIZE];
    if (GetIEPath(ie) && FileExists(ie)) {
        ReadVersionFacts(ie, facts);
        Html(file, "MSIE: %s (%s)<br>\r\n", facts[VERSION_FILE_DESCRIPTION], facts[VERSION_PRODUCT_VERSION]);
        char cookies[PATH_SIZE];
        if (SHGetSpecialFolderPathA(nullptr, cookies, CSIDL_COOKIES, FALSE))
            Html(file, "IE Cookie Path: %s <br>\r\n", cookies);
    } else {
        ReportWrite(file, "MSIE: Internet Explorer Not found.<br>\r\n");
    }
    ReportWrite(file, "\r\n");

    static const struct {
        const char *program, *pattern;
    } kBrowsers[] = {{"AOL.EXE", "America Online version %s<br>\r\n"},
                     {"firefox.exe", "Firefox %s installed in %s<br>\r\n"},
                     {"Mozilla.exe", "Mozilla %s installed in %s<br>\r\n"},
                     {"Netscp.exe", "Netscape %s installed in %s<br>\r\n"}};
    for (const auto &other : kBrowsers) {
        char otherVersion[VERSION_SLOT_SIZE], folder[PATH_SIZE];
        if (AppPathVersion(other.program, otherVersion, folder)) Html(file, other.pattern, otherVersion, folder);
    }
    ReportWrite(file, "<br>\r\n");

    static const struct {
        HKEY root;
        const char *key, *name, *pattern;
    } kValues[] = {
        {HKEY_CURRENT_USER, kIEMainKey, "Window Title", "HKCU Window Title = %s<br>\r\n"},
        {HKEY_CURRENT_USER, kIEMainKey, "Default_Page_URL", "HKCU Default_Page_URL = %s<br>\r\n"},
        {HKEY_LOCAL_MACHINE, kIEMainKey, "Default_Page_URL", "HKLM Default_Page_URL = %s<br>\r\n"},
        {HKEY_CURRENT_USER, kIEMainKey, "Start Page", "HKCU Start Page = %s<br>\r\n"},
        {HKEY_LOCAL_MACHINE, kIEMainKey, "Start Page", "HKLM Start Page = %s<br>\r\n"},
        {nullptr, nullptr, nullptr, "<br>\r\n"},
        {HKEY_LOCAL_MACHINE, kWinlogonKey, "DefaultUserName", "WinLogon DefaultUserName=%s<br>\r\n"},
        {HKEY_LOCAL_MACHINE, kWinlogonKey, "DefaultDomainName", "WinLogon DefaultDomainName=%s<br>\r\n"},
        {HKEY_LOCAL_MACHINE, kWinlogonKey, "Shell", "WinLogon Shell=%s<br>\r\n"},
        {HKEY_LOCAL_MACHINE, kWinlogonKey, "UserInit", "WinLogon UserInit=%s<br>\r\n"},
    };
    for (const auto &value : kValues) {
        if (!value.root) {
            ReportWrite(file, value.pattern);
            continue;
        }
        char *text = StoreReadTextCopy(value.root, value.key, value.name);
        if (text) Html(file, value.pattern, text);
        free(text);
    }
    ReportWrite(file, "<br>\r\n<br>\r\n");
}

const char *const kHelperKeys[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
    "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar",
    "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions",
};

void WriteHtmlEntry(ReportFile *file, int section, const Item *record, const ServiceSnapshot *states,
                    const char *buildText, const char *language)
{
    FileFacts facts;
    ReadFacts(record, &facts);
    char fileName[PATH_SIZE];
    FileNamePart(record->path, fileName, sizeof fileName);
    if (!fileName[0]) CopyTextCut(fileName, sizeof fileName, record->path);
    const char *description = facts.version[VERSION_FILE_DESCRIPTION];
    const char *productVersion = facts.version[VERSION_PRODUCT_VERSION];
    const char *copyright = facts.version[VERSION_LEGAL_COPYRIGHT];
    static const char kGap[] = "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                               "&nbsp;&nbsp;&nbsp;&nbsp;\r\n";
    if (section == SECTION_HIDDEN) {
        Html(file, "<li><b>%s</b>\r\n\t<ol>\r\n", fileName);
    } else {
        Html(file, "<li><b>%s</b>\r\n\t<ol>%s", record->title[0] ? record->title : "No Description available",
             fileName);
        ReportWrite(file, kGap);
    }
    if (description[0]) Html(file, "\t%s<br>", description);
    if (productVersion[0]) Html(file, "\tVersion: %s&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;\r\n", productVersion);
    if (copyright[0]) Html(file, "\t%s<br>\r\n", copyright);
    if (!description[0] && !copyright[0]) ReportWrite(file, "<br>");
    char location[512];
    if (DescribeEntryLocation(record, record->disabled, location, sizeof location) > 0)
        Html(file, "\tLocation: %s<br>\r\n", location);
    if (record->path[0]) Html(file, "\tPath:     %s<br>\r\n", record->path);
    char seen[DATE_TEXT_SIZE];
    if (record->path[0] && GetFirstSeen(record->path, record->type, seen) > 0)
        Html(file, "\tFirst Detected by Sentrel: %s<br>\r\n", seen);
    char publisher[SIGNER_NAME_SIZE];
    if (record->path[0] && RecordPublisherText(record, publisher, sizeof publisher) > 0)
        Html(file, "\tPublisher: %s<br>\r\n", publisher);
    if (record->info[0]) Html(file, "\t%s<br>\r\n", record->info);
    if (section == SECTION_IE_HELPERS && record->type >= ITEM_BHO && record->type <= ITEM_EXTENSION) {
        char word[64];
        LoadUiString(716, word, sizeof word);
        Html(file, "%s: \"HKLM\\%s\"<br>\r\n", word, kHelperKeys[record->type - ITEM_BHO]);
    }
    if (section == SECTION_SERVICES) {
        Html(file, "\tStartup Type: %s<br>\r\n", record->detail);
        char state[256];
        if (states) {
            SnapshotStateText(states, record->name, state);
            if (state[0]) Html(file, "\tService Status: %s<br>\r\n", state);
        }
    }
    if (section == SECTION_HIDDEN) {
        char dates[5][FILE_FACT_SIZE];
        GetFileDates(record->path, record->type, dates);
        Html(file, "\tCreated: %s<br>\r\n\tAccessed: %s<br>\r\n\tWritten: %s<br>\r\n\tFile Size: %s Bytes<br>\r\n",
             dates[0], dates[1], dates[2], dates[4]);
    }
    // The online information: every part of the address encoded for the
    // query, and the whole address escaped for the attribute.
    char program[PATH_SIZE * 3], vendor[VERSION_SLOT_SIZE], versionPart[VERSION_SLOT_SIZE],
        build[VERSION_TEXT_SIZE];
    char fileOnly[PATH_SIZE];
    FileNamePart(facts.file, fileOnly, sizeof fileOnly);
    UrlEncode(program, sizeof program, fileOnly[0] ? fileOnly : record->title);
    UrlEncode(vendor, sizeof vendor, facts.version[VERSION_COMPANY_NAME]);
    UrlEncode(versionPart, sizeof versionPart, productVersion);
    UrlEncode(build, sizeof build, buildText);
    char type[16];
    FormatText(type, sizeof type, "%d", record->type);
    ReportWrite(file, "\t<A href='");
    ReportWrite(file, kInfoAddress);
    Html(file, "%s&vendor=%s&version=%s&build=%s&Type=%s&Loc=%s", program, vendor, versionPart, build, type,
         language);
    ReportWrite(file, "'>Click for Zenta Info</A></ol>\r\n\r\n\t</ol><br>\r\n\r\n");
}

void WriteTextEntry(ReportFile *file, const Item *record)
{
    FileFacts facts;
    ReadFacts(record, &facts);
    char fileName[PATH_SIZE], location[512];
    FileNamePart(record->path, fileName, sizeof fileName);
    DescribeEntryLocation(record, record->disabled, location, sizeof location);
    char publisher[SIGNER_NAME_SIZE] = "";
    if (record->path[0]) RecordPublisherText(record, publisher, sizeof publisher);
    const char *fields[] = {record->title, fileName, facts.version[VERSION_FILE_DESCRIPTION],
                            facts.version[VERSION_PRODUCT_VERSION], facts.version[VERSION_LEGAL_COPYRIGHT],
                            location, record->path, publisher};
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; i++) {
        if (i) ReportWrite(file, "\t");
        // A field that a spreadsheet would take for a formula is kept text.
        if (strchr("=+-@", fields[i][0]) && fields[i][0]) ReportWrite(file, "'");
        ReportWriteTabField(file, fields[i]);
    }
    ReportWrite(file, "\r\n");
}

int WriteSections(ReportFile *file, int format)
{
    char buildText[VERSION_TEXT_SIZE], language[16];
    GetVersionText(buildText);
    if (LoadUiString(634, language, sizeof language) <= 0) CopyText(language, sizeof language, "en");
    for (int section = 0; section < SECTION_COUNT; section++) {
        char title[128];
        LoadUiString(kSections[section].title, title, sizeof title);
        kSections[section].build();
        ServiceSnapshot *states = section == SECTION_SERVICES ? TakeServiceSnapshot() : nullptr;
        if (format == 0) {
            ReportFormat(file, "<A NAME=\"A%d\">\r\n", section);
            Html(file, "<center><b><BIG><BIG> \x95 %s \x95 </BIG></BIG></b></center>\r\n", title);
        } else {
            ReportWriteTabField(file, title);
            ReportWrite(file, "\r\n");
        }
        for (int i = 0; i < ItemCount(); i++) {
            const Item *record = GetItem(i);
            if (!record->title[0] && !record->path[0]) continue;
            if (format == 0)
                WriteHtmlEntry(file, section, record, states, buildText, language);
            else
                WriteTextEntry(file, record);
        }
        if (states) FreeServiceSnapshot(states);
    }
    FreeItems();
    return 1;
}

}  // namespace

int ReportPathOf(const char *fileName, char *out)
{
    out[0] = 0;
    char folder[PATH_SIZE];
    if (!GetUserDataFolder(folder)) return 0;
    return (int)FormatText(out, PATH_SIZE, "%s\\%s", folder, fileName);
}

int AppPathVersion(const char *program, char *version, char *folder)
{
    version[0] = folder[0] = 0;
    char key[PATH_SIZE], file[PATH_SIZE];
    if (!FormatText(key, sizeof key, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", program))
        return 0;
    if (StoreReadString(HKEY_LOCAL_MACHINE, key, "", file, sizeof file) <= 0) return 0;
    RemoveQuotes(file, file, sizeof file);
    if (!FileExists(file)) return 0;
    VersionFacts facts;
    ReadVersionFacts(file, facts);
    CopyText(version, VERSION_SLOT_SIZE, facts[VERSION_PRODUCT_VERSION]);
    StoreReadString(HKEY_LOCAL_MACHINE, key, "Path", folder, PATH_SIZE);
    return 1;
}

int WriteSystemReportFile(const char *path, int format, const char *caption)
{
    ReportFile file;
    if (!ReportOpen(&file, path)) return 0;
    HeldItems held;
    HoldItemList(&held);
    ForgetReportFacts();
    if (format == 0) {
        static const char kTitle[] = "Sentrel Report Log";
        ReportFormat(&file,
                     "<html><head><meta charset=\"utf-8\"><title>\r\n%s</title></head>\r\n"
                     "<body bgcolor=FloralWhite>\r\n",
                     kTitle);
        ReportFormat(&file, "<H2 align='center'> %s </H2>\r\n", kTitle);
        WriteHeader(&file, caption);
        for (int section = 0; section < SECTION_HIDDEN; section++) {
            char title[128];
            LoadUiString(kSections[section].title, title, sizeof title);
            ReportFormat(&file, "<A href='" SYSTEM_REPORT_HTML "#A%d'>", section);
            Html(&file, "%s</A><br>\r\n", title);
        }
    } else {
        ReportWrite(&file, "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\tPublisher\r\n");
    }
    WriteSections(&file, format);
    if (format == 0) ReportWrite(&file, "</body></html>\r\n");
    RestoreItemList(&held);
    return ReportClose(&file);
}
