// The real SentrelEx.exe on its Cookies page: a filter text added on the
// page removes the matching IE cookies at once; the cookie list in both
// modes, with check boxes, Remove Checked and Remove Unchecked.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <memory>
#include <string>
#include <vector>

#include "remote_list.h"
#include "test_support.h"
#include "text.h"

namespace {

const DWORD kWait = 15000;
const char kStore[] = "Software\\Orvendale\\Sentrel";
const char kNuts[] = "Software\\Orvendale\\Sentrel\\Nuts";
const char kKept[] = "Software\\Orvendale\\Sentrel\\Cookies";
const char kOptions[] = "Software\\Orvendale\\Sentrel\\Options";
const char kSheetCaption[] = "Sentrel Zenta";
const char kListCaption[] = "Cookies";

struct BoxSearch {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param)
{
    BoxSearch *search = (BoxSearch *)param;
    char cls[64] = "", caption[128] = "";
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, caption, sizeof caption);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // A message box has a static text 0xFFFF; the sheet has the same caption but none.
    if (owner == search->process && IsWindowVisible(window) && std::string(cls) == "#32770" &&
        std::string(caption) == kSheetCaption && GetDlgItem(window, 0xFFFF))
        search->found.push_back(window);
    return TRUE;
}

std::string Value(HKEY root, const std::string &path, const std::string &name)
{
    std::string text;
    return test::ReadString(root, path, name, &text) ? text : "<missing>";
}

std::string FileText(const std::string &path)
{
    std::string text;
    return test::ReadFile(path, &text) ? text : "<missing>";
}

class CookiesPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(nullptr, FindWindowA("SentrelEx", nullptr)) << "an explorer of another test still runs";
        test::ResetSentrelRegistry();
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder = test::FreshFolder("explorer-" + name);
        ie = folder + "\\Cookies";
        profile = folder + "\\profile";
        CreateDirectoryA(ie.c_str(), nullptr);
        CreateDirectoryA(profile.c_str(), nullptr);
        ASSERT_TRUE(test::WriteFile(ie + "\\index.dat", "index"));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kStore, "IECookieFolder", ie));
        ASSERT_TRUE(test::WriteString(HKEY_CURRENT_USER, kStore, "CookieFolder", profile));
        ASSERT_TRUE(CopyFileA((test::BuildFolder() + "\\SentrelEx.exe").c_str(), (folder + "\\SentrelEx.exe").c_str(),
                              FALSE));
    }
    void TearDown() override
    {
        StopExplorer();
        test::ResetSentrelRegistry();
    }
    void StartExplorer()
    {
        program = test::Start(folder, "SentrelEx.exe", "-NUTS");
        ASSERT_NE(nullptr, program.process);
        sheet = test::WaitForWindow("#32770", kSheetCaption, kWait);
        ASSERT_NE(nullptr, sheet) << "the property sheet did not open";
        page = (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
        ASSERT_NE(nullptr, page);
        Settle(page);
        ASSERT_NE(nullptr, GetDlgItem(page, 1129)) << "not the Cookies page";
        filters.reset(new test::RemoteList(program.process, GetDlgItem(page, 1000)));
    }
    void StopExplorer()
    {
        cookies.reset();
        filters.reset();
        if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
        if (program.process && !test::WaitForExit(program, kWait)) ADD_FAILURE() << "the explorer did not end";
        test::Stop(program);
    }
    static void Settle(HWND window)
    {
        DWORD_PTR ignored;
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &ignored);
    }
    static void Press(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    HWND OpenCookieList()
    {
        Press(page, 1129);
        HWND dialog = test::WaitForWindow("#32770", kListCaption, kWait);
        if (!dialog) return nullptr;
        Settle(dialog);
        cookies.reset(new test::RemoteList(program.process, GetDlgItem(dialog, 1000)));
        return dialog;
    }
    // Answers the explorer's question with Yes; returns its text.
    std::string AnswerYes()
    {
        HWND box = nullptr;
        test::WaitUntil(
            [&] {
                BoxSearch search = {program.id, {}};
                EnumWindows(CollectBox, (LPARAM)&search);
                if (!search.found.empty()) box = search.found[0];
                return box != nullptr;
            },
            kWait);
        if (!box) return "<no question>";
        char text[1024] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        test::PressButton(box, IDYES);
        test::WaitForWindowGone(box, kWait);
        return text;
    }
    std::vector<std::string> Column(test::RemoteList &list, int column)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < list.Count(); row++) texts.push_back(list.Text(row, column));
        return texts;
    }
    static bool Has(const std::vector<std::string> &texts, const std::string &text)
    {
        for (const auto &t : texts)
            if (t == text) return true;
        return false;
    }
    int RowOf(const std::string &text)
    {
        for (int row = 0; row < cookies->Count(); row++)
            if (cookies->Text(row, 0) == text) return row;
        return -1;
    }
    bool Ticked(HWND dialog, int row)
    {
        UINT state = (UINT)SendMessageA(GetDlgItem(dialog, 1000), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
        return (state >> 12) == 2;
    }
    // Ticks a row's check box (the LVITEM lives in the explorer's memory).
    void Tick(HWND dialog, int row)
    {
        char *memory = (char *)VirtualAllocEx(program.process, nullptr, sizeof(LVITEMA), MEM_COMMIT, PAGE_READWRITE);
        LVITEMA item = {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(2);
        WriteProcessMemory(program.process, memory, &item, sizeof item, nullptr);
        SendMessageA(GetDlgItem(dialog, 1000), LVM_SETITEMSTATE, row, (LPARAM)memory);
        VirtualFreeEx(program.process, memory, 0, MEM_RELEASE);
    }
    bool IeFile(const std::string &name) { return test::FileExistsAt(ie + "\\" + name); }

    std::string folder, ie, profile;
    test::Program program;
    HWND sheet = nullptr, page = nullptr;
    std::unique_ptr<test::RemoteList> filters, cookies;
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
    EXPECT_EQ(0, filters->Count());

    // A text that is part of the folder and of the user's name removes nothing.
    SendMessageTimeoutA(GetDlgItem(page, 1004), WM_SETTEXT, 0, (LPARAM) "root", SMTO_NORMAL, kWait, nullptr);
    Press(page, 1064);
    ASSERT_TRUE(test::WaitUntil([&] { return filters->Count() == 1; }, kWait));
    EXPECT_TRUE(IeFile("root@news.site[1].txt"));
    // Enter in the field adds too.
    SendMessageTimeoutA(GetDlgItem(page, 1004), WM_SETTEXT, 0, (LPARAM) "ads", SMTO_NORMAL, kWait, nullptr);
    PostMessageA(GetDlgItem(page, 1004), WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return filters->Count() == 2; }, kWait));
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
    auto names = Column(*cookies, 0);
    ASSERT_EQ(3u, names.size());
    EXPECT_TRUE(Has(names, "root@news.site[1].txt"));
    EXPECT_FALSE(Column(*cookies, 1)[0].empty()) << "creation date";
    // View shows the selected cookie file's text.
    ASSERT_GE(cookies->Select(0, "root@news.site[1].txt"), 0);
    Press(dialog, 1008);
    HWND viewer = test::WaitForWindow("#32770", "Sentrel - Cookies", kWait);
    ASSERT_NE(nullptr, viewer) << "no text viewer";
    char shown[256] = "";
    SendMessageTimeoutA(GetDlgItem(viewer, 1000), WM_GETTEXT, sizeof shown, (LPARAM)shown, SMTO_NORMAL, kWait,
                        nullptr);
    EXPECT_STREQ("root@news.site[1].txt\r\nvalue\r\n", shown);
    PostMessageA(viewer, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitForWindowGone(viewer, kWait));
    int keep = RowOf("root@keep.site[1].txt");
    ASSERT_GE(keep, 0);
    Tick(dialog, keep);
    Settle(dialog);
    ASSERT_TRUE(Ticked(dialog, keep));

    Press(dialog, 1004);   // Remove Unchecked
    EXPECT_NE(std::string::npos, AnswerYes().find("NOT checked"));
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 1; }, kWait));
    EXPECT_FALSE(IeFile("root@news.site[1].txt"));
    EXPECT_FALSE(IeFile("root@shop.site[1].txt"));
    EXPECT_TRUE(IeFile("root@keep.site[1].txt"));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kKept, "root@keep.site[1].txt"));
    EXPECT_TRUE(Ticked(dialog, 0)) << "a kept cookie stays ticked";

    Press(dialog, 1103);   // Remove Checked
    EXPECT_NE(std::string::npos, AnswerYes().find("you checked"));
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 0; }, kWait));
    EXPECT_FALSE(IeFile("root@keep.site[1].txt"));
    EXPECT_FALSE(test::ValueExists(HKEY_CURRENT_USER, kKept, "root@keep.site[1].txt"));
    EXPECT_TRUE(IeFile("index.dat"));

    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, kWait));
    EXPECT_NE("<missing>", Value(HKEY_CURRENT_USER, kStore, "dxCookie")) << "the list's placement is kept";

    // Remove takes the selected text off the filter.
    ASSERT_GE(filters->Select(0, "ads"), 0);
    Press(page, 1003);
    ASSERT_TRUE(test::WaitUntil([&] { return filters->Count() == 1; }, kWait));
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
    int one = RowOf("a.site - one");
    ASSERT_GE(one, 0);
    EXPECT_EQ("/", cookies->Text(one, 2));
    EXPECT_EQ("v1", cookies->Text(one, 3));
    EXPECT_EQ("True", cookies->Text(one, 4));
    EXPECT_EQ("False", cookies->Text(RowOf("b.site - two"), 4));
    Tick(dialog, one);
    Settle(dialog);

    Press(dialog, 1103);   // Remove Checked
    AnswerYes();
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 2; }, kWait));
    EXPECT_EQ("2", Value(HKEY_CURRENT_USER, kNuts, "a.site - one"));
    EXPECT_EQ(text, FileText(profile + "\\cookies.txt")) << "the browser may still hold it";
    EXPECT_EQ("# Netscape HTTP Cookie File\n"
              "b.site\tFALSE\t/b\tFALSE\t2000000000\ttwo\tv2\n"
              "c.site\tFALSE\t/\tFALSE\t2000000000\tthree\tv3\n",
              FileText(profile + "\\cookiesnew.txt"));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kOptions, "UpdateCookieFile"));

    int two = RowOf("b.site - two");
    ASSERT_GE(two, 0);
    Tick(dialog, two);
    Settle(dialog);
    Press(dialog, 1004);   // Remove Unchecked
    AnswerYes();
    ASSERT_TRUE(test::WaitUntil([&] { return cookies->Count() == 1; }, kWait));
    EXPECT_EQ("b.site - two", cookies->Text(0, 0));
    EXPECT_EQ("1", Value(HKEY_CURRENT_USER, kKept, "b.site - two"));
    EXPECT_EQ("2", Value(HKEY_CURRENT_USER, kNuts, "c.site - three"));
    EXPECT_EQ("# Netscape HTTP Cookie File\n"
              "b.site\tFALSE\t/b\tFALSE\t2000000000\ttwo\tv2\n",
              FileText(profile + "\\cookiesnew.txt"));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(test::WaitForWindowGone(dialog, kWait));
    EXPECT_EQ(0, filters->Count()) << "marks of single cookies are no filter texts";
}
