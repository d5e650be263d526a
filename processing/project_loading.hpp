// Loading project files into a document. The document reads the records
// (model/); the old layouts keep a waveform's processing as a few fields that
// become chain entries, and only this layer runs a chain, so every load goes
// through these calls, which hand the document the old records' chain.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/document.hpp"
#include "model/old_layout.hpp"

namespace tav {

// Turns the entries collected from the old fields into tp's chain, in the
// order the old program applied its fields, with the two baseline shifts and
// the rescaled data shifts, and runs it. Nothing happens for 10 or fewer
// processed samples.
void BuildChainFromOldFields(TestPoint& tp, std::span<const ProcessStep> collected);

// The automatic magnification of version 5 records: a pile toe echo much
// weaker than the head pulse gets an exponential magnification from halfway
// between head and toe. Uses tp.headIndex as the head. Expects tp's samples to
// be its chain's result, as the loader leaves them: only the new entry runs.
void AutoMagnifyOldRecord(TestPoint& tp);

// The two above, for the document's loader.
const OldRecordChain& OldRecordChainRunner();

// CTAV_AnalyserDoc::LoadProject, OpenFile and AppendOpen with the old
// records' chain (see model/document.hpp for what each does).
LoadResult LoadProject(CTAV_AnalyserDoc& doc, std::span<const std::uint8_t> bytes, bool lastOfBatch = true);
LoadResult OpenFile(CTAV_AnalyserDoc& doc, const std::string& path);
std::vector<LoadResult> AppendOpen(CTAV_AnalyserDoc& doc, std::span<const std::string> paths);

}  // namespace tav
