// The monitor's patrol run in-process through its real tick handler, on a
// clock of the test's own; the trace lines of its passes tell what ran.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "monitor.h"
#include "options.h"
#include "patrol.h"
#include "platform.h"
#include "store_init.h"
#include "test_support.h"
#include "trace.h"

namespace test {

class PatrolPasses : public ::testing::Test {
protected:
    void SetUp() override { SetUpIn(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()); }
    // The trace goes to C:\sentrel-tests\<name>\trace.txt.
    void SetUpIn(const std::string &name)
    {
        ResetSentrelRegistry();
        // Everything that starts now is approved, so the checks find
        // nothing new and no alert waits for an answer.
        InitStore();
        folder = FreshFolder(name);
        traceFile = folder + "\\trace.txt";
        mainWindow = CreateWindowA("STATIC", "patrol", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        settings = Settings();
        countdowns = Countdowns();
        LoadOptions();
        settings.hideWuffin = 1;   // no tray icon from an in-process pass
        patrolClock = Clock;
        tickCounter = expressBootCountdown = taskChangeFlag = conflictCount = 0;
        inDialog = verifyBusy = 0;
        delayTotal = delayHandled = 0;
        lastVerifyTick = now;
        PretendPlatform(2, 5);
        SetTraceFile(traceFile.c_str());
        EnableTrace(1);
    }
    void TearDown() override
    {
        EnableTrace(0);
        PretendPlatform(0, 0);
        patrolClock = GetTickCount;
        DestroyWindow(mainWindow);
        mainWindow = nullptr;
        ResetSentrelRegistry();
    }
    // n ticks of the patrol's 2-second timer.
    static void Ticks(int n)
    {
        for (int i = 0; i < n; i++) {
            now += 2000;
            OnPatrolTick();
        }
    }
    // The trace values in order.
    std::vector<std::string> Trace()
    {
        std::vector<std::string> lines;
        static char section[1 << 20];
        DWORD n = GetPrivateProfileSectionA("Trace", section, sizeof section, traceFile.c_str());
        for (const char *p = section; p < section + n && *p; p += strlen(p) + 1) {
            const char *eq = strchr(p, '=');
            lines.push_back(eq ? eq + 1 : p);
        }
        return lines;
    }
    static bool EndsWith(const std::string &line, const std::string &end)
    {
        return line.size() >= end.size() && line.compare(line.size() - end.size(), end.size(), end) == 0;
    }

    // The patrol's clock.
    static DWORD Clock() { return now; }
    static inline DWORD now = 100000;
    std::string folder, traceFile;
};

}  // namespace test
