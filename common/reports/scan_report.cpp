// The scan for scripts: every inventory, one row per entry, with where it
// lives, its exact name and command, its program file's facts and whether
// it is approved. CSV (RFC 4180, UTF-8 with a byte-order mark, the header
// first) or JSON lines with the same field names.
#include "scan_report.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "dates.h"
#include "file_types.h"
#include "first_seen.h"
#include "hidden_files.h"
#include "ie_helpers.h"
#include "inventory.h"
#include "items.h"
#include "location_words.h"
#include "processes.h"
#include "registered_tasks.h"
#include "program_files.h"
#include "services.h"
#include "signatures.h"
#include "startup_list.h"
#include "tasks.h"
#include "text.h"
#include "unicode_text.h"

namespace {

enum ScanFormat { SCAN_CSV, SCAN_JSON };
enum Approval { APPROVAL_NONE = -1, APPROVAL_NO = 0, APPROVAL_YES = 1 };

// The field names: the CSV's header and the JSON objects' keys.
const char *const kFields[] = {"category", "location",  "name",     "title",      "command",  "file",
                               "company",  "publisher", "signature", "version",   "first_seen", "approved",
                               "disabled"};
// The signature states as the scan names them.
const char *const kSignatureWords[] = {"missing", "unsigned", "invalid", "verified"};
const int kFieldCount = (int)(sizeof kFields / sizeof kFields[0]);

// The length of the UTF-8 sequence at text (a lead byte and its
// continuation bytes, shortest form), 0 when the bytes there are none.
int SequenceLength(const unsigned char *p)
{
    int length = p[0] >= 0xF0 && p[0] <= 0xF4 ? 4 : p[0] >= 0xE0 ? 3 : p[0] >= 0xC2 && p[0] < 0xE0 ? 2 : 0;
    if (p[0] > 0xF4) return 0;
    for (int i = 1; i < length; i++)
        if ((p[i] & 0xC0) != 0x80) return 0;
    if (length == 3 && ((p[0] == 0xE0 && p[1] < 0xA0) || (p[0] == 0xED && p[1] >= 0xA0))) return 0;
    if (length == 4 && ((p[0] == 0xF0 && p[1] < 0x90) || (p[0] == 0xF4 && p[1] >= 0x90))) return 0;
    return length;
}

// A text as a JSON string: exact, whatever it holds. A NUL inside a name
// (kept as C0 80) and a lone surrogate (its three-byte form) are written as
// their \u escapes, which a JSON reader takes back as the same units; a
// byte that is not UTF-8 at all becomes U+FFFD.
void WriteJsonText(ReportFile *file, const char *text)
{
    const unsigned char *p = (const unsigned char *)text, *run = p;
    ReportWriteBytes(file, "\"", 1);
    while (*p) {
        unsigned char c = *p;
        int plain = c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
        int length = c >= 0x80 ? SequenceLength(p) : 0;
        if (plain || length) {
            p += plain ? 1 : length;
            continue;
        }
        ReportWriteBytes(file, (const char *)run, (size_t)(p - run));
        char escape[8];
        if (c == '"' || c == '\\') {
            escape[0] = '\\', escape[1] = (char)c, escape[2] = 0;
            p++;
        } else if (c < 0x80) {
            FormatText(escape, sizeof escape, "\\u%04x", (unsigned)c);
            p++;
        } else if (c == 0xC0 && p[1] == 0x80) {
            CopyText(escape, sizeof escape, "\\u0000");
            p += 2;
        } else if (c == 0xED && p[1] >= 0xA0 && p[1] <= 0xBF && (p[2] & 0xC0) == 0x80) {
            FormatText(escape, sizeof escape, "\\u%04x", 0xD000u | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu));
            p += 3;
        } else {
            CopyText(escape, sizeof escape, "\\ufffd");
            p++;
        }
        ReportWrite(file, escape);
        run = p;
    }
    ReportWriteBytes(file, (const char *)run, (size_t)(p - run));
    ReportWriteBytes(file, "\"", 1);
}

// What a row shows of its command: the program file, its version facts and
// first-seen date, and for a startup entry its approval. Worked out once
// per command: many entries start the same program.
struct CommandFacts {
    std::string file, company, version, firstSeen, publisher;
    int signature;
    int approved;
};
class FactsCache {
public:
    const CommandFacts &Of(const Item &item)
    {
        std::string key = std::to_string(item.type) + (item.view == VIEW_32 ? "/32\n" : "\n") + item.path;
        auto found = known_.find(key);
        if (found != known_.end()) return found->second;
        CommandFacts &added = known_[key];
        char file[PATH_SIZE] = "", parameters[PATH_SIZE], date[DATE_TEXT_SIZE] = "";
        if (item.type == ITEM_HIDDEN || item.type == ITEM_PROCESS) CopyText(file, sizeof file, item.path);
        else SplitCommand(item.path, file, parameters);
        static VersionFacts facts;
        for (auto &fact : facts) fact[0] = 0;
        if (file[0]) ReadVersionFacts(file, facts);
        GetFirstSeen(item.path, item.type, date);
        added.file = file;
        added.company = facts[VERSION_COMPANY_NAME];
        added.version = facts[VERSION_PRODUCT_VERSION];
        added.firstSeen = date;
        // The publisher is the verified signer only; the state says why not.
        Signature signature;
        VerifyProgramFile(file, &signature);
        added.signature = signature.state;
        if (signature.state == SIGNATURE_VERIFIED) added.publisher = signature.signer;
        added.approved = IsStartupType(item.type) && IsStartupEntryApproved(item.view, item.path);
        return added;
    }
    static int IsStartupType(int type) { return type < ITEM_HIDDEN; }

private:
    std::unordered_map<std::string, CommandFacts> known_;
};

// One row of the scan.
struct ScanRow {
    const char *category;
    char location[PATH_SIZE];
    const Item *item;
    Approval approved;
};

class ScanWriter {
public:
    ScanWriter(ReportFile *file, ScanFormat format) : file_(file), format_(format), unapproved_(0) {}
    void Header()
    {
        if (format_ != SCAN_CSV) return;
        ReportWrite(file_, "\xEF\xBB\xBF");
        for (int i = 0; i < kFieldCount; i++) {
            if (i) ReportWrite(file_, ",");
            ReportWrite(file_, kFields[i]);
        }
        ReportWrite(file_, "\r\n");
    }
    void Row(const ScanRow &row);
    // 1 when the startup entry of that record is approved.
    int StartupApproved(const Item &item) { return facts_.Of(item).approved; }
    // The location text of a startup entry's place (its type and view),
    // worked out once per place.
    void StartupLocation(const Item &item, char *out, int size)
    {
        std::string &known = locations_[item.type * 2 + (item.view == VIEW_32)];
        if (known.empty()) {
            DescribeEntryLocation(&item, 0, out, size);
            known = out;
        }
        CopyText(out, (size_t)size, known.c_str());
    }
    int Unapproved() const { return unapproved_; }

private:
    void Text(int index, const char *text);
    void Flag(int index, Approval value);
    ReportFile *file_;
    ScanFormat format_;
    int unapproved_;
    FactsCache facts_;
    std::unordered_map<int, std::string> locations_;
};

void ScanWriter::Text(int index, const char *text)
{
    if (format_ == SCAN_CSV) {
        if (index) ReportWriteBytes(file_, ",", 1);
        // Every field in quotes; a text a spreadsheet would run as a formula
        // gets an apostrophe in front. The JSON holds every text exactly.
        char shown[4096];
        FileText(text, shown, sizeof shown);
        ReportWriteBytes(file_, "\"", 1);
        if (strchr("=+-@\t\r", shown[0]) && shown[0]) ReportWriteBytes(file_, "'", 1);
        const char *run = shown;
        for (const char *quote; (quote = strchr(run, '"')) != nullptr; run = quote + 1)
            ReportWriteBytes(file_, run, (size_t)(quote + 1 - run)), ReportWriteBytes(file_, "\"", 1);
        ReportWrite(file_, run);
        ReportWriteBytes(file_, "\"", 1);
        return;
    }
    ReportWrite(file_, index ? ",\"" : "{\"");
    ReportWrite(file_, kFields[index]);
    ReportWriteBytes(file_, "\":", 2);
    WriteJsonText(file_, text);
}

void ScanWriter::Flag(int index, Approval value)
{
    if (format_ == SCAN_CSV) {
        ReportWrite(file_, index ? "," : "");
        ReportWrite(file_, value == APPROVAL_NONE ? "" : value == APPROVAL_YES ? "yes" : "no");
        return;
    }
    ReportWrite(file_, ",\"");
    ReportWrite(file_, kFields[index]);
    ReportWrite(file_, "\":");
    ReportWrite(file_, value == APPROVAL_NONE ? "null" : value == APPROVAL_YES ? "true" : "false");
}

void ScanWriter::Row(const ScanRow &row)
{
    const Item &item = *row.item;
    const CommandFacts &facts = facts_.Of(item);
    Text(0, row.category);
    Text(1, row.location);
    Text(2, item.name && item.name[0] ? item.name : item.title);
    Text(3, item.title);
    Text(4, item.path);
    Text(5, facts.file.c_str());
    Text(6, facts.company.c_str());
    Text(7, facts.publisher.c_str());
    Text(8, kSignatureWords[facts.signature >= 0 && facts.signature <= 3 ? facts.signature : 0]);
    Text(9, facts.version.c_str());
    Text(10, facts.firstSeen.c_str());
    Flag(11, row.approved);
    Flag(12, item.disabled ? APPROVAL_YES : APPROVAL_NO);
    ReportWrite(file_, format_ == SCAN_CSV ? "\r\n" : "}\n");
    // What Windows does not start (a disabled entry) waits for nobody.
    if (row.approved == APPROVAL_NO && !item.disabled) unapproved_++;
}

// The registry place of an IE helper, with its view.
void HelperLocation(const Item &item, char *out, int size)
{
    const char *key = item.type == ITEM_BHO ? BHO_KEY : item.type == ITEM_TOOLBAR ? IE_TOOLBAR_KEY : IE_EXTENSIONS_KEY;
    FormatText(out, (size_t)size, "HKLM\\%s%s", key, item.view == VIEW_32 ? " (32-bit)" : "");
}

const char *const kFileTypePlaces[] = {
    "", "HKLM\\Software\\Classes", "FileExts\\Application", "FileExts\\ProgID", "HKEY_CLASSES_ROOT",
    "HKCU\\Software\\Classes"};

// Writes every record of the item list as it stands.
template <typename Describe> void WriteList(ScanWriter &writer, const char *category, Describe describe)
{
    for (int i = 0; i < ItemCount(); i++) {
        ScanRow row = {category, "", GetItem(i), APPROVAL_NONE};
        if (!row.item) continue;
        describe(*row.item, row);
        writer.Row(row);
    }
}

}  // namespace

int WriteScanReport(ReportFile *file, int json)
{
    ScanWriter writer(file, json ? SCAN_JSON : SCAN_CSV);
    writer.Header();

    BuildStartupList(0);
    WriteList(writer, "startup", [&writer](const Item &item, ScanRow &row) {
        writer.StartupLocation(item, row.location, sizeof row.location);
        row.approved = writer.StartupApproved(item) ? APPROVAL_YES : APPROVAL_NO;
    });

    EnumerateServices(0);
    WriteList(writer, "service", [](const Item &item, ScanRow &row) {
        FormatText(row.location, sizeof row.location, "HKLM\\%s\\%s", SERVICES_KEY, item.name ? item.name : "");
        row.approved = IsServiceApproved(item) ? APPROVAL_YES : APPROVAL_NO;
    });

    EnumerateTasks();
    char jobs[PATH_SIZE] = "";
    JobFolder(jobs);
    char store[PATH_SIZE] = "";
    TaskStoreFolder(store);
    WriteList(writer, "task", [&jobs, &store](const Item &item, ScanRow &row) {
        // A 2.0 task lives in the task store under its path.
        if (item.type == ITEM_TASK2) {
            FormatTextCut(row.location, sizeof row.location, "%s%s", store, item.name ? item.name : "");
            row.approved = IsRegisteredTaskApproved(item) ? APPROVAL_YES : APPROVAL_NO;
            return;
        }
        CopyText(row.location, sizeof row.location, jobs);
        row.approved = IsTaskApproved(item) ? APPROVAL_YES : APPROVAL_NO;
    });

    EnumerateIEHelpers();
    WriteList(writer, "ie_helper", [](const Item &item, ScanRow &row) {
        HelperLocation(item, row.location, sizeof row.location);
        row.approved = IEHelperApproved(&item) ? APPROVAL_YES : APPROVAL_NO;
    });

    ListFileTypes();
    WriteList(writer, "file_type", [](const Item &item, ScanRow &row) {
        int method = item.qualifier;
        CopyText(row.location, sizeof row.location, method >= 1 && method <= 5 ? kFileTypePlaces[method] : "");
        row.approved = IsAssociationApproved(item.name, method) ? APPROVAL_YES : APPROVAL_NO;
    });

    ListHiddenFiles();
    WriteList(writer, "hidden_file", [](const Item &item, ScanRow &row) {
        CopyTextN(row.location, sizeof row.location, item.path, (size_t)FileNameIndex(item.path));
        size_t length = strlen(row.location);
        if (length > 3 && row.location[length - 1] == '\\') row.location[length - 1] = 0;
        row.approved = IsHiddenFileKnown(item.path) ? APPROVAL_YES : APPROVAL_NO;
    });

    // Running programs are not approved or refused: approved stays empty.
    CountProcesses();
    WriteList(writer, "process", [](const Item &item, ScanRow &row) {
        FormatText(row.location, sizeof row.location, "%d", item.qualifier);
    });
    FreeItems();
    return writer.Unapproved();
}

