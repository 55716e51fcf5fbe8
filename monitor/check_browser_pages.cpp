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

namespace {
const size_t kShownMax = 511;   // characters of a value shown in a question
const int kShownRun = 64;       // characters without a blank on one line

// How a value is shown in a question: a longer one as its first and last
// characters around " ... ", and a run of characters without a blank broken
// into lines, so that the box stays within the screen. What is compared and
// written is always the whole value.
void ShowValue(const char *text, char *out, size_t size)
{
    char cut[kShownMax + 8];
    size_t length = strlen(text), half = (kShownMax - 5) / 2;
    if (length > kShownMax) {
        memcpy(cut, text, half);
        memcpy(cut + half, " ... ", 5);
        memcpy(cut + half + 5, text + length - half, half);
        cut[2 * half + 5] = 0;
    } else {
        CopyText(cut, sizeof cut, text);
    }
    size_t n = 0;
    int run = 0;
    for (const char *p = cut; *p && n + 2 < size; p++) {
        int blank = *p == ' ' || *p == '\n';
        if (blank) {
            run = 0;
        } else if (run == kShownRun) {
            out[n++] = '\n';
            run = 0;
        }
        run += !blank;
        out[n++] = *p;
    }
    out[n] = 0;
}
}  // namespace

int AskAboutSetting(UINT message, const char *first, const char *second, const char *caption, UINT icon)
{
    char pattern[1024];
    if (LoadUiString(message, pattern, sizeof pattern) <= 0) return 0;
    // The values are arguments of the template, never a format: a "%s"
    // inside a page stays as it is.
    char shownFirst[1024], shownSecond[1024];
    ShowValue(first, shownFirst, sizeof shownFirst);
    ShowValue(second, shownSecond, sizeof shownSecond);
    first = shownFirst;
    second = shownSecond;
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
