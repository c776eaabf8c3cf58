#pragma once
// Small pieces shared by the fuzz targets.
#include <QDir>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#define FUZZ_CHECK(cond)                                                          \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, \
                         __LINE__);                                               \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

// A fresh, empty folder for one target's whole run.
inline std::string FuzzScratchFolder(const char *name)
{
    std::string path = "/tmp/parvane-fuzz-" + std::string(name) + "-" + std::to_string(getpid());
    QDir(QString::fromStdString(path)).removeRecursively();
    QDir().mkpath(QString::fromStdString(path));
    return path;
}
