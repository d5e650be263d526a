// Picture export: drawing and writing 100 pictures of 530x200 as BMP files
// beside writing the same bytes to as many files, and JPEG encoding of one
// drawn picture beside libjpeg alone on the same pixels. Both sides run in
// every iteration, so the ratio compares like with like on a busy machine.
#include <benchmark/benchmark.h>

#ifdef TAV_HAVE_RENDER
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

#include "base/atomic_file.hpp"
#include "bench/cpu_clock.hpp"
#include "model/document.hpp"
#include "output/bmp_writer.hpp"
#include "output/jpeg_writer.hpp"
#include "render/picture_drawing.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void EnsureGui() {
    static QGuiApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "tav_bench";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

constexpr int kPictures = 100;
constexpr PictureSize kSize{530, 200};

CTAV_AnalyserDoc& Project() {
    static CTAV_AnalyserDoc* doc = [] {
        auto* d = new CTAV_AnalyserDoc;
        for (int i = 0; i < kPictures; ++i)
            d->points.push_back(testing::WaveformPoint("P" + std::to_string(i / 3 + 1), 1024, static_cast<std::uint32_t>(i + 1)));
        d->hasPoints = 1;
        d->RefreshDisplayRanges();
        d->SelectPoint(0);
        return d;
    }();
    return *doc;
}

void BM_DrawAndWriteBmp100(benchmark::State& state) {
    EnsureGui();
    auto& doc = Project();
    testing::TempDir dir;
    const render::PointPictureOptions options;
    const std::vector<std::uint8_t> raw(kBmpPixelOffset + static_cast<std::size_t>(kSize.width) * kSize.height * 4, 7);
    double export_ = 0, plain = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        for (int i = 0; i < kPictures; ++i) {
            const QImage image = render::DrawPointPicture(doc, i, kSize, options);
            WriteBmp(dir.File("p" + std::to_string(i) + ".bmp"), render::ViewOf(image));
        }
        export_ += Seconds(t);
        t = Clock::now();
        for (int i = 0; i < kPictures; ++i) WriteFileAtomically(dir.File("r" + std::to_string(i) + ".bmp"), raw);
        plain += Seconds(t);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["export_ms"] = export_ * 1000 / n;
    state.counters["raw_ms"] = plain * 1000 / n;
    state.counters["ratio"] = export_ / plain;
}
BENCHMARK(BM_DrawAndWriteBmp100)->Unit(benchmark::kMillisecond)->Iterations(5);

// libjpeg alone: the same settings, rows handed over as RGB already.
std::size_t PlainJpeg(const std::vector<std::uint8_t>& rgb, int width, int height) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(&rgb[static_cast<std::size_t>(cinfo.next_scanline) * width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return size;
}

void BM_JpegEncode(benchmark::State& state) {
    EnsureGui();
    const QImage image = render::DrawPointPicture(Project(), 0, kSize);
    const BitmapView view = render::ViewOf(image);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(view.width) * view.height * 3);
    for (int y = 0; y < view.height; ++y) RowToRgb(view, y, &rgb[static_cast<std::size_t>(y) * view.width * 3]);
    double ours = 0, plain = 0;
    for (auto _ : state) {
        // The thread's own time: encoding does no I/O, and a shared machine's waiting is not its cost.
        auto t = tav::bench::ThreadCpuSeconds();
        benchmark::DoNotOptimize(EncodeJpeg(view, kJpegExportQuality, nullptr));
        ours += tav::bench::ThreadCpuSeconds() - t;
        t = tav::bench::ThreadCpuSeconds();
        benchmark::DoNotOptimize(PlainJpeg(rgb, view.width, view.height));
        plain += tav::bench::ThreadCpuSeconds() - t;
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["encode_us"] = ours * 1e6 / n;
    state.counters["libjpeg_us"] = plain * 1e6 / n;
    state.counters["ratio"] = ours / plain;
}
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tav
#endif
