// Cookies against real cookie stores in the test prefix: an IE cookie folder
// of "user@site[n].txt" files and a Mozilla profile with its cookies.txt.
// Listing, filtering (exactly the matching cookies go, every other byte
// stays), the two-step Mozilla update and its failures, and the filter list
// with odd entries.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "cookies.h"
#include "items.h"
#include "options.h"
#include "store.h"
#include "test_support.h"
#include "text.h"

using namespace test::keys;

namespace {

std::vector<std::string> Titles()
{
    std::vector<std::string> titles;
    for (int i = 0; i < ItemCount(); i++) titles.push_back(GetItemTitle(i));
    return titles;
}

const Item *FindTitle(const std::string &title)
{
    for (int i = 0; i < ItemCount(); i++)
        if (title == GetItemTitle(i)) return GetItem(i);
    return nullptr;
}

bool UpdateFlag()
{
    return test::ValueExists(HKEY_CURRENT_USER, kOptions, "UpdateCookieFile");
}

class Cookies : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ResetSentrelRegistry();
        settings.maxCookie = 0;
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = test::FreshFolder("cookies-" + name);
        ASSERT_TRUE(test::PlantCookieFolders(folder, &ie, &profile));
        cookieSource = COOKIE_SOURCE_IE;
    }
    void TearDown() override
    {
        FreeItems();
        FreeCookieFilter();
        test::ResetSentrelRegistry();
    }
    void Plant(const std::string &name, const std::string &text = "cookie\n")
    {
        ASSERT_TRUE(test::WriteFile(ie + "\\" + name, text));
    }
    bool IeFile(const std::string &name) { return test::FileExistsAt(ie + "\\" + name); }
    void Nut(const std::string &text, const char *number = "1")
    {
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kNuts, text, number));
    }
    std::string CookiesTxt() { return profile + "\\cookies.txt"; }
    std::string CookiesNew() { return profile + "\\cookiesnew.txt"; }

    std::string folder, ie, profile;
};

TEST_F(Cookies, FindsTheFoldersByTheirIndexFile)
{
    char out[PATH_SIZE];
    ASSERT_EQ(1, FindIECookieFolder(out));
    EXPECT_EQ(ie + "\\", out) << "the chosen folder, with its backslash";
    EXPECT_EQ(2, CookieIndexKind(ie.c_str()));
    EXPECT_EQ(1, CookieIndexKind((ie + "\\").c_str()));
    EXPECT_EQ(0, CookieIndexKind(profile.c_str())) << "no index.dat";
    EXPECT_EQ(0, CookieIndexKind("C:"));
    EXPECT_EQ(0, CookieIndexKind(std::string(251, 'a').c_str()));

    // Without the user's choice, the shell's Cookies folder (when it holds
    // index.dat) is used.
    test::WriteString(HKEY_CURRENT_USER, kStore, "IECookieFolder", profile);
    std::string shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    std::string saved;
    bool hadSaved = test::ReadString(HKEY_CURRENT_USER, shellFolders, "Cookies", &saved);
    test::WriteString(HKEY_CURRENT_USER, shellFolders, "Cookies", ie + "\\");
    EXPECT_EQ(1, FindIECookieFolder(out));
    EXPECT_EQ(ie + "\\", out);
    if (hadSaved)
        test::WriteString(HKEY_CURRENT_USER, shellFolders, "Cookies", saved);
    else
        StoreDeleteValue(HKEY_CURRENT_USER, shellFolders.c_str(), "Cookies");

    // The Firefox default profile under the application data folder.
    StoreDeleteValue(HKEY_CURRENT_USER, kStore, "CookieFolder");
    std::string appData;
    ASSERT_TRUE(test::ReadString(HKEY_CURRENT_USER, shellFolders, "AppData", &appData));
    std::string profiles = appData + "\\Mozilla\\FireFox\\Profiles";
    CreateDirectoryA((appData + "\\Mozilla").c_str(), nullptr);
    CreateDirectoryA((appData + "\\Mozilla\\FireFox").c_str(), nullptr);
    CreateDirectoryA(profiles.c_str(), nullptr);
    CreateDirectoryA((profiles + "\\x1y2z3.default").c_str(), nullptr);
    EXPECT_EQ(1, FindMozillaProfileFolder(out));
    EXPECT_EQ(profiles + "\\x1y2z3.default", out);
    RemoveDirectoryA((profiles + "\\x1y2z3.default").c_str());
    EXPECT_EQ(0, FindMozillaProfileFolder(out));
}

TEST_F(Cookies, ListsIECookieFilesAndNothingElse)
{
    Plant("root@ads.example[1].txt");
    Plant("root@news.site[2].TXT");
    Plant("no-at-sign.txt");
    Plant("root@odd[x]name[1].txt");
    Plant("readme.log");
    Plant("hidden@system[1].txt");
    SetFileAttributesA((ie + "\\hidden@system[1].txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    CreateDirectoryA((ie + "\\sub@folder.txt").c_str(), nullptr);

    EXPECT_EQ(4, ReadCookies(0));
    auto titles = Titles();
    EXPECT_TRUE(test::Contains(titles, "root@ads.example[1].txt"));
    EXPECT_TRUE(test::Contains(titles, "root@news.site[2].TXT")) << "capitals count as .txt";
    EXPECT_TRUE(test::Contains(titles, "no-at-sign.txt"));
    EXPECT_TRUE(test::Contains(titles, "root@odd[x]name[1].txt"));
    const Item *item = FindTitle("root@ads.example[1].txt");
    ASSERT_NE(nullptr, item);
    EXPECT_EQ(ie + "\\root@ads.example[1].txt", item->path);
    EXPECT_EQ(ie + "\\root@ads.example[1].txt", item->name) << "the file itself is the identity";
    EXPECT_EQ(ITEM_COOKIE, item->type);
    EXPECT_EQ(16u, strlen(item->info)) << item->info;   // "yyyy/mm/dd hh:mm"
    SetFileAttributesA((ie + "\\hidden@system[1].txt").c_str(), FILE_ATTRIBUTE_NORMAL);

    // The monitor's cookie limit bounds the list.
    settings.maxCookie = 2;
    EXPECT_EQ(2, ReadCookies(0));
}

TEST_F(Cookies, TheIEFilterMatchesTheSiteOnly)
{
    char site[PATH_SIZE];
    EXPECT_EQ(11, CookieSiteOf("root@ads.example[1].txt", site, sizeof site));
    EXPECT_STREQ("ads.example", site);
    EXPECT_GT(CookieSiteOf("C:\\u\\Cookies\\a@b@c.net[12].TXT", site, sizeof site), 0);
    EXPECT_STREQ("c.net", site);
    CookieSiteOf("plain.txt", site, sizeof site);
    EXPECT_STREQ("plain", site);

    Plant("root@ads.example[1].txt");
    Plant("root@adserver.net[1].txt");
    Plant("root@news.site[1].txt");
    Plant("ads@news.example[1].txt");   // the user part holds the filter text
    Plant("root@shop.site[1].txt");
    SetFileAttributesA((ie + "\\root@adserver.net[1].txt").c_str(), FILE_ATTRIBUTE_READONLY);
    // Texts that are part of every file's full name: the folder, the user
    // name, ".txt", "[1]", "@". And an empty name, which matches nothing.
    for (const char *text : {"cookies", "root", "sentrel", "txt", "[1]", "@", "C:\\"}) Nut(text);
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kNuts, "", "1"));
    EXPECT_EQ(5, ReadCookies(1)) << "nothing matches a site";
    Nut("ADS");

    EXPECT_EQ(3, ReadCookies(1));
    EXPECT_FALSE(IeFile("root@ads.example[1].txt"));
    EXPECT_FALSE(IeFile("root@adserver.net[1].txt")) << "read-only files go too";
    EXPECT_TRUE(IeFile("root@news.site[1].txt"));
    EXPECT_TRUE(IeFile("ads@news.example[1].txt"));
    EXPECT_TRUE(IeFile("root@shop.site[1].txt"));
    EXPECT_TRUE(IeFile("index.dat"));
    EXPECT_FALSE(test::Contains(Titles(), "root@ads.example[1].txt"));
    EXPECT_EQ(0, CookieFilterCount()) << "the filter lives only during the pass";

    // Past the list's limit the filter pass still sees every file.
    settings.maxCookie = 1;
    Plant("root@zz.ads.org[1].txt");
    ReadCookies(1);
    EXPECT_FALSE(IeFile("root@zz.ads.org[1].txt"));
}

// The classic tab-separated file with the odd lines it can hold.
std::string SampleCookies()
{
    std::string long1(ITEM_DETAIL_SIZE + 100, 'v');
    return "# Netscape HTTP Cookie File\n"
           "# a comment with ads in it\n"
           "\n"
           ".ads.example\tTRUE\t/\tFALSE\t2000000000\ttrack\tid1\n"
           "news.site\tFALSE\t/news\tTRUE\t1700000000\tsession\tabc\n"
           ".shop.site\tTRUE\t/\tFALSE\tnever\tcart\tx\ty\tz\n"             // non-numeric expiry, extra tabs
           "shop.site\tTRUE\t/\tFALSE\t-5\tlong\t" + long1 + "\r\n"          // negative expiry, CRLF, long value
           "#HttpOnly_.adserver.net\tTRUE\t/\tFALSE\t99999999999\thttp\tonly\n"  // past 2038
           "bin\x01\xff.site\tTRUE\t/\tFALSE\t0\tb\t\x02\x80\n"
           "last.site\tTRUE\t/\tFALSE\t2000000000\tfinal\tno-line-feed";
}

TEST_F(Cookies, ListsMozillaCookies)
{
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), SampleCookies()));
    cookieSource = COOKIE_SOURCE_MOZILLA;
    EXPECT_EQ(7, ReadCookies(0));
    auto titles = Titles();
    EXPECT_TRUE(test::Contains(titles, "ads.example - track")) << "host without its leading dot";
    EXPECT_TRUE(test::Contains(titles, "adserver.net - http")) << "a cookie scripts may not read is still a cookie";
    EXPECT_TRUE(test::Contains(titles, "last.site - final")) << "the last line without a line feed is a line";
    const Item *news = FindTitle("news.site - session");
    ASSERT_NE(nullptr, news);
    EXPECT_EQ(ITEM_MOZILLA_COOKIE, news->type);
    EXPECT_STREQ("/news", news->path);
    EXPECT_STREQ("abc", news->detail);
    EXPECT_EQ(1, news->qualifier) << "secure";
    EXPECT_NE('\0', news->info[0]) << "expiry date";
    const Item *cart = FindTitle("shop.site - cart");
    ASSERT_NE(nullptr, cart);
    EXPECT_EQ(0, cart->qualifier);
    EXPECT_STREQ("", cart->info) << "non-numeric expiry";
    EXPECT_STREQ("x\ty\tz", cart->detail) << "tabs past the seventh field stay in the value";
    const Item *longValue = FindTitle("shop.site - long");
    ASSERT_NE(nullptr, longValue);
    EXPECT_STREQ("", longValue->info) << "negative expiry";
    EXPECT_EQ(std::string(ITEM_DETAIL_SIZE - 1, 'v'), longValue->detail) << "cut to its field, no CR";
    EXPECT_NE('\0', FindTitle("adserver.net - http")->info[0]) << "dates past 2038";

    // A long host and name: the title is cut, the identity is whole.
    std::string host(400, 'h');
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), host + "\tTRUE\t/\tFALSE\t1\tname\tv\n"));
    ASSERT_EQ(1, ReadCookies(0));
    EXPECT_EQ(host + " - name", GetItemName(0));
    EXPECT_EQ(ITEM_TITLE_SIZE - 1u, strlen(GetItemTitle(0)));

    // UTF-16 or binary files list nothing and do no harm.
    std::string utf16("\xff\xfe" "a\0\t\0b\0\n\0", 10);
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), utf16));
    ReadCookies(0);
    ReadCookies(1);
    EXPECT_EQ(utf16, test::FileText(CookiesTxt()));
}

TEST_F(Cookies, TheMozillaFilterKeepsEveryOtherByte)
{
    std::string sample = SampleCookies();
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), sample));
    cookieSource = COOKIE_SOURCE_MOZILLA;
    Nut("ads");
    Nut("root");
    Nut("news.site - session", "2");   // one cookie the user removed

    int listed = ReadCookies(1);
    EXPECT_EQ(sample, test::FileText(CookiesTxt())) << "cookies.txt waits for the browser to close";
    ASSERT_TRUE(UpdateFlag());
    std::string expected = "# Netscape HTTP Cookie File\n"
                           "# a comment with ads in it\n"
                           "\n"
                           ".shop.site\tTRUE\t/\tFALSE\tnever\tcart\tx\ty\tz\n"
                           "shop.site\tTRUE\t/\tFALSE\t-5\tlong\t" + std::string(ITEM_DETAIL_SIZE + 100, 'v') + "\r\n"
                           "bin\x01\xff.site\tTRUE\t/\tFALSE\t0\tb\t\x02\x80\n"
                           "last.site\tTRUE\t/\tFALSE\t2000000000\tfinal\tno-line-feed\n";
    EXPECT_EQ(expected, test::FileText(CookiesNew()));
    EXPECT_EQ(0, listed) << "a Mozilla filter pass lists nothing";
    EXPECT_FALSE(test::FileExistsAt(profile + "\\cookiesnew.tmp"));

    // With the browser still open nothing is replaced.
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "MozillaWindowClass";
    ASSERT_NE(0, RegisterClassA(&windowClass));
    HWND browser = CreateWindowA("MozillaWindowClass", "browser", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(nullptr, browser);
    EXPECT_EQ(0, ApplyMozillaCookieUpdate());
    EXPECT_EQ(sample, test::FileText(CookiesTxt()));
    EXPECT_TRUE(UpdateFlag());
    DestroyWindow(browser);
    UnregisterClassA("MozillaWindowClass", windowClass.hInstance);

    // Meanwhile the browser wrote a new cookie on exit: it survives.
    std::string newer = sample + "\nfresh.site\tTRUE\t/\tFALSE\t1\tnew\tv\n";
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), newer));
    EXPECT_EQ(1, ApplyMozillaCookieUpdate());
    EXPECT_EQ(expected + "fresh.site\tTRUE\t/\tFALSE\t1\tnew\tv\n", test::FileText(CookiesTxt()));
    EXPECT_FALSE(test::FileExistsAt(CookiesNew()));

    // Once applied, the one-time marks go and the texts stay.
    SetUpdateCookieFile(0);
    PruneCookieFilter();
    EXPECT_FALSE(UpdateFlag());
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "news.site - session"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "ads"));
}

TEST_F(Cookies, AMegabyteCookieFileKeepsEveryNonMatchingLine)
{
    std::string text, expected;
    for (int i = 0; text.size() < 1100000; i++) {
        std::string line = (i % 7 == 0 ? ".ads" : ".site") + std::to_string(i) + ".com\tTRUE\t/p" +
                           std::to_string(i) + "\tFALSE\t" + std::to_string(1700000000 + i) + "\tn" +
                           std::to_string(i) + "\t" + std::string(60 + i % 50, 'a' + i % 26) + "\n";
        text += line;
        if (i % 7) expected += line;
    }
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), text));
    cookieSource = COOKIE_SOURCE_MOZILLA;
    Nut("ads");
    ReadCookies(1);
    ASSERT_TRUE(UpdateFlag());
    EXPECT_EQ(text, test::FileText(CookiesTxt()));
    std::string written = test::FileText(CookiesNew());
    EXPECT_EQ(expected.size(), written.size());
    EXPECT_TRUE(expected == written) << "every kept line byte for byte, in order";
    EXPECT_EQ(1, ApplyMozillaCookieUpdate());
    EXPECT_TRUE(expected == test::FileText(CookiesTxt()));
}

TEST_F(Cookies, AFailedPassLeavesCookiesTxtAlone)
{
    std::string sample = SampleCookies();
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), sample));
    cookieSource = COOKIE_SOURCE_MOZILLA;
    Nut("ads");

    // The temporary copy cannot be written (a folder stands in its place).
    ASSERT_TRUE(CreateDirectoryA((profile + "\\cookiesnew.tmp").c_str(), nullptr));
    SetUpdateCookieFile(1);   // left over from an earlier pass
    ASSERT_TRUE(test::WriteFile(CookiesNew(), "stale snapshot\n"));
    ReadCookies(1);
    EXPECT_EQ(sample, test::FileText(CookiesTxt()));
    EXPECT_FALSE(test::FileExistsAt(CookiesNew())) << "no stale copy may stay behind";
    EXPECT_FALSE(UpdateFlag());
    EXPECT_EQ(0, ApplyMozillaCookieUpdate());
    EXPECT_EQ(sample, test::FileText(CookiesTxt()));
    RemoveDirectoryA((profile + "\\cookiesnew.tmp").c_str());

    // cookies.txt missing: nothing is written, the flag goes.
    DeleteFileA(CookiesTxt().c_str());
    SetUpdateCookieFile(1);
    EXPECT_EQ(0, ReadCookies(1));
    EXPECT_FALSE(test::FileExistsAt(CookiesNew()));
    EXPECT_FALSE(UpdateFlag());
    SetUpdateCookieFile(1);
    EXPECT_EQ(0, ApplyMozillaCookieUpdate());
    EXPECT_FALSE(test::FileExistsAt(CookiesTxt()));

    // Nothing filtered: cookies.txt stays as it is, no update is waiting.
    ASSERT_TRUE(test::WriteFile(CookiesTxt(), "keep.site\tTRUE\t/\tFALSE\t1\tk\tv"));
    ReadCookies(1);
    EXPECT_FALSE(UpdateFlag());
    EXPECT_FALSE(test::FileExistsAt(CookiesNew()));
    EXPECT_EQ("keep.site\tTRUE\t/\tFALSE\t1\tk\tv", test::FileText(CookiesTxt()));
}

TEST_F(Cookies, TheFilterListTakesOddEntries)
{
    for (int i = 0; i < 300; i++) Nut("site" + std::to_string(i) + ".example");
    std::string longName(600, 'q');
    Nut(longName);
    Nut("mark - one", "2");
    Nut("text-number", "abc");
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kNuts, "", "1"));
    DWORD number = 2;
    ASSERT_TRUE(test::WriteValue(HKEY_CURRENT_USER, kNuts, "dword-mark", REG_DWORD, &number, 4));

    EXPECT_EQ(304, LoadCookieFilter()) << "every named entry, past 264";
    EXPECT_EQ(1, IsFilteredCookie("www.site299.example"));
    EXPECT_EQ(0, IsFilteredCookie("qqq")) << "a text longer than any site matches none";
    EXPECT_EQ(0, IsFilteredCookie(std::string(513, 'q').c_str())) << "too long to be matched";
    EXPECT_EQ(0, IsFilteredCookie("mark - one.example")) << "marks name one cookie, no text";
    EXPECT_EQ(0, IsFilteredCookie("unrelated.org")) << "the empty name matches nothing";
    EXPECT_EQ(1, IsFilteredCookie("TEXT-NUMBER.org"));
    FreeCookieFilter();
    EXPECT_EQ(0, IsFilteredCookie("www.site1.example"));

    PruneCookieFilter();
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "mark - one"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "dword-mark")) << "only text marks are the explorer's";
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "text-number"));
    EXPECT_EQ(303, LoadCookieFilter());
    FreeCookieFilter();
}

TEST_F(Cookies, RemovesAndKeepsSingleCookies)
{
    // Cookie files of a user and sites named in any script.
    const std::string keep = u8"иван@оставить.рф[1].txt", gone = u8"иван@удалить.рф[1].txt";
    Plant(keep);
    Plant(gone);
    ASSERT_EQ(2, ReadCookies(0));
    ASSERT_NE(nullptr, FindTitle(gone));
    EXPECT_EQ(ie + "\\" + gone, FindTitle(gone)->name);
    Item removed = {};
    ASSERT_EQ(1, CopyItemRecord(&removed, FindTitle(gone)));
    char key[PATH_SIZE];
    CookieKeyOf(FindTitle(keep), key, sizeof key);
    EXPECT_EQ(keep, key);
    EXPECT_EQ(1, SetKeptCookie(key, 1));
    EXPECT_EQ(1, IsKeptCookie(key));
    EXPECT_EQ(1, RemoveCookie(&removed));
    ReleaseItemCopy(&removed);
    EXPECT_FALSE(IeFile(gone));
    EXPECT_TRUE(IeFile(keep));
    EXPECT_EQ(1, SetKeptCookie(key, 0));
    EXPECT_EQ(0, IsKeptCookie(key));

    ASSERT_TRUE(test::WriteFile(CookiesTxt(), "a.site\tTRUE\t/\tFALSE\t1\tn\tv\n"));
    cookieSource = COOKIE_SOURCE_MOZILLA;
    ASSERT_EQ(1, ReadCookies(0));
    EXPECT_EQ(1, RemoveCookie(GetItem(0)));
    EXPECT_EQ("2", test::Value(HKEY_CURRENT_USER, kNuts, "a.site - n"));
    EXPECT_EQ("a.site\tTRUE\t/\tFALSE\t1\tn\tv\n", test::FileText(CookiesTxt())) << "the monitor's update removes it";
}

}  // namespace
