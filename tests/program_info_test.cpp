// The program information lookup against the prefix's shell: a recorder
// program is the prefix's handler for http, https and .html pages (and
// plays the AOL client and Internet Explorer), so every test checks the
// exact page or address that was opened. Also the knowledge-base keys and
// the notes of program files.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <thread>
#include <string>
#include <vector>

#include "alert_driver.h"
#include "monitor.h"
#include "options.h"
#include "program_info.h"
#include "test_support.h"
#include "text.h"

using namespace test::keys;

namespace {

const DWORD kWait = 15000;
const char kServer[] = "https://www.orvendale.example/sentrel";
const char kIePaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";

// The parts of a query: name (with "&" and "=") and value.
struct Field {
    std::string name, value;
};

// True when the address holds only characters an address may carry and
// every "%" starts a whole escape.
bool WellFormed(const std::string &address)
{
    static const char kAllowed[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~!$&()*+,;=:@/?%";
    for (size_t i = 0; i < address.size(); i++) {
        unsigned char c = (unsigned char)address[i];
        if (c == 0 || !strchr(kAllowed, c)) return false;
        if (c == '%' && (i + 2 >= address.size() || !isxdigit((unsigned char)address[i + 1]) ||
                         !isxdigit((unsigned char)address[i + 2])))
            return false;
    }
    return true;
}

std::string Unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += (char)strtol(text.substr(i + 1, 2).c_str(), nullptr, 16);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The query behind "?program=": the program first, then "&name=value" pieces.
std::vector<Field> QueryFields(const std::string &address)
{
    std::vector<Field> fields;
    size_t at = address.find("?program=");
    if (at == std::string::npos) return fields;
    std::string rest = address.substr(at + 1);
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('&', start);
        std::string piece = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t equals = piece.find('=');
        std::string name = (start ? "&" : "") + piece.substr(0, equals + 1);
        fields.push_back({name, equals == std::string::npos ? "" : piece.substr(equals + 1)});
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return fields;
}

std::string FieldValue(const std::vector<Field> &fields, const std::string &name)
{
    for (const auto &f : fields)
        if (f.name == name) return f.value;
    return "<missing>";
}

// The text with "&" written as "+", as the query carries it.
std::string Ampersands(std::string text)
{
    for (char &c : text)
        if (c == '&') c = '+';
    return text;
}

std::string Address(int number, const std::string &command, const std::string &title, int detailed)
{
    std::vector<char> out(INFO_ADDRESS_SIZE);
    BuildInfoAddress(number, command.c_str(), title.c_str(), detailed, out.data(), out.size());
    return out.data();
}

std::vector<std::string> Arguments(const std::string &line)
{
    std::vector<std::string> arguments;
    std::wstring wide(line.begin(), line.end());
    int count = 0;
    LPWSTR *argv = CommandLineToArgvW(wide.c_str(), &count);
    for (int i = 0; argv && i < count; i++) {
        char text[4096] = "";
        WideCharToMultiByte(CP_ACP, 0, argv[i], -1, text, sizeof text, nullptr, nullptr);
        arguments.push_back(text);
    }
    LocalFree(argv);
    return arguments;
}

class ProgramInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Folders with blanks, so that every command line must quote them.
        recorder_ = test::FreshFolder("info browser");
        aol_ = test::FreshFolder("info aol client");
        ie_ = test::FreshFolder("info explorer");
        program_ = test::FreshFolder("info program");
        std::string source = test::BuildFolder() + "\\url_recorder.exe";
        CopyFileA(source.c_str(), (recorder_ + "\\url_recorder.exe").c_str(), FALSE);
        CopyFileA(source.c_str(), (aol_ + "\\WAOL.EXE").c_str(), FALSE);
        CopyFileA(source.c_str(), (ie_ + "\\iexplore.exe").c_str(), FALSE);
        CopyFileA((test::BuildFolder() + "\\info_sample.exe").c_str(), Hostile().c_str(), FALSE);
        test::ReadString(HKEY_CLASSES_ROOT, ".html", "", &htmlClass_);
        test::ReadString(HKEY_LOCAL_MACHINE, kIePaths, "Path", &iePath_);
    }
    static void TearDownTestSuite()
    {
        test::WriteString(HKEY_CLASSES_ROOT, ".html", "", htmlClass_);
        test::DeleteTree(HKEY_CLASSES_ROOT, "SentrelTestPage");
        test::WriteString(HKEY_LOCAL_MACHINE, kIePaths, "Path", iePath_);
    }
    void SetUp() override
    {
        Handle("http", Recorder());
        Handle("https", Recorder());
        test::WriteString(HKEY_CLASSES_ROOT, ".html", "", "SentrelTestPage");
        test::WriteString(HKEY_CLASSES_ROOT, "SentrelTestPage\\shell\\open\\command", "", Recorder());
        test::WriteString(HKEY_CURRENT_USER, kOptions, "ZentaFormat", "0");
        test::WriteString(HKEY_CURRENT_USER, kOptions, "BrowserFailure", "0");
        for (const std::string &folder : {recorder_, aol_, ie_}) DeleteFileA((folder + "\\recorded.txt").c_str());
    }
    void TearDown() override
    {
        RemoveKbase();
        DeleteFileA((test::BuildFolder() + "\\temp.url").c_str());
    }
    static std::string Recorder() { return "\"" + recorder_ + "\\url_recorder.exe\" \"%1\""; }
    static void Handle(const std::string &scheme, const std::string &command)
    {
        test::WriteString(HKEY_CLASSES_ROOT, scheme + "\\shell\\open\\command", "", command);
    }
    // A program file whose name and version facts need escaping.
    static std::string Hostile() { return program_ + "\\Caf\xc3\xa9 & #1 %41+x.exe"; }
    static std::string HostileCommand() { return "\"" + Hostile() + "\" /run \"<script>\""; }

    // The lines a recorder wrote, once there are count of them.
    static std::vector<std::string> Recorded(const std::string &folder, size_t count = 1)
    {
        return test::RecordedLines(folder, count, kWait);
    }
    static std::string Kbase() { return test::BuildFolder() + "\\kbase"; }
    static void RemoveKbase()
    {
        DeleteFileA((Kbase() + "\\foo.html").c_str());
        DeleteFileA((Kbase() + "\\stcommand.html").c_str());
        RemoveDirectoryA(Kbase().c_str());
    }

    static std::string recorder_, aol_, ie_, program_, htmlClass_, iePath_;
};
std::string ProgramInfoTest::recorder_, ProgramInfoTest::aol_, ProgramInfoTest::ie_,
    ProgramInfoTest::program_, ProgramInfoTest::htmlClass_, ProgramInfoTest::iePath_;

// Both queries of a program whose file name, facts and command hold
// quotes, "&", "#", "%", "+", "<script>" and non-ASCII: well-formed, every
// value escaped and coming back whole, in the order the server expects.
TEST_F(ProgramInfoTest, QueriesEscapeEveryValue)
{
    std::string name = "CAF\xc3\xa9 & #1 %41+X.EXE";
    std::string simple = Address(1011, HostileCommand(), "title", 0);
    ASSERT_EQ(0u, simple.find(std::string(kServer) + "/cgi-bin/zentainfo.pl?program=")) << simple;
    EXPECT_TRUE(WellFormed(simple)) << simple;
    EXPECT_LE(simple.size(), 259u);
    std::vector<Field> fields = QueryFields(simple);
    std::vector<std::string> names;
    for (const auto &f : fields) names.push_back(f.name);
    EXPECT_EQ((std::vector<std::string>{"program=", "&vendor=", "&version=", "&build=", "&Type=", "&Loc=", "&ext="}),
              names)
        << simple;

    std::string detailed = Address(1011, HostileCommand(), "title", 1);
    ASSERT_EQ(0u, detailed.find(std::string(kServer) + "/cgi-bin/zentainfo12.pl?program=")) << detailed;
    EXPECT_TRUE(WellFormed(detailed)) << detailed;
    fields = QueryFields(detailed);
    names.clear();
    for (const auto &f : fields) names.push_back(f.name);
    EXPECT_EQ((std::vector<std::string>{"program=", "&vendor=", "&build=", "&Type=", "&Loc=", "&ext=", "&version=",
                                        "&name=", "&copy=", "&detail=", "&created=", "&detected=", "&fsize=",
                                        "&path="}),
              names)
        << detailed;
    EXPECT_EQ(Ampersands(name), Unescape(FieldValue(fields, "program=")));
    EXPECT_EQ(Ampersands("Smith & \"Sons\" #1 100% <script>alert(1)</script>"),
              Unescape(FieldValue(fields, "&vendor=")));
    EXPECT_EQ("Caf\xc3\xa9 tool?x=1+y=2 a+b", Unescape(FieldValue(fields, "&detail=")));
    EXPECT_EQ("(c) O'Brien \\ Co", Unescape(FieldValue(fields, "&copy=")));
    EXPECT_EQ("2.0 #beta", Unescape(FieldValue(fields, "&version=")));
    EXPECT_EQ("1011", FieldValue(fields, "&Type="));
    EXPECT_EQ("us", FieldValue(fields, "&Loc="));
    EXPECT_EQ("EXE", FieldValue(fields, "&ext="));
    EXPECT_EQ(Ampersands(HostileCommand()), Unescape(FieldValue(fields, "&path=")));
    EXPECT_NE("", FieldValue(fields, "&fsize="));
}

// Titles and commands of 5,000 characters: the simple address stays within
// 259 characters and the detailed query within its 1,024, and neither is
// ever cut inside an escape, whatever the alignment of the escapes.
TEST_F(ProgramInfoTest, LongFieldsAreCutAtWholeEscapes)
{
    for (int shift = 0; shift < 3; shift++) {
        std::string title = std::string(shift, 'a') + std::string(5000, 'e');
        std::string command = std::string(shift, 'b') + std::string(5000, '#');
        std::string simple = Address(1001, command, title, 0);
        EXPECT_LE(simple.size(), 259u);
        EXPECT_GE(simple.size(), 256u);
        EXPECT_TRUE(WellFormed(simple)) << simple;
        std::string detailed = Address(1001, command, title, 1);
        EXPECT_TRUE(WellFormed(detailed)) << detailed;
        size_t query = detailed.find("&vendor=");
        ASSERT_NE(std::string::npos, query);
        EXPECT_LE(detailed.size() - query, (size_t)INFO_QUERY_SIZE - 1);
        EXPECT_NE(std::string::npos, detailed.find("&path=" + std::string(shift, 'b') + "%23%23%23"))
            << "the command is sent, cut: " << detailed;
    }
}

TEST_F(ProgramInfoTest, KnowledgeBaseKeys)
{
    char key[PATH_SIZE];
    const struct {
        const char *name, *key;
    } cases[] = {{"Foo-Bar.exe", "foo"},     {"My App?.exe", "my_app_"}, {"a:b\\c/d.exe", "a_bcd"},
                 {".hidden.exe", ".hidden"}, {"%1 %*", "stcommand"},     {"%1 /s", "stsaver"},
                 {"YCompanion.exe", "ycomp"}, {"xnewdotnet.dll", "newdot"}};
    for (const auto &c : cases) {
        KbaseKey(c.name, key, sizeof key);
        EXPECT_STREQ(c.key, key) << c.name;
    }
    EXPECT_EQ(0, KbaseKey(std::string(261, 'a').c_str(), key, sizeof key));
    EXPECT_EQ(0, KbaseKey("", key, sizeof key));
}

// A page in the knowledge base opens without any address being built; a
// program without one gets the online lookup, exactly the simple address.
TEST_F(ProgramInfoTest, LocalPageFirstThenOnlineLookup)
{
    CreateDirectoryA(Kbase().c_str(), nullptr);
    ASSERT_TRUE(test::WriteFile(Kbase() + "\\foo.html", "<html>foo</html>"));
    ASSERT_TRUE(test::WriteFile(Kbase() + "\\stcommand.html", "<html>command</html>"));
    char page[PATH_SIZE];
    EXPECT_GT(FindKbasePage("Foo-Bar.exe", page), 0);
    EXPECT_EQ(0, FindKbasePage("con.exe", page)) << "a device name is never a page";
    EXPECT_EQ(0, FindKbasePage("nul", page));

    EXPECT_EQ(1, ShowProgramInfo(nullptr, 1011, "C:\\Program Files\\Foo\\Foo-Bar.exe -tray", "Foo"));
    std::vector<std::string> lines = Recorded(recorder_);
    ASSERT_EQ(1u, lines.size());
    std::vector<std::string> arguments = Arguments(lines[0]);
    ASSERT_EQ(2u, arguments.size()) << lines[0];
    EXPECT_TRUE(TextEqualNoCase((Kbase() + "\\foo.html").c_str(), arguments[1].c_str())) << arguments[1];

    // A file type's command names no program: its fixed page.
    EXPECT_EQ(1, ShowProgramInfo(nullptr, 1400, "%1 %*", ".bat"));
    lines = Recorded(recorder_, 2);
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[1].find("stcommand.html")) << lines[1];

    EXPECT_EQ(1, ShowProgramInfo(nullptr, 1011, HostileCommand().c_str(), "Hostile"));
    lines = Recorded(recorder_, 3);
    ASSERT_EQ(3u, lines.size());
    arguments = Arguments(lines[2]);
    ASSERT_EQ(2u, arguments.size()) << lines[2];
    EXPECT_EQ(Address(1011, HostileCommand(), "Hostile", 0), arguments[1]);
}

// With "ZentaFormat" the detailed address reaches the browser whole, and no
// knowledge-base page is used.
TEST_F(ProgramInfoTest, DetailedLookupReachesTheBrowser)
{
    test::WriteString(HKEY_CURRENT_USER, kOptions, "ZentaFormat", "1");
    EXPECT_EQ(1, ShowProgramInfo(nullptr, 1011, HostileCommand().c_str(), "Hostile"));
    std::vector<std::string> lines = Recorded(recorder_);
    ASSERT_EQ(1u, lines.size());
    std::vector<std::string> arguments = Arguments(lines[0]);
    ASSERT_GE(arguments.size(), 2u) << lines[0];
    EXPECT_EQ(Address(1011, HostileCommand(), "Hostile", 1), arguments[1]);
}

// A running AOL client gets the address as one quoted argument, even with
// blanks in its folder; nothing else is opened.
TEST_F(ProgramInfoTest, RunningAolClientGetsTheAddressQuoted)
{
    WNDCLASSA type = {};
    type.lpfnWndProc = DefWindowProcA;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "AOL Frame25";
    RegisterClassA(&type);
    HWND aol = CreateWindowA("AOL Frame25", "AOL", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, type.hInstance, nullptr);
    ASSERT_TRUE(aol);
    WriteProfileStringA("WAOL", "AppPath", aol_.c_str());

    EXPECT_EQ(1, ShowProgramInfo(nullptr, 1011, HostileCommand().c_str(), "Hostile"));
    std::vector<std::string> lines = Recorded(aol_);
    ASSERT_EQ(1u, lines.size());
    std::vector<std::string> arguments = Arguments(lines[0]);
    ASSERT_EQ(3u, arguments.size()) << lines[0];
    EXPECT_TRUE(TextEqualNoCase((aol_ + "\\WAOL.EXE").c_str(), arguments[0].c_str())) << arguments[0];
    EXPECT_EQ("-u", arguments[1]);
    EXPECT_EQ(Address(1011, HostileCommand(), "Hostile", 0), arguments[2]);

    EXPECT_EQ(1, ShowHelpPage(nullptr, 6026));
    lines = Recorded(aol_, 2);
    ASSERT_EQ(2u, lines.size());
    arguments = Arguments(lines[1]);
    ASSERT_EQ(3u, arguments.size()) << lines[1];
    EXPECT_EQ(std::string(kServer) + "/startup.html", arguments[2]);

    DestroyWindow(aol);
    WriteProfileStringA("WAOL", "AppPath", nullptr);
    EXPECT_FALSE(test::FileExistsAt(recorder_ + "\\recorded.txt"));
}

// When the shell cannot open the address, Internet Explorer is started
// with it only when the user chose so ("BrowserFailure").
TEST_F(ProgramInfoTest, BrowserStartedDirectlyOnlyWhenChosen)
{
    std::string missing = "\"" + recorder_ + "\\missing.exe\" \"%1\"";
    Handle("http", missing);
    Handle("https", missing);
    ASSERT_TRUE(test::WriteString(HKEY_LOCAL_MACHINE, kIePaths, "Path", ie_ + ";"));
    EXPECT_EQ(0, ShowProgramInfo(nullptr, 1011, HostileCommand().c_str(), "Hostile"));

    test::WriteString(HKEY_CURRENT_USER, kOptions, "BrowserFailure", "1");
    EXPECT_EQ(1, ShowProgramInfo(nullptr, 1011, HostileCommand().c_str(), "Hostile"));
    std::vector<std::string> lines = Recorded(ie_);
    ASSERT_EQ(1u, lines.size());
    std::vector<std::string> arguments = Arguments(lines[0]);
    ASSERT_EQ(2u, arguments.size()) << lines[0];
    EXPECT_EQ(Address(1011, HostileCommand(), "Hostile", 0), arguments[1]);
}

// Each program file has its own note, even when another has the same file
// name; a note shipped beside the programs is read until the user writes one.
TEST_F(ProgramInfoTest, NotesBelongToOneProgramFile)
{
    std::string first = "C:\\sentrel-tests\\A\\upd.exe", second = "\"C:\\sentrel-tests\\B\\upd.exe\" -x";
    char a[PATH_SIZE], b[PATH_SIZE], found[PATH_SIZE];
    ASSERT_GT(UserNoteFilePath(first.c_str(), a), 0);
    ASSERT_GT(UserNoteFilePath(second.c_str(), b), 0);
    EXPECT_STRNE(a, b);
    DeleteFileA(a);
    DeleteFileA(b);
    ASSERT_EQ(1, WriteNoteText(a, "about A\r\n"));
    EXPECT_TRUE(HasNote(first.c_str()));
    EXPECT_FALSE(HasNote(second.c_str()));

    std::string shipped = test::BuildFolder() + "\\note_UPD.txt";
    ASSERT_TRUE(test::WriteFile(shipped, "shipped"));
    EXPECT_TRUE(HasNote(second.c_str()));
    NoteFilePath(second.c_str(), found);
    EXPECT_TRUE(TextEqualNoCase(shipped.c_str(), found)) << found;
    NoteFilePath(first.c_str(), found);
    EXPECT_STREQ(a, found) << "the user's own note comes first";
    DeleteFileA(shipped.c_str());

    // "=" in a file name, as the baselines write it, never makes a stream name.
    ASSERT_GT(UserNoteFilePath("C:\\x\\a=b.exe", found), 0);
    EXPECT_EQ(nullptr, strchr(found + 2, ':')) << found;
    DeleteFileA(a);
}

// Binary bytes and lone line feeds read as text; a note longer than the
// edit limit comes back whole.
TEST_F(ProgramInfoTest, NotesReadBinaryAndLongTexts)
{
    char file[PATH_SIZE];
    ASSERT_GT(UserNoteFilePath("C:\\sentrel-tests\\C\\binary.exe", file), 0);
    ASSERT_TRUE(test::WriteFile(file, std::string("a\0b\nc\r\nd\x01", 9)));
    char *text = nullptr;
    ASSERT_EQ(10, ReadNoteText(file, &text));
    EXPECT_STREQ("a b\r\nc\r\nd ", text);
    free(text);

    std::string longNote(NOTE_TEXT_MAX + 5000, 'n');
    ASSERT_EQ(1, WriteNoteText(file, longNote.c_str()));
    ASSERT_EQ((int)longNote.size(), ReadNoteText(file, &text));
    EXPECT_EQ(longNote, text);
    free(text);
    DeleteFileA(file);
    EXPECT_EQ(-1, ReadNoteText(file, &text));
}

// "Info..." in a new-program alert, pressed as the user presses it: the
// browser gets the address of the alert's program, and the alert stays
// open for the answer.
TEST_F(ProgramInfoTest, AlertInfoButtonOpensTheLookup)
{
    settings = Settings();
    LoadOptions();
    mainWindow = alerts_test::MakeMainWindow();
    CopyText(AlertTitle, sizeof AlertTitle, "Hostile");
    CopyText(AlertCommand, sizeof AlertCommand, HostileCommand().c_str());
    AlertType = 11;
    std::string expected = Address(1011, HostileCommand(), "Hostile", 0);
    std::vector<std::string> lines;
    bool answered = false;
    std::thread user([&] {
        HWND alert = alerts_test::WaitForAlert(alerts_test::kNewProgram, kWait);
        if (!alert) return;
        PostMessageA(alert, WM_COMMAND, MAKEWPARAM(IDC_ALERT_INFO, BN_CLICKED), (LPARAM)GetDlgItem(alert, IDC_ALERT_INFO));
        lines = Recorded(recorder_);
        answered = IsWindow(alert) != 0;
        PostMessageA(alert, WM_COMMAND, IDYES, 0);
    });
    ShowAlert(DLG_ALERT_NEW_PROGRAM);
    user.join();
    DestroyWindow(mainWindow);
    mainWindow = nullptr;
    EXPECT_TRUE(answered) << "the alert stayed open after Info";
    ASSERT_EQ(1u, lines.size());
    std::vector<std::string> arguments = Arguments(lines[0]);
    ASSERT_EQ(2u, arguments.size()) << lines[0];
    EXPECT_EQ(expected, arguments[1]);
}

}  // namespace
