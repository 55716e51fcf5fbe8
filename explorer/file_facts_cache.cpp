#include "file_facts_cache.h"

#include <cctype>
#include <cstring>

#include "program_files.h"
#include "text.h"

namespace {
const int kSlots = 8192;   // twice the largest list, so probing stays short

struct Slot {
    char file[PATH_SIZE];
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

int ProgramCompany(const char *command, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    char file[PATH_SIZE];
    if (!command || ResolveCommandPath(command, file) <= 0) return 0;
    FileFacts *known = FindFileFacts(file);
    if (known && known->companyRead) return (int)CopyTextCut(out, (size_t)size, known->company);
    static VersionFacts facts;
    ReadVersionFacts(file, facts);
    if (known) {
        CopyTextCut(known->company, sizeof known->company, facts[VERSION_COMPANY_NAME]);
        known->companyRead = 1;
    }
    return (int)CopyTextCut(out, (size_t)size, facts[VERSION_COMPANY_NAME]);
}
