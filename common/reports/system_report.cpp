// The system report: every inventory in one file, as HTML to read in the
// browser or as TAB-separated text.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "browsers.h"
#include "data_folders.h"
#include "dates.h"
#include "first_seen.h"
#include "inventory.h"
#include "items.h"
#include "location_words.h"
#include "processes.h"
#include "registered_tasks.h"
#include "cookies.h"
#include "program_info.h"
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

const char kIEMainKey[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

int BuildStartupSection(void) { return BuildStartupList(0); }
int BuildServicesSection(void) { return EnumerateServices(0); }
// The cookies of both browsers are written one after the other: this
// lists the Internet Explorer ones, the section then adds the Mozilla ones.
int BuildCookiesSection(void) { return ReadIECookies(0); }

enum {
    SECTION_IE_HELPERS = 4,
    SECTION_SERVICES = 6,
    SECTION_HIDDEN = 7,
    SECTION_COOKIES = 8,
    SECTION_COUNT = 9
};

const struct Section {
    int (*build)(void);
    UINT title;
} kSections[SECTION_COUNT] = {
    {BuildStartupSection, 606}, {ListDelayedPrograms, 609}, {CountProcesses, 607},
    {EnumerateTasks, 680},      {EnumerateIEHelpers, 694},  {ListFileTypes, 739},
    {BuildServicesSection, 636}, {ListHiddenFiles, 973},    {BuildCookiesSection, 608},
};

// A section's title without the blanks a tab caption has around it.
void SectionTitle(int section, char *out, int size)
{
    char title[128];
    LoadUiString(kSections[section].title, title, sizeof title);
    const char *start = title;
    while (*start == ' ') start++;
    CopyTextCut(out, (size_t)size, start);
    size_t length = strlen(out);
    while (length > 0 && out[length - 1] == ' ') out[--length] = 0;
}

// Sentrel's own version, read once per report: every lookup address
// carries it.
char reportBuild[VERSION_TEXT_SIZE];

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
    // Read through the file's own letters (found at once); the report
    // names it in capitals.
    char own[PATH_SIZE];
    int hidden = record->type == ITEM_HIDDEN;
    ReadReportFacts(!hidden && ResolveCommandFile(record->path, own) ? own : facts->file, facts->version);
}

void WriteHeader(ReportFile *file, const char *caption)
{
    char time[32], date[32];
    SYSTEMTIME now;
    GetLocalTime(&now);
    ReportTimeText(&now, time, sizeof time);
    ReportDateText(&now, date, sizeof date);
    Html(file, "Report created by %s version %s at %s, on %s<br>\r\n", caption, reportBuild, time, date);
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

// The columns of a section's table.
void WriteHtmlHeadings(ReportFile *file, int section)
{
    static const char *const kUsual[] = {"Title", "File", "Version", "Publisher", "Location", "Command",
                                         "First detected", "Lookup"};
    static const char *const kServices[] = {"Title", "File", "Version", "Publisher", "Start type", "Status",
                                            "Command", "Lookup"};
    static const char *const kHidden[] = {"File", "Size (bytes)", "Created", "Written", "Publisher", "Lookup"};
    static const char *const kCookies[] = {"Site", "Browser", "File or path", "Date"};
    const char *const *names = kUsual;
    size_t count = sizeof kUsual / sizeof kUsual[0];
    if (section == SECTION_SERVICES) names = kServices, count = sizeof kServices / sizeof kServices[0];
    if (section == SECTION_HIDDEN) names = kHidden, count = sizeof kHidden / sizeof kHidden[0];
    if (section == SECTION_COOKIES) names = kCookies, count = sizeof kCookies / sizeof kCookies[0];
    ReportWrite(file, "<table>\r\n<tr>");
    for (size_t i = 0; i < count; i++) Html(file, "<th>%s</th>", names[i]);
    ReportWrite(file, "</tr>\r\n");
}

void Cell(ReportFile *file, const char *text)
{
    Html(file, "<td>%s</td>", text);
}

// The lookup of a program on the maker's server: the same address the
// pages open, from the version facts the report has read already.
void LookupCell(ReportFile *file, const Item *record)
{
    static char address[INFO_ADDRESS_SIZE];
    static VersionFacts facts;
    char source[PATH_SIZE];
    ReadReportFacts(InfoAddressSource(record->path, source), facts);
    if (!BuildInfoAddressFrom(record->type + 1000, record->path, record->title, 0, facts, reportBuild, address,
                              sizeof address)) {
        ReportWrite(file, "<td></td>");
        return;
    }
    Html(file, "<td><a href=\"%s\">Look up</a></td>", address);
}

// The location text of a record: a report shows the same few places on
// row after row, so each text is made once per report.
struct KnownLocation {
    int type, disabled, view;
    char text[512];
};
KnownLocation knownLocations[64];
int knownLocationCount;

void LocationText(const Item *record, char *out, int size)
{
    for (int i = 0; i < knownLocationCount; i++) {
        const KnownLocation &known = knownLocations[i];
        if (known.type == record->type && known.disabled == record->disabled && known.view == record->view) {
            CopyTextCut(out, (size_t)size, known.text);
            return;
        }
    }
    DescribeEntryLocation(record, record->disabled, out, size);
    if (knownLocationCount < 64) {
        KnownLocation &known = knownLocations[knownLocationCount++];
        known.type = record->type;
        known.disabled = record->disabled;
        known.view = record->view;
        CopyTextCut(known.text, sizeof known.text, out);
    }
}

// seen: the record's first-seen date (services have none).
void WriteHtmlEntry(ReportFile *file, int section, const Item *record, const ServiceSnapshot *states,
                    const char *seen)
{
    ReportWrite(file, "<tr>");
    if (section == SECTION_COOKIES) {
        Cell(file, record->title);
        Cell(file, record->type == ITEM_COOKIE ? "Internet Explorer" : "Mozilla");
        Cell(file, record->path);   // never the cookie's value
        Cell(file, record->info);
        ReportWrite(file, "</tr>\r\n");
        return;
    }
    FileFacts facts;
    ReadFacts(record, &facts);
    char fileName[PATH_SIZE];
    FileNamePart(facts.file[0] ? facts.file : record->path, fileName, sizeof fileName);
    if (!fileName[0]) CopyTextCut(fileName, sizeof fileName, record->path);
    char publisher[SIGNER_NAME_SIZE] = "";
    if (record->path[0]) RecordPublisherText(record, publisher, sizeof publisher);
    if (section == SECTION_HIDDEN) {
        char dates[5][FILE_FACT_SIZE];
        GetFileDates(record->path, record->type, dates);
        Cell(file, record->path);
        Cell(file, dates[4]);
        Cell(file, dates[0]);
        Cell(file, dates[2]);
        Cell(file, publisher);
        LookupCell(file, record);
        ReportWrite(file, "</tr>\r\n");
        return;
    }
    Cell(file, record->title[0] ? record->title : facts.version[VERSION_FILE_DESCRIPTION]);
    Cell(file, fileName);
    Cell(file, facts.version[VERSION_PRODUCT_VERSION]);
    Cell(file, publisher);
    if (section == SECTION_SERVICES) {
        char state[256] = "";
        if (states) SnapshotStateText(states, record->name, state);
        Cell(file, record->detail);
        Cell(file, state);
    } else {
        char location[512];
        LocationText(record, location, sizeof location);
        // A 2.0 task: when it starts.
        RegisteredTaskFacts facts;
        if (record->type == ITEM_TASK2 && RegisteredTaskFactsOf(record->name, &facts) && facts.file.triggers[0]) {
            AppendTextCut(location, sizeof location, ": ");
            AppendTextCut(location, sizeof location, facts.file.triggers);
        }
        Cell(file, location);
    }
    Cell(file, record->path);
    if (section != SECTION_SERVICES) Cell(file, seen);
    LookupCell(file, record);
    ReportWrite(file, "</tr>\r\n");
}

void WriteTextEntry(ReportFile *file, const Item *record)
{
    FileFacts facts;
    ReadFacts(record, &facts);
    char fileName[PATH_SIZE], location[512];
    FileNamePart(record->path, fileName, sizeof fileName);
    LocationText(record, location, sizeof location);
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

// The first-seen dates of the section's rows, read together (one opening
// of their key for many rows). Null when the section shows none or memory
// is short; free() it.
char (*SectionFirstSeen(int section, int format))[DATE_TEXT_SIZE]
{
    int count = ItemCount();
    if (format != 0 || section == SECTION_SERVICES || section == SECTION_HIDDEN || section == SECTION_COOKIES ||
        count == 0)
        return nullptr;
    char(*dates)[DATE_TEXT_SIZE] = (char(*)[DATE_TEXT_SIZE])malloc((size_t)count * DATE_TEXT_SIZE);
    const char **paths = (const char **)malloc((size_t)count * sizeof(const char *));
    int *types = (int *)malloc((size_t)count * sizeof(int));
    if (dates && paths && types) {
        for (int i = 0; i < count; i++) {
            paths[i] = GetItem(i)->path;
            types[i] = GetItem(i)->type;
        }
        GetFirstSeenMany(paths, types, count, dates);
    } else {
        free(dates);
        dates = nullptr;
    }
    free(paths);
    free(types);
    return dates;
}

void WriteSectionRows(ReportFile *file, int section, int format, const ServiceSnapshot *states)
{
    char(*dates)[DATE_TEXT_SIZE] = SectionFirstSeen(section, format);
    for (int i = 0; i < ItemCount(); i++) {
        const Item *record = GetItem(i);
        if (!record->title[0] && !record->path[0]) continue;
        if (format != 0) {
            WriteTextEntry(file, record);
            continue;
        }
        char seen[DATE_TEXT_SIZE] = "";
        if (dates)
            CopyText(seen, sizeof seen, dates[i]);
        else if (section != SECTION_SERVICES && section != SECTION_HIDDEN && section != SECTION_COOKIES &&
                 record->path[0] && GetFirstSeen(record->path, record->type, seen) <= 0)
            seen[0] = 0;
        WriteHtmlEntry(file, section, record, states, seen);
    }
    free(dates);
}

int WriteSections(ReportFile *file, int format)
{
    for (int section = 0; section < SECTION_COUNT; section++) {
        char title[128];
        SectionTitle(section, title, sizeof title);
        kSections[section].build();
        ServiceSnapshot *states = section == SECTION_SERVICES ? TakeServiceSnapshot() : nullptr;
        if (format == 0) {
            ReportFormat(file, "<h3 id=\"A%d\">", section);
            Html(file, "%s</h3>\r\n", title);
            WriteHtmlHeadings(file, section);
        } else {
            ReportWriteTabField(file, title);
            ReportWrite(file, "\r\n");
        }
        WriteSectionRows(file, section, format, states);
        if (section == SECTION_COOKIES) {
            ReadMozillaCookies(0);
            WriteSectionRows(file, section, format, nullptr);
        }
        if (format == 0) ReportWrite(file, "</table>\r\n");
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
    knownLocationCount = 0;
    GetVersionText(reportBuild);
    if (format == 0) {
        static const char kTitle[] = "Sentrel Report Log";
        // A compact page that reads well pasted into a forum post too.
        ReportFormat(&file,
                     "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\"><title>%s</title>\r\n"
                     "<style>body{font-family:sans-serif;font-size:10pt}"
                     "table{border-collapse:collapse;margin-bottom:1em}"
                     "th,td{border:1px solid #bbb;padding:1px 4px;text-align:left;vertical-align:top}"
                     "th{background:#eee}</style></head>\r\n<body>\r\n",
                     kTitle);
        ReportFormat(&file, "<h2>%s</h2>\r\n", kTitle);
        WriteHeader(&file, caption);
        ReportWrite(&file, "<p>");
        for (int section = 0; section < SECTION_COUNT; section++) {
            char title[128];
            SectionTitle(section, title, sizeof title);
            ReportFormat(&file, "%s<a href=\"#A%d\">", section ? " | " : "", section);
            Html(&file, "%s</a>", title);
        }
        ReportWrite(&file, "</p>\r\n");
    } else {
        ReportWrite(&file, "Title\tProgram\tDescription\tVersion\tCopyright\tLocation\tPath\tPublisher\r\n");
    }
    WriteSections(&file, format);
    if (format == 0) ReportWrite(&file, "</body></html>\r\n");
    RestoreItemList(&held);
    return ReportClose(&file);
}
