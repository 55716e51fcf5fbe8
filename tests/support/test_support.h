// Helpers for Sentrel's tests, which run under Wine against the real
// registry, files and windows of the test prefix.
#pragma once
#include "planted_tasks.h"
#include "test_files.h"
#include "test_keys.h"
#include "test_registry.h"
#include "test_windows.h"
