// Settings outside the autostart places that unwanted software changes:
// the browser's start, search and desktop pages, the Windows Automatic
// Updates setting and the default URL prefix, each with its baseline under
// HKCU Software\Orvendale\Sentrel. Values are read whole, whatever their
// length or type, and written back exactly.
#pragma once
#include <windows.h>

#include "store.h"

// One registry value as the checks see it.
struct SettingValue {
    int present;      // the value exists
    StoreBlob blob;   // its data as stored
    int isText;       // REG_SZ or REG_EXPAND_SZ (taken unexpanded)
    char *text;       // the text up to its first zero; other types shown
                      // as "dword:..." or "hex(type):..."; null only when
                      // memory ran out
};
// Reads a value; a missing one is an empty text. 1 when it exists.
int ReadSettingValue(HKEY root, REGSAM view, const char *path, const char *name, SettingValue *value);
void FreeSettingValue(SettingValue *value);

// --- Browser pages -------------------------------------------------------

enum BrowserPageKind { PAGE_START, PAGE_SEARCH, PAGE_DESKTOP, BROWSER_PAGE_COUNT };

// A page: its live value (HKCU) and its baseline, both read whole.
struct BrowserPage {
    BrowserPageKind kind;
    char key[260];          // the live value's key
    char valueName[260];    // the live value's name
    const char *baselineName;
    UINT message;           // the string that asks about a change
    SettingValue live, baseline;
};
// 1 when the page's place is known (its strings load) and its values were read.
int ReadBrowserPage(BrowserPageKind kind, BrowserPage *page);
void FreeBrowserPage(BrowserPage *page);

// 1 when both are the same page: two texts equal ignoring case and one
// trailing "/" of each, other types byte for byte.
int SamePage(const SettingValue *a, const SettingValue *b);

// First sight: the live value (an empty text when missing) becomes the baseline as it is.
int TakePageBaseline(const BrowserPage *page);
// Yes: the live value without one trailing "/" becomes the baseline.
int ApprovePage(const BrowserPage *page);
// Otherwise: the baseline without one trailing "/" goes back into the live value.
int RestorePage(const BrowserPage *page);

// --- Windows Automatic Updates --------------------------------------------
// The live "AUOptions" (HKLM, in a registry view: VIEW_NATIVE or VIEW_32)
// and its baseline, as small numbers; 0 stands for missing.
int ReadAutoUpdateSetting(int view);
int WriteAutoUpdateSetting(int view, int value);
int ReadAutoUpdateBaseline(void);
int WriteAutoUpdateBaseline(int value);
// How a setting is shown: string 1050 + value for 1 to 4, else the number.
int AutoUpdateText(int value, char *out, int size);

// --- Default URL prefix ------------------------------------------------------
// The live "www" prefix (HKLM, in a registry view).
int ReadUrlPrefix(int view, SettingValue *value);
// The baseline "wwwPrefix"; when missing, string 1061 ("http://").
int ReadUrlPrefixBaseline(SettingValue *value);
// 1 when both texts are equal ignoring case (other types byte for byte).
int SamePrefix(const SettingValue *a, const SettingValue *b);
// Writes the prefix into the live "www" value and the default value of
// the DefaultPrefix key. 1 when both were written.
int RestoreUrlPrefix(int view, const SettingValue *prefix);
// Takes the live prefix (an empty text when missing) as the baseline.
int ApproveUrlPrefix(const SettingValue *prefix);
