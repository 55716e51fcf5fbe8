// User-interface strings with their registry overrides, language codes,
// date and number texts, and first-seen dates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dates.h"
#include "first_seen.h"
#include "store.h"
#include "test_support.h"
#include "ui_strings.h"

using namespace test::keys;

namespace {

class UiStrings : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        test::ReadString(HKEY_CURRENT_USER, kInternational, "sShortDate", &savedDate);
        test::ReadString(HKEY_CURRENT_USER, kInternational, "sTimeFormat", &savedTime);
    }
    void TearDown() override
    {
        test::ResetSentrelRegistry();
        Restore("sShortDate", savedDate);
        Restore("sTimeFormat", savedTime);
        UiLanguage = 0;
    }
    static void Restore(const char *name, const std::string &value)
    {
        if (!value.empty()) {
            test::WriteString(HKEY_CURRENT_USER, kInternational, name, value);
        } else {
            HKEY key;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternational, 0, KEY_ALL_ACCESS, &key) == 0) {
                RegDeleteValueA(key, name);
                RegCloseKey(key);
            }
        }
    }
    static void Override(int number, const std::string &text)
    {
        test::WriteString(HKEY_LOCAL_MACHINE, STORE_ROOT, "LString" + std::to_string(number), text);
    }
    static std::string Date(const char *shortDate, const char *timeFormat, WORD hour, WORD minute)
    {
        if (shortDate) test::WriteString(HKEY_CURRENT_USER, kInternational, "sShortDate", shortDate);
        else Restore("sShortDate", "");
        if (timeFormat) test::WriteString(HKEY_CURRENT_USER, kInternational, "sTimeFormat", timeFormat);
        else Restore("sTimeFormat", "");
        SYSTEMTIME t = {};
        t.wYear = 2026;
        t.wMonth = 12;
        t.wDay = 7;
        t.wHour = hour;
        t.wMinute = minute;
        char out[DATE_TEXT_SIZE];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(1, FormatDateTime(&t, out));
        return out;
    }
    std::string savedDate, savedTime;
};
}  // namespace

TEST_F(UiStrings, LanguageCodes)
{
    EXPECT_EQ(9, LanguageFromCode("us"));
    EXPECT_EQ(7, LanguageFromCode("DE"));
    EXPECT_EQ(12, LanguageFromCode("fr"));
    EXPECT_EQ(25, LanguageFromCode("ru"));
    EXPECT_EQ(25, LanguageFromCode("\xEA\xE0\xEA"));
    EXPECT_EQ(25, LanguageFromCode("\xCA\xC0\xCA"));   // the same code in capitals
    EXPECT_EQ(22, LanguageFromCode("br"));
    EXPECT_EQ(22, LanguageFromCode("pt"));
    EXPECT_EQ(4, LanguageFromCode("cn"));
    EXPECT_EQ(0, LanguageFromCode("xx"));
    EXPECT_EQ(0, LanguageFromCode("usa"));
    EXPECT_EQ(0, LanguageFromCode(""));

    SetUiLanguage();
    EXPECT_EQ(9, UiLanguage);   // the English table says "us"
    Override(634, "de");
    SetUiLanguage();
    EXPECT_EQ(7, UiLanguage);   // an override of the code itself is honoured
    Override(634, "zz");
    SetUiLanguage();
    EXPECT_EQ(0, UiLanguage);
}

TEST_F(UiStrings, EnglishNeverReadsOverrides)
{
    Override(2, "Wachhund");
    char text[64];
    UiLanguage = 9;
    EXPECT_EQ(7, LoadUiString(2, text, sizeof text));
    EXPECT_STREQ("Sentrel", text);
    UiLanguage = 7;
    EXPECT_EQ(8, LoadUiString(2, text, sizeof text));
    EXPECT_STREQ("Wachhund", text);
}

TEST_F(UiStrings, OverridesBreakLinesAtPercentN)
{
    UiLanguage = 7;
    Override(17, "Beenden?%nWirklich");
    char text[128];
    EXPECT_EQ(18, LoadUiString(17, text, sizeof text));   // length before the replacement
    EXPECT_STREQ("Beenden?\nWirklich", text);
    Override(17, "Ende%n");
    LoadUiString(17, text, sizeof text);
    EXPECT_STREQ("Ende\n", text);
    Override(17, "%");
    LoadUiString(17, text, sizeof text);
    EXPECT_STREQ("%", text);
}

TEST_F(UiStrings, LongOverridesAreCutInsideTheBuffer)
{
    UiLanguage = 7;
    Override(820, std::string(100, 'w'));
    char tip[64 + 8];
    memset(tip, '#', sizeof tip);
    EXPECT_EQ(63, LoadUiString(820, tip, 64));
    EXPECT_EQ(std::string(63, 'w'), std::string(tip));
    EXPECT_EQ('#', tip[64]);

    Override(820, std::string(772, 'v'));
    char big[1024];
    EXPECT_EQ(771, LoadUiString(820, big, sizeof big));
    EXPECT_EQ(771u, strlen(big));
    EXPECT_EQ(771, LoadUiString(820, nullptr, -1));   // length only

    // An override longer than 772 characters reads as missing.
    Override(820, std::string(773, 'v'));
    EXPECT_EQ(30, LoadUiString(820, big, sizeof big));
    EXPECT_STREQ("Wuffin is currently on patrol.", big);

    // An override of the wrong type falls back to the string table.
    const DWORD number = 5;
    test::WriteValue(HKEY_LOCAL_MACHINE, STORE_ROOT, "LString2", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(7, LoadUiString(2, big, sizeof big));
    EXPECT_STREQ("Sentrel", big);
}

TEST_F(UiStrings, MissingStringsAreEmpty)
{
    UiLanguage = 9;
    char text[32] = "stale";
    EXPECT_EQ(0, LoadUiString(9999, text, sizeof text));
    EXPECT_STREQ("", text);
    EXPECT_EQ(7, LoadUiString(2, nullptr, -1));

    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND child = CreateWindowA("STATIC", "from template", WS_CHILD, 0, 0, 10, 10, parent,
                               (HMENU)100, nullptr, nullptr);
    SetDlgItemUiString(parent, 9999, 100);
    GetWindowTextA(child, text, sizeof text);
    EXPECT_STREQ("from template", text);
    SetDlgItemUiString(parent, 2, 100);
    GetWindowTextA(child, text, sizeof text);
    EXPECT_STREQ("Sentrel", text);
    DestroyWindow(parent);
}

TEST_F(UiStrings, DatePatterns)
{
    EXPECT_EQ("12/07/2026 2:05 PM", Date("M/d/yyyy", "h:mm:ss tt", 14, 5));
    EXPECT_EQ("12/07/2026 2:05 PM", Date("m/D/YY", "H:MM:SS TT", 14, 5));
    EXPECT_EQ("12/07/2026 2:05 PM", Date("MM/dd/yy", nullptr, 14, 5));
    EXPECT_EQ("2026/12/07 14:05", Date("yy/MM/dd", "HH:mm:ss", 14, 5));
    EXPECT_EQ("2026-12-07 9:05", Date("yyyy-MM-dd", "H:mm:ss", 9, 5));
    EXPECT_EQ("07-Dec-2026 09:05", Date("dd-MMM-yy", "HH:mm:ss", 9, 5));
    // Patterns not in the table take the first row.
    EXPECT_EQ("12/07/2026 12:30 PM", Date("dd.MM.yyyy", "HH.mm", 12, 30));
    EXPECT_EQ("12/07/2026 12:30 AM", Date(nullptr, nullptr, 0, 30));
    EXPECT_EQ("12/07/2026 09:05 AM", Date("M/d/yyyy", "hh:mm:ss tt", 9, 5));
    EXPECT_EQ("12/07/2026 11:59 PM", Date(std::string(300, 'y').c_str(), "h:mm:ss tt", 23, 59));
}

TEST_F(UiStrings, Thousands)
{
    char out[32];
    EXPECT_EQ(3, FormatThousands(out, sizeof out, 999));
    EXPECT_STREQ("999", out);
    EXPECT_EQ(5, FormatThousands(out, sizeof out, 1000));
    EXPECT_STREQ("1,000", out);
    EXPECT_EQ(9, FormatThousands(out, sizeof out, 1234567));
    EXPECT_STREQ("1,234,567", out);
    EXPECT_EQ(1, FormatThousands(out, sizeof out, 0));
    EXPECT_STREQ("0", out);
    EXPECT_EQ(7, FormatThousands(out, sizeof out, -12345));
    EXPECT_STREQ("-12,345", out);
    // The free virtual memory of a 64-bit process in KB is past 2^31.
    EXPECT_EQ(15, FormatThousands(out, sizeof out, 137438953344LL));
    EXPECT_STREQ("137,438,953,344", out);
    EXPECT_EQ(25, FormatThousands(out, sizeof out, 9223372036854775807LL));
    EXPECT_STREQ("9,223,372,036,854,775,807", out);
    EXPECT_EQ(9, FormatThousands(nullptr, -1, 1234567));
    char small[4] = "abc";
    EXPECT_EQ(0, FormatThousands(small, sizeof small, 1000));
    EXPECT_STREQ("", small);
}

TEST_F(UiStrings, FirstSeenDatesFollowTheResolvedFile)
{
    std::string folder = test::FreshFolder("firstseen");
    ASSERT_TRUE(test::WriteFile(folder + "\\watch.exe", "MZ"));
    std::string command = "\"" + folder + "\\watch.exe\" -min";

    EXPECT_EQ(0, RecordFirstSeen(command.c_str(), DETECTED_STARTUP));
    std::string stored;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, DETECTED_STARTUP,
                                 "C:\\SENTREL-TESTS\\FIRSTSEEN\\WATCH.EXE", &stored));
    EXPECT_FALSE(stored.empty());
    EXPECT_EQ(1, RecordFirstSeen(command.c_str(), DETECTED_STARTUP));

    char date[DATE_TEXT_SIZE];
    EXPECT_EQ((int)stored.size(), GetFirstSeen(command.c_str(), 11, date));
    EXPECT_EQ(stored, date);
    EXPECT_EQ(0, GetFirstSeen(command.c_str(), 700, date));   // another category
    EXPECT_STREQ("", date);

    EXPECT_EQ(0, RecordFirstSeen((folder + "\\missing.exe").c_str(), DETECTED_STARTUP));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, DETECTED_STARTUP,
                                   "C:\\SENTREL-TESTS\\FIRSTSEEN\\MISSING.EXE"));
    EXPECT_STREQ(DETECTED_SERVICES, FirstSeenKey(701));
    EXPECT_STREQ(DETECTED_IEHELPER, FirstSeenKey(902));
    EXPECT_STREQ(DETECTED_ACTIVETASKS, FirstSeenKey(600));
    EXPECT_STREQ(DETECTED_STARTUP, FirstSeenKey(256));
}

// The places read by name and the Options page's texts are in the table.
TEST_F(UiStrings, NamedPlacesAndOptionTextsAreInTheTable)
{
    char text[256];
    EXPECT_GT(LoadUiString(5, text, sizeof text), 0);
    EXPECT_STREQ("SOFTWARE\\Classes\\HTTP\\shell\\open\\command", text);
    EXPECT_GT(LoadUiString(11, text, sizeof text), 0);
    EXPECT_STREQ("MozillaWindowClass", text);
    EXPECT_GT(LoadUiString(12, text, sizeof text), 0);
    EXPECT_STREQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", text);
}
