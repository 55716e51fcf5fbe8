// Cookies of the browsers and the cookie filter ("Nuts").
//
// Internet Explorer keeps one text file per cookie in its cookie folder;
// Mozilla-family browsers keep every cookie as one line of cookies.txt in
// the profile folder. Filtering an IE cookie deletes its file; filtering
// Mozilla cookies writes a filtered cookiesnew.txt, which replaces
// cookies.txt later, once the browser is closed (the browser rewrites the
// file when it exits).
#pragma once
#include <windows.h>

#define STORE_NUTS    "Software\\Orvendale\\Sentrel\\Nuts"      // filter texts and removal marks
#define STORE_COOKIES "Software\\Orvendale\\Sentrel\\Cookies"   // cookies the user keeps

// Item type of a Mozilla cookie (it has no history label of its own).
#define ITEM_MOZILLA_COOKIE 504

// Where cookies are read from: 1 the IE cookie files, 3 Mozilla's cookies.txt.
enum CookieSource { COOKIE_SOURCE_IE = 1, COOKIE_SOURCE_MOZILLA = 3 };
extern int cookieSource;

// Largest cookies.txt that is read; a larger one is neither listed nor rewritten.
#define COOKIE_FILE_MAX (64L * 1024 * 1024)

// 1 when folder ends with a backslash and holds "index.dat", 2 when it has
// no trailing backslash and holds "\index.dat", 0 otherwise (and for names
// over 250 or under 3 characters).
int CookieIndexKind(const char *folder);

// The IE cookie folder, with a trailing backslash: the user's choice
// ("IECookieFolder"), the shell's "Cookies" folders, the Windows folder's
// "Cookies". 1, or 0 with string 968 in out (out holds 260).
int FindIECookieFolder(char *out);

// The Mozilla-family profile folder: the user's choice ("CookieFolder"),
// else the Firefox default profile, else (Netscape) the first profile. 1 or 0.
int FindMozillaProfileFolder(char *out);

// The site part of an IE cookie file's name: the text behind the last "@"
// without the "[n]" counter and ".txt" ("chad@ads.example[1].txt" gives
// "ads.example"). Returns its length (0 when there is none).
int CookieSiteOf(const char *fileName, char *out, int size);

// Lists (mode 0) or filters (mode 1 or more) the cookies of the current
// cookie source into the item list. Returns the number listed.
int ReadCookies(int mode);
int ReadIECookies(int mode);
int ReadMozillaCookies(int mode);

// With "UpdateCookieFile" set and no Mozilla window open: filters the
// current cookies.txt again and puts the result in its place. 1 when
// cookies.txt is up to date with the filter, 0 otherwise.
int ApplyMozillaCookieUpdate(void);

// Raises (flag non-zero) or clears "UpdateCookieFile".
void SetUpdateCookieFile(int flag);

// The filter list, loaded from the Nuts key: every entry with a non-empty
// name. Returns the number of entries.
int LoadCookieFilter(void);
void FreeCookieFilter(void);
int CookieFilterCount(void);
const char *CookieFilterText(int index);   // "" outside the list
int CookieFilterNumber(int index);         // 1 a filter text, 2 a cookie marked for removal
// 1 when text (a site or host) contains, ignoring case, the text of a
// filter entry; 0 for texts of 513 characters or more or an empty list.
int IsFilteredCookie(const char *text);
// 1 when the loaded filter list has an entry named exactly name (case ignored).
int IsCookieFilterEntry(const char *name);
// Deletes the one-time entries (number 2) from the Nuts key.
void PruneCookieFilter(void);

// Adds a filter text (data "1"). 1 or 0.
int AddCookieFilter(const char *text);
// Deletes a filter entry by its exact name. 1 or 0.
int RemoveCookieFilter(const char *text);

// The keep list: the cookies the user ticked.
int IsKeptCookie(const char *name);
int SetKeptCookie(const char *name, int keep);

// Removes one listed cookie by its record: an IE cookie file is deleted;
// a Mozilla cookie is marked for removal (Nuts value "2" named by its
// host and name), which the next cookie update carries out. 1 or 0.
struct Item;
int RemoveCookie(const Item *record);
// The name a cookie is kept and marked by: the file name of an IE cookie,
// "host - name" of a Mozilla cookie. Returns its length.
int CookieKeyOf(const Item *record, char *out, int size);
