// Checks whose categories are not watched yet. Each moves to a file of its
// own when its category is built.
#include "checks.h"

