#include "output/match_pictures.hpp"

#include <algorithm>
#include <set>

#include "analysis/analysis_entry.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"

namespace tav {

namespace {

constexpr std::string_view kMatchStemSuffix = "_拟合";
constexpr std::string_view kMatchCaptionSuffix = " 信号拟合";

PictureItem MatchItemOf(PictureItem curve) {
    curve.match = true;
    curve.stacked = false;
    curve.displayEntry = -1;
    curve.label.clear();
    curve.fileStem += kMatchStemSuffix;
    curve.caption += kMatchCaptionSuffix;
    return curve;
}

}  // namespace

const MatchResult* PointFits::Fitted(std::int32_t index) const {
    const auto found = results.find(index);
    return found != results.end() && found->second.ok() ? &found->second : nullptr;
}

std::vector<std::int32_t> PointFits::Unfitted() const {
    std::vector<std::int32_t> out;
    for (const auto& [index, result] : results)
        if (!result.ok()) out.push_back(index);
    return out;
}

PointsToFit CopyPointsToFit(const CTAV_AnalyserDoc& doc, std::span<const std::int32_t> indices) {
    PointsToFit todo;
    std::set<std::int32_t> seen;
    for (const auto index : indices)
        if (doc.ValidIndex(index) && seen.insert(index).second) {
            todo.indices.push_back(index);
            todo.points.push_back(doc.points[static_cast<std::size_t>(index)]);
        }
    return todo;
}

PointFits FitPoints(const PointsToFit& todo, MatchOptions options, const FitProgress& progress) {
    PointFits fits;
    const std::size_t n = std::min(todo.indices.size(), todo.points.size());
    const double count = static_cast<double>(std::max<std::size_t>(n, 1));
    for (std::size_t k = 0; k < n; ++k) {
        if (options.cancel && options.cancel->load() != 0) {
            fits.cancelled = true;
            break;
        }
        const std::int32_t index = todo.indices[k];
        if (progress) progress(static_cast<double>(k) / count, index);
        options.progress = [&](double share) {
            if (progress) progress((static_cast<double>(k) + std::clamp(share, 0.0, 1.0)) / count, index);
        };
        MatchResult result = MatchSignal(todo.points[k], options);
        if (result.failure == MatchFailure::kCancelled) {
            fits.cancelled = true;
            break;
        }
        fits.results.emplace(index, std::move(result));
    }
    if (progress && !fits.cancelled) progress(1.0, n == 0 ? -1 : todo.indices[n - 1]);
    return fits;
}

std::string UnfittedSummary(const CTAV_AnalyserDoc& doc, const PointFits& fits) {
    const auto unfitted = fits.Unfitted();
    if (unfitted.empty()) return {};
    std::string text = "以下测点未能信号拟合，没有拟合图：";
    for (const auto index : unfitted)
        text += "\n" + PointPictureLabel(doc, index) + "：" +
                std::string(MatchFailureText(fits.results.at(index).failure));
    return text;
}

std::vector<std::int32_t> MatchPicturePoints(std::span<const PictureItem> items,
                                             std::span<const std::int32_t> stackedPoints) {
    std::vector<std::int32_t> points;
    std::set<std::int32_t> seen;
    const auto add = [&](std::int32_t index) {
        if (index >= 0 && seen.insert(index).second) points.push_back(index);
    };
    for (const auto& item : items) {
        if (item.match) continue;
        if (item.stacked)
            for (const auto index : stackedPoints) add(index);
        else
            add(item.pointIndex);
    }
    return points;
}

std::vector<PictureItem> WithMatchPictures(const CTAV_AnalyserDoc& doc, std::span<const PictureItem> items,
                                           std::span<const std::int32_t> stackedPoints, const PointFits& fits) {
    std::vector<PictureItem> out;
    std::set<std::int32_t> given;
    const auto fitted = [&](std::int32_t index) { return fits.Fitted(index) && given.insert(index).second; };
    for (const auto& item : items) {
        out.push_back(item);
        if (item.match) continue;
        if (!item.stacked) {
            if (fitted(item.pointIndex)) out.push_back(MatchItemOf(item));
            continue;
        }
        for (const auto index : stackedPoints)
            if (doc.ValidIndex(index) && fitted(index)) out.push_back(MatchItemOf(PointPictureItem(doc, index, index + 1)));
    }
    return out;
}

PictureSize MatchPictureSize(PictureSize curve) {
    const int tall = std::max(curve.height, curve.width * 3 / 5);
    const auto fits = curve.width > 0 ? kMaxPicturePixels / curve.width : 0;
    return {curve.width, static_cast<int>(std::min<std::int64_t>({tall, kMaxPictureSide, std::max<std::int64_t>(fits, curve.height)}))};
}

std::string MatchReportCaption(int number, std::string_view pileNo) {
    return Format("图3.4-%d附  ", number) + std::string(pileNo) + "桩信号拟合及桩身阻抗剖面图";
}

}  // namespace tav
