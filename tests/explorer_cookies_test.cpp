// The real SentrelEx.exe on its Cookies page: a filter text added on the
// page removes the matching IE cookies at once; the cookie list in both
// modes, with check boxes, Remove Checked and Remove Unchecked.
#include "explorer_pages.h"
#include "text.h"

using namespace test::keys;
using test::Value;

namespace {

const char kListCaption[] = "Cookies";

class CookiesPage : public test::ExplorerPage {
protected:
    void SetUp() override
    {
        SetUpIn("explorer-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        ASSERT_TRUE(test::PlantCookieFolders(folder, &ie, &profile));
    }
    void TearDown() override
    {
        cookies.reset();
        ExplorerPage::TearDown();
    }
    void StartExplorer()
    {
        ExplorerPage::StartExplorer("-NUTS");
        ASSERT_NE(nullptr, GetDlgItem(page, 1129)) << "not the Cookies page";
    }
    HWND OpenCookieList()
    {
        Press(1129);
        HWND dialog = test::WaitForWindow("#32770", kListCaption, wait);
        if (!dialog) return nullptr;
        Settle(dialog);
        cookies.reset(new test::RemoteList(program.process, GetDlgItem(dialog, 1000)));
        return dialog;
    }
    bool IeFile(const std::string &name) { return test::FileExistsAt(ie + "\\" + name); }

    std::string ie, profile;
    std::unique_ptr<test::RemoteList> cookies;
};

}  // namespace

TEST_F(CookiesPage, AFilterTextRemovesTheMatchingIECookiesAndTheListRemovesChosenOnes)
{
    for (const char *name : {"root@ads.example[1].txt", "root@adserver.net[1].txt", "root@news.site[1].txt",
                             "root@shop.site[1].txt", "root@keep.site[1].txt"})
        ASSERT_TRUE(test::WriteFile(ie + "\\" + name, std::string(name) + "\nvalue\n"));
    StartExplorer();
    EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(page, 1127), BM_GETCHECK, 0, 0));
    char shownFolder[PATH_SIZE] = "";
    GetDlgItemTextA(page, 1143, shownFolder, sizeof shownFolder);
    EXPECT_EQ(ie + "\\", shownFolder);
    EXPECT_EQ(0, remote->Count());

    // A text that is part of the folder and of the user's name removes nothing.
    SendMessageTimeoutA(GetDlgItem(page, 1004), WM_SETTEXT, 0, (LPARAM) "root", SMTO_NORMAL, wait, nullptr);
    Press(1064);
    ASSERT_TRUE(test::WaitUntil([&] { return remote->Count() == 1; }, wait));
    EXPECT_TRUE(IeFile("root@news.site[1].txt"));
    // Enter in the field adds too.
    SendMessageTimeoutA(GetDlgItem(page, 1004), WM_SETTEXT, 0, (LPARAM) "ads", SMTO_NORMAL, wait, nullptr);
    PostMessageA(GetDlgItem(page, 1004), WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return remote->Count() == 2; }, wait));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kNuts, "ads"));
    EXPECT_FALSE(IeFile("root@ads.example[1].txt"));
    EXPECT_FALSE(IeFile("root@adserver.net[1].txt"));
    EXPECT_TRUE(IeFile("root@news.site[1].txt"));
    EXPECT_TRUE(IeFile("root@shop.site[1].txt"));
    EXPECT_TRUE(IeFile("root@keep.site[1].txt"));
    char field[64] = "x";
    GetDlgItemTextA(page, 1004, field, sizeof field);
    EXPECT_STREQ("", field);

    HWND dialog = OpenCookieList();
    ASSERT_NE(nullptr, dialog) << "the cookie list did not open";
    auto names = cookies->Column(0);
    ASSERT_EQ(3u, names.size());
    EXPECT_TRUE(test::Contains(names, "root@news.site[1].txt"));
    EXPECT_FALSE(cookies->Column(1)[0].empty()) << "creation date";
    // View shows the selected cookie file's text.
    ASSERT_GE(cookies->Select(0, "root@news.site[1].txt"), 0);
    Click(dialog, 1008);
    HWND viewer = test::WaitForWindow("#32770", "Sentrel - Cookies", wait);
    ASSERT_NE(nullptr, viewer) << "no text viewer";
    char shown[256] = "";
    SendMessageTimeoutA(GetDlgItem(viewer, 1000), WM_GETTEXT, sizeof shown, (LPARAM)shown, SMTO_NORMAL, wait,
                        nullptr);
    EXPECT_STREQ("root@news.site[1].txt\r\nvalue\r\n", shown);
    PostMessageA(viewer, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitForWindowGone(viewer, wait));
    int keep = cookies->Find(0, "root@keep.site[1].txt");
    ASSERT_GE(keep, 0);
    cookies->Tick(keep);
    Settle(dialog);
    ASSERT_TRUE(cookies->Ticked(keep));

    Click(dialog, 1004);   // Remove Unchecked
    EXPECT_NE(std::string::npos, Answer(IDYES).find("NOT checked"));
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 1; }, wait));
    EXPECT_FALSE(IeFile("root@news.site[1].txt"));
    EXPECT_FALSE(IeFile("root@shop.site[1].txt"));
    EXPECT_TRUE(IeFile("root@keep.site[1].txt"));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kKept, "root@keep.site[1].txt"));
    EXPECT_TRUE(cookies->Ticked(0)) << "a kept cookie stays ticked";

    Click(dialog, 1103);   // Remove Checked
    EXPECT_NE(std::string::npos, Answer(IDYES).find("you checked"));
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 0; }, wait));
    EXPECT_FALSE(IeFile("root@keep.site[1].txt"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kKept, "root@keep.site[1].txt"));
    EXPECT_TRUE(IeFile("index.dat"));

    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    EXPECT_NE("<missing>", Value(HKEY_CURRENT_USER, kStore, "dxCookie")) << "the list's placement is kept";

    // Remove takes the selected text off the filter.
    ASSERT_GE(remote->Select(0, "ads"), 0);
    Press(1003);
    ASSERT_TRUE(test::WaitUntil([&] { return remote->Count() == 1; }, wait));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "ads"));
    EXPECT_TRUE(test::ValueExists(HKEY_CURRENT_USER, kNuts, "root"));
}

TEST_F(CookiesPage, MozillaCookiesAreMarkedAndFilteredIntoTheNewFile)
{
    std::string text = "# Netscape HTTP Cookie File\n"
                       ".a.site\tTRUE\t/\tTRUE\t2000000000\tone\tv1\n"
                       "b.site\tFALSE\t/b\tFALSE\t2000000000\ttwo\tv2\n"
                       "c.site\tFALSE\t/\tFALSE\t2000000000\tthree\tv3\n";
    ASSERT_TRUE(test::WriteFile(profile + "\\cookies.txt", text));
    ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kOptions, "Browser", "6"));
    StartExplorer();
    EXPECT_EQ(BST_CHECKED, SendMessageA(GetDlgItem(page, 1128), BM_GETCHECK, 0, 0));
    HWND dialog = OpenCookieList();
    ASSERT_NE(nullptr, dialog) << "the cookie list did not open";
    ASSERT_EQ(3, cookies->Count());
    int one = cookies->Find(0, "a.site - one");
    ASSERT_GE(one, 0);
    EXPECT_EQ("/", cookies->Text(one, 2));
    EXPECT_EQ("v1", cookies->Text(one, 3));
    EXPECT_EQ("True", cookies->Text(one, 4));
    EXPECT_EQ("False", cookies->Text(cookies->Find(0, "b.site - two"), 4));
    cookies->Tick(one);
    Settle(dialog);

    Click(dialog, 1103);   // Remove Checked
    Answer(IDYES);
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 2; }, wait));
    EXPECT_EQ("2", Value(HKEY_CURRENT_USER, kNuts, "a.site - one"));
    EXPECT_EQ(text, test::FileText(profile + "\\cookies.txt")) << "the browser may still hold it";
    EXPECT_EQ("# Netscape HTTP Cookie File\n"
              "b.site\tFALSE\t/b\tFALSE\t2000000000\ttwo\tv2\n"
              "c.site\tFALSE\t/\tFALSE\t2000000000\tthree\tv3\n",
              test::FileText(profile + "\\cookiesnew.txt"));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kOptions, "UpdateCookieFile"));

    int two = cookies->Find(0, "b.site - two");
    ASSERT_GE(two, 0);
    cookies->Tick(two);
    Settle(dialog);
    Click(dialog, 1004);   // Remove Unchecked
    Answer(IDYES);
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 1; }, wait));
    EXPECT_EQ("b.site - two", cookies->Text(0, 0));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kKept, "b.site - two"));
    EXPECT_EQ("2", Value(HKEY_CURRENT_USER, kNuts, "c.site - three"));
    EXPECT_EQ("# Netscape HTTP Cookie File\n"
              "b.site\tFALSE\t/b\tFALSE\t2000000000\ttwo\tv2\n",
              test::FileText(profile + "\\cookiesnew.txt"));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, wait));
    EXPECT_EQ(0, remote->Count()) << "marks of single cookies are no filter texts";
}
