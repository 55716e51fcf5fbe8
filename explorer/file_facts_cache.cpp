#include "file_facts_cache.h"

#include <cctype>
#include <cstring>

#include "text.h"

namespace {
const int kSlots = 8192;   // twice the largest list, so probing stays short

struct Slot {
    char file[260];
    FileFacts facts;
    int used;
};
Slot slots[kSlots];

unsigned Hash(const char *text)
{
    unsigned h = 2166136261u;
    for (; *text; text++) h = (h ^ (unsigned char)toupper((unsigned char)*text)) * 16777619u;
    return h;
}
}  // namespace

void ClearFileFacts(void)
{
    memset(slots, 0, sizeof slots);
}

FileFacts *FindFileFacts(const char *file)
{
    if (!file || !file[0]) return nullptr;
    unsigned start = Hash(file) % kSlots;
    for (int probe = 0; probe < kSlots; probe++) {
        Slot &slot = slots[(start + probe) % kSlots];
        if (!slot.used) {
            if (!CopyText(slot.file, sizeof slot.file, file)) return nullptr;
            slot.used = 1;
            slot.facts.image = -1;
            return &slot.facts;
        }
        if (TextEqualNoCase(slot.file, file)) return &slot.facts;
    }
    return nullptr;
}
