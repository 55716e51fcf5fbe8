// The spreadsheet report: one comma-separated row per startup entry,
// delayed program, running program, IE helper, service and scheduled task.
#include <windows.h>

#include <cstring>

#include "addon_locations.h"
#include "dates.h"
#include "first_seen.h"
#include "inventory.h"
#include "items.h"
#include "location_words.h"
#include "processes.h"
#include "registered_tasks.h"
#include "program_files.h"
#include "report_writer.h"
#include "signatures.h"
#include "reports.h"
#include "services.h"
#include "startup_list.h"
#include "text.h"

namespace {

// A field that the report writes without commas (they become blanks), cut
// at its column's limit.
void WithoutCommas(const char *text, char *out, size_t size)
{
    CopyTextCut(out, size, text);
    ReplaceChar(out, ',', ' ');
}

void WriteRow(ReportFile *file, const char *type, const char *subType, const Item *record,
              const char *startType = "")
{
    char program[PATH_SIZE];
    VersionFacts facts;
    memset(facts, 0, sizeof facts);
    if (record->path[0] && ResolveCommandPath(record->path, program)) ReadReportFacts(program, facts);
    char fileName[PATH_SIZE], company[128], description[1024], version[128], seen[DATE_TEXT_SIZE];
    char name[PATH_SIZE];
    FileNamePart(record->path, name, sizeof name);
    WithoutCommas(name, fileName, sizeof fileName);
    WithoutCommas(facts[VERSION_COMPANY_NAME], company, sizeof company);
    WithoutCommas(facts[VERSION_FILE_DESCRIPTION], description, sizeof description);
    WithoutCommas(facts[VERSION_PRODUCT_VERSION], version, sizeof version);
    if (!record->path[0] || GetFirstSeen(record->path, record->type, seen) <= 0) seen[0] = 0;
    char publisher[SIGNER_NAME_SIZE] = "";
    if (record->path[0]) RecordPublisherText(record, publisher, sizeof publisher);
    const char *fields[] = {type,         subType,     record->title, fileName, company, seen,
                            record->path, description, version,       publisher, startType};
    for (size_t i = 0; i < sizeof fields / sizeof fields[0]; i++) {
        if (i) ReportWrite(file, ",");
        ReportWriteCsvField(file, fields[i], 1);
    }
    ReportWrite(file, "\r\n");
}

void RunTypeNames(int type, const char **hive, const char **key)
{
    static const char *const kKeys[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce", "RunOnceSetup"};
    *hive = "UnknownKey";
    *key = "Run";
    int number = type % 10;
    if (number < 1 || number > 6) return;
    if (type / 10 == 0) *hive = "HKLM";
    else if (type / 10 == 1) *hive = "HKCU";
    else if (type / 10 == 2) *hive = "HKU";
    else return;
    *key = type == 25 ? "RunServiceOnce" : kKeys[number - 1];
}

void WriteGroup(ReportFile *file, int (*build)(void), const char *type, const char *subType)
{
    build();
    for (int i = 0; i < ItemCount(); i++) WriteRow(file, type, subType, GetItem(i));
}

int Processes(void) { return CountProcesses(); }

}  // namespace

int WriteSpreadsheetFile(const char *path, const char *caption)
{
    ReportFile file;
    if (!ReportOpen(&file, path)) return 0;
    // UTF-8 with its byte-order mark, which spreadsheets need to read it so.
    ReportWrite(&file, "\xEF\xBB\xBF");
    HeldItems held;
    HoldItemList(&held);
    ForgetReportFacts();
    (void)caption;
    // The column names on the first line, as every reader of the format
    // expects them; every row has their eleven fields.
    ReportWrite(&file,
                "Type,SubType,Title,Filename,Company,First Detected,Path,Description,Version,Publisher,Start Type\r\n");

    BuildStartupList(0);
    for (int i = 0; i < ItemCount(); i++) {
        const Item *record = GetItem(i);
        if (record->disabled || record->type >= ITEM_WIN_LOAD) continue;
        const char *hive, *key;
        RunTypeNames(record->type, &hive, &key);
        WriteRow(&file, hive, key, record);
    }
    for (int i = 0; i < ItemCount(); i++) {
        const Item *record = GetItem(i);
        if (!record->disabled && record->type == ITEM_STARTUP_FOLDER)
            WriteRow(&file, "Startup", IsAllUsersStartupFile(record->name) ? "All Users Folder" : "Folder", record);
    }
    WriteGroup(&file, ListDelayedPrograms, "Delayed Start", "");
    WriteGroup(&file, Processes, "Active Tasks", "");
    WriteGroup(&file, ListBrowserHelperObjects, "IE Helpers", "BHO");
    WriteGroup(&file, ListToolbars, "IE Helpers", "Toolbar");
    EnumerateServices(0);
    ServiceSnapshot *states = TakeServiceSnapshot();
    for (int i = 0; i < ItemCount(); i++) {
        char state[256] = "";
        if (states) SnapshotStateText(states, GetItemName(i), state);
        // A service's start type is its record's detail ("Automatic", ...).
        WriteRow(&file, "Services", state, GetItem(i), GetItem(i)->detail);
    }
    if (states) FreeServiceSnapshot(states);
    // A 2.0 task's triggers in the SubType column.
    EnumerateTasks();
    for (int i = 0; i < ItemCount(); i++) {
        RegisteredTaskFacts facts;
        const Item *task = GetItem(i);
        int version2 = task->type == ITEM_TASK2 && RegisteredTaskFactsOf(task->name, &facts);
        WriteRow(&file, "Scheduled Tasks", version2 ? facts.file.triggers : "", task);
    }
    FreeItems();
    RestoreItemList(&held);
    return ReportClose(&file);
}
