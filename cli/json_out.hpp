// The JSON forms of records that tavtool prints (see the command-line contract):
// 32-bit floats in their shortest round-trip decimal, non-finite ones as strings,
// texts decoded from code page 936.
#pragma once

#include <nlohmann/json.hpp>

#include "model/document.hpp"
#include "model/project_header.hpp"
#include "model/test_point.hpp"
#include "processing/process_step.hpp"

namespace tav::cli {

nlohmann::json FloatJson(float v);
nlohmann::json DoubleJson(double v);
nlohmann::json HeaderJson(const ProjectHeader& h);
nlohmann::json StepJson(const ProcessStep& s);
nlohmann::json PointJson(const TestPoint& tp, bool withSamples);
nlohmann::json FloatsJson(const std::vector<float>& values);

template <std::size_t N>
std::string TextJson(const TextField<N>& field);

}  // namespace tav::cli
