#include "version_names.h"

#include <cstdlib>
#include <cstring>

#include "program_files.h"
#include "text.h"

int ReadVersionNames(const char *file, VersionNames *names)
{
    memset(names, 0, sizeof *names);
    if (!file || !file[0]) return 0;
    // Five 1024-byte slots: too big for the stack of every caller.
    char (*facts)[VERSION_SLOT_SIZE] = (char (*)[VERSION_SLOT_SIZE])malloc(sizeof(VersionFacts));
    if (!facts) return 0;
    int found = ReadVersionFacts(file, facts);
    CopyTextCut(names->productName, sizeof names->productName, facts[VERSION_PRODUCT_NAME]);
    CopyTextCut(names->productVersion, sizeof names->productVersion, facts[VERSION_PRODUCT_VERSION]);
    CopyTextCut(names->companyName, sizeof names->companyName, facts[VERSION_COMPANY_NAME]);
    CopyTextCut(names->fileDescription, sizeof names->fileDescription, facts[VERSION_FILE_DESCRIPTION]);
    free(facts);
    return found && names->productName[0];
}
