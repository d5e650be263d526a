// Memory while a project loads: the file's bytes must not stay in memory
// beside the document they become (a 4 GB project would need 8 GB).
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "base/atomic_file.hpp"
#include "model/document.hpp"
#include "processing/project_loading.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0) return std::stol(line.substr(length));
    return -1;
}

struct LoadMemory {
    long growthKb = 0;  // resident memory after the load, above what the process held before
    long peakKb = 0;    // the high-water mark during the load, above the same base
};

// Loads the file in a child process, whose high-water mark is reset before the
// load, so nothing this test process did earlier counts.
LoadMemory MeasureLoad(const std::string& path) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        LoadMemory m;
        {
            // Memory the test process freed would be reused and hide the growth.
            ::malloc_trim(0);
            CTAV_AnalyserDoc doc;
            std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark starts again from here
            const long base = StatusKb("VmRSS:");
            const bool ok = OpenFile(doc, path).status == LoadStatus::Ok;
            m.growthKb = ok ? StatusKb("VmRSS:") - base : -1;
            m.peakKb = StatusKb("VmHWM:") - base;
        }
        const bool written = ::write(pipeFds[1], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeFds[1]);
    LoadMemory m{-1, -1};
    if (::read(pipeFds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) m = {-1, -1};
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return m;
}

TEST(LoadMemory, PeakStaysNearTheLoadedDocument) {
    testing::TempDir dir;
    const std::string path = dir.File("large.tav");
    {
        // 150 records of 16,384 samples in both sets: about 40 MB.
        std::vector<TestPoint> points;
        for (int i = 0; i < 150; ++i)
            points.push_back(testing::WaveformPoint("P" + std::to_string(i + 1), 16384, static_cast<std::uint32_t>(i)));
        ASSERT_TRUE(WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("u", "p"), points, points)));
    }
    const LoadMemory m = MeasureLoad(path);
    ASSERT_GT(m.growthKb, 30 * 1024) << "the document did not load";
    EXPECT_LE(static_cast<double>(m.peakKb), 1.2 * static_cast<double>(m.growthKb))
        << "peak " << m.peakKb << " kB for a document of " << m.growthKb << " kB";
}

}  // namespace
}  // namespace tav
