// A project file of synthetic piles for the tests of the signal matching
// pictures: piles P1, P2, ... with two test points each, every test point
// ticked, and the pile length of the test points listed in `unfittable` set
// to 0, so that those cannot be fitted. Header only: the synthetic site builder is
// linked by the test programs that use it, not by the support library.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/document.hpp"
#include "synth/site_builder.hpp"

namespace tav::testing {

inline void WriteSynthProject(const std::string& path, int piles, const std::vector<int>& unfittable = {}) {
    synth::SiteOptions o;
    o.piles = piles;
    o.pointsPerPile = 2;
    o.seed = 5;
    CTAV_AnalyserDoc doc;
    std::vector<synth::TruthPoint> truth;
    ASSERT_EQ(synth::BuildSite(o, doc, truth), "");
    for (auto& tp : doc.points) tp.checked = 1;
    for (const int k : unfittable) doc.points.at(static_cast<std::size_t>(k)).pileLength = 0.0f;
    doc.RebuildCheckedList();
    std::string error;
    ASSERT_TRUE(doc.SaveToFile(path, &error)) << error;
}

}  // namespace tav::testing
