// The bounded text helpers: nothing is written past a buffer, and a text
// that does not fit is reported, not silently cut.
#include <gtest/gtest.h>

#include <cstring>

#include "text.h"

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
