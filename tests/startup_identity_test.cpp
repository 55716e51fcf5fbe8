// Startup entries are acted on as what they are (their location and exact
// name), never as the title they are shown under: hostile names, long
// names and data, the default value and win.ini pieces of one title, each
// disabled, enabled and removed as itself while every other entry stays
// byte for byte as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "history.h"
#include "items.h"
#include "options.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "startup_locations.h"
#include "store.h"
#include "test_support.h"

using namespace test::keys;

namespace {

bool WriteRaw(HKEY root, const char *path, const std::string &name, DWORD type, const std::string &data)
{
    return test::WriteValue(root, path, name, type, data.c_str(), (DWORD)data.size());
}

std::string Sz(const std::string &text)
{
    return text + std::string(1, '\0');
}

// The record of an entry, copied out of a fresh startup list.
struct Record {
    Item item = {};
    bool found = false;
    Record() = default;
    Record(const Record &) = delete;
    ~Record() { ReleaseItemCopy(&item); }
};

// Finds the record of type and exact name (disabled or live as asked).
bool FindRecord(Record *out, int type, const std::string &name, bool disabled)
{
    ReleaseItemCopy(&out->item);
    out->found = false;
    BuildStartupList(0);
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        if (item->type == type && name == item->name && (item->disabled != 0) == disabled) {
            out->found = CopyItemRecord(&out->item, item) == 1;
            return out->found;
        }
    }
    return false;
}

int CountRecords(int type, const std::string &name)
{
    int n = 0;
    for (int i = 0; i < ItemCount(); i++) n += GetItemType(i) == type && name == GetItemName(i);
    return n;
}

class StartupIdentity : public test::StartupLocationsTest {
protected:
    void Clean() override
    {
        test::DeleteTree(HKEY_CURRENT_USER, kRun);
        test::DeleteTree(HKEY_LOCAL_MACHINE, kRun);
        WriteProfileStringA("windows", "run", nullptr);
        WriteProfileStringA("windows", "load", nullptr);
        test::ResetSentrelRegistry();
        test::ClearHistory();
    }
    // Disables the live record of the entry and enables it again, checking
    // the live value is gone in between and comes back byte for byte.
    void RoundTrip(HKEY root, int type, const std::string &name)
    {
        SCOPED_TRACE(name.size() > 40 ? name.substr(0, 40) + "..." : name);
        test::Stored before = test::ReadStored(root, kRun, name);
        ASSERT_TRUE(before.present);
        Record live;
        ASSERT_TRUE(FindRecord(&live, type, name, false));
        ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(live.item)));
        EXPECT_FALSE(test::ReadStored(root, kRun, name).present);
        Record disabled;
        ASSERT_TRUE(FindRecord(&disabled, type, name, true)) << "the disabled entry is listed as itself";
        EXPECT_EQ(1, CountRecords(type, name));
        ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(disabled.item)));
        EXPECT_EQ(before, test::ReadStored(root, kRun, name));
    }
};
}  // namespace

TEST_F(StartupIdentity, LongNamesAndDataMakeTheRoundTripByteForByte)
{
    const std::string monitor = "C:\\Program Files\\Sentrel\\Sentrel.exe -expressboot";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", monitor));
    test::Stored monitorBefore = test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Sentrel");

    std::vector<std::string> names;
    for (size_t length : {128u, 200u, 255u}) {
        std::string name = "N" + std::to_string(length) + std::string(length - 4, 'n') + "%<\"";
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, name, "C:\\long\\name.exe /" + std::to_string(length)));
        names.push_back(name);
    }
    for (size_t length : {300u, 5000u, 20000u}) {
        std::string name = "Data" + std::to_string(length);
        std::string data = "\"C:\\Program Files\\Long\\app.exe\" " + std::string(length - 34, 'x');
        ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRun, name, REG_SZ, Sz(data)));
        names.push_back(name);
    }
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRun, "Expand", REG_EXPAND_SZ, Sz("%SystemRoot%\\system32\\x.exe \"a b\"")));
    names.push_back("Expand");
    // Data without its terminating zero comes back without it.
    ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRun, "Unterminated", REG_SZ, "C:\\bare.exe"));
    names.push_back("Unterminated");

    for (const std::string &name : names) RoundTrip(HKEY_CURRENT_USER, 11, name);
    EXPECT_EQ(monitorBefore, test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty()) << "no mark left behind";
}

// A name containing the program's own is shown as the program's title, but
// every change still reaches the entry itself, never the monitor's own
// registration of that title.
TEST_F(StartupIdentity, AnEntryTitledLikeTheProgramIsChangedAsItself)
{
    const std::string monitor = "C:\\Program Files\\Sentrel\\Sentrel.exe -expressboot";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Sentrel", monitor));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater", "C:\\evil\\upd.exe"));
    test::Stored monitorBefore = test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Sentrel");

    Record hostile;
    ASSERT_TRUE(FindRecord(&hostile, 1, "SentrelUpdater", false));
    EXPECT_STREQ("SentrelUpdater", hostile.item.title) << "shown under its own name, never as Sentrel";
    RoundTrip(HKEY_LOCAL_MACHINE, 1, "SentrelUpdater");
    EXPECT_EQ(monitorBefore, test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));

    ASSERT_TRUE(FindRecord(&hostile, 1, "SentrelUpdater", false));
    ASSERT_EQ(1, DeleteStartupEntry(StartupRefOf(hostile.item)));
    EXPECT_FALSE(test::ValueExists(HKEY_LOCAL_MACHINE, kRun, "SentrelUpdater"));
    EXPECT_EQ(monitorBefore, test::ReadStored(HKEY_LOCAL_MACHINE, kRun, "Sentrel"));
    std::string history = test::HistoryText();
    EXPECT_NE(std::string::npos, history.find("\t*START_Remove\tMACHINE_RUN\tSentrelUpdater\tC:\\evil\\upd.exe\t"))
        << history;
}

// Windows starts each of these; each is listed, approved, disabled and
// removed like any other entry.
TEST_F(StartupIdentity, EveryValueWindowsRunsCanBeDisabledAndRemoved)
{
    struct Case {
        std::string name, command;
    } cases[] = {{"", "C:\\default\\run.exe"}, {"A", "C:\\one\\letter.exe"}, {"\xC3\xA9tude \xC3\x84", "C:\\etude.exe"},
                 {"Tab\tName", "a.ex"}};
    for (const Case &c : cases) ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, c.name, c.command));
    for (const Case &c : cases) RoundTrip(HKEY_CURRENT_USER, 11, c.name);
    // The default value's mark never lands on the store key's own default.
    test::Stored defaultMark = test::ReadStored(HKEY_LOCAL_MACHINE, kDisabled, "");
    EXPECT_FALSE(defaultMark.present);

    for (const Case &c : cases) {
        Record live;
        ASSERT_TRUE(FindRecord(&live, 11, c.name, false)) << c.name;
        ASSERT_EQ(1, DeleteStartupEntry(StartupRefOf(live.item))) << c.name;
        EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, c.name)) << c.name;
    }
    EXPECT_TRUE(test::ValueNames(HKEY_CURRENT_USER, kRun).empty());
    // The history line stays one line with its six fields.
    for (const std::string &line : {std::string("Tab Name\ta.ex")})
        EXPECT_NE(std::string::npos, test::HistoryText().find(line)) << test::HistoryText();
}

// Pieces of win.ini's run= list share the title "run": each is its own
// entry, kept with its quotes.
TEST_F(StartupIdentity, WinIniPiecesOfOneTitleAreEachTheirOwnEntry)
{
    const std::string quoted = "\"C:\\Program Files\\Ini App\\app.exe\" /min";
    const std::string list = "C:\\ini\\one.exe;C:\\ini\\two.exe;C:\\ini\\three.exe;" + quoted;
    ASSERT_TRUE(WriteProfileStringA("windows", "run", list.c_str()));
    ASSERT_EQ(list, test::WinIni("run"));

    Record two;
    ASSERT_TRUE(FindRecord(&two, 101, "C:\\ini\\two.exe", false));
    EXPECT_STREQ("run", two.item.title);
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(two.item)));
    EXPECT_EQ("C:\\ini\\one.exe;C:\\ini\\three.exe;" + quoted, test::WinIni("run"));
    Record q;
    ASSERT_TRUE(FindRecord(&q, 101, quoted, false));
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(q.item)));
    EXPECT_EQ("C:\\ini\\one.exe;C:\\ini\\three.exe", test::WinIni("run"));

    // Only the two disabled pieces are listed as disabled; the others stay live.
    BuildStartupList(0);
    int live = 0, disabled = 0;
    for (int i = 0; i < ItemCount(); i++)
        if (GetItemType(i) == 101) (GetItem(i)->disabled ? disabled : live)++;
    EXPECT_EQ(2, live);
    EXPECT_EQ(2, disabled);

    Record back;
    ASSERT_TRUE(FindRecord(&back, 101, quoted, true));
    ToggleStartupEntry(StartupRefOf(back.item));
    EXPECT_EQ("C:\\ini\\one.exe;C:\\ini\\three.exe;" + quoted, test::WinIni("run")) << "quotes kept";
    Record back2;
    ASSERT_TRUE(FindRecord(&back2, 101, "C:\\ini\\two.exe", true));
    ToggleStartupEntry(StartupRefOf(back2.item));
    EXPECT_EQ(list, test::WinIni("run")) << "each piece back in its place";
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());

    // A disabled piece is removed from the store alone, a live one from win.ini alone.
    Record one;
    ASSERT_TRUE(FindRecord(&one, 101, "C:\\ini\\one.exe", false));
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(one.item)));
    ASSERT_TRUE(WriteProfileStringA("windows", "run", ("C:\\ini\\one.exe;" + test::WinIni("run")).c_str()));
    Record oneDisabled;
    ASSERT_TRUE(FindRecord(&oneDisabled, 101, "C:\\ini\\one.exe", true));
    ASSERT_EQ(1, DeleteStartupEntry(StartupRefOf(oneDisabled.item)));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
    EXPECT_EQ(0u, test::WinIni("run").find("C:\\ini\\one.exe;")) << "the live piece of the same text stays";
}

// A program that writes its disabled entry back with a command of any
// length is disabled again; the new command is what is kept.
TEST_F(StartupIdentity, AWrittenBackEntryIsRecognisedWhateverItsLength)
{
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Writer", "C:\\writer.exe"));
    Record live;
    ASSERT_TRUE(FindRecord(&live, 11, "Writer", false));
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(live.item)));

    for (size_t length : {1024u, 20000u}) {
        std::string command = "C:\\writer.exe " + std::string(length - 14, 'w');
        ASSERT_TRUE(WriteRaw(HKEY_CURRENT_USER, kRun, "Writer", REG_SZ, Sz(command)));
        Record disabled;
        ASSERT_TRUE(FindRecord(&disabled, 11, "Writer", true)) << length;
        EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Writer")) << length;
        EXPECT_EQ(Sz(command), test::ReadStored(HKEY_LOCAL_MACHINE, std::string(kDisabled) + "\\Run", "Writer").data);
        EXPECT_EQ(command.substr(0, ITEM_PATH_SIZE - 1), disabled.item.path);
    }
}

// The same value name in HKLM and HKCU, both disabled: two marks that never
// share a copy.
TEST_F(StartupIdentity, MarksAreNeverShared)
{
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kRun, "Twin", "C:\\machine\\twin.exe"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kRun, "Twin", "C:\\user\\twin.exe"));
    RoundTrip(HKEY_LOCAL_MACHINE, 1, "Twin");
    Record machine, user;
    ASSERT_TRUE(FindRecord(&machine, 1, "Twin", false));
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(machine.item)));
    ASSERT_TRUE(FindRecord(&user, 11, "Twin", false));
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(user.item)));
    BuildStartupList(0);
    EXPECT_EQ(1, CountRecords(1, "Twin"));
    EXPECT_EQ(1, CountRecords(11, "Twin"));
    // Approving or removing one does not touch the other.
    Record userDisabled;
    ASSERT_TRUE(FindRecord(&userDisabled, 11, "Twin", true));
    ASSERT_EQ(1, DeleteStartupEntry(StartupRefOf(userDisabled.item)));
    Record machineDisabled;
    ASSERT_TRUE(FindRecord(&machineDisabled, 1, "Twin", true));
    ASSERT_EQ(1, ToggleStartupEntry(StartupRefOf(machineDisabled.item)));
    EXPECT_EQ("C:\\machine\\twin.exe", test::Value(HKEY_LOCAL_MACHINE, kRun, "Twin"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kRun, "Twin"));
    EXPECT_TRUE(test::ValueNames(HKEY_LOCAL_MACHINE, kDisabled).empty());
}
