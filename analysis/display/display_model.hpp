// The waveform display without a screen: which entries the analysis view
// shows, their layout, points, labels, annotation texts and items, the two
// cursors, and every command, mouse and key action that changes them. A
// painter backend draws what this computes; printing and picture export use
// the same entries on another device.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/analysis_bar.hpp"
#include "analysis/analysis_entry.hpp"
#include "analysis/display/display_geometry.hpp"
#include "analysis/pile_marks.hpp"

namespace tav {

class CTAV_AnalyserDoc;
class UserPrompts;

// Text extent on the target device (the model lays texts out with it).
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int Width(std::string_view utf8) const = 0;
    virtual int LineHeight() const = 0;
};

// A fixed-pitch stand-in: one unit per ASCII character, two per wider one.
class FixedTextMeasure : public TextMeasure {
public:
    explicit FixedTextMeasure(int unit = 7, int lineHeight = 14) : unit_(unit), lineHeight_(lineHeight) {}
    int Width(std::string_view utf8) const override;
    int LineHeight() const override { return lineHeight_; }

private:
    int unit_;
    int lineHeight_;
};

// Time analysis scopes.
enum TimeScope : std::int32_t {
    kScopeSingle = 0,       // "单个测点"
    kScopePile = 1,         // "当前桩所有测点"
    kScopePileChecked = 2,  // "当前桩选中测点"
    kScopeAll = 3,          // "所有测点"
    kScopeAllCompact = 4,   // all test points at their own entry height, no fill
    kScopeWaveTrain = 5,    // "波列显示"
};
inline constexpr int kTimeScopeCount = 6;
inline constexpr int kCompactEntryHeight = 100;
inline constexpr int kMaxWaveTrain = 6;

enum class ItemKind : std::int32_t { None, Head, Toe, Defect, Mark };

struct DisplayItem {
    ItemKind kind = ItemKind::None;
    int index = 0;     // defect index, or the n-th mark of the entry
    int position = 0;  // sample (line) index
    int x = 0;
    std::string label;
    std::string note;  // a defect's description
};

struct PlacedText {
    int x = 0;
    int y = 0;  // top of the text line
    std::string text;
};

struct DisplayEntry : AnalysisEntry {
    DisplayRect rect;  // in page coordinates
    DisplayRect plot;
    std::vector<DisplayPoint> points;
    std::vector<int> pointSample;  // sample index of each point
    int zeroY = 0;
    bool fillAllowed = false;
    std::vector<PlacedText> annotation;
    std::vector<PlacedText> vLabels;
    std::vector<PlacedText> hLabels;
    std::string vUnit;
    std::string hUnit;
    std::vector<DisplayItem> items;
    bool pointsReady = false;  // points are computed once the entry comes near the window
    // Caption, annotation, axis labels and items likewise (a page of all test
    // points only formats the texts of the entries it shows).
    bool textsReady = false;

    int Count() const { return shownCount > 0 ? shownCount : copy.sampleCount(); }
    float ValueAt(int sample) const;
};

struct StaticCursor {
    int entry = -1;
    int sample = 0;
    bool valid = false;
};

struct MovingCursor {
    int entry = -1;
    int sample = 0;
    int x = 0;
    int y = 0;
    bool valid = false;
};

struct ItemSelection {
    int entry = -1;
    int item = -1;          // index into the entry's items
    int original = 0;       // position before the edit
    int preview = 0;        // position shown while dragging or stepping
    bool dragging = false;
    bool valid() const { return entry >= 0 && item >= 0; }
};

struct DisplayOptions {
    std::int32_t cursorStyle = 1;  // 1 cross, 2 vertical line
    bool readoutShown = true;
    bool fastSwitch = true;  // double click switches single <-> multi
    bool wheelScale = true;  // wheel zooms in the single test point display
    std::int32_t waveTrainCount = 3;
    std::vector<std::int32_t> annotationItems{31, 32, 36, 35, 3, 30, 33, 34, 13};
    std::int32_t storedHeight = 0;  // WaveDisplay/Height
    bool scopeAll = false;          // operation scope "全部波形"
    std::int32_t recomputeMode = 1;
    // A printed cell or a picture of one test point: the time and frequency
    // analyses show this test point alone, whatever the scope and selection.
    std::int32_t onlyPoint = -1;
};

// The annotation text of one item code for an entry (several lines for the
// chain and list codes; none for codes without text).
std::vector<std::string> AnnotationLines(const CTAV_AnalyserDoc& doc, const AnalysisEntry& entry, std::int32_t code);
// The number of those lines, found without formatting them.
std::size_t AnnotationLineCount(const CTAV_AnalyserDoc& doc, const AnalysisEntry& entry, std::int32_t code);
// Cursor readout texts of sample k on an entry.
std::vector<std::string> ReadoutTexts(const AnalysisEntry& entry, std::int32_t k, std::int32_t spectrumType);
// The defect list line of one defect (" 3.25m:name" below 10 m).
std::string DefectListLine(float depth, std::string_view name);
// The defect command's code for a command id, 0 for other ids.
std::int32_t DefectCodeOfCommand(int id);

class WaveDisplayModel {
public:
    WaveDisplayModel(CTAV_AnalyserDoc& doc, const TextMeasure& measure);

    AnalysisBarSettings bar;  // bar.timeScope runs 0 .. 5 here
    DisplayOptions options;

    void SetClientSize(int width, int height);
    // Pictures and pages lay every entry out at a height of their own instead
    // of the window's rule; 0 or less goes back to the window's rule.
    void SetEntryHeight(int height) { entryHeight_ = std::max(height, 0); }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    void Rebuild();
    // Recomputes points and labels only (after a change of blocks or size).
    void Relayout();
    // The page rows shown in the window: entries near them get their points
    // and texts (a long page computes the others when they are scrolled to;
    // a picture or printed page of the whole list asks for every row).
    void SetVisibleRows(int top, int bottom);

    const std::vector<DisplayEntry>& Entries() const { return entries_; }
    int PageHeight() const { return pageHeight_; }
    int EntryHeight() const { return entryHeight_; }
    int CurrentEntry() const { return current_; }
    void SetCurrentEntry(int entry);

    int EntryAt(int x, int y) const;
    int SampleToPixel(int entry, int sample) const;
    int PixelToSample(int entry, int x) const;
    // The entries' test points (for the chain's target set).
    std::vector<std::int32_t> DisplayedPoints() const;
    std::vector<std::int32_t> Targets() const;

    // Commands of the display, marks and analysis; Run returns whether the
    // project's data changed (display settings blocks count as view state).
    bool Handles(int id) const;
    bool Enabled(int id) const;
    bool Run(int id, UserPrompts& prompts);
    bool Checked(int id) const;
    // The commands that carry a check mark (fill, spectrum style, cursor): Checked answers for them.
    static bool Checkable(int id);

    // Cursors.
    const StaticCursor& Static() const { return static_; }
    const MovingCursor& Moving() const { return moving_; }
    std::optional<int> StaticSample() const;
    void SetStaticCursor(int entry, int sample);
    void ClearStaticCursor();
    void MoveCursorTo(int x, int y);
    void LeaveWindow() { moving_.valid = false; }
    // Readout of the moving cursor (falls back to the static one), with the
    // marker colour of the peak rule.
    std::vector<std::string> MovingReadout() const;
    std::vector<std::string> StaticReadout() const;
    std::uint32_t MarkerColour() const;

    // Mouse. Press returns true when the selection or cursor changed.
    bool Press(int x, int y);
    void Drag(int x, int y);
    bool Release(int x, int y);  // true when the document changed
    bool DoubleClick(int x, int y);
    bool Wheel(int x, int y, bool awayFromUser);
    std::optional<std::pair<int, int>> ItemAt(int x, int y) const;  // entry, item

    // Keys: -1/+1 for left/right; returns true when the document changed.
    bool KeyHorizontal(int step, int* moveMouseBy);
    void KeyVertical(int step);
    bool KeyEnter();
    void KeyEscape();
    bool KeyDelete();

    const ItemSelection& Selection() const { return selection_; }
    const DisplayItem* SelectedItem() const;
    bool SelectedIsCustomDefect() const;
    std::optional<int> SelectedDefect() const;
    void ClearSelection() { selection_ = {}; }

private:
    void BuildEntries();
    std::vector<std::int32_t> TimeScopePoints() const;
    void LayOut();
    int IdentityColumnWidth() const;
    void LayOutEntry(DisplayEntry& e, int top, int height);
    void ComputePoints(DisplayEntry& e);
    void ComputeTexts(DisplayEntry& e);
    bool NearWindow(const DisplayEntry& e) const;
    void InitPending(DisplayEntry& e);
    std::vector<int> CommandBlocks() const;
    void ApplyToBlocks(int id);
    bool CommitSelection();
    int ItemXAt(const DisplayEntry& e, const DisplayItem& item) const;
    bool MarkCommand(int id, UserPrompts& prompts);
    std::vector<MarkedEntry> ClearEntries() const;

    CTAV_AnalyserDoc& doc_;
    const TextMeasure& measure_;
    int clientWidth_ = 800;
    int clientHeight_ = 600;
    int entryHeight_ = 0;
    int pageHeight_ = 0;
    int annotationWidth_ = 0;  // one column of annotation lines
    int lineColumns_ = 1;
    int linesPerColumn_ = 1;
    int current_ = -1;
    int trainSlot_ = 0;
    int visibleTop_ = 0;
    int visibleBottom_ = -1;  // -1: the client height
    std::int32_t rememberedScope_ = kScopePile;
    std::vector<DisplayEntry> entries_;
    StaticCursor static_;
    MovingCursor moving_;
    ItemSelection selection_;
};

}  // namespace tav
