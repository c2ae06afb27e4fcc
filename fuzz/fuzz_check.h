#pragma once
// A property that fails aborts the run, so libFuzzer keeps the input as a crash.

#include <cstdio>
#include <cstdlib>

#define KV_REQUIRE(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                     \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
