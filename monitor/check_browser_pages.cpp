// Sentrel.exe: the browser pages check. The start, search and desktop
// background pages are compared with their baselines; a different page is
// asked about, and the answer takes it into the baseline or puts the
// approved page back.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "browser_settings.h"
#include "checks.h"
#include "monitor.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

int AskAboutSetting(UINT message, const char *first, const char *second, const char *caption, UINT icon)
{
    char pattern[1024];
    if (LoadUiString(message, pattern, sizeof pattern) <= 0) return 0;
    // The values are arguments of the template, never a format: a "%s"
    // inside a page stays as it is.
    const char *values[2] = {first, second};
    size_t room = strlen(pattern) + strlen(first) + strlen(second) + 1;
    char *text = (char *)malloc(room);
    if (!text) return 0;
    int answer = 0;
    if (FillTemplate(text, (int)room, pattern, values, 2) > 0) {
        answer = UiMessageBoxText(nullptr, text, caption, MB_YESNO | icon | MB_TOPMOST);
        TraceWaitedForUser();
    }
    free(text);
    return answer;
}

void CheckBrowserPages(void)
{
    for (int kind = 0; kind < BROWSER_PAGE_COUNT; kind++) {
        BrowserPage page;
        if (!ReadBrowserPage((BrowserPageKind)kind, &page)) {
            FreeBrowserPage(&page);
            continue;
        }
        if (!page.baseline.present) {
            TakePageBaseline(&page);
        } else if (!SamePage(&page.live, &page.baseline)) {
            SetPatrolStatus(161, 829);
            alertShown = 1;
            int answer = AskAboutSetting(page.message, page.live.text, page.baseline.text, windowTitle,
                                         MB_ICONEXCLAMATION);
            if (answer == IDYES)
                ApprovePage(&page);
            else if (answer != 0)
                RestorePage(&page);
        }
        FreeBrowserPage(&page);
    }
}
