// A disk that fills up while a file is written: while a DiskFullBeyond lives,
// every write that would make a file of this process larger than the limit
// fails (EFBIG), as writes to a full disk do, whoever owns the folder.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace tav::testing {

class DiskFullBeyond {
public:
    explicit DiskFullBeyond(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        // Without this the process would be stopped rather than the write refused.
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskFullBeyond() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    DiskFullBeyond(const DiskFullBeyond&) = delete;
    DiskFullBeyond& operator=(const DiskFullBeyond&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
};

}  // namespace tav::testing
