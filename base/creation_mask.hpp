// The process's file creation mask, read without changing it. umask() can only
// be read by setting it, and setting it to 0 for a moment, even to put it back
// at once, lets a file another thread creates meanwhile come out writable by
// everyone; two threads doing it at once can leave the mask at 0 for good. A
// batch saves many files on many threads, so the mask is read from /proc.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <mutex>

namespace tav {

inline mode_t FileCreationMask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found) return static_cast<mode_t>(mask & 0777);
    }
    // Without /proc: set and put back, one thread of ours at a time.
    static std::mutex guard;
    const std::lock_guard<std::mutex> hold(guard);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace tav
