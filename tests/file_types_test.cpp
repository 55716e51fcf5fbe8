// File type associations against the test prefix's own classes: the three
// lookup methods, the approved associations kept and written back byte for
// byte, the watched list with odd pieces, adding and removing watched
// extensions, and the first-run baseline.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "file_types.h"
#include "text.h"
#include "inventory.h"
#include "items.h"
#include "store.h"
#include "test_support.h"

using namespace test::keys;

namespace {
const char kExtApp[] = "Software\\Orvendale\\Sentrel\\ExtApp";
const char kExtProgID[] = "Software\\Orvendale\\Sentrel\\ExtProgID";

// A program in a folder no ANSI code page holds: read, saved and put back
// exactly.
const std::string kQuoted = u8"\"C:\\Program Files\\FT Прил 更新\\ftapp.exe\" \"%1\"";

bool WriteExpand(HKEY root, const std::string &path, const std::string &name, const std::string &text)
{
    return test::WriteValue(root, path, name, REG_EXPAND_SZ, text.c_str(), (DWORD)text.size() + 1);
}

std::string Saved(const char *key, const std::string &name)
{
    std::string text;
    return test::ReadString(HKEY_CURRENT_USER, key, name, &text) ? text : "<missing>";
}

std::string CommandKey(const std::string &cls)
{
    return std::string(kClasses) + cls + "\\shell\\open\\command";
}

std::vector<std::string> WatchedExtensions()
{
    std::vector<std::string> out;
    ForEachWatchedExtension(
        [](const char *extension, void *context) {
            ((std::vector<std::string> *)context)->push_back(extension);
            return 1;
        },
        &out);
    return out;
}

class FileTypes : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        RemovePlanted();
    }
    void TearDown() override
    {
        FreeItems();
        RemovePlanted();
        test::ResetSentrelRegistry();
    }
    static void RemovePlanted()
    {
        for (const char *name : {".ftone", ".fttwo", ".ftthree", "ftone.file", "fttwo.file", "evil.file",
                                 "FT.ProgID", "Applications\\ftview.exe", "Applications\\other.exe"}) {
            test::DeleteTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + name);
            test::DeleteTree(HKEY_CURRENT_USER, std::string(kClasses) + name);
        }
        for (const char *ext : {".ftone", ".fttwo", ".ftthree"})
            test::DeleteTree(HKEY_CURRENT_USER, std::string(kFileExts) + ext);
    }
    // .ftone: a class with a description and a quoted command (method 1),
    // a program the user chose (method 2), a ProgID whose command holds a
    // variable (method 3).
    static void PlantFtone()
    {
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone", "", "ftone.file"));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kClasses) + "ftone.file", "", "FT One Document"));
        ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, CommandKey("ftone.file"), "", kQuoted));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kFileExts) + ".ftone", "Application", "ftview.exe"));
        ASSERT_TRUE(test::WriteString(HKEY_CLASSES_ROOT, "Applications\\ftview.exe\\shell\\open\\command", "",
                                      "C:\\Tools\\ftview.exe /view=full \"%1\""));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kFileExts) + ".ftone", "ProgID", "FT.ProgID"));
        ASSERT_TRUE(WriteExpand(HKEY_CLASSES_ROOT, "FT.ProgID\\shell\\open\\command", "",
                                "%SystemRoot%\\system32\\notepad.exe %1"));
    }
    static void Watch(const std::string &list)
    {
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "", list));
    }
};
}  // namespace

TEST_F(FileTypes, EachMethodFindsItsClassAndCommand)
{
    PlantFtone();
    char cls[PATH_SIZE], command[PATH_SIZE];
    ASSERT_EQ(1, GetAssociation("ftone", cls, command, METHOD_CLASS)) << "the dot is added when missing";
    EXPECT_STREQ("ftone.file", cls);
    EXPECT_EQ(kQuoted, command);
    ASSERT_EQ(1, GetAssociation(".ftone", cls, command, METHOD_APPLICATION));
    EXPECT_STREQ("ftview.exe", cls);
    EXPECT_STREQ("C:\\Tools\\ftview.exe /view=full \"%1\"", command);
    ASSERT_EQ(1, GetAssociation(".ftone", cls, command, METHOD_PROGID));
    EXPECT_STREQ("FT.ProgID", cls);
    EXPECT_STREQ("C:\\windows\\system32\\notepad.exe %1", command) << "variables are expanded";
    ASSERT_EQ(1, GetAssociation(".ftone", cls, command, METHOD_ROOT)) << "HKEY_CLASSES_ROOT sees HKLM's classes";
    EXPECT_STREQ("ftone.file", cls);

    // No class, or a class without a command: no association, outputs untouched.
    strcpy(cls, "untouched");
    EXPECT_EQ(0, GetAssociation(".fttwo", cls, command, METHOD_CLASS));
    EXPECT_STREQ("untouched", cls);
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".fttwo", "", "fttwo.file"));
    EXPECT_EQ(0, GetAssociation(".fttwo", cls, command, METHOD_CLASS));

    // A command longer than a path is still an association; only the
    // path-sized outputs cannot take it.
    std::string longCommand = "C:\\Tools\\long.exe " + std::string(PATH_SIZE, 'x');
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, CommandKey("fttwo.file"), "", longCommand));
    EXPECT_EQ(0, GetAssociation(".fttwo", cls, command, METHOD_CLASS));
    Association found;
    ASSERT_EQ(1, ReadAssociation(".fttwo", METHOD_CLASS, &found));
    EXPECT_EQ(longCommand, (const char *)found.command.data);
    FreeAssociation(&found);
}

TEST_F(FileTypes, ListGivesOneRecordPerExtensionAndMethod)
{
    PlantFtone();
    Watch("FTONE;FTTWO;");
    ASSERT_EQ(3, ListFileTypes()) << "no association for FTTWO, three for FTONE";
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(ITEM_FILETYPE, GetItemType(i));
        EXPECT_EQ(i + 1, GetItemQualifier(i)) << "methods 1, 2, 3 in this order";
        EXPECT_STREQ(".FTONE", GetItemInfo(i)) << "the extension as the list spells it";
        EXPECT_STREQ(".FTONE", GetItemName(i)) << "the record is known by its extension and method";
    }
    EXPECT_STREQ("FT One Document", GetItemTitle(0));
    EXPECT_STREQ("ftone.file", GetItemDetail(0));
    EXPECT_STREQ(u8"C:\\Program Files\\FT Прил 更新\\ftapp.exe %1", GetItemPath(0));
    EXPECT_STREQ("C:\\windows\\system32\\notepad.exe %1", GetItemPath(2));
}

TEST_F(FileTypes, SavedAndRestoredCommandsAreTheBytesThatWereThere)
{
    PlantFtone();
    test::Stored quoted = test::ReadStored(HKEY_LOCAL_MACHINE, CommandKey("ftone.file"), "");
    test::Stored expand = test::ReadStored(HKEY_CLASSES_ROOT, "FT.ProgID\\shell\\open\\command", "");
    for (int method = METHOD_CLASS; method <= METHOD_PROGID; method++) ASSERT_EQ(1, SaveAssociation(".FTONE", method));
    EXPECT_EQ("ftone.file", Saved(kExt, ".FTONE"));
    EXPECT_EQ("ftview.exe", Saved(kExtApp, ".FTONE"));
    EXPECT_EQ("FT.ProgID", Saved(kExtProgID, ".FTONE"));
    EXPECT_EQ(quoted, test::ReadStored(HKEY_CURRENT_USER, kClass, "ftone.file")) << "quotes and all";
    EXPECT_EQ(expand, test::ReadStored(HKEY_CURRENT_USER, kClass, "FT.ProgID")) << "the value type too";

    // Hijacked: another class for the extension, other commands for the
    // class, the user's choices and the ProgID.
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone", "", "evil.file"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, CommandKey("evil.file"), "", "C:\\evil\\evil.exe %1"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, CommandKey("ftone.file"), "", "C:\\evil\\evil.exe %1"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, std::string(kFileExts) + ".ftone", "Application", "other.exe"));
    ASSERT_TRUE(test::WriteString(HKEY_CLASSES_ROOT, "FT.ProgID\\shell\\open\\command", "", "evil.exe %1"));

    for (int method = METHOD_CLASS; method <= METHOD_PROGID; method++) EXPECT_EQ(1, RestoreAssociation(".FTONE", method));
    EXPECT_EQ("ftone.file", test::Value(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone", ""));
    EXPECT_EQ(quoted, test::ReadStored(HKEY_LOCAL_MACHINE, CommandKey("ftone.file"), ""));
    EXPECT_EQ("ftview.exe", test::Value(HKEY_CURRENT_USER, std::string(kFileExts) + ".ftone", "Application"));
    EXPECT_EQ(expand, test::ReadStored(HKEY_CLASSES_ROOT, "FT.ProgID\\shell\\open\\command", ""));

    // Nothing saved: nothing written.
    EXPECT_EQ(0, RestoreAssociation(".fttwo", METHOD_CLASS));
    EXPECT_FALSE(test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".fttwo"));
}

TEST_F(FileTypes, ASavedCommandOfAnyLengthIsAnApproval)
{
    PlantFtone();
    std::string longCommand = "\"C:\\Tools\\long.exe\" " + std::string(1500, 'y') + " \"%1\"";
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, CommandKey("ftone.file"), "", longCommand));
    ASSERT_EQ(1, SaveAssociation(".ftone", METHOD_CLASS));
    Association saved;
    ASSERT_EQ(1, ReadSavedAssociation(".ftone", METHOD_CLASS, &saved)) << "too long for a buffer, still there";
    EXPECT_EQ(longCommand, (const char *)saved.command.data);
    FreeAssociation(&saved);

    // An empty saved class, an empty saved command: no approval. The
    // watched list, the default value of Class, is never read as a command.
    Watch("FTONE;");
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kExt, ".ftone", ""));
    EXPECT_EQ(0, ReadSavedAssociation(".ftone", METHOD_CLASS, &saved));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kExt, ".ftone", "ftone.file"));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "ftone.file", ""));
    EXPECT_EQ(0, ReadSavedAssociation(".ftone", METHOD_CLASS, &saved));
}

TEST_F(FileTypes, CommandsCompareFromTheProgramsFileNameOn)
{
    struct Case {
        const char *saved, *current;
        int same;
    } cases[] = {
        {"\"C:\\Program Files\\App\\app.exe\" \"%1\"", "C:\\Program Files\\App\\app.exe %1", 1},
        {"C:\\Old Place\\APP.EXE %1", "D:\\new\\app.exe %1", 1},   // moved: the same program
        {"app.exe /a=1 \"%1\"", "app.exe /a:1 %1", 1},
        {"C:\\App\\app.exe %1", "C:\\App\\other.exe %1", 0},
        {"C:\\App\\app.exe %1", "C:\\App\\app.exe /x %1", 0},
        // The parameters' folders do not hide a change of program.
        {"C:\\Win\\rundll32.exe C:\\Win\\shimgvw.dll,View %1", "C:\\evil\\evil.exe C:\\Win\\shimgvw.dll,View %1", 0},
        {"C:\\Program Files\\App\\app.exe C:\\data\\%1", "C:\\Program Files\\App\\app.exe C:\\other\\%1", 0},
        {"%SystemRoot%\\system32\\NOTEPAD.EXE %1", "\"C:\\windows\\system32\\notepad.exe\" \"%1\"", 1},
    };
    for (const Case &c : cases) EXPECT_EQ(c.same, SameOpenCommand(c.saved, c.current)) << c.saved << " | " << c.current;
    // Past any buffer: a change at the end still counts.
    std::string a = "C:\\App\\app.exe " + std::string(2000, 'z');
    std::string b = a;
    b[b.size() - 1] = 'q';
    EXPECT_EQ(0, SameOpenCommand(a.c_str(), b.c_str()));
    EXPECT_EQ(1, SameOpenCommand(a.c_str(), a.c_str()));

    char name[PATH_SIZE];
    EXPECT_EQ(7, OpenCommandProgramName("\"C:\\Program Files\\App\\app.exe\" \"%1\"", name, sizeof name));
    EXPECT_STREQ("app.exe", name);
    OpenCommandProgramName("%SystemRoot%\\system32\\NOTEPAD.EXE %1", name, sizeof name);
    EXPECT_STREQ("NOTEPAD.EXE", name);
}

TEST_F(FileTypes, OddPiecesOfTheWatchedListAreSkippedAndALongListIsReadWhole)
{
    PlantFtone();
    // Empty pieces, dots, blanks, a backslash, a control character, a
    // repeat, a piece too long to name a key; more than 1,019 characters in
    // all, and the last extension only behind them.
    std::string list = ";; . ;..;..ftone;a\\b;x\ty; ftone ;FTONE;.ftone;" + std::string(300, 'w') + ";";
    for (int i = 0; list.size() < 1500; i++) list += "zz" + std::to_string(i) + ";";
    list += "fttwo";   // no ";" at the end
    Watch(list);
    std::vector<std::string> extensions = WatchedExtensions();
    ASSERT_GE(extensions.size(), 3u);
    EXPECT_EQ(".ftone", extensions[0]);
    EXPECT_EQ(".zz0", extensions[1]);
    EXPECT_EQ(".fttwo", extensions.back());
    for (const std::string &e : extensions) {
        EXPECT_EQ(std::string::npos, e.find_first_of("\\\t")) << e;
        EXPECT_NE('.', e[1]) << e;
    }

    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".fttwo", "", "fttwo.file"));
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, CommandKey("fttwo.file"), "", "C:\\Tools\\two.exe \"%1\""));
    int count = ListFileTypes();
    ASSERT_EQ(4, count) << "three records of .ftone (once), one of .fttwo far down the list";
    EXPECT_STREQ(".fttwo", GetItemInfo(3));

    // The first run keeps a usable list, however long.
    InitFileTypes();
    EXPECT_EQ(list, Saved(kClass, ""));
    EXPECT_EQ("Do not edit.", Saved(kExt, ""));
    EXPECT_EQ("ftone.file", Saved(kExt, ".ftone"));
    EXPECT_EQ("fttwo.file", Saved(kExt, ".fttwo"));
}

TEST_F(FileTypes, AddingRefusesWhatIsNoExtensionAndWhatIsWatchedAlready)
{
    PlantFtone();
    Watch("TXT;LOG");
    std::string classesBefore = test::DumpTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone") +
                                test::DumpTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + "ftone.file");
    for (const char *bad : {"", "   ", ".", "..", "..ftone", "a;b", "a\\b", "tab\there"})
        EXPECT_EQ(FILE_TYPE_NOT_AN_EXTENSION, AddWatchedFileType(bad)) << "[" << bad << "]";
    EXPECT_EQ(FILE_TYPE_NOT_AN_EXTENSION, AddWatchedFileType(std::string(255, 'n').c_str()));
    EXPECT_EQ("TXT;LOG", Saved(kClass, ""));

    EXPECT_EQ(762, AddWatchedFileType("log")) << "the last piece counts without its ;";
    EXPECT_EQ(762, AddWatchedFileType(" .Txt "));

    // Added after a separator the list lacked; its associations approved.
    EXPECT_EQ(0, AddWatchedFileType(".ftone"));
    EXPECT_EQ("TXT;LOG;ftone;", Saved(kClass, ""));
    EXPECT_EQ("ftone.file", Saved(kExt, ".ftone"));
    EXPECT_EQ("ftview.exe", Saved(kExtApp, ".ftone"));
    EXPECT_EQ(kQuoted, Saved(kClass, "ftone.file"));
    EXPECT_EQ(762, AddWatchedFileType("FTONE"));

    // An extension without any association is still watched; a long one too.
    std::string longName(200, 'e');
    EXPECT_EQ(0, AddWatchedFileType(longName.c_str()));
    EXPECT_EQ("TXT;LOG;ftone;" + longName + ";", Saved(kClass, ""));
    EXPECT_EQ("<missing>", Saved(kExt, "." + longName));

    // Full: the list and the name may not pass 1,019 characters.
    std::string full(1010, 'f');
    Watch(full + ";");
    EXPECT_EQ(763, AddWatchedFileType("abcdefghi"));
    EXPECT_EQ(0, AddWatchedFileType("abcdefgh"));
    EXPECT_EQ(full + ";abcdefgh;", Saved(kClass, ""));

    std::string classesAfter = test::DumpTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".ftone") +
                               test::DumpTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + "ftone.file");
    EXPECT_EQ(classesBefore, classesAfter) << "watching changes no association";
}

TEST_F(FileTypes, RemovingForgetsTheExtensionButNeverTheWatchedList)
{
    PlantFtone();
    Watch("TXT;ftone; FTTWO ;;LOG;a\\b;");
    for (int method = METHOD_CLASS; method <= METHOD_PROGID; method++) SaveAssociation(".ftone", method);
    // .fttwo is approved only through a program the user chose: no Ext value.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kExtApp, ".fttwo", "ftview.exe"));

    EXPECT_EQ(1, RemoveWatchedFileType(".FTTWO"));
    EXPECT_EQ("TXT;ftone;LOG;a\\b;", Saved(kClass, "")) << "the rest of the list stays as written";
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kClass, "ftview.exe"));

    // Another extension approved with the same class keeps the class's command.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kExt, ".ftthree", "ftone.file"));
    EXPECT_EQ(1, RemoveWatchedFileType(".FTONE"));
    EXPECT_EQ("TXT;LOG;a\\b;", Saved(kClass, ""));
    EXPECT_EQ("<missing>", Saved(kExt, ".ftone"));
    EXPECT_EQ(kQuoted, Saved(kClass, "ftone.file"));
    // The last one to use it takes it along.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "", "TXT;ftthree;"));
    EXPECT_EQ(1, RemoveWatchedFileType("ftthree"));
    EXPECT_EQ("TXT;", Saved(kClass, ""));
    EXPECT_EQ("<missing>", Saved(kClass, "ftone.file"));
}

TEST_F(FileTypes, FirstRunWatchesTheInitialListAndApprovesWhatIsThere)
{
    PlantFtone();
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".txt", "", "txtfile"));
    InitFileTypes();
    std::string list = Saved(kClass, "");
    EXPECT_EQ(0u, list.find("AVI;BAT;CAB;")) << list;
    EXPECT_NE(std::string::npos, list.find(";TXT;"));
    EXPECT_EQ("Do not edit.", Saved(kExt, ""));
    EXPECT_EQ("txtfile", Saved(kExt, ".TXT"));
    EXPECT_EQ("\"C:\\windows\\system32\\notepad.exe\" \"%1\"", Saved(kClass, "txtfile"));

    // Complete: nothing is taken again.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kClass, "txtfile", "kept"));
    InitFileTypes();
    EXPECT_EQ("kept", Saved(kClass, "txtfile"));
    // The marker of an earlier version: the baseline is taken again.
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kExt, "", "Do not edit"));
    InitFileTypes();
    EXPECT_EQ("\"C:\\windows\\system32\\notepad.exe\" \"%1\"", Saved(kClass, "txtfile"));
    EXPECT_EQ("Do not edit.", Saved(kExt, ""));
    // A list without a ";" early on is replaced by the initial list.
    Watch("ftoneandmore");
    InitFileTypes();
    EXPECT_EQ(list, Saved(kClass, ""));
    test::DeleteTree(HKEY_LOCAL_MACHINE, std::string(kClasses) + ".txt");
}
