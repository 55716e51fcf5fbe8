// The bounded text helpers: nothing is written past a buffer, and a text
// that does not fit is reported, not silently cut.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text.h"
#include "unicode_text.h"

TEST(Text, CopyFitsExactlyOrReadsAsMissing)
{
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(7u, CopyText(buffer, sizeof buffer, "1234567"));
    EXPECT_STREQ("1234567", buffer);
    EXPECT_EQ(0u, CopyText(buffer, sizeof buffer, "12345678"));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0u, CopyText(buffer, sizeof buffer, nullptr));
    EXPECT_STREQ("", buffer);
}

TEST(Text, CutCopiesStayInsideTheBuffer)
{
    char buffer[6] = "";
    char guard = 'G';
    (void)guard;
    EXPECT_EQ(5u, CopyTextCut(buffer, sizeof buffer, "abcdefghij"));
    EXPECT_STREQ("abcde", buffer);
    EXPECT_EQ(2u, CopyTextN(buffer, sizeof buffer, "abcdef", 2));
    EXPECT_STREQ("ab", buffer);
    // Overlapping source, as when a text is shortened in place.
    char text[16] = "  trimmed";
    CopyTextCut(text, sizeof text, text + 2);
    EXPECT_STREQ("trimmed", text);
}

TEST(Text, AppendRefusesWhatDoesNotFit)
{
    char buffer[8] = "abc";
    EXPECT_EQ(6u, AppendText(buffer, sizeof buffer, "def"));
    EXPECT_EQ(0u, AppendText(buffer, sizeof buffer, "gh"));
    EXPECT_STREQ("abcdef", buffer);
    EXPECT_EQ(7u, AppendTextCut(buffer, sizeof buffer, "ghij"));
    EXPECT_STREQ("abcdefg", buffer);
}

TEST(Text, FormatReportsOverflow)
{
    char buffer[6];
    EXPECT_EQ(5u, FormatText(buffer, sizeof buffer, "%d", 12345));
    EXPECT_EQ(0u, FormatText(buffer, sizeof buffer, "%d", 123456));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(5u, FormatTextCut(buffer, sizeof buffer, "%s", "abcdefgh"));
    EXPECT_STREQ("abcde", buffer);
    // A text with a percent sign is an argument, never the format.
    EXPECT_EQ(2u, FormatText(buffer, sizeof buffer, "%s", "%n"));
}

TEST(Text, DecimalValueReadsLeadingDigitsOnly)
{
    EXPECT_EQ(0, DecimalValue("abc"));
    EXPECT_EQ(12, DecimalValue("12abc"));
    EXPECT_EQ(-5, DecimalValue("-5"));
    EXPECT_EQ(7, DecimalValue("  7"));
    EXPECT_EQ(0, DecimalValue(""));
    EXPECT_EQ(0, DecimalValue(nullptr));
    EXPECT_EQ(2147483647L, DecimalValue("99999999999"));
    EXPECT_EQ(-2147483647L, DecimalValue("-99999999999"));
}

TEST(Text, CaseInsensitiveSearch)
{
    EXPECT_TRUE(TextEqualNoCase("Sentrel.EXE", "sentrel.exe"));
    EXPECT_FALSE(TextEqualNoCase("Sentrel", "Sentrel.exe"));
    const char *command = "C:\\Tools\\SENTREL.EXE -expressboot";
    EXPECT_EQ(command + 9, FindTextNoCase(command, "sentrel.exe"));
    EXPECT_EQ(nullptr, FindTextNoCase(command, "sentrelex.exe"));
    EXPECT_EQ(nullptr, FindTextNoCase(nullptr, "x"));
}

// Letters of every script compare as the registry and the file system
// compare names; an ASCII needle never matches inside a character.
TEST(Text, CaseIsIgnoredInEveryScript)
{
    EXPECT_TRUE(TextEqualNoCase(u8"C:\\Программы\\Злой.EXE", u8"c:\\ПРОГРАММЫ\\злой.exe"));
    EXPECT_FALSE(TextEqualNoCase(u8"Обновление", u8"Обновлени"));
    EXPECT_FALSE(TextEqualNoCase(u8"更新", u8"更析"));
    const char *path = u8"C:\\Users\\Иван\\Ω tools\\ЗЛОЙ.exe";
    const char *found = FindTextNoCase(path, u8"злой");
    ASSERT_NE(nullptr, found);
    EXPECT_STREQ(u8"ЗЛОЙ.exe", found);
    EXPECT_STREQ(u8"Ω tools\\ЗЛОЙ.exe", FindTextNoCase(path, u8"ω TOOLS"));
    EXPECT_EQ(nullptr, FindTextNoCase(path, u8"Петр"));
    EXPECT_TRUE(ContainsNoCase(path, u8"иван"));
}

// Names the registry holds come back exactly, whatever they hold: a NUL
// inside, lone surrogates, pairs. Cuts never split a character.
TEST(Text, EveryNameRoundTripsAndCutsKeepWholeCharacters)
{
    const WCHAR wide[] = {L'A', 0, 0xD800, L'B', 0xDC00, 0xD83D, 0xDE42, 0x0416, 0x66F4};
    char text[64];
    int n = WideToText(wide, 9, text, sizeof text, 1);
    EXPECT_EQ(std::string("A\xC0\x80\xED\xA0\x80"
                          "B\xED\xB0\x80\xF0\x9F\x99\x82\xD0\x96\xE6\x9B\xB4"),
              std::string(text, (size_t)n));
    EXPECT_FALSE(TextIsPlain(text));
    EXPECT_TRUE(TextIsPlain(u8"Обновление 更新 🙂"));
    WCHAR back[16];
    ASSERT_EQ(9, TextToWide(text, -1, back, 16));
    EXPECT_EQ(0, memcmp(back, wide, sizeof wide));
    WideText scoped(text);
    EXPECT_EQ(9, scoped.units());
    EXPECT_TRUE(scoped.hasNul());
    EXPECT_EQ(0, WideToText(wide, 9, text, 10, 1)) << "does not fit: nothing";
    EXPECT_STREQ("", text);

    // Shown, a NUL is left out; in a file it becomes U+FFFD, as every lone
    // surrogate does, so that a reader knows the name is not whole.
    n = WideToText(wide, 9, text, sizeof text, 1);
    char shown[64];
    ShownText(text, shown, sizeof shown);
    EXPECT_STREQ("A\xEF\xBF\xBD" "B\xEF\xBF\xBD\xF0\x9F\x99\x82\xD0\x96\xE6\x9B\xB4", shown);
    FileText(text, shown, sizeof shown);
    EXPECT_STREQ("A\xEF\xBF\xBD\xEF\xBF\xBD" "B\xEF\xBF\xBD\xF0\x9F\x99\x82\xD0\x96\xE6\x9B\xB4", shown);
    EXPECT_TRUE(HasReplacement(shown));
    // A byte that is no UTF-8 (an ANSI text of before) is U+FFFD, never a guess.
    ASSERT_EQ(2, TextToWide("\xE9x", -1, back, 16));
    EXPECT_EQ(0xFFFD, back[0]);

    char small[4];
    EXPECT_EQ(2u, CopyTextCut(small, sizeof small, u8"ЖЖ"));
    EXPECT_STREQ(u8"Ж", small);
    EXPECT_EQ(3u, FormatTextCut(small, sizeof small, "%s", u8"更新"));
    EXPECT_STREQ(u8"更", small);
    EXPECT_EQ(0u, CopyTextCut(small, sizeof small, u8"🙂"));
    EXPECT_STREQ("", small);
    char room[6] = "ab";
    EXPECT_EQ(4u, AppendTextCut(room, sizeof room, u8"ЖЖ"));
    EXPECT_STREQ(u8"abЖ", room);
    EXPECT_EQ(2u, CopyTextN(small, sizeof small, u8"ЖЖ", 3)) << "a count inside a character";
}
