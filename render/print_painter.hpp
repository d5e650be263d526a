// Printed pages drawn with QPainter: the decorations of a page plan and every
// cell by the waveform display model, onto a printer, a print preview or a PDF
// file. The painter is set up in page units (0.1 mm) with the paper's top left
// corner as origin, so the same job gives the same pages on every device.
// Needs a QGuiApplication (fonts); tavtool makes one on the offscreen platform.
#pragma once

#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/display/display_model.hpp"
#include "output/print_layout.hpp"

namespace tav {
class CTAV_AnalyserDoc;
}

namespace tav::render {

// The display area as it was when printing was prepared: its analysis and
// options are laid out again at the size of each cell.
struct PrintedDisplay {
    AnalysisBarSettings bar;
    DisplayOptions options;
    PrintDisplayState state;
};
PrintedDisplay PrintedDisplayOf(const WaveDisplayModel& display);

// Everything the pages of one job are drawn from.
struct PrintJob {
    PrintSettings settings;
    PrintLayout layout;
    PrintFacts facts;
    std::vector<std::int32_t> checked;  // test point indices, in checked-list order
    QSizeF paperMm;                     // the paper as the device has it (portrait or landscape)
    std::optional<PrintedDisplay> display;
    // The annotation column of the per-test-point cells, as the display settings choose it.
    std::vector<std::int32_t> annotationItems = DisplayOptions{}.annotationItems;

    std::int32_t PaperWidthMm() const { return static_cast<std::int32_t>(paperMm.width()); }
    std::int32_t PaperHeightMm() const { return static_cast<std::int32_t>(paperMm.height()); }
};

// Runs the layout for the document's checked list (or `checked` when given),
// the settings, the paper (whole millimetres, as a printer reports it) and the
// display area. job.layout.pages == 0 means cancelled.
PrintJob PreparePrintJob(const CTAV_AnalyserDoc& doc, const PrintSettings& settings, QSizeF paperMm,
                         const std::string& filePath, const WaveDisplayModel* display,
                         const std::vector<std::int32_t>* checked = nullptr);

// The print font: the face the settings name first, then the installed
// Chinese families; its pixel size is the font height in page units.
QFont PrintFontOf(const PrintFont& font);

// Draws the cells of a job. Keeps one laid-out display model per item and
// cell size, so a long job does not lay the same thing out again per cell.
class CellPainter {
public:
    CellPainter(CTAV_AnalyserDoc& doc, const PrintJob& job, const QFont& font);
    ~CellPainter();
    // A cell filled white, then its picture; rect in the painter's units.
    void Paint(QPainter& painter, const QRect& rect, const PrintCell& cell);

private:
    WaveDisplayModel& ModelFor(std::int32_t item, const QSize& size);

    CTAV_AnalyserDoc& doc_;
    const PrintJob& job_;
    QFont font_;
    std::unique_ptr<TextMeasure> measure_;
    struct Cached;
    std::vector<std::unique_ptr<Cached>> models_;
};

// A page rectangle (y upwards) in the painter's units (y downwards).
QRect ToPainter(const PrintRect& r);

// Draws pages from..to (from 1) of the job on a paged device, a new page
// between them. The painter must be active on that device.
void PaintPrintPages(QPainter& painter, QPagedPaintDevice& device, CTAV_AnalyserDoc& doc, const PrintJob& job,
                     std::int32_t from, std::int32_t to);

// The job as a PDF file, written under a temporary name and renamed when
// complete; on failure false with error set and an existing file untouched.
bool WritePrintPdf(const QString& path, CTAV_AnalyserDoc& doc, const PrintJob& job, std::string* error = nullptr);

}  // namespace tav::render
