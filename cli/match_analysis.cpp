// `tavtool analyze FILE match --point K`: the pile's impedance profile fitted
// to the test point's record, with the soil, the fitted curve and its quality.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iostream>

#include "analysis/signal_match.hpp"
#include "base/atomic_file.hpp"
#include "cli/analyze_command.hpp"
#include "cli/json_out.hpp"
#include "cli/match_fits.hpp"
#include "model/document.hpp"
#include "render/match_picture.hpp"
#include "render/picture_drawing.hpp"

namespace tav::cli {

namespace {

using nlohmann::json;

// Curves to five decimals of the peak: finer digits are noise and bulk.
json CurveJson(const std::vector<double>& values) {
    json out = json::array();
    for (const double v : values) out.push_back(DoubleJson(std::round(v * 1e5) / 1e5));
    return out;
}

json MatchJson(const MatchResult& r) {
    if (!r.ok())
        return {{"fit", false},
                {"reason", std::string(MatchFailureCode(r.failure))},
                {"message", std::string(MatchFailureText(r.failure))}};
    json segments = json::array();
    for (const auto& s : r.segments)
        segments.push_back({{"top", DoubleJson(s.top)}, {"bottom", DoubleJson(s.bottom)}, {"ratio", DoubleJson(s.ratio)}});
    return {{"fit", true},
            {"segments", std::move(segments)},
            {"soil",
             {{"shaftDamping", DoubleJson(r.soil.shaftDamping)},
              {"shaftFrequency", DoubleJson(r.soil.shaftFrequency)},
              {"toeDamping", DoubleJson(r.soil.toeDamping)},
              {"toeFrequency", DoubleJson(r.soil.toeFrequency)}}},
            {"quality", DoubleJson(r.quality)},
            {"echoQuality", DoubleJson(r.echoQuality)},
            {"windowStart", r.windowStart},
            {"windowEnd", r.windowEnd},
            {"forwardRuns", r.forwardRuns},
            {"measured", CurveJson(r.measured)},
            {"fitted", CurveJson(r.fitted)}};
}

// The curves and the profile as a picture file, its format by its extension.
int WritePicture(const std::string& path, const std::string& sizeText, const TestPoint& tp, const MatchResult& r) {
    const auto size = ParsePictureSize(sizeText);
    if (!size || !CheckPictureSize(*size).empty()) {
        ReportError(path, "the picture size must read WxH within the picture limits");
        return kExitUsage;
    }
    const auto dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    const std::int32_t format = extension == "jpg" || extension == "jpeg" ? kPictureJpg
                                : extension == "png"                      ? kPicturePng
                                                                          : kPictureBmp;
    return RunWithGui([&] {
        std::string error;
        const auto picture = render::EncodePicture(render::DrawMatchPicture(r, render::MatchCaption(tp, r), *size), format, &error);
        if (!picture || picture->bytes.empty() || !WriteFileAtomically(path, picture->bytes, &error)) {
            ReportError(path, "cannot write the picture" + (error.empty() ? std::string() : ": " + error));
            return int{kExitIo};
        }
        return int{kExitOk};
    });
}

}  // namespace

PointFits FitForPictures(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> points, const std::string& file,
                         bool progress, double timeLimit) {
    const bool terminal = progress && ::isatty(STDERR_FILENO) == 1;
    const PointsToFit todo = CopyPointsToFit(doc, points);
    const std::size_t total = todo.indices.size();
    std::size_t shown = total + 1;
    MatchOptions options;
    options.timeLimit = timeLimit;
    const auto fits = FitPoints(todo, options, [&](double share, std::int32_t) {
        const auto done = std::min(total, static_cast<std::size_t>(share * static_cast<double>(total)));
        if (!terminal || done == shown) return;
        shown = done;
        std::cerr << "\r正在信号拟合 " << done << "/" << total << std::flush;
    });
    if (terminal) std::cerr << "\n";
    for (const auto index : fits.Unfitted())
        std::cerr << "tavtool: " << file << ": " << PointPictureLabel(doc, index) << " (test point " << index
                  << "): no signal matching picture: " << MatchFailureText(fits.results.at(index).failure) << "\n";
    return fits;
}

void AddMatchTimeLimitOption(CLI::App& command, double& timeLimit) {
    command.add_option("--match-time-limit", timeLimit, "with --match: seconds each fit may take")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
}

void AddMatchAnalysis(CLI::App& analyze, const AnalysisSink& sink) {
    static long point = 0;
    static double timeLimit = MatchOptions{}.timeLimit;
    static std::string picture, size = "800x480";
    auto* c = analyze.add_subcommand("match", "impedance profile of the pile fitted to a test point's record");
    c->add_option("--point", point, "test point index")->required();
    c->add_option("--time-limit", timeLimit, "seconds the fit may take");
    c->add_option("--picture", picture, "also draw the curves and the profile into this .bmp, .jpg or .png file");
    c->add_option("--size", size, "picture size WxH")->capture_default_str();
    c->callback([sink] {
        sink([](CTAV_AnalyserDoc& doc, const AnalyzeInput& input) {
            if (!CheckPointIndex(doc, input, point)) return int{kExitInvalidData};
            MatchOptions options;
            options.timeLimit = timeLimit;
            const auto& tp = doc.points[static_cast<std::size_t>(point)];
            const auto result = MatchSignal(tp, options);
            std::cout << JsonText(MatchJson(result)) << "\n";
            if (!picture.empty())
                if (const int code = WritePicture(picture, size, tp, result)) return code;
            return result.ok() ? int{kExitOk} : int{kExitInvalidData};
        });
    });
}

}  // namespace tav::cli
