// The signal matching result drawn for the window, picture files and the
// README: the measured and fitted velocity curves above, the pile's profile
// (width by impedance ratio) below, both on one depth axis so that an echo
// stands above the change of section that sent it.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <optional>

#include "analysis/signal_match.hpp"
#include "output/match_pictures.hpp"
#include "output/picture_export.hpp"

namespace tav {
class CTAV_AnalyserDoc;
struct TestPoint;
}  // namespace tav

namespace tav::render {

// "<pile number>  信号拟合  拟合质量 0.998" (without the quality when there is no fit).
QString MatchCaption(const TestPoint& tp, const MatchResult& result);

// Draws into area; a result without a fit draws its reason.
void PaintMatch(QPainter& painter, const QRect& area, const MatchResult& result, const QString& caption,
                const QFont& font);

// The same on a white picture of the given size (a null image for a size that
// CheckPictureSize refuses).
QImage DrawMatchPicture(const MatchResult& result, const QString& caption, PictureSize size);

// An encoder for export items with signal matching pictures among them: a
// matching item is drawn from its test point's fit at MatchPictureSize(curveSize),
// every other item by `curves`.
PictureEncoder WithMatchPictureEncoder(const CTAV_AnalyserDoc& doc, const PointFits& fits, PictureSize curveSize,
                                       std::int32_t formatIndex, PictureEncoder curves);

// A test point's matching picture as a file of the export's formats; nothing
// when the test point has no fit or the picture cannot be drawn.
std::optional<EncodedPicture> MatchPictureFile(const CTAV_AnalyserDoc& doc, const PointFits& fits, std::int32_t index,
                                               PictureSize size, std::int32_t formatIndex);

}  // namespace tav::render
