// Sentrel.exe: the delayed start launcher. LaunchDelayed itself is one of
// the patrol's calls (checks.h); starting a program and removing a delayed
// entry are shared with the explorer (delayed_programs.h).
#pragma once
#include <windows.h>

#include "delayed_programs.h"
