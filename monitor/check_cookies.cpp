// Sentrel.exe: the cookie steps of patrol group B. The cookie filter
// removes the cookies the user's filter names; the Mozilla update puts a
// filtered cookies.txt in place once the browser is closed; the new-cookie
// check tells the user that cookies unknown to the keep list exist and
// offers the explorer's cookie list.
#include <windows.h>

#include "alerts.h"
#include "browsers.h"
#include "checks.h"
#include "cookies.h"
#include "items.h"
#include "monitor.h"
#include "program_files.h"
#include "trace.h"
#include "ui_strings.h"

void FilterCookies(void)
{
    int kind = DefaultBrowserKind();
    if (kind == 2 || kind == 3 || kind == 6) {
        // Mozilla-family cookies are filtered by the explorer; the update
        // step of every group B pass puts the result in place.
        cookieSource = COOKIE_SOURCE_MOZILLA;
        return;
    }
    cookieSource = COOKIE_SOURCE_IE;
    ReadCookies(1);
}

int MozillaCookiesDue(void)
{
    if (cookieSource != COOKIE_SOURCE_MOZILLA) return 0;
    char folder[PATH_SIZE];
    return FindMozillaProfileFolder(folder);
}

void FilterMozillaCookies(void)
{
    if (!ApplyMozillaCookieUpdate()) return;
    SetUpdateCookieFile(0);
    PruneCookieFilter();
}

void CheckNewCookies(void)
{
    ReadCookies(0);
    int count = ItemCount();
    int found = 0;
    for (int i = 0; i < count && !found; i++) {
        // A name too long for the key buffer is a cookie the user cannot have kept.
        char key[1024];
        if (CookieKeyOf(GetItem(i), key, sizeof key) <= 0 || !IsKeptCookie(key)) found = 1;
    }
    if (!found) return;
    SetPatrolStatus(161, 826);
    PlayAlertSound(2);
    AlertType = 0;
    inDialog = 1;
    alertShown = 1;
    int answer = UiMessageBox(nullptr, 16, windowTitle, MB_YESNO | MB_ICONEXCLAMATION | MB_TOPMOST);
    inDialog = 0;
    TraceWaitedForUser();
    if (answer == IDYES) StartExplorer("-COOKIES");
}
