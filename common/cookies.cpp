// Cookies of the browsers and the cookie filter.
#include "inventory.h"

void FreeCookies(void)
{
}
