// The store's access operations and options, against the real registry of
// the test prefix.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "options.h"
#include "store.h"
#include "test_support.h"
#include "text.h"

namespace {
const char kKey[] = "Software\\Orvendale\\Sentrel\\StoreTest";

class Store : public ::testing::Test {
protected:
    void SetUp() override { test::ResetSentrelRegistry(); }
    void TearDown() override { test::ResetSentrelRegistry(); }
};
}  // namespace

TEST_F(Store, ReadsTextUpToItsLimitAndNotOneCharacterMore)
{
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kKey, "Seven", "1234567"));
    char buffer[8];
    EXPECT_EQ(7, StoreReadString(HKEY_CURRENT_USER, kKey, "Seven", buffer, sizeof buffer));
    EXPECT_STREQ("1234567", buffer);

    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kKey, "Eight", "12345678"));
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "Eight", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(Store, DataOver1024BytesReadsAsMissing)
{
    std::string fits(1023, 'a');   // 1024 bytes with its zero
    std::string over(1024, 'b');   // 1025 bytes
    test::WriteString(HKEY_CURRENT_USER, kKey, "Fits", fits);
    test::WriteString(HKEY_CURRENT_USER, kKey, "Over", over);
    char buffer[2048];
    EXPECT_EQ(1023, StoreReadString(HKEY_CURRENT_USER, kKey, "Fits", buffer, sizeof buffer));
    EXPECT_EQ(fits, buffer);
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "Over", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(Store, TextWithoutTerminatorIsTerminatedByTheReader)
{
    // Exactly 1024 bytes of text and no zero: the reader must stop there.
    // (The byte after the data must not be a zero either, or the registry
    // stores it as the terminator.)
    std::string source(1100, 'z'), raw(1024, 'z');
    test::WriteValue(HKEY_CURRENT_USER, kKey, "Raw", REG_SZ, source.data(), 1024);
    char buffer[2048];
    memset(buffer, 'q', sizeof buffer);
    EXPECT_EQ(1024, StoreReadString(HKEY_CURRENT_USER, kKey, "Raw", buffer, sizeof buffer));
    EXPECT_EQ(raw, std::string(buffer));

    test::WriteValue(HKEY_CURRENT_USER, kKey, "Short", REG_SZ, "abcdef", 3);
    char small[4];
    EXPECT_EQ(3, StoreReadString(HKEY_CURRENT_USER, kKey, "Short", small, sizeof small));
    EXPECT_STREQ("abc", small);
}

TEST_F(Store, ExpandsEnvironmentVariables)
{
    SetEnvironmentVariableA("SENTREL_TEST_DIR", "C:\\Watch");
    const char text[] = "%SENTREL_TEST_DIR%\\dog.exe";
    test::WriteValue(HKEY_CURRENT_USER, kKey, "Expand", REG_EXPAND_SZ, text, sizeof text);
    char buffer[PATH_SIZE];
    EXPECT_EQ(16, StoreReadString(HKEY_CURRENT_USER, kKey, "Expand", buffer, sizeof buffer));
    EXPECT_STREQ("C:\\Watch\\dog.exe", buffer);

    // An expansion past 1023 characters reads as missing rather than cut.
    SetEnvironmentVariableA("SENTREL_TEST_LONG", std::string(1100, 'L').c_str());
    const char longText[] = "%SENTREL_TEST_LONG%";
    test::WriteValue(HKEY_CURRENT_USER, kKey, "Long", REG_EXPAND_SZ, longText, sizeof longText);
    char big[2048];
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "Long", big, sizeof big));
    EXPECT_STREQ("", big);
}

TEST_F(Store, ValuesThatAreNotTextReadAsMissing)
{
    test::WriteDword(HKEY_CURRENT_USER, kKey, "Dword", 0x31);
    const BYTE binary[] = {'4', '2', 0};
    test::WriteValue(HKEY_CURRENT_USER, kKey, "Binary", REG_BINARY, binary, sizeof binary);
    const char multi[] = "one\0two\0";
    test::WriteValue(HKEY_CURRENT_USER, kKey, "Multi", REG_MULTI_SZ, multi, sizeof multi);
    char buffer[64];
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "Dword", buffer, sizeof buffer));
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "Binary", buffer, sizeof buffer));
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "Multi", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST_F(Store, EmptyNameIsTheDefaultValue)
{
    char buffer[64];
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, kKey, "", buffer, sizeof buffer));
    EXPECT_EQ(1, StoreWriteString(HKEY_CURRENT_USER, kKey, "", "P"));
    EXPECT_EQ(1, StoreReadString(HKEY_CURRENT_USER, kKey, "", buffer, sizeof buffer));
    EXPECT_STREQ("P", buffer);
    EXPECT_EQ(1, StoreReadString(HKEY_CURRENT_USER, kKey, nullptr, buffer, sizeof buffer));
}

TEST_F(Store, LongKeyPathsFailCleanly)
{
    std::string path = std::string(kKey) + "\\" + std::string(300, 'k');
    char buffer[64] = "untouched";
    EXPECT_EQ(0, StoreReadString(HKEY_CURRENT_USER, path.c_str(), "x", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    // A write either lands and reads back, or fails; it never half-works.
    if (StoreWriteString(HKEY_CURRENT_USER, path.c_str(), "x", "y")) {
        EXPECT_EQ(1, StoreReadString(HKEY_CURRENT_USER, path.c_str(), "x", buffer, sizeof buffer));
        EXPECT_STREQ("y", buffer);
    }
    EXPECT_EQ(0, StoreDeleteValue(HKEY_CURRENT_USER, "Software\\Orvendale\\NoSuchKey", "x"));
    EXPECT_EQ(0, StoreReadSmallNumber(HKEY_CURRENT_USER, path.c_str(), "missing"));
}

TEST_F(Store, WritesCreateTheKeyAndDeletesRemoveValues)
{
    EXPECT_EQ(1, StoreWriteString(HKEY_CURRENT_USER, kKey, "Name", "text"));
    EXPECT_EQ("text", test::Value(HKEY_CURRENT_USER, kKey, "Name"));
    EXPECT_EQ(1, StoreDeleteValue(HKEY_CURRENT_USER, kKey, "Name"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kKey, "Name"));
    EXPECT_EQ(0, StoreDeleteValue(HKEY_CURRENT_USER, kKey, "Name"));

    EXPECT_EQ(1, StoreWriteNumber(HKEY_CURRENT_USER, kKey, "AUOptions", 4));
    EXPECT_EQ(4, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "AUOptions"));
    EXPECT_EQ(1, StoreCreateKey(HKEY_CURRENT_USER, "Software\\Orvendale\\A\\B\\C"));
    EXPECT_TRUE(test::KeyExists(HKEY_CURRENT_USER, "Software\\Orvendale\\A\\B\\C"));
}

TEST_F(Store, SmallNumbersReadOnlyTheBytesThatExist)
{
    EXPECT_EQ(0, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "Missing"));
    test::WriteDword(HKEY_CURRENT_USER, kKey, "Zero", 0);
    EXPECT_EQ(0, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "Zero"));
    test::WriteDword(HKEY_CURRENT_USER, kKey, "Start", 2);
    EXPECT_EQ(2, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "Start"));
    test::WriteDword(HKEY_CURRENT_USER, kKey, "Big", 200);   // reads as a signed byte
    EXPECT_EQ(-56, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "Big"));
    const BYTE one[] = {5};
    test::WriteValue(HKEY_CURRENT_USER, kKey, "OneByte", REG_BINARY, one, 1);
    EXPECT_EQ(5, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "OneByte"));
    test::WriteValue(HKEY_CURRENT_USER, kKey, "NoBytes", REG_BINARY, one, 0);
    EXPECT_EQ(0, StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "NoBytes"));
    test::WriteString(HKEY_CURRENT_USER, kKey, "Text", "12");   // '1' + 256 * '2'
    EXPECT_EQ('1' + 256 * '2', StoreReadSmallNumber(HKEY_CURRENT_USER, kKey, "Text"));
}

TEST_F(Store, OptionsReadTheirDefaultOnlyWhenMissingOrEmpty)
{
    EXPECT_EQ(7, GetOption("Services", 7));
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Services", "");
    EXPECT_EQ(7, GetOption("Services", 7));
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Services", "abc");
    EXPECT_EQ(0, GetOption("Services", 7));
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Services", "-5");
    EXPECT_EQ(-5, GetOption("Services", 7));
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Services", std::string(129, '9'));
    EXPECT_EQ(7, GetOption("Services", 7));   // longer than 128 characters: missing
    test::WriteDword(HKEY_CURRENT_USER, STORE_OPTIONS, "Services", 3);
    EXPECT_EQ(7, GetOption("Services", 7));   // not text: missing
}

TEST_F(Store, SetOptionRaisesUpdate)
{
    EXPECT_EQ(1, SetOption("Start", 5));
    EXPECT_EQ("5", test::Value(HKEY_CURRENT_USER, STORE_OPTIONS, "Start"));
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, STORE_OPTIONS, "Update"));
}

// At its exit the explorer writes back what it holds in memory: only the
// settings that differ, and "Update" only then.
TEST_F(Store, SaveOptionsWritesOnlyWhatChanged)
{
    settings = Settings();
    LoadOptions();
    EXPECT_EQ(0, SaveOptions());
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, STORE_OPTIONS, "Update"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, STORE_OPTIONS, "Format"));
    settings.format = 1;
    settings.hideAlerts = 2;   // the monitor's own, never written here
    EXPECT_EQ(1, SaveOptions());
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, STORE_OPTIONS, "Format"));
    EXPECT_EQ("1", test::Value(HKEY_CURRENT_USER, STORE_OPTIONS, "Update"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, STORE_OPTIONS, "HideAlerts"));
}

TEST_F(Store, LoadOptionsTakesDefaultsAndSetsCountdowns)
{
    programKind = PROGRAM_MONITOR;
    countdowns.winInit = 99999;
    groupToggle = 1;
    LoadOptions();
    EXPECT_EQ(0, settings.hideWuffin);
    EXPECT_EQ(1, settings.sound);
    EXPECT_EQ(1, settings.history);
    EXPECT_EQ(1, settings.hideMicrosoftServices);
    EXPECT_EQ(315, settings.maxCookie);
    EXPECT_EQ(2, settings.start);
    EXPECT_EQ(11, settings.tasks);
    EXPECT_EQ(10, settings.fileType);
    EXPECT_EQ(3, settings.hostFile);
    EXPECT_EQ(7, settings.services);
    EXPECT_EQ(5, settings.winInit);
    EXPECT_EQ(1, settings.realtimeStartup);
    EXPECT_EQ(0, settings.realtimeFileType);
    EXPECT_EQ(2, countdowns.start);
    EXPECT_EQ(11, countdowns.tasks);
    EXPECT_EQ(99999, countdowns.winInit);   // only raised, never lowered
    EXPECT_EQ(0, groupToggle);

    countdowns.winInit = 1;
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Start", "4");
    test::WriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "MaxCookie", "20");
    LoadOptions();
    EXPECT_EQ(4, settings.start);
    EXPECT_EQ(4, countdowns.start);
    EXPECT_EQ(5, countdowns.winInit);
    EXPECT_EQ(20, settings.maxCookie);

    test::DeleteTree(HKEY_CURRENT_USER, STORE_OPTIONS);
    programKind = PROGRAM_EXPLORER;
    LoadOptions();
    EXPECT_EQ(4096, settings.maxCookie);
    programKind = PROGRAM_MONITOR;
}

namespace {
HWND MakeWindow(int width, int height)
{
    return CreateWindowA("STATIC", "pos", WS_POPUP, 10, 10, width, height, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

POINT WindowPlace(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    return {r.left, r.top};
}
}  // namespace

TEST_F(Store, WindowPositionsAreSavedAndKeptOnTheScreen)
{
    HWND window = MakeWindow(200, 100);
    ASSERT_NE(nullptr, window);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);

    // Nothing stored: centred, a third of the way down.
    RestoreWindowPos(window, &POS_ALERT, 0);
    POINT p = WindowPlace(window);
    EXPECT_EQ((screenWidth - 200) / 2, p.x);
    EXPECT_EQ((screenHeight - 100) / 3, p.y);

    SetWindowPos(window, nullptr, 40, 50, 300, 120, SWP_NOZORDER);
    EXPECT_EQ(1, SaveWindowPos(window, &POS_ALERT, 3));
    EXPECT_EQ("40", test::Value(HKEY_CURRENT_USER, STORE_ROOT, "xPosAlert"));
    EXPECT_EQ("120", test::Value(HKEY_CURRENT_USER, STORE_ROOT, "dyAlert"));
    EXPECT_EQ("3", test::Value(HKEY_CURRENT_USER, STORE_OPTIONS, "StartTab"));

    SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RestoreWindowPos(window, &POS_ALERT, 0);
    p = WindowPlace(window);
    EXPECT_EQ(40, p.x);
    EXPECT_EQ(50, p.y);

    // A left value of 5000 on a smaller screen lands in the middle.
    test::WriteString(HKEY_CURRENT_USER, STORE_ROOT, "xPosAlert", "5000");
    RestoreWindowPos(window, &POS_ALERT, 0);
    EXPECT_EQ(screenWidth / 2, WindowPlace(window).x);
    EXPECT_EQ(50, WindowPlace(window).y);

    // -32000 (saved from a minimised window) is brought back as well.
    test::WriteString(HKEY_CURRENT_USER, STORE_ROOT, "xPosAlert", "-32000");
    test::WriteString(HKEY_CURRENT_USER, STORE_ROOT, "yPosAlert", "-32000");
    RestoreWindowPos(window, &POS_ALERT, 0);
    EXPECT_EQ(screenWidth / 2, WindowPlace(window).x);
    EXPECT_EQ(screenHeight / 2, WindowPlace(window).y);
    DestroyWindow(window);
}

// Names and texts of any script, a name holding a NUL (written through the
// native call, as hiding programs do) and one with a lone surrogate: each
// is listed, read, written back and deleted as itself, and the key's
// default value is never taken for the hidden one.
TEST_F(Store, EveryNameTheRegistryHoldsIsReachedExactly)
{
    const std::string name = u8"Обновление 更新 🙂", data = u8"\"C:\\Программы Ω\\злой 更新.exe\" -q";
    ASSERT_EQ(1, StoreWriteString(HKEY_CURRENT_USER, kKey, name.c_str(), data.c_str()));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kKey, "", "C:\\default.exe"));
    const std::wstring hidden(L"\0HiddenUpd", 10), lone(L"A\xD800Z");
    const std::wstring hiddenData(L"C:\\hidden.exe");
    ASSERT_TRUE(test::WriteNative(HKEY_CURRENT_USER, kKey, hidden, REG_SZ, hiddenData.c_str(),
                                  (DWORD)(hiddenData.size() + 1) * 2));
    ASSERT_TRUE(test::WriteNative(HKEY_CURRENT_USER, kKey, lone, REG_SZ, L"lone", 10));
    // Five bytes: an odd last byte that only the raw form keeps.
    ASSERT_TRUE(test::WriteNative(HKEY_CURRENT_USER, kKey, L"Odd", REG_SZ, L"abc", 5));
    std::string defaultBefore = test::ReadRawValue(HKEY_CURRENT_USER, kKey, L"");

    std::map<std::string, std::string> seen;
    StoreForEachValue(HKEY_CURRENT_USER, 0, kKey, [&](const char *n, const StoreBlob *value) {
        seen[n] = std::string((const char *)value->data);
        return 1;
    });
    const std::string hiddenText("\xC0\x80HiddenUpd"), loneText("A\xED\xA0\x80Z");
    ASSERT_EQ(5u, seen.size());
    EXPECT_EQ(data, seen[name]);
    EXPECT_EQ("C:\\hidden.exe", seen[hiddenText]);
    EXPECT_EQ("lone", seen[loneText]);
    EXPECT_EQ("C:\\default.exe", seen[""]);

    char buffer[256];
    EXPECT_EQ((int)data.size(), StoreReadString(HKEY_CURRENT_USER, kKey, name.c_str(), buffer, sizeof buffer));
    EXPECT_EQ(data, buffer);
    EXPECT_EQ(13, StoreReadString(HKEY_CURRENT_USER, kKey, hiddenText.c_str(), buffer, sizeof buffer));
    EXPECT_EQ(1, StoreValueExists(HKEY_CURRENT_USER, kKey, loneText.c_str()));

    // Read and written back, the odd value keeps its five bytes.
    StoreBlob odd;
    ASSERT_EQ(1, StoreReadBlob(HKEY_CURRENT_USER, 0, kKey, "Odd", &odd));
    ASSERT_EQ(1, StoreDeleteValue(HKEY_CURRENT_USER, kKey, "Odd"));
    ASSERT_EQ(1, StoreWriteBlob(HKEY_CURRENT_USER, 0, kKey, "Odd", &odd));
    StoreFreeBlob(&odd);
    DWORD type = 0;
    EXPECT_EQ(std::string("a\0b\0c", 5), test::ReadRawValue(HKEY_CURRENT_USER, kKey, L"Odd", &type));
    EXPECT_EQ((DWORD)REG_SZ, type);

    // Deleting the hidden value deletes it, not the default value.
    ASSERT_EQ(1, StoreDeleteValue(HKEY_CURRENT_USER, kKey, hiddenText.c_str()));
    EXPECT_FALSE(test::NativeValueExists(HKEY_CURRENT_USER, kKey, hidden));
    EXPECT_EQ(defaultBefore, test::ReadRawValue(HKEY_CURRENT_USER, kKey, L""));
    ASSERT_EQ(1, StoreDeleteValue(HKEY_CURRENT_USER, kKey, loneText.c_str()));
    EXPECT_FALSE(test::NativeValueExists(HKEY_CURRENT_USER, kKey, lone));
    ASSERT_EQ(1, StoreDeleteValue(HKEY_CURRENT_USER, kKey, name.c_str()));
    EXPECT_EQ((std::vector<std::string>{"", "Odd"}), test::ValueNames(HKEY_CURRENT_USER, kKey));

    // A name that holds a NUL, kept as data, comes back whole.
    ASSERT_EQ(1, StoreWriteName(HKEY_CURRENT_USER, kKey, "Kept", hiddenText.c_str()));
    StoreBlob kept;
    ASSERT_EQ(1, StoreReadBlob(HKEY_CURRENT_USER, 0, kKey, "Kept", &kept));
    char *back = StoreNameOfBlob(&kept);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(hiddenText, back);
    free(back);
    StoreFreeBlob(&kept);
}
