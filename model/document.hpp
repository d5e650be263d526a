// The project document: header, working and backup sets of test points, the
// selection, the checked list and the primitive operations on the list.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/document_events.hpp"
#include "model/project_header.hpp"
#include "model/snapshot.hpp"
#include "model/test_point.hpp"

namespace tav {

class AtomicFileWriter;
class OldRecordChain;

// FaultyBackupPoint: the working set loaded whole, but the backup set behind
// it stops at a record that cannot be read (its place and those after it stay
// in their constructed state). Saving such a document over its source would
// replace the unreadable tail by empty records, so callers must ask first.
enum class LoadStatus { Ok, UnknownVersion, InvalidCount, FaultyPoint, IoError, FaultyBackupPoint };

// The stable name of a status ("ok", "unknown-version", ...).
std::string_view LoadStatusName(LoadStatus status);

struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    int version = 0;
    std::int32_t faultyPoint = -1;        // index in the working set with FaultyPoint
    std::string message;                  // why, in Chinese, for the status bar and messages (UTF-8)
    std::int32_t faultyBackupPoint = -1;  // index in the backup set with FaultyBackupPoint

    // The file is in the document as it is on disk: saving over it loses nothing.
    bool Whole() const { return status == LoadStatus::Ok; }
};

// One Chinese line naming the file and what is wrong with it, test points
// counted from 1 as the list shows them; empty for a whole load.
std::string LoadProblemText(const LoadResult& result, std::string_view fileName);

class CTAV_AnalyserDoc {
public:
    ProjectHeader header;
    std::vector<TestPoint> points;
    ProjectHeader backupHeader;
    std::vector<TestPoint> backupPoints;
    std::int32_t hasPoints = 0;
    std::int32_t selectionMode = 0;  // 0 none, 1 by test point, 2 by pile
    std::int32_t currentIndex = -1;
    std::int32_t currentPile = -1;
    std::vector<std::int32_t> checkedIndices;
    std::vector<std::int32_t> pileMembers;
    std::vector<Snapshot> undoList;
    std::vector<Snapshot> redoList;
    std::int32_t stepInsertMode = 0;  // 0 append, 1 replace, 2 insert before
    std::int32_t stepInsertPos = -1;

    std::vector<std::string> projectFiles;  // the files that make up the project
    // The raw-data preprocessing flag "波形放大" consulted when version 5 files load.
    bool magnifyOldRecords = true;

    CTAV_AnalyserDoc() = default;
    CTAV_AnalyserDoc(const CTAV_AnalyserDoc&) = delete;
    CTAV_AnalyserDoc& operator=(const CTAV_AnalyserDoc&) = delete;

    void SetEvents(DocumentEvents* events) { events_ = events ? events : &SilentEvents(); }
    DocumentEvents& Events() { return *events_; }

    // The project has changes not saved yet. Opening and saving clear it; a
    // change made outside the document is made known through one of these.
    bool Modified() const { return modified_; }
    // A change whose caller redraws what it touched itself.
    void MarkModified() { modified_ = true; }
    // A change the list shows (test points, their numbers, texts, ticks or
    // order): the list and the views redraw.
    void MarkListChanged();

    std::int32_t PointCount() const { return static_cast<std::int32_t>(points.size()); }
    bool ValidIndex(std::int32_t i) const { return i >= 0 && i < PointCount(); }

    // List primitives (working set only); an index out of range does nothing.
    void InsertPoint(std::int32_t position, const TestPoint& record);
    void DeletePoint(std::int32_t index);
    void MovePoint(std::int32_t from, std::int32_t to);
    // The same for runs: records go in at position (0 … count) in their order;
    // TakePoints removes count records from first and hands them back.
    void InsertPoints(std::int32_t position, std::vector<TestPoint> records);
    std::vector<TestPoint> TakePoints(std::int32_t first, std::int32_t count);
    void ClearDocument();
    // 0 when one of the first count test points has exactly this pile number, else 1.
    int PileNumberExists(std::int32_t count, std::string_view pileNo) const;

    // Piles: maximal runs of neighbours with the same pile number.
    std::int32_t PileOrdinal(std::int32_t index) const;
    std::int32_t FirstPointOfPile(std::int32_t ordinal) const;
    std::vector<std::int32_t> PileGroup(std::int32_t index) const;
    std::int32_t PileCount() const;
    void SelectPoint(std::int32_t index);
    void SelectPile(std::int32_t ordinal);
    void RebuildCheckedList();

    // UTF-8 texts for display.
    std::string PileTypeText(std::int32_t index) const;
    std::string SensorTypeText(std::int32_t index) const;

    void RefreshDisplayRanges();
    void ResetDisplayRange(std::span<const std::int32_t> indices);

    // Reading: a whole file image; the carried-over sets of an append-open go
    // first. The old layouts' records are finished by oldChain (the
    // processing layer's; callers use processing/project_loading.hpp).
    LoadResult LoadProject(std::span<const std::uint8_t> bytes, const OldRecordChain& oldChain,
                           bool lastOfBatch = true);
    // The open path: replaces the document with the file (nothing changes when
    // the file cannot be read).
    LoadResult OpenFile(const std::string& path, const OldRecordChain& oldChain);
    // Append-open: each file not yet part of the project is loaded behind the
    // current test points. Returns one result per file loaded. A file with an
    // unknown tag or an invalid count leaves the project as it was and does not
    // join its files; one that stops at a faulty test point keeps the test
    // points read before it, as a plain open does.
    std::vector<LoadResult> AppendOpen(std::span<const std::string> paths, const OldRecordChain& oldChain);
    // Exchanges the projects of two documents (sets, selection, lists, files,
    // modified flag); settings and events stay. The window loads a file into
    // a scratch document first and takes it only when the user agrees.
    void SwapProject(CTAV_AnalyserDoc& other) noexcept;

    // Writing: sets both tags to "TAV15" and returns the file image.
    std::vector<std::uint8_t> SaveProject();
    bool SaveToFile(const std::string& path, std::string* error = nullptr);
    // The same image into a writer the caller commits (for files saved together).
    bool WriteProject(AtomicFileWriter& out);
    // A "TAV15" file of the listed test points (and their backup partners).
    int SaveSubset(const std::string& path, std::span<const std::int32_t> indices) const;

private:
    LoadResult LoadStopped(LoadResult result);

    static DocumentEvents& SilentEvents();

    DocumentEvents* events_ = &SilentEvents();
    bool modified_ = false;
    bool appending_ = false;
    std::vector<TestPoint> carried_;
    std::vector<TestPoint> carriedBackup_;
};

// Looks the trimmed name (code page 936, cut to 49 bytes) up in the pile type table.
void SetPileTypeByName(TestPoint& record, std::string_view cp936Name);

}  // namespace tav
