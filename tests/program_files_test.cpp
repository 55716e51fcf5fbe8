// Program files: commands as they stand in Run keys and service image paths
// turned into files, bare names found in the system folders, version
// information (also damaged), file dates, the default browser, and the text
// operations on paths and names.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "browsers.h"
#include "data_folders.h"
#include "dates.h"
#include "delete_on_reboot.h"
#include "first_seen.h"
#include "platform.h"
#include "program_files.h"
#include "store.h"
#include "test_support.h"
#include "text.h"

namespace {
std::string Upper(std::string text)
{
    for (char &c : text) c = (char)toupper((unsigned char)c);
    return text;
}

std::string Resolve(const std::string &command)
{
    char out[PATH_SIZE];
    ResolveCommandPath(command.c_str(), out);
    return out;
}

struct Split {
    int taken;
    std::string file, parameters;
};

Split SplitOf(const std::string &command)
{
    char file[PATH_SIZE], parameters[PATH_SIZE];
    int taken = SplitCommand(command.c_str(), file, parameters);
    return {taken, file, parameters};
}

std::string Sample(const char *name)
{
    return test::BuildFolder() + "\\" + name;
}
}  // namespace

// --- Commands into program files --------------------------------------------

TEST(ResolveCommandPath, RunKeyAndServiceShapes)
{
    std::string windows = Upper(test::WindowsFolder());
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\APP.EXE", Resolve("C:\\Program Files\\App\\app.exe -min"));
    EXPECT_EQ("C:\\X\\Y.EXE", Resolve("\"C:\\x\\y.exe\" /s"));
    EXPECT_EQ("C:\\PROGRAM FILES\\MY APP\\TRAY.EXE",
              Resolve("\"C:\\Program Files\\My App\\tray.exe\" --background \"C:\\a b\""));
    EXPECT_EQ("RUNDLL32.EXE", Resolve("rundll32.exe C:\\x\\y.dll,Entry"));
    EXPECT_EQ("C:\\X\\Y.DLL", Resolve("C:\\x\\y.dll,Entry"));
    EXPECT_EQ(windows + "\\SYSTEM32\\DRIVERS\\X.SYS", Resolve("\\SystemRoot\\System32\\drivers\\x.sys"));
    EXPECT_EQ(windows + "\\SYSTEM32\\SVCHOST.EXE", Resolve("%SystemRoot%\\system32\\svchost.exe -k netsvcs"));
    EXPECT_EQ(windows + "\\SYSTEM32\\SVCHOST.EXE", Resolve("\\systemroot\\system32\\svchost.exe -k rpcss"));
    EXPECT_EQ("C:\\PROGRAM FILES\\APP\\APP.EXE", Resolve("%PROGRAMFILES%\\App\\app.exe /tray"));
    EXPECT_EQ("C:\\X\\Y.SYS", Resolve("\\??\\C:\\x\\y.sys"));
    // The words only count where the command begins with them.
    EXPECT_EQ("C:\\X\\A.EXE", Resolve("C:\\x\\a.exe /d=%SystemRoot%\\temp"));
    EXPECT_EQ("C:\\TOOLS\\SYSTEMROOT-CHECK.EXE", Resolve("C:\\Tools\\SystemRoot-check.exe"));
    EXPECT_EQ("C:\\X\\B.EXE", Resolve("C:\\x\\b.exe %ProgramFiles%"));
    // Applets and files without ".exe" or ".dll" are taken whole.
    EXPECT_EQ("C:\\WINDOWS\\SYSTEM32\\DESK.CPL", Resolve("C:\\WINDOWS\\system32\\desk.cpl"));
    EXPECT_EQ("CONTROL.EXE", Resolve("control.exe desk.cpl,,1"));
    EXPECT_EQ("SYSTEM32\\DRIVERS\\X.SYS", Resolve("system32\\drivers\\x.sys"));
    EXPECT_EQ("C:\\TOOLS\\RUNNER", Resolve("C:\\Tools\\runner"));
    // A quoted file without those extensions ends at its closing quote.
    EXPECT_EQ("C:\\TOOLS\\START.BAT", Resolve("\"C:\\Tools\\start.bat\" -x"));
    // A folder whose name merely starts like an extension does not end the file.
    EXPECT_EQ("C:\\A.ALEX\\B.EXE", Resolve("C:\\a.alex\\b.exe"));
    EXPECT_EQ("C:\\PROGRA~1\\X.DLLS\\Y.DLL", Resolve("C:\\Progra~1\\x.dlls\\y.dll"));
}

TEST(ResolveCommandPath, BadCommandsGiveCleanResults)
{
    char out[PATH_SIZE + 16];
    auto guarded = [&](const std::string &command) {
        memset(out, 'G', sizeof out);
        int n = ResolveCommandPath(command.c_str(), out);
        for (size_t i = PATH_SIZE; i < sizeof out; i++) EXPECT_EQ('G', out[i]) << "written past the buffer";
        EXPECT_EQ((size_t)n, strlen(out));
        return n;
    };
    std::string file259 = "C:\\" + std::string(PATH_SIZE - 6, 'a') + "\\b";   // as long as fits
    ASSERT_EQ(PATH_SIZE - 1u, file259.size());
    EXPECT_EQ(PATH_SIZE - 1, guarded(file259));
    EXPECT_EQ(0, guarded(file259 + "c"));          // one more: does not fit, reads as missing
    EXPECT_EQ(0, guarded(std::string(1000, 'x')));
    EXPECT_EQ(10, guarded("C:\\x\\a.exe " + std::string(989, 'p')));
    EXPECT_EQ(0, guarded("\"\"\"\""));
    EXPECT_EQ(0, guarded("\""));
    EXPECT_EQ(0, guarded(""));
    EXPECT_EQ(0, guarded("   "));
    // A dot at or near the end is not read past.
    EXPECT_EQ(9, guarded("C:\\x\\app."));
    EXPECT_EQ(10, guarded("C:\\x\\app.e"));
    EXPECT_EQ(11, guarded("C:\\x\\app.ex"));
    EXPECT_EQ(10, guarded("SystemRoot"));
    EXPECT_EQ(11, guarded("\\SystemRoot"));
    EXPECT_EQ(0, ResolveCommandPath(nullptr, out));
}

TEST(SplitCommand, ProgramAndParameters)
{
    std::string folder = test::FreshFolder("split");
    std::string program = folder + "\\Long Program Name.exe";
    ASSERT_TRUE(test::WriteFile(program, "MZ"));
    char shortPath[PATH_SIZE];
    ASSERT_NE(0u, GetShortPathNameA(program.c_str(), shortPath, sizeof shortPath));

    Split split = SplitOf("\"" + program + "\" -tray");
    EXPECT_EQ((int)program.size(), split.taken);
    EXPECT_EQ(Upper(program), Upper(split.file));
    EXPECT_EQ(" -tray", split.parameters);

    // The short form of a path comes back in its long form.
    split = SplitOf(std::string(shortPath) + " /min");
    EXPECT_EQ(Upper(program), Upper(split.file));
    EXPECT_EQ(" /min", split.parameters);

    split = SplitOf("rundll32.exe shell32.dll,Control_RunDLL desk.cpl");
    EXPECT_EQ("RUNDLL32.EXE", split.file);
    EXPECT_EQ(" shell32.dll,Control_RunDLL desk.cpl", split.parameters);
    split = SplitOf("C:\\x\\desk.cpl,@0");
    EXPECT_EQ("C:\\X\\DESK.CPL", split.file);
    EXPECT_EQ(",@0", split.parameters);

    std::string notepad = Upper(test::SystemFolder() + "\\notepad.exe");
    split = SplitOf("%SystemRoot%\\system32\\notepad.exe C:\\notes.txt");
    EXPECT_EQ(notepad, Upper(split.file));
    EXPECT_EQ(" C:\\notes.txt", split.parameters);
    split = SplitOf("\\SystemRoot\\system32\\notepad.exe");
    EXPECT_EQ(notepad, Upper(split.file));
    EXPECT_EQ("", split.parameters);

    // Parameters that do not fit, or no program at all: nothing.
    split = SplitOf("C:\\x\\a.exe " + std::string(PATH_SIZE + 40, 'p'));
    EXPECT_EQ(0, split.taken);
    EXPECT_EQ("", split.file);
    EXPECT_EQ("", split.parameters);
    EXPECT_EQ(0, SplitOf("\"\"").taken);
    EXPECT_EQ(0, SplitOf(std::string(1000, 'x')).taken);
}

// --- Finding files ---------------------------------------------------------------

TEST(FileExists, BareNamesAndOddTexts)
{
    char path[PATH_SIZE] = "notepad.exe";
    EXPECT_EQ(1, FileExists(path));
    EXPECT_STREQ("notepad.exe", path) << "found in the Windows folder: the text stays";

    // winemine.exe lies only in the system folder: the text becomes its path.
    ASSERT_FALSE(test::FileExistsAt(test::WindowsFolder() + "\\winemine.exe"));
    CopyText(path, sizeof path, "winemine.exe");
    EXPECT_EQ(1, FileExists(path));
    EXPECT_EQ(Upper(test::SystemFolder() + "\\winemine.exe"), Upper(path));

    std::string own = test::BuildFolder() + "\\Sentrel.exe";
    CopyText(path, sizeof path, own.c_str());
    EXPECT_EQ(1, FileExists(path));
    EXPECT_EQ(own, path);

    for (const char *text : {"", "no-such-program.exe", "C:\\windows", "C:\\windows\\*.exe",
                             "note?ad.exe", "CON", "nul.txt", "aux", "C:\\x\\com1.log", "lpt9"}) {
        CopyText(path, sizeof path, text);
        EXPECT_EQ(0, FileExists(path)) << text;
        EXPECT_STREQ(text, path);
    }
    // A buffer without a terminator is not read past its end.
    char unterminated[PATH_SIZE];
    memset(unterminated, 'a', sizeof unterminated);
    EXPECT_EQ(0, FileExists(unterminated));
    EXPECT_EQ(0, FileExists(nullptr));
}

TEST(FirstSeen, DatesAreKeptUnderTheResolvedName)
{
    test::ResetSentrelRegistry();
    // A bare name that FileExists finds in the system folder.
    EXPECT_EQ(0, RecordFirstSeen("winemine.exe -easy", DETECTED_STARTUP));
    EXPECT_EQ(1, RecordFirstSeen("winemine.exe", DETECTED_STARTUP));
    char date[DATE_TEXT_SIZE];
    EXPECT_GT(GetFirstSeen("WineMine.exe /x", 11, date), 0);
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, DETECTED_STARTUP, "WINEMINE.EXE"));

    EXPECT_EQ(0, RecordFirstSeen("%SystemRoot%\\system32\\winemine.exe", DETECTED_SERVICES));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, DETECTED_SERVICES,
                                  Upper(test::SystemFolder() + "\\winemine.exe")));

    EXPECT_EQ(0, RecordFirstSeen("C:\\no\\such\\program.exe", DETECTED_STARTUP));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, DETECTED_STARTUP, "C:\\NO\\SUCH\\PROGRAM.EXE"));
    test::ResetSentrelRegistry();
}

// --- Version information ----------------------------------------------------------

TEST(ReadVersionFacts, OwnProgramsAndSamples)
{
    VersionFacts facts;
    ASSERT_EQ(1, ReadVersionFacts(Sample("Sentrel.exe").c_str(), facts));
    EXPECT_STREQ("Sentrel", facts[VERSION_PRODUCT_NAME]);
    EXPECT_STREQ("12.5.2007.0", facts[VERSION_PRODUCT_VERSION]);
    EXPECT_STREQ("Orvendale", facts[VERSION_COMPANY_NAME]);
    EXPECT_STREQ("Copyright (C) 2026 Orvendale", facts[VERSION_LEGAL_COPYRIGHT]);
    EXPECT_NE(0, facts[VERSION_FILE_DESCRIPTION][0]);

    // Three translations: the French one has no product name and is passed
    // over, so the German one, the last usable, wins. Its copyright is 130
    // characters long and stays empty; its TAB became a blank.
    ASSERT_EQ(1, ReadVersionFacts(Sample("version_sample.exe").c_str(), facts));
    EXPECT_STREQ("Beispiel Deutsch", facts[VERSION_PRODUCT_NAME]);
    EXPECT_STREQ("3.1 de", facts[VERSION_PRODUCT_VERSION]);
    EXPECT_STREQ("Orvendale Beispiele", facts[VERSION_COMPANY_NAME]);
    EXPECT_STREQ("Deutsches Beispiel", facts[VERSION_FILE_DESCRIPTION]);
    EXPECT_STREQ("", facts[VERSION_LEGAL_COPYRIGHT]);

    char description[VERSION_SLOT_SIZE];
    EXPECT_EQ(18, GetFileDescription(Sample("version_sample.exe").c_str(), description));
    EXPECT_STREQ("Deutsches Beispiel", description);

    // An operating system shows its file description as product name.
    ASSERT_EQ(1, ReadVersionFacts(Sample("version_os_sample.exe").c_str(), facts));
    EXPECT_STREQ("Sample Shell Host", facts[VERSION_PRODUCT_NAME]);

    // Files without version information leave every slot empty.
    for (std::string file : {test::WindowsFolder() + "\\notepad.exe", std::string("C:\\no\\such.exe"),
                             std::string("")}) {
        memset(facts, 'x', sizeof facts);
        EXPECT_EQ(0, ReadVersionFacts(file.c_str(), facts)) << file;
        for (int i = 0; i < VERSION_SLOTS; i++) EXPECT_STREQ("", facts[i]) << file;
    }
    EXPECT_EQ(0, GetFileDescription("C:\\no\\such.exe", description));
    EXPECT_STREQ("", description);
}

namespace {
// The version resource of a program, as its bytes.
std::vector<BYTE> VersionResource(const std::string &file)
{
    std::vector<BYTE> bytes;
    HMODULE module = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return bytes;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    if (found) {
        const BYTE *data = (const BYTE *)LockResource(LoadResource(module, found));
        bytes.assign(data, data + SizeofResource(module, found));
    }
    FreeLibrary(module);
    return bytes;
}

// Replaces the version resource of a program file with the bytes given.
bool ReplaceVersionResource(const std::string &file, const std::vector<BYTE> &bytes)
{
    HANDLE update = BeginUpdateResourceA(file.c_str(), FALSE);
    if (!update) return false;
    BOOL ok = UpdateResourceA(update, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                              bytes.empty() ? nullptr : (void *)bytes.data(), (DWORD)bytes.size());
    return EndUpdateResourceA(update, !ok) && ok;
}

// Offset of the block whose key is name (UTF-16), or 0.
size_t BlockOffset(const std::vector<BYTE> &bytes, const char *name)
{
    std::vector<BYTE> key;
    for (const char *c = name; *c; c++) {
        key.push_back((BYTE)*c);
        key.push_back(0);
    }
    for (size_t i = 6; i + key.size() <= bytes.size(); i += 2)
        if (memcmp(&bytes[i], key.data(), key.size()) == 0) return i - 6;
    return 0;
}

void SetWord(std::vector<BYTE> &bytes, size_t offset, unsigned value)
{
    bytes[offset] = (BYTE)value;
    bytes[offset + 1] = (BYTE)(value >> 8);
}
}  // namespace

TEST(ReadVersionFacts, DamagedVersionResources)
{
    std::string folder = test::FreshFolder("damaged_versions");
    std::vector<BYTE> genuine = VersionResource(Sample("version_sample.exe"));
    ASSERT_GT(genuine.size(), 200u);
    size_t strings = BlockOffset(genuine, "StringFileInfo");
    size_t product = BlockOffset(genuine, "ProductName");
    ASSERT_GT(strings, 0u);
    ASSERT_GT(product, strings);
    ASSERT_GT(BlockOffset(genuine, "VarFileInfo"), product);

    struct Case {
        const char *name;
        std::vector<BYTE> bytes;
        bool expectNone;
    };
    std::vector<Case> cases;
    std::vector<BYTE> bytes = genuine;
    SetWord(bytes, 0, 0xfff0);   // claims far more than there is
    cases.push_back({"root too long", bytes, true});
    bytes = genuine;
    SetWord(bytes, 0, 4);        // shorter than its own header
    cases.push_back({"root too short", bytes, true});
    bytes = genuine;
    SetWord(bytes, strings, 0xfff0);   // a child longer than its parent
    cases.push_back({"child too long", bytes, true});
    bytes = genuine;
    SetWord(bytes, product, 0);        // a child of length 0
    cases.push_back({"child of length 0", bytes, true});
    bytes.assign(genuine.begin(), genuine.begin() + genuine.size() / 2);
    cases.push_back({"cut in half", bytes, true});
    bytes.assign(genuine.begin(), genuine.begin() + 40);
    cases.push_back({"header only", bytes, true});
    bytes = genuine;   // sound, but without the translation list
    bytes.resize(BlockOffset(genuine, "VarFileInfo"));
    SetWord(bytes, 0, (unsigned)bytes.size());
    cases.push_back({"no translations", bytes, true});
    // A resource of 2 MB: a sound block at its head is read for what it
    // says, without reading the rest; a block that claims to go on past
    // the first few kilobytes needs the whole resource, too large to be
    // believed.
    bytes = genuine;
    bytes.resize(2 * 1024 * 1024, 0);
    cases.push_back({"2 MB behind a sound block", bytes, false});
    SetWord(bytes, 0, 0xfff0);
    cases.push_back({"2 MB", bytes, true});
    // A product name whose terminator and padding are gone: the text runs
    // into what follows, but never past the block.
    bytes = genuine;
    {
        size_t value = product + 6 + 2 * sizeof "ProductName";
        value = (value + 3) & ~(size_t)3;
        for (size_t i = value; i + 1 < bytes.size() && i < value + 600; i += 2) {
            if (bytes[i] == 0 && bytes[i + 1] == 0) bytes[i] = 'Z';
        }
    }
    cases.push_back({"unterminated texts", bytes, false});

    for (const Case &c : cases) {
        std::string file = folder + "\\damaged.exe";
        ASSERT_TRUE(CopyFileA(Sample("version_sample.exe").c_str(), file.c_str(), FALSE));
        ASSERT_TRUE(ReplaceVersionResource(file, c.bytes)) << c.name;
        VersionFacts facts;
        int result = ReadVersionFacts(file.c_str(), facts);
        for (int i = 0; i < VERSION_SLOTS; i++) EXPECT_LT(strlen(facts[i]), 512u) << c.name;
        if (c.expectNone) {
            EXPECT_EQ(0, result) << c.name;
            for (int i = 0; i < VERSION_SLOTS; i++) EXPECT_STREQ("", facts[i]) << c.name;
        }
        if (!strcmp(c.name, "2 MB behind a sound block")) EXPECT_EQ(1, result) << c.name;
        DeleteFileA(file.c_str());
    }

    // A sound block of 20 KB still names its program.
    bytes = genuine;
    bytes.resize(20000, 0);
    std::string large = folder + "\\large.exe";
    ASSERT_TRUE(CopyFileA(Sample("version_sample.exe").c_str(), large.c_str(), FALSE));
    ASSERT_TRUE(ReplaceVersionResource(large, bytes));
    VersionFacts facts;
    EXPECT_EQ(1, ReadVersionFacts(large.c_str(), facts));
    EXPECT_STREQ("Beispiel Deutsch", facts[VERSION_PRODUCT_NAME]);
}

// --- File facts ---------------------------------------------------------------------

TEST(FileFacts, DatesSizesAndLongPaths)
{
    test::ResetSentrelRegistry();
    std::string folder = test::FreshFolder("file_facts");
    std::string file = folder + "\\Facts File With Blanks.txt";
    ASSERT_TRUE(test::WriteFile(file, std::string(1234567, 'f')));

    // Last write at 14:05 local time on 7 December 2026.
    SYSTEMTIME local = {};
    local.wYear = 2026;
    local.wMonth = 12;
    local.wDay = 7;
    local.wHour = 14;
    local.wMinute = 5;
    SYSTEMTIME universal;
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal));
    FILETIME written;
    ASSERT_TRUE(SystemTimeToFileTime(&universal, &written));
    HANDLE handle = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle);
    ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &written));
    CloseHandle(handle);
    char expected[DATE_TEXT_SIZE];
    FormatDateTime(&local, expected);

    char date[FILE_DATE_SIZE], size[FILE_DATE_SIZE];
    EXPECT_EQ((int)strlen(expected), GetFileDateSize(file.c_str(), date, size));
    EXPECT_STREQ(expected, date);
    EXPECT_STREQ("1234567", size);
    EXPECT_EQ(0, GetFileDateSize((folder + "\\missing.txt").c_str(), date, size));
    EXPECT_STREQ("", date);
    EXPECT_STREQ("", size);

    char dates[5][FILE_FACT_SIZE];
    CopyText(dates[3], FILE_FACT_SIZE, "kept");
    ASSERT_EQ(1, GetFileDates(file.c_str(), 200, dates));
    EXPECT_STREQ(expected, dates[2]);
    EXPECT_NE(0, dates[0][0]);
    EXPECT_NE(0, dates[1][0]);
    EXPECT_STREQ("kept", dates[3]) << "no first-seen date: the text stays";
    EXPECT_STREQ("1,234,567", dates[4]);
    RecordFirstSeen(file.c_str(), DETECTED_STARTUP);
    ASSERT_EQ(1, GetFileDates(file.c_str(), 200, dates));
    EXPECT_NE(std::string("kept"), dates[3]);
    EXPECT_NE(0, dates[3][0]);
    EXPECT_EQ(0, GetFileDates((folder + "\\missing.txt").c_str(), 200, dates));

    // The creation time has its own fixed shape (its value is not asserted:
    // the platform may keep it equal to the last write).
    char created[FILE_DATE_SIZE];
    EXPECT_EQ(1, FormatFileCreationTime(file.c_str(), created));
    int y, mo, d, h, mi;
    EXPECT_EQ(5, sscanf(created, "%4d/%2d/%2d %2d:%2d", &y, &mo, &d, &h, &mi)) << created;
    EXPECT_EQ(16u, strlen(created));
    EXPECT_EQ(1, FormatFileCreationTime((folder + "\\missing.txt").c_str(), created));
    EXPECT_STREQ("", created);

    char shortPath[PATH_SIZE], longPath[PATH_SIZE];
    ASSERT_NE(0u, GetShortPathNameA(file.c_str(), shortPath, sizeof shortPath));
    EXPECT_GT(GetLongPath(longPath, shortPath), 0);
    EXPECT_EQ(Upper(file), Upper(longPath));
    EXPECT_EQ(0, GetLongPath(longPath, "C:\\no\\such\\file.txt"));
    EXPECT_STREQ("C:\\no\\such\\file.txt", longPath);
    EXPECT_EQ(0, GetLongPath(longPath, std::string(PATH_SIZE, 'x').c_str()));
    EXPECT_STREQ("", longPath);
    test::ResetSentrelRegistry();
}

TEST(FileFacts, ViewingAMissingFileShowsTheError)
{
    struct Viewer {
        static DWORD WINAPI Run(void *) { return (DWORD)ViewTextFile("C:\\sentrel-tests\\missing.txt"); }
    };
    HANDLE thread = CreateThread(nullptr, 0, Viewer::Run, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    HWND box = test::WaitForWindow("#32770", "Sentrel", 15000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(0u, test::DialogText(box).find("2  ")) << test::DialogText(box);
    test::PressButton(box, IDOK);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 15000));
    DWORD result = 99;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    EXPECT_EQ(0u, result);
}

TEST(ProgramFolder, VersionTextFromTheProgramsBesideIt)
{
    char folder[PATH_SIZE];
    EXPECT_EQ((int)test::BuildFolder().size(), GetProgramFolder(folder));
    EXPECT_EQ(test::BuildFolder(), folder);

    char text[VERSION_TEXT_SIZE];
    GetVersionText(text);
    EXPECT_EQ(0u, std::string(text).find("12.5.2007.0")) << text;

    std::string place = test::FreshFolder("version_text");
    std::string running = place + "\\SentrelEx.exe";
    EXPECT_EQ(0, GetVersionTextIn(place.c_str(), running.c_str(), text));
    ASSERT_TRUE(CopyFileA(Sample("Sentrel.exe").c_str(), (place + "\\Sentrel.exe").c_str(), FALSE));
    GetVersionTextIn(place.c_str(), running.c_str(), text);
    EXPECT_STREQ("12.5.2007.0", text);
    ASSERT_TRUE(CopyFileA(Sample("version_sample.exe").c_str(), running.c_str(), FALSE));
    GetVersionTextIn(place.c_str(), running.c_str(), text);
    EXPECT_STREQ("12.5.2007.0:3.1 de", text);
    // The same version in both programs is said once.
    ASSERT_TRUE(CopyFileA(Sample("Sentrel.exe").c_str(), running.c_str(), FALSE));
    GetVersionTextIn(place.c_str(), running.c_str(), text);
    EXPECT_STREQ("12.5.2007.0", text);

    // The hijack-log tool reports itself as the second program.
    std::string hijack = place + "\\HijackSentrel.exe";
    ASSERT_TRUE(CopyFileA(Sample("version_os_sample.exe").c_str(), hijack.c_str(), FALSE));
    GetVersionTextIn(place.c_str(), hijack.c_str(), text);
    EXPECT_STREQ("12.5.2007.0:6.0.1", text);
    DeleteFileA((place + "\\Sentrel.exe").c_str());
    GetVersionTextIn(place.c_str(), hijack.c_str(), text);
    EXPECT_STREQ("6.0.1", text);
}

// --- The web browser ------------------------------------------------------------------

namespace {
const char kHttpCommand[] = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";

class Browser : public ::testing::Test {
protected:
    void SetUp() override
    {
        hadCommand = test::ReadString(HKEY_LOCAL_MACHINE, kHttpCommand, "", &original);
    }
    void TearDown() override
    {
        if (hadCommand) test::WriteString(HKEY_LOCAL_MACHINE, kHttpCommand, "", original);
    }
    std::string BrowserFor(const std::string &command)
    {
        EXPECT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kHttpCommand, "", command));
        char out[PATH_SIZE];
        GetDefaultBrowser(out);
        return out;
    }
    bool hadCommand = false;
    std::string original;
};
}  // namespace

TEST_F(Browser, DefaultBrowserAndItsKind)
{
    ASSERT_TRUE(hadCommand);
    char ie[PATH_SIZE];
    ASSERT_GT(GetIEPath(ie), 0);
    EXPECT_STREQ("C:\\Program Files\\Internet Explorer\\iexplore.exe", ie);

    EXPECT_EQ("C:\\windows\\system32\\winebrowser.exe",
              BrowserFor("\"C:\\windows\\system32\\winebrowser.exe\" \"%1\""));
    EXPECT_EQ(1, DefaultBrowserKind());
    EXPECT_EQ("C:\\PROGRA~1\\MOZILL~1\\FIREFOX.EXE",
              BrowserFor("C:\\PROGRA~1\\MOZILL~1\\FIREFOX.EXE -requestPending -osint -url \"%1\""));
    EXPECT_EQ(3, DefaultBrowserKind());
    EXPECT_EQ("C:\\Program Files\\Mozilla Firefox\\firefox.exe",
              BrowserFor("\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url \"%1\""));
    EXPECT_EQ(6, DefaultBrowserKind()) << "mozilla is searched before firefox";
    EXPECT_EQ("C:\\Program Files\\Fire-Fox\\firefox.exe",
              BrowserFor("C:\\Program Files\\Fire-Fox\\firefox.exe -url \"%1\""));
    EXPECT_EQ(3, DefaultBrowserKind());
    EXPECT_EQ("C:\\Program Files\\My-Browser\\maxthon.exe",
              BrowserFor("\"C:\\Program Files\\My-Browser\\maxthon.exe\" -new \"%1\""));
    EXPECT_EQ(4, DefaultBrowserKind());
    // A command that is only an option falls back to Internet Explorer.
    EXPECT_EQ("C:\\Program Files\\Internet Explorer\\IExplore.exe", BrowserFor("-nohome"));
    EXPECT_EQ(1, DefaultBrowserKind());
    // A command too long to read means no browser.
    EXPECT_EQ("", BrowserFor("C:\\" + std::string(600, 'b') + ".exe"));
}

// --- Text operations -----------------------------------------------------------------------

TEST(TextOperations, EdgesOfTheTextHelpers)
{
    std::string hay772(772, 'a'), hay773(773, 'a');
    EXPECT_EQ(1, ContainsNoCase("C:\\Program Files\\App", "program FILES"));
    EXPECT_EQ(1, ContainsNoCase(hay772.c_str(), "AAA"));
    EXPECT_EQ(0, ContainsNoCase(hay773.c_str(), "a"));
    EXPECT_EQ(0, ContainsNoCase("abc", "abcd"));

    char out[16];
    EXPECT_EQ(7, FileNamePart("C:\\x\\app.exe", out, sizeof out));
    EXPECT_STREQ("app.exe", out);
    EXPECT_EQ(0, FileNamePart("app.exe", out, sizeof out));
    EXPECT_EQ(0, FileNamePart("C:\\x\\a-name-too-long.exe", out, sizeof out));
    EXPECT_STREQ("", out);
    EXPECT_EQ(1, ExtensionAfterFirstDot("a.tar.gz", out, sizeof out));
    EXPECT_STREQ("tar.gz", out);

    // In place, as the inventory uses them.
    char text[32] = "\"C:\\a=b\\z.exe\" \"%1\"";
    EXPECT_EQ(15, RemoveQuotes(text, text, sizeof text));
    EXPECT_EQ(15, EqualsToColon(text, text, sizeof text));
    EXPECT_STREQ("C:\\a:b\\z.exe %1", text);
    EXPECT_EQ(4, SkipBlanks("  \t word", text, sizeof text));
    EXPECT_STREQ("word", text);
    CopyText(text, sizeof text, "a;b;;c");
    EXPECT_EQ(3, ReplaceChar(text, ';', 0));
    EXPECT_STREQ("abc", text);

    char full[8] = "C:\\abcd";
    EXPECT_EQ(0, AddBackslash(full, sizeof full));
    EXPECT_STREQ("C:\\abcd", full);
    char root[8] = "C:\\";
    EXPECT_EQ(0, RemoveBackslash(root, 1));
    EXPECT_EQ(1, RemoveBackslash(root, 0));
    EXPECT_STREQ("C:", root);
}

TEST(TextOperations, EscapingAndTimes)
{
    char out[64];
    // One blank and one ampersand: two characters longer.
    EXPECT_EQ(10, EscapeForUrl(out, sizeof out, "My App&Co"));
    EXPECT_STREQ("My%20App+Co", out);
    EXPECT_EQ(-1, EscapeForUrl(out, sizeof out, ""));
    EscapeForUrl(out, sizeof out, "a#b%c?d=e'f\"<g>\xe9");
    EXPECT_STREQ("a%23b%25c%3Fd%3De%27f%22%3Cg%3E%E9", out);
    EXPECT_EQ(-1, EscapeForUrl(out, 8, "a b c"));   // "a%20b%20c" does not fit
    EXPECT_STREQ("", out);

    // 15 June 2026, 12:00 UTC is the same day in every time zone.
    SYSTEMTIME local;
    ASSERT_EQ(1, UnixTimeToLocal(1781524800LL, &local));
    EXPECT_EQ(2026, local.wYear);
    EXPECT_EQ(6, local.wMonth);
    EXPECT_EQ(15, local.wDay);
    EXPECT_EQ(0, local.wSecond);
    EXPECT_EQ(0, UnixTimeToLocal(0x7fffffffffffffffLL, &local));
}

// Older systems delete at the restart what wininit.ini's [rename] section
// names: the line goes into that section, also when the file ends in another.
TEST(DeleteOnReboot, OlderSystemsGetARenameLine)
{
    const std::string ini = test::WindowsFolder() + "\\wininit.ini";
    const std::string doomed = test::FreshFolder("delete_on_reboot") + "\\doomed.exe";
    ASSERT_TRUE(test::WriteFile(doomed, "x"));
    ASSERT_TRUE(SetFileAttributesA(doomed.c_str(), FILE_ATTRIBUTE_READONLY));
    char shortPath[PATH_SIZE];
    ASSERT_GT(GetShortPathNameA(doomed.c_str(), shortPath, sizeof shortPath), 0u);
    PretendPlatform(1, 4);
    ASSERT_TRUE(test::WriteFile(ini, "[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nx=1"));
    EXPECT_EQ(1, DeleteOnReboot(doomed.c_str()));
    std::string appended;
    EXPECT_TRUE(test::ReadFile(ini, &appended));
    EXPECT_EQ("[rename]\r\nNUL=C:\\OLD.EXE\r\n[other]\r\nx=1\r\n[rename]\r\nNUL=" + std::string(shortPath) + "\r\n",
              appended);
    DeleteFileA(ini.c_str());
    EXPECT_EQ(1, DeleteOnReboot(doomed.c_str()));
    std::string fresh;
    EXPECT_TRUE(test::ReadFile(ini, &fresh));
    PretendPlatform(0, 0);
    DeleteFileA(ini.c_str());
    EXPECT_EQ("[rename]\r\nNUL=" + std::string(shortPath) + "\r\n", fresh);
    EXPECT_EQ(0u, GetFileAttributesA(doomed.c_str()) & FILE_ATTRIBUTE_READONLY) << "attributes cleared";
}
