#include "ui_strings.h"

#include "store.h"
#include "text.h"

WORD UiLanguage;

namespace {
struct LanguageCode {
    const char *code;
    WORD language;
};

const LanguageCode kLanguageCodes[] = {
    {"us", 9},  {"de", 7},  {"fr", 12}, {"es", 10}, {"it", 16}, {"se", 29},
    {"ru", 25}, {"\xEA\xE0\xEA", 25},   {"pt", 22}, {"fi", 11}, {"pl", 21},
    {"no", 20}, {"gr", 8},  {"nl", 19}, {"br", 22}, {"sq", 28}, {"tr", 31},
    {"ar", 1},  {"cn", 4},
};

const int kOverrideMax = 771;   // characters of a translated string

// Folds ASCII and Windows-1251 Cyrillic capitals to small letters.
unsigned char FoldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDF) return c + 32;
    return c;
}
}  // namespace

WORD LanguageFromCode(const char *code)
{
    if (!code) return 0;
    for (const LanguageCode &row : kLanguageCodes) {
        const unsigned char *a = (const unsigned char *)code, *b = (const unsigned char *)row.code;
        while (*a && *b && FoldCase(*a) == FoldCase(*b)) { a++; b++; }
        if (!*a && !*b) return row.language;
    }
    return 0;
}

void SetUiLanguage(void)
{
    UiLanguage = 0;
    char code[32];
    LoadUiString(634, code, sizeof code);
    UiLanguage = LanguageFromCode(code);
}

static int LoadOverride(UINT number, char *buffer, int size)
{
    char name[24];
    FormatText(name, sizeof name, "LString%u", number);
    char text[kOverrideMax + 2];
    int len = StoreReadString(HKEY_LOCAL_MACHINE, STORE_ROOT, name, text, sizeof text);
    if (len <= 0) return 0;

    // Leave room for the terminator in the caller's buffer.
    int cut = kOverrideMax;
    if (size > 0 && size - 1 < cut) cut = size - 1;
    if (len > cut) len = cut;
    text[len] = 0;
    if (size <= 0) return len;

    // "%n" stands for a line break.
    int out = 0;
    for (int i = 0; i < len && out < size - 1; i++) {
        if (text[i] == '%' && text[i + 1] == 'n') {
            buffer[out++] = '\n';
            i++;
        } else {
            buffer[out++] = text[i];
        }
    }
    buffer[out] = 0;
    return len;
}

int LoadUiString(UINT number, char *buffer, int size)
{
    if (size > 0) {
        if (!buffer) return 0;
        buffer[0] = 0;
    }
    if (UiLanguage != 9) {
        int len = LoadOverride(number, buffer, size);
        if (len > 0) return len;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (size <= 0) {
        char probe[1024];
        return LoadStringA(instance, number, probe, sizeof probe);
    }
    return LoadStringA(instance, number, buffer, size);
}

void SetDlgItemUiString(HWND dialog, UINT number, int control)
{
    char text[512];
    if (LoadUiString(number, text, sizeof text) > 0 && text[0])
        SetDlgItemTextA(dialog, control, text);
}

int UiMessageBoxText(HWND owner, const char *text, const char *caption, UINT flags)
{
    return MessageBoxExA(owner, text, caption, flags, MAKELANGID(UiLanguage, SUBLANG_DEFAULT));
}

int UiMessageBox(HWND owner, UINT number, const char *caption, UINT flags)
{
    char text[1024];
    LoadUiString(number, text, sizeof text);
    return UiMessageBoxText(owner, text, caption, flags);
}

HWND startupOwner;
