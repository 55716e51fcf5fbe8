// Disables (or enables) one startup entry of the current user's Run key as
// the explorer's Disable button does, for tests that drive no window:
//   startup_toggle.exe "<exact value name>"
// The exit code is 0 when the entry was toggled, 1 when it was not found,
// 2 when the toggle failed.
#include <windows.h>

#include <cstring>

#include "items.h"
#include "startup_changes.h"
#include "startup_list.h"
#include "text.h"

int main(int argc, char **argv)
{
    if (argc < 2) return 255;
    BuildStartupList(0);
    for (int i = 0; i < ItemCount(); i++) {
        const Item *item = GetItem(i);
        if (item->type != ITEM_CURRENT_RUN || !item->name || strcmp(item->name, argv[1]) != 0) continue;
        Item entry = {};
        if (!CopyItemRecord(&entry, item)) return 2;
        int done = ToggleStartupEntry(StartupRefOf(entry));
        ReleaseItemCopy(&entry);
        return done ? 0 : 2;
    }
    return 1;
}
