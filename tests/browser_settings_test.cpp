// The browser pages, the Automatic Updates setting and the URL prefix
// against the real registry of the test prefix: first sight, the questions
// and what their answers write, long and oddly typed values, "%s" in a page.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <string>

#include "alert_driver.h"
#include "browser_settings.h"
#include "checks.h"
#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "store.h"
#include "text.h"

using namespace test::keys;
using namespace alerts_test;

namespace {

// A page of n characters that differs from others only at its end.
std::string LongPage(size_t n, char last)
{
    std::string page = "http://long.example/";
    while (page.size() < n - 1) page += (char)('a' + page.size() % 26);
    return page + last;
}

class BrowserSettings : public AlertTest {
protected:
    void SetUp() override
    {
        AlertTest::SetUp();
        CopyText(windowTitle, sizeof windowTitle, "Sentrel");
        PretendPlatform(2, 5);
        for (auto &place : kPlaces) saved.push_back(test::ReadStored(place.root, place.path, place.name));
    }
    void TearDown() override
    {
        for (size_t i = 0; i < saved.size(); i++)
            test::WriteStored(kPlaces[i].root, kPlaces[i].path, kPlaces[i].name, saved[i]);
        PretendPlatform(0, 0);
        AlertTest::TearDown();
    }
    // Runs a check while the driver answers; a question beyond those
    // expected is closed and fails the test.
    template <typename Check> void Run(Check check, std::vector<Answer> answers)
    {
        Answering(std::move(answers), check, {kMonitorBox, kUpdateCaption, kPrefixCaption});
    }
    std::string Message(size_t answer) { return Field(0xFFFF, answer); }
    void SetPage(const std::string &text) { test::WriteString(HKEY_CURRENT_USER, kMain, "Start Page", text); }
    void SetBaseline(const char *name, const std::string &text)
    {
        test::WriteString(HKEY_CURRENT_USER, kStore, name, text);
    }

    struct Place {
        HKEY root;
        const char *path, *name;
    };
    const Place kPlaces[6] = {{HKEY_CURRENT_USER, kMain, "Start Page"},
                              {HKEY_CURRENT_USER, kMain, "Search Page"},
                              {HKEY_CURRENT_USER, kDesktop, "Source"},
                              {HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions"},
                              {HKEY_LOCAL_MACHINE, kPrefixes, "www"},
                              {HKEY_LOCAL_MACHINE, kDefaultPrefix, ""}};
    std::vector<test::Stored> saved;
};
}  // namespace

TEST_F(BrowserSettings, FirstSightTakesEveryPageAsItIsThenAChangeIsAsked)
{
    std::string approved = LongPage(2000, 'z');
    SetPage(approved);
    test::WriteString(HKEY_CURRENT_USER, kMain, "Search Page", "http://search.example/");
    StoreDeleteValue(HKEY_CURRENT_USER, kDesktop, "Source");
    Run(CheckBrowserPages, {});
    EXPECT_EQ(approved, test::ReadStored(HKEY_CURRENT_USER, kStore, "StartPage").Text());
    EXPECT_EQ("http://search.example/", test::ReadStored(HKEY_CURRENT_USER, kStore, "SearchPage").Text());
    EXPECT_EQ("", test::ReadStored(HKEY_CURRENT_USER, kStore, "SourcePage").Text()) << "a missing page is an empty one";

    // Over 511 characters the baseline is still there: a new page is asked
    // about, and No puts the 2,000 characters back exactly.
    std::string hijack = "http://hijack.example/?q=%s%d%n";
    SetPage(hijack);
    Run(CheckBrowserPages, {{kMonitorBox, IDNO}});
    EXPECT_NE(std::string::npos, Message(0).find("Your new page is " + hijack + "\n")) << Message(0);
    // Shown by its ends, in lines that fit the screen.
    EXPECT_NE(std::string::npos, Message(0).find(approved.substr(0, 64) + "\n" + approved.substr(64, 64) + "\n"));
    EXPECT_NE(std::string::npos, Message(0).find(" ... "));
    EXPECT_NE(std::string::npos, Message(0).find(approved.substr(approved.size() - 40)));
    EXPECT_LT(Message(0).size(), 1600u);
    test::Stored live = test::ReadStored(HKEY_CURRENT_USER, kMain, "Start Page");
    EXPECT_EQ((DWORD)REG_SZ, live.type);
    EXPECT_EQ(approved + '\0', live.data);
    EXPECT_EQ(approved, test::ReadStored(HKEY_CURRENT_USER, kStore, "StartPage").Text());

    // A long page that differs only in its last character is another page.
    SetPage(LongPage(2000, 'y'));
    Run(CheckBrowserPages, {{kMonitorBox, IDYES}});
    EXPECT_EQ(LongPage(2000, 'y'), test::ReadStored(HKEY_CURRENT_USER, kStore, "StartPage").Text());
}

TEST_F(BrowserSettings, OneTrailingSlashAndLetterCaseAreTheSamePage)
{
    SetBaseline("StartPage", "http://Example.com/");
    SetPage("HTTP://example.COM");
    SetBaseline("SearchPage", "http://search.example");
    test::WriteString(HKEY_CURRENT_USER, kMain, "Search Page", "http://search.example/");
    SetBaseline("SourcePage", "");
    StoreDeleteValue(HKEY_CURRENT_USER, kDesktop, "Source");
    Run(CheckBrowserPages, {});

    // Two slashes are not one: Yes stores the page without one of them.
    SetPage("http://example.com//");
    Run(CheckBrowserPages, {{kMonitorBox, IDYES}});
    EXPECT_EQ("http://example.com/", test::ReadStored(HKEY_CURRENT_USER, kStore, "StartPage").Text());
}

TEST_F(BrowserSettings, TheDesktopPageIsRestoredIntoSource)
{
    SetPage("http://home.example/");
    SetBaseline("StartPage", "http://home.example/");
    test::WriteString(HKEY_CURRENT_USER, kMain, "Search Page", "http://search.example/");
    SetBaseline("SearchPage", "http://search.example/");
    SetBaseline("SourcePage", "about:home/");
    test::WriteString(HKEY_CURRENT_USER, kDesktop, "Source", "http://ads.example/");
    Run(CheckBrowserPages, {{kMonitorBox, IDNO}});
    EXPECT_NE(std::string::npos, Message(0).find("background page displayed on your Desktop"));
    EXPECT_EQ("about:home", test::ReadStored(HKEY_CURRENT_USER, kDesktop, "Source").Text())
        << "restored without its trailing slash";
}

TEST_F(BrowserSettings, APageOfAnotherTypeIsShownAndKeptExactly)
{
    SetBaseline("StartPage", "http://home.example/");
    test::WriteString(HKEY_CURRENT_USER, kMain, "Search Page", "http://search.example/");
    SetBaseline("SearchPage", "http://search.example/");
    SetBaseline("SourcePage", "");
    StoreDeleteValue(HKEY_CURRENT_USER, kDesktop, "Source");

    test::WriteDword(HKEY_CURRENT_USER, kMain, "Start Page", 5);
    Run(CheckBrowserPages, {{kMonitorBox, IDNO}});
    EXPECT_NE(std::string::npos, Message(0).find("Your new page is dword:00000005")) << Message(0);
    test::Stored live = test::ReadStored(HKEY_CURRENT_USER, kMain, "Start Page");
    EXPECT_EQ((DWORD)REG_SZ, live.type);
    EXPECT_EQ("http://home.example", live.Text()) << "restored without its trailing slash";

    // Approved as it is, it is the baseline byte for byte and asks no more.
    const char binary[] = {'h', 't', 0, 1, 2};
    test::WriteValue(HKEY_CURRENT_USER, kMain, "Start Page", REG_BINARY, binary, sizeof binary);
    Run(CheckBrowserPages, {{kMonitorBox, IDYES}});
    test::Stored baseline = test::ReadStored(HKEY_CURRENT_USER, kStore, "StartPage");
    EXPECT_EQ((DWORD)REG_BINARY, baseline.type);
    EXPECT_EQ(std::string(binary, sizeof binary), baseline.data);
    Run(CheckBrowserPages, {});
    // A page kept unexpanded stays so.
    test::WriteValue(HKEY_CURRENT_USER, kMain, "Start Page", REG_EXPAND_SZ, "%HOMEPAGE%/", 12);
    Run(CheckBrowserPages, {{kMonitorBox, IDYES}});
    baseline = test::ReadStored(HKEY_CURRENT_USER, kStore, "StartPage");
    EXPECT_EQ((DWORD)REG_EXPAND_SZ, baseline.type);
    EXPECT_EQ("%HOMEPAGE%", baseline.Text());
}

TEST_F(BrowserSettings, AutomaticUpdatesAskWithTheTextsAndYesRestores)
{
    test::WriteDword(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 4);
    test::WriteDword(HKEY_CURRENT_USER, kStore, "AUOptions", 2);
    StoreDeleteValue(HKEY_LOCAL_MACHINE, kPrefixes, "www");
    int result = -1;
    Run([&] { result = CheckUpdateSettings(); }, {{kUpdateCaption, IDNO}, {kPrefixCaption, IDNO}});
    EXPECT_EQ(0, result);
    std::string message = Message(0);
    EXPECT_NE(std::string::npos,
              message.find("Previous Status:\nNotify me but don't automatically download or install them.\n\n"
                           "Has been changed to:\nAutomatically download recommended updates for my computer "
                           "and install them.\n")) << message;
    EXPECT_EQ(4, StoreReadSmallNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions"));
    EXPECT_EQ(4, StoreReadSmallNumber(HKEY_CURRENT_USER, kStore, "AUOptions"));
    // The missing prefix was approved as an empty one: no question from now on.
    EXPECT_EQ("", test::ReadStored(HKEY_CURRENT_USER, kStore, "wwwPrefix").Text());
    Run([&] { CheckUpdateSettings(); }, {});

    test::WriteDword(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 1);
    Run([&] { CheckUpdateSettings(); }, {{kUpdateCaption, IDYES}});
    EXPECT_EQ(4, StoreReadSmallNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions"));
    test::Stored live = test::ReadStored(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions");
    EXPECT_EQ((DWORD)REG_DWORD, live.type);

    // A value beyond the four texts is shown as its number.
    test::WriteDword(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 9);
    Run([&] { CheckUpdateSettings(); }, {{kUpdateCaption, IDNO}});
    EXPECT_NE(std::string::npos, Message(0).find("Has been changed to:\n9\n")) << Message(0);
    // A baseline out of range is taken from the machine at every pass.
    EXPECT_EQ(1, CheckUpdateSettings());
    EXPECT_EQ(9, StoreReadSmallNumber(HKEY_CURRENT_USER, kStore, "AUOptions"));
    StoreDeleteValue(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions");
    StoreDeleteValue(HKEY_CURRENT_USER, kStore, "AUOptions");
    EXPECT_EQ(1, CheckUpdateSettings());
    EXPECT_EQ(0, StoreReadSmallNumber(HKEY_CURRENT_USER, kStore, "AUOptions"));
}

TEST_F(BrowserSettings, ThePrefixIsCheckedAgainstHttpUntilApprovedOtherwise)
{
    test::WriteDword(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 3);
    test::WriteDword(HKEY_CURRENT_USER, kStore, "AUOptions", 3);
    test::WriteString(HKEY_LOCAL_MACHINE, kPrefixes, "www", "HTTP://");
    Run([&] { CheckUpdateSettings(); }, {});

    test::WriteString(HKEY_LOCAL_MACHINE, kPrefixes, "www", "http://evil.example/?%s");
    Run([&] { CheckUpdateSettings(); }, {{kPrefixCaption, IDYES}});
    EXPECT_NE(std::string::npos,
              Message(0).find("Previous Prefix:   http://\n\nHas been changed to:  http://evil.example/?%s\n"))
        << Message(0);
    EXPECT_EQ("http://", test::ReadStored(HKEY_LOCAL_MACHINE, kPrefixes, "www").Text());
    EXPECT_EQ("http://", test::ReadStored(HKEY_LOCAL_MACHINE, kDefaultPrefix, "").Text());

    test::WriteString(HKEY_LOCAL_MACHINE, kPrefixes, "www", "ftp://");
    Run([&] { CheckUpdateSettings(); }, {{kPrefixCaption, IDNO}});
    EXPECT_EQ("ftp://", test::ReadStored(HKEY_CURRENT_USER, kStore, "wwwPrefix").Text());
    Run([&] { CheckUpdateSettings(); }, {});
}

TEST_F(BrowserSettings, OnVistaTheExplorerRestoresTheMachineSettings)
{
    PretendPlatform(2, 6);
    test::WriteDword(HKEY_CURRENT_USER, kStore, "AUOptions", 3);
    test::WriteDword(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions", 1);
    test::WriteString(HKEY_LOCAL_MACHINE, kPrefixes, "www", "http://evil.example/");
    Run([&] { CheckUpdateSettings(); }, {{kUpdateCaption, IDYES}, {kPrefixCaption, IDYES}});
    EXPECT_TRUE(test::WaitUntil([] { return StoreReadSmallNumber(HKEY_LOCAL_MACHINE, kAutoUpdate, "AUOptions") == 3; },
                                kWait));
    EXPECT_TRUE(test::WaitUntil(
        [] {
            return test::ReadStored(HKEY_LOCAL_MACHINE, kPrefixes, "www").Text() == "http://" &&
                   test::ReadStored(HKEY_LOCAL_MACHINE, kDefaultPrefix, "").Text() == "http://";
        },
        kWait));
}
