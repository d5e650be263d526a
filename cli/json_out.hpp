// The JSON forms of records that tavtool prints (see the command-line contract):
// 32-bit floats in their shortest round-trip decimal, non-finite ones as strings,
// texts decoded from code page 936.
#pragma once

#include <nlohmann/json.hpp>

#include "model/document.hpp"
#include "model/process_step.hpp"
#include "model/project_header.hpp"
#include "model/test_point.hpp"

namespace tav::cli {

nlohmann::json FloatJson(float v);
nlohmann::json DoubleJson(double v);
nlohmann::json HeaderJson(const ProjectHeader& h);
nlohmann::json StepJson(const ProcessStep& s);
nlohmann::json PointJson(const TestPoint& tp, bool withSamples);
nlohmann::json FloatsJson(const std::vector<float>& values);

// The text of j as json::dump(indent) lays it out, but every real number in
// its shortest round-trip form (a float stored by FloatJson prints as the
// float's own shortest text).
std::string JsonText(const nlohmann::json& j, int indent = -1);

template <std::size_t N>
std::string TextJson(const TextField<N>& field);

}  // namespace tav::cli
