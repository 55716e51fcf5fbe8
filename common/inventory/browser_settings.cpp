// The browser pages, the Automatic Updates setting and the URL prefix: their
// live values, their baselines and the writes that approve or restore them.
#include "browser_settings.h"

#include <cstdlib>
#include <cstring>

#include "locations.h"
#include "registry_views.h"
#include "text.h"
#include "ui_strings.h"
#include "watch_places.h"

namespace {
const char kDesktopSource[] = "Source";
const char kPrefixBaseline[] = "wwwPrefix";

struct PagePlace {
    UINT keyString;
    UINT valueString;           // 0: the value name below
    const char *valueName;
    const char *baselineName;
    UINT message;
};
const PagePlace kPages[BROWSER_PAGE_COUNT] = {
    {623, 624, nullptr, "StartPage", 625},
    {623, 675, nullptr, "SearchPage", 676},
    {1016, 0, kDesktopSource, "SourcePage", 1017},
};

char *DuplicateText(const char *text, size_t length)
{
    char *copy = (char *)malloc(length + 1);
    if (!copy) return nullptr;
    memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

// Data that is not text, shown the way a registry export writes it.
char *ShowData(const StoreBlob &blob)
{
    const DWORD shown = blob.size < 256 ? blob.size : 256;
    size_t room = 32 + 3 * (size_t)shown + 4;
    char *text = (char *)malloc(room);
    if (!text) return nullptr;
    if (blob.type == REG_DWORD && blob.size == 4) {
        DWORD number;
        memcpy(&number, blob.data, 4);
        FormatText(text, room, "dword:%08lx", (unsigned long)number);
        return text;
    }
    size_t n = FormatText(text, room, "hex(%lx):", (unsigned long)blob.type);
    for (DWORD i = 0; i < shown; i++)
        n += FormatText(text + n, room - n, i ? ",%02x" : "%02x", blob.data[i]);
    if (shown < blob.size) AppendText(text, room, ",...");
    return text;
}

size_t WithoutSlash(const char *text)
{
    size_t n = strlen(text);
    return n > 0 && text[n - 1] == '/' ? n - 1 : n;
}

int SameTextNoCase(const char *a, size_t lengthA, const char *b, size_t lengthB)
{
    if (lengthA != lengthB) return 0;
    for (size_t i = 0; i < lengthA; i++) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
        if (x != y) return 0;
    }
    return 1;
}

int WriteText(HKEY root, REGSAM view, const char *path, const char *name, DWORD type, const char *text,
              size_t length)
{
    char *data = DuplicateText(text, length);
    if (!data) return 0;
    StoreBlob blob = {type, (DWORD)length + 1, (BYTE *)data};
    int written = StoreWriteBlob(root, view, path, name, &blob);
    free(data);
    return written;
}

// Writes a value as it was read; a missing one as an empty text. With
// dropSlash, a text loses one trailing "/".
int WriteSetting(HKEY root, REGSAM view, const char *path, const char *name, const SettingValue *value,
                 int dropSlash)
{
    if (!value->blob.data) return WriteText(root, view, path, name, REG_SZ, value->text, strlen(value->text));
    if (value->isText && dropSlash) {
        size_t length = WithoutSlash(value->text);
        if (length < strlen(value->text)) return WriteText(root, view, path, name, value->blob.type, value->text, length);
    }
    return StoreWriteBlob(root, view, path, name, &value->blob);
}

int SameSetting(const SettingValue *a, const SettingValue *b, int ignoreSlash)
{
    if (!a->isText || !b->isText) return !a->isText && !b->isText && StoreSameBlob(&a->blob, &b->blob);
    size_t lengthA = ignoreSlash ? WithoutSlash(a->text) : strlen(a->text);
    size_t lengthB = ignoreSlash ? WithoutSlash(b->text) : strlen(b->text);
    return SameTextNoCase(a->text, lengthA, b->text, lengthB);
}
}  // namespace

int ReadSettingValue(HKEY root, REGSAM view, const char *path, const char *name, SettingValue *value)
{
    *value = SettingValue();
    value->present = StoreReadBlob(root, view, path, name, &value->blob);
    value->isText = !value->present || value->blob.type == REG_SZ || value->blob.type == REG_EXPAND_SZ;
    if (!value->present)
        value->text = DuplicateText("", 0);
    else if (value->isText)
        value->text = DuplicateText((const char *)value->blob.data, strlen((const char *)value->blob.data));
    else
        value->text = ShowData(value->blob);
    if (!value->text) {
        // Out of memory: nothing to compare with.
        FreeSettingValue(value);
        return 0;
    }
    return value->present;
}

void FreeSettingValue(SettingValue *value)
{
    StoreFreeBlob(&value->blob);
    free(value->text);
    value->text = nullptr;
    value->present = 0;
}

int ReadBrowserPage(BrowserPageKind kind, BrowserPage *page)
{
    *page = BrowserPage();
    if (kind < 0 || kind >= BROWSER_PAGE_COUNT) return 0;
    const PagePlace &place = kPages[kind];
    page->kind = kind;
    page->baselineName = place.baselineName;
    page->message = place.message;
    if (LoadUiString(place.keyString, page->key, sizeof page->key) <= 0) return 0;
    if (place.valueString ? LoadUiString(place.valueString, page->valueName, sizeof page->valueName) <= 0
                          : !CopyText(page->valueName, sizeof page->valueName, place.valueName))
        return 0;
    ReadSettingValue(HKEY_CURRENT_USER, 0, page->key, page->valueName, &page->live);
    ReadSettingValue(HKEY_CURRENT_USER, 0, STORE_ROOT, page->baselineName, &page->baseline);
    return page->live.text && page->baseline.text;
}

void FreeBrowserPage(BrowserPage *page)
{
    FreeSettingValue(&page->live);
    FreeSettingValue(&page->baseline);
}

int SamePage(const SettingValue *a, const SettingValue *b)
{
    return SameSetting(a, b, 1);
}

int TakePageBaseline(const BrowserPage *page)
{
    return WriteSetting(HKEY_CURRENT_USER, 0, STORE_ROOT, page->baselineName, &page->live, 0);
}

int ApprovePage(const BrowserPage *page)
{
    return WriteSetting(HKEY_CURRENT_USER, 0, STORE_ROOT, page->baselineName, &page->live, 1);
}

int RestorePage(const BrowserPage *page)
{
    return WriteSetting(HKEY_CURRENT_USER, 0, page->key, page->valueName, &page->baseline, 1);
}

// --- Windows Automatic Updates ------------------------------------------------

int ReadAutoUpdateSetting(int view)
{
    return StoreReadSmallNumberIn(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), AUTO_UPDATE_KEY, "AUOptions");
}

int WriteAutoUpdateSetting(int view, int value)
{
    DWORD number = (DWORD)value;
    StoreBlob blob = {REG_DWORD, sizeof number, (BYTE *)&number};
    return StoreWriteBlob(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), AUTO_UPDATE_KEY, "AUOptions", &blob);
}

int ReadAutoUpdateBaseline(void)
{
    return StoreReadSmallNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions");
}

int WriteAutoUpdateBaseline(int value)
{
    return StoreWriteNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions", (DWORD)value);
}

int AutoUpdateText(int value, char *out, int size)
{
    if (value >= 1 && value <= 4) {
        int n = LoadUiString(1050 + value, out, size);
        if (n > 0) return n;
    }
    return (int)FormatText(out, size, "%d", value);
}

// --- Default URL prefix ---------------------------------------------------------

int ReadUrlPrefix(int view, SettingValue *value)
{
    return ReadSettingValue(HKEY_LOCAL_MACHINE, RegistryViewFlag(view), URL_PREFIXES_KEY, "www", value);
}

int ReadUrlPrefixBaseline(SettingValue *value)
{
    if (ReadSettingValue(HKEY_CURRENT_USER, 0, STORE_ROOT, kPrefixBaseline, value)) return 1;
    char scheme[64];
    if (LoadUiString(1061, scheme, sizeof scheme) <= 0) return 0;
    char *text = DuplicateText(scheme, strlen(scheme));
    if (!text) return 0;
    FreeSettingValue(value);
    value->text = text;
    value->isText = 1;
    return 1;
}

int SamePrefix(const SettingValue *a, const SettingValue *b)
{
    return SameSetting(a, b, 0);
}

int RestoreUrlPrefix(int view, const SettingValue *prefix)
{
    REGSAM flag = RegistryViewFlag(view);
    int live = WriteSetting(HKEY_LOCAL_MACHINE, flag, URL_PREFIXES_KEY, "www", prefix, 0);
    int fallback = WriteSetting(HKEY_LOCAL_MACHINE, flag, URL_DEFAULT_PREFIX_KEY, "", prefix, 0);
    return live && fallback;
}

int ApproveUrlPrefix(const SettingValue *prefix)
{
    return WriteSetting(HKEY_CURRENT_USER, 0, STORE_ROOT, kPrefixBaseline, prefix, 0);
}

void ForEachBrowserPagePlace(WatchPlaceVisitor visit, void *context)
{
    for (const PagePlace &page : kPages) {
        char key[260];
        if (LoadUiString(page.keyString, key, sizeof key) <= 0) continue;
        WatchPlace place = {WATCH_KEY, HKEY_CURRENT_USER, VIEW_NATIVE, 0, key};
        visit(&place, context);
    }
}
