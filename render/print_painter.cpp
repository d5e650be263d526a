#include "render/print_painter.hpp"

#include <QFile>
#include <QPageSize>
#include <QPdfWriter>
#include <algorithm>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "model/document.hpp"
#include "render/font_choice.hpp"
#include "render/wave_painter.hpp"

namespace tav::render {

namespace {

// Page units are tenths of a millimetre: 254 of them to the inch.
constexpr double kUnitsPerInch = 254.0;

QString Text(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

Qt::Alignment AlignmentOf(TextAlign a) {
    const Qt::Alignment h = a == TextAlign::Left ? Qt::AlignLeft : a == TextAlign::Right ? Qt::AlignRight : Qt::AlignHCenter;
    return h | Qt::AlignVCenter;
}

void PaintDecorations(QPainter& p, const PagePlan& plan) {
    p.setPen(QPen(Qt::black, 1));
    for (const auto& line : plan.lines) {
        p.setPen(QPen(Qt::black, line.penWidth));
        p.drawLine(line.x0, -line.y, line.x1, -line.y);
    }
    p.setBrush(Qt::NoBrush);
    for (const auto& frame : plan.frames) {
        p.setPen(QPen(Qt::black, frame.penWidth));
        p.drawRect(ToPainter(frame.rect));
    }
    p.setPen(Qt::black);
    for (const auto& t : plan.texts)
        p.drawText(ToPainter(t.band), static_cast<int>(AlignmentOf(t.align) | Qt::TextSingleLine | Qt::TextDontClip),
                   Text(t.text));
}

}  // namespace

QRect ToPainter(const PrintRect& r) { return QRect(r.left, -r.top, r.Width(), r.Height()); }

PrintedDisplay PrintedDisplayOf(const WaveDisplayModel& display) {
    return {display.bar, display.options, DisplayStateOf(display)};
}

PrintJob PreparePrintJob(const CTAV_AnalyserDoc& doc, const PrintSettings& settings, QSizeF paperMm,
                         const std::string& filePath, const WaveDisplayModel* display,
                         const std::vector<std::int32_t>* checked) {
    PrintJob job;
    job.settings = settings;
    job.settings.Clamp();
    job.paperMm = paperMm;
    job.checked = checked ? *checked : doc.checkedIndices;
    std::erase_if(job.checked, [&](std::int32_t i) { return !doc.ValidIndex(i); });
    if (display) {
        job.display = PrintedDisplayOf(*display);
        job.annotationItems = display->options.annotationItems;
    }
    job.facts.projectName = Cp936ToUtf8(TextOf(doc.header.projectName));
    job.facts.testUnit = Cp936ToUtf8(TextOf(doc.header.testUnit));
    job.facts.filePath = filePath;
    SetPrintDateToday(job.facts);

    PrintLayoutInput in;
    in.settings = job.settings;
    in.paperWidthMm = job.PaperWidthMm();
    in.paperHeightMm = job.PaperHeightMm();
    in.pointCount = doc.PointCount();
    in.checkedCount = static_cast<std::int32_t>(job.checked.size());
    if (job.display) in.display = job.display->state;
    job.layout = LayOutPrintJob(in);
    return job;
}

QFont PrintFontOf(const PrintFont& printFont) {
    QFont font;
    QStringList families;
    const QString face = Text(printFont.FaceUtf8());
    if (!face.isEmpty()) families << face;
    families << InstalledFamilies(FontRole::Serif);
    font.setFamilies(families);
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(std::max(FontHeightUnits(printFont), 1));
    // The stored weight runs 0..1000 as on Windows; 700 and above prints bold.
    if (printFont.weight >= 700) font.setBold(true);
    font.setItalic(printFont.italic != 0);
    font.setUnderline(printFont.underline != 0);
    return font;
}

struct CellPainter::Cached {
    Cached(CTAV_AnalyserDoc& doc, const TextMeasure& measure) : model(doc, measure) {}
    std::int32_t item = -1;
    QSize size;
    WaveDisplayModel model;
};

CellPainter::CellPainter(CTAV_AnalyserDoc& doc, const PrintJob& job, const QFont& font)
    : doc_(doc), job_(job), font_(font), measure_(std::make_unique<FontTextMeasure>(font)) {}

CellPainter::~CellPainter() = default;

WaveDisplayModel& CellPainter::ModelFor(std::int32_t item, const QSize& size) {
    for (auto& c : models_)
        if (c->item == item && c->size == size) return c->model;
    // Cells of a job come in a few sizes (the last row and column may differ
    // by a unit or two); keep a handful.
    if (models_.size() >= 16) models_.erase(models_.begin());
    auto cached = std::make_unique<Cached>(doc_, *measure_);
    cached->item = item;
    cached->size = size;
    WaveDisplayModel& m = cached->model;
    if (item == kPrintDisplayArea && job_.display) {
        m.bar = job_.display->bar;
        m.options = job_.display->options;
        const auto& state = job_.display->state;
        // One test point's traces share the one cell; otherwise each trace fills a cell.
        m.options.storedHeight = state.singlePoint ? size.height() / std::max(state.waveformCount, 1) : size.height();
    } else {
        m.options.annotationItems = job_.annotationItems;
        m.options.storedHeight = size.height();
        if (item == kPrintWaveform) {
            m.bar.analysisType = kAnalysisTime;
            m.bar.timeScope = kScopeSingle;
        } else {
            static constexpr std::int32_t kSpectrumOfItem[] = {0, 1, 3, 4};
            m.bar.analysisType = kAnalysisFrequency;
            m.bar.frequencyScope = 0;
            m.bar.spectrumType = kSpectrumOfItem[std::clamp(item - kPrintAmplitude, 0, 3)];
        }
    }
    m.SetClientSize(size.width(), size.height());
    if (item == kPrintDisplayArea) m.Rebuild();
    models_.push_back(std::move(cached));
    return models_.back()->model;
}

void CellPainter::Paint(QPainter& p, const QRect& rect, const PrintCell& cell) {
    p.save();
    p.setClipRect(rect);
    p.fillRect(rect, Qt::white);
    p.setFont(font_);
    p.translate(rect.topLeft());
    WaveDisplayModel& m = ModelFor(cell.item, rect.size());
    const auto paintEntries = [&](std::size_t first, std::size_t last) {
        const auto& entries = m.Entries();
        for (std::size_t k = first; k < last && k < entries.size(); ++k)
            PaintEntry(p, entries[k], false, entries[k].block.spectrumStyle);
    };
    if (cell.item == kPrintDisplayArea) {
        if (job_.display && job_.display->state.singlePoint) {
            m.SetVisibleRows(0, m.PageHeight());
            paintEntries(0, m.Entries().size());
        } else if (cell.index >= 0 && static_cast<std::size_t>(cell.index) < m.Entries().size()) {
            const auto& e = m.Entries()[static_cast<std::size_t>(cell.index)];
            m.SetVisibleRows(e.rect.top, e.rect.bottom);
            p.translate(0, -e.rect.top);
            paintEntries(static_cast<std::size_t>(cell.index), static_cast<std::size_t>(cell.index) + 1);
        }
    } else if (cell.index >= 0 && static_cast<std::size_t>(cell.index) < job_.checked.size()) {
        m.options.onlyPoint = job_.checked[static_cast<std::size_t>(cell.index)];
        m.Rebuild();
        m.SetVisibleRows(0, rect.height());
        paintEntries(0, m.Entries().size());
    }
    p.restore();
}

void PaintPrintPages(QPainter& p, QPagedPaintDevice& device, CTAV_AnalyserDoc& doc, const PrintJob& job,
                     std::int32_t from, std::int32_t to) {
    const QFont font = PrintFontOf(job.settings.font);
    CellPainter cells(doc, job, font);
    from = std::max(from, 1);
    to = std::min(to, job.layout.pages);
    for (std::int32_t page = from; page <= to; ++page) {
        if (page != from) device.newPage();
        p.save();
        p.resetTransform();
        p.scale(device.logicalDpiX() / kUnitsPerInch, device.logicalDpiY() / kUnitsPerInch);
        p.setFont(font);
        const PagePlan plan =
            PlanPage(job.settings, job.layout, job.PaperWidthMm(), job.PaperHeightMm(), job.facts, page);
        for (const auto& cell : plan.cells) cells.Paint(p, ToPainter(cell.rect), cell);
        PaintDecorations(p, plan);
        p.restore();
    }
}

bool WritePrintPdf(const QString& path, CTAV_AnalyserDoc& doc, const PrintJob& job, std::string* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why.toStdString();
        return false;
    };
    if (job.layout.pages <= 0) return fail(QStringLiteral("nothing to print"));
    // Qt writes the pages into the safe save's hidden file, which replaces
    // the target only once the document is complete.
    AtomicFileWriter out(path.toStdString());
    if (!out.Ok()) return fail(QString::fromStdString(out.Error()));
    QFile file(QString::fromStdString(out.HandOverPath()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return fail(file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(static_cast<int>(kUnitsPerInch));
        // A turned sheet is the upright paper in landscape.
        const bool turned = job.paperMm.width() > job.paperMm.height();
        writer.setPageSize(QPageSize(turned ? job.paperMm.transposed() : job.paperMm, QPageSize::Millimeter));
        writer.setPageOrientation(turned ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setCreator(QStringLiteral("TAV Analyser"));
        writer.setTitle(Text(job.settings.HeaderUtf8()));
        QPainter painter;
        if (!painter.begin(&writer)) return fail(QStringLiteral("cannot draw the PDF pages"));
        PaintPrintPages(painter, writer, doc, job, 1, job.layout.pages);
        painter.end();
    }
    // A full disk shows only when the last bytes reach the file.
    if (!file.flush() || file.error() != QFileDevice::NoError) return fail(file.errorString());
    file.close();
    if (!out.Commit()) return fail(QString::fromStdString(out.Error()));
    return true;
}

}  // namespace tav::render
