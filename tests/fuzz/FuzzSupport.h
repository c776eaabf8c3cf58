#pragma once
// Small pieces shared by the fuzz targets.
#include <QDir>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <sys/mman.h>
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

// A file in memory that holds the input; -1 when it cannot be made.
inline int FuzzMemoryFile(const uint8_t *data, size_t size)
{
    const int fd = memfd_create("tnef", MFD_CLOEXEC);
    for (size_t done = 0; fd >= 0 && done < size;) {
        const ssize_t put = write(fd, data + done, size - done);
        if (put <= 0) {
            close(fd);
            return -1;
        }
        done += size_t(put);
    }
    return fd;
}
