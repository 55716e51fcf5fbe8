// Checks whose categories are not watched yet. Each moves to a file of its
// own when its category is built.
#include "checks.h"

void CheckIEHelpers(void) {}
void FilterCookies(void) {}
void FilterMozillaCookies(void) {}
int MozillaCookiesDue(void) { return 0; }
void CheckNewCookies(void) {}
