// Sentrel.exe: the records of the item list as a check found them, each
// with its own copy of its identity. The alerts run nested message loops
// in which other work (the delayed start launcher, a refill) may change the
// shared item list; what a check asks about and what Yes and No act on
// stay as they were.
#pragma once
#include "items.h"

struct ItemSnapshot {
    Item *records = nullptr;
    int count = 0;

    // Copies the listed records that keep accepts (all of them without one).
    explicit ItemSnapshot(int (*keep)(const Item &record) = nullptr);
    ~ItemSnapshot();
    ItemSnapshot(const ItemSnapshot &) = delete;
    ItemSnapshot &operator=(const ItemSnapshot &) = delete;
};
