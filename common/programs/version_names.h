// The names an inventory shows for a program file, from its version
// information (each under 128 characters of any script; empty when the file
// has none).
#pragma once

#define VERSION_NAME_SIZE 384

struct VersionNames {
    char productName[VERSION_NAME_SIZE];
    char productVersion[VERSION_NAME_SIZE];
    char companyName[VERSION_NAME_SIZE];
    char fileDescription[VERSION_NAME_SIZE];
};

// 1 when the product name is not empty.
int ReadVersionNames(const char *file, VersionNames *names);
