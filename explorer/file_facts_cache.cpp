#include "file_facts_cache.h"

#include <cstdlib>
#include <cstring>

#include "program_files.h"
#include "text.h"
#include "unicode_text.h"

namespace {

// One file's facts with what identifies the file's state when they were read.
struct Slot {
    char *file;         // the path as asked for (malloc)
    int iconIndex;
    unsigned hash;
    ULONGLONG size;
    FILETIME written;
    int found;          // the file was there
    unsigned checked;   // the round of checks it was last checked in
    FileFacts facts;
};

// An open-addressing table that doubles when half full.
Slot **slots;
unsigned capacity, used;
unsigned checkRound = 1;

unsigned Hash(const char *text, int iconIndex)
{
    unsigned h = 2166136261u;
    for (; *text; text++) {
        unsigned char c = (unsigned char)*text;
        h = (h ^ (c >= 'a' && c <= 'z' ? c - 32u : c)) * 16777619u;
    }
    return (h ^ (unsigned)iconIndex) * 16777619u;
}

int Grow(void)
{
    unsigned bigger = capacity ? capacity * 2 : 1024;
    Slot **table = (Slot **)calloc(bigger, sizeof(Slot *));
    if (!table) return 0;
    for (unsigned i = 0; i < capacity; i++) {
        if (!slots[i]) continue;
        unsigned at = slots[i]->hash & (bigger - 1);
        while (table[at]) at = (at + 1) & (bigger - 1);
        table[at] = slots[i];
    }
    free(slots);
    slots = table;
    capacity = bigger;
    return 1;
}

// The file's size and last-write time now; found 0 when it is not there.
void FileState(const char *file, ULONGLONG *size, FILETIME *written, int *found)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    WideText wide(file);
    *found = wide.get() && GetFileAttributesExW(wide, GetFileExInfoStandard, &data);
    *size = *found ? ((ULONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow : 0;
    *written = *found ? data.ftLastWriteTime : FILETIME{0, 0};
}

void Empty(FileFacts *facts)
{
    facts->image = -1;
    facts->company[0] = 0;
    facts->companyRead = 0;
}

}  // namespace

FileFacts *FindFileFacts(const char *file, int iconIndex)
{
    if (!file || !file[0]) return nullptr;
    if ((used + 1) * 2 > capacity && !Grow()) return nullptr;
    ULONGLONG size;
    FILETIME written;
    int found;
    unsigned hash = Hash(file, iconIndex);
    unsigned at = hash & (capacity - 1);
    for (; slots[at]; at = (at + 1) & (capacity - 1)) {
        Slot *slot = slots[at];
        if (slot->hash != hash || slot->iconIndex != iconIndex || !TextEqualNoCase(slot->file, file)) continue;
        if (slot->checked == checkRound) return &slot->facts;
        slot->checked = checkRound;
        FileState(file, &size, &written, &found);
        if (slot->found != found || slot->size != size || CompareFileTime(&slot->written, &written) != 0) {
            slot->found = found;
            slot->size = size;
            slot->written = written;
            Empty(&slot->facts);
        }
        return &slot->facts;
    }
    FileState(file, &size, &written, &found);
    Slot *slot = (Slot *)calloc(1, sizeof(Slot));
    size_t length = strlen(file);
    char *copy = slot ? (char *)malloc(length + 1) : nullptr;
    if (!copy) {
        free(slot);
        return nullptr;
    }
    memcpy(copy, file, length + 1);
    *slot = {copy, iconIndex, hash, size, written, found, checkRound, {}};
    Empty(&slot->facts);
    slots[at] = slot;
    used++;
    return &slot->facts;
}

int ReadCompany(const char *file, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    // The facts are large for a thread's stack: they live on the heap.
    VersionFacts *facts = (VersionFacts *)malloc(sizeof(VersionFacts));
    if (!facts) return 0;
    ReadVersionFacts(file, *facts);
    int length = (int)CopyTextCut(out, (size_t)size, (*facts)[VERSION_COMPANY_NAME]);
    free(facts);
    return length;
}

void KeepCompany(FileFacts *facts, const char *company)
{
    if (!facts) return;
    CopyTextCut(facts->company, sizeof facts->company, company);
    facts->companyRead = 1;
}

int FileCompany(const char *file, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!file || !file[0]) return 0;
    FileFacts *known = FindFileFacts(file);
    if (known && known->companyRead) return (int)CopyTextCut(out, (size_t)size, known->company);
    int length = ReadCompany(file, out, size);
    KeepCompany(known, out);
    return length;
}

int ProgramCompany(const char *command, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    char file[PATH_SIZE];
    if (!command || ResolveCommandPath(command, file) <= 0) return 0;
    return FileCompany(file, out, size);
}

void CheckFilesAgain(void)
{
    checkRound++;
}
