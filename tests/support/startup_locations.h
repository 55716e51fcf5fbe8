// Tests of the startup locations in-process, against the real registry,
// win.ini and folders of the test prefix.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include "items.h"
#include "options.h"

namespace test {

// COM is ready on the test's thread and the options are the defaults;
// Clean empties what the test plants in, before the test and after it (the
// item list freed first).
class StartupLocationsTest : public ::testing::Test {
protected:
    virtual void Clean() = 0;
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        settings = Settings();
        Clean();
    }
    void TearDown() override
    {
        FreeItems();
        Clean();
        CoUninitialize();
    }
};

}  // namespace test
