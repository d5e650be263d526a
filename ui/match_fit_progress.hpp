// The fits behind the signal matching pictures of the picture export and the
// report, made on a worker thread while a modal "信号拟合" progress dialog
// says which test point is being fitted and offers to cancel.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "output/match_pictures.hpp"

class QProgressDialog;
class QWidget;

namespace tav::ui {

// Nothing when the user cancelled. watch, when given, sees the progress
// dialog once it is shown (tests press its cancel button there).
std::optional<PointFits> FitWithProgress(QWidget* parent, const CTAV_AnalyserDoc& doc,
                                         std::span<const std::int32_t> points,
                                         const std::function<void(QProgressDialog&)>& watch = {});

}  // namespace tav::ui
