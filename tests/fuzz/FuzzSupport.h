#pragma once
// Small pieces shared by the fuzz targets.
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, \
                         __LINE__);                                               \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

// A fresh, empty folder for one target's whole run.
std::string FuzzScratchFolder(const char *name);
