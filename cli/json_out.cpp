#include "cli/json_out.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/text_codec.hpp"

namespace tav::cli {

using nlohmann::json;

namespace {

json NonFinite(double v) {
    if (std::isnan(v)) return "NaN";
    return v > 0 ? "Infinity" : "-Infinity";
}

}  // namespace

json FloatJson(float v) {
    if (!std::isfinite(v)) return NonFinite(v);
    // The double nearest to the float's shortest decimal prints as that decimal.
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    *r.ptr = '\0';
    const double d = std::strtod(buf, nullptr);
    return json(d);
}

json DoubleJson(double v) { return std::isfinite(v) ? json(v) : NonFinite(v); }

namespace {

// The shortest decimal that reads back to v. The library's own formatting is
// not always the shortest (39.560886 came out as 39.560886000000004).
void AppendNumber(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
    out += text;
    // A whole number stays recognisable as a real one.
    if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
}

void AppendJson(std::string& out, const json& j, int indent, int depth) {
    const auto newline = [&](int level) {
        if (indent < 0) return;
        out += '\n';
        out.append(static_cast<std::size_t>(indent * level), ' ');
    };
    switch (j.type()) {
        case json::value_t::object: {
            if (j.empty()) {
                out += "{}";
                return;
            }
            out += '{';
            bool first = true;
            for (const auto& [key, value] : j.items()) {
                if (!first) out += ',';
                first = false;
                newline(depth + 1);
                out += json(key).dump();
                out += indent < 0 ? ":" : ": ";
                AppendJson(out, value, indent, depth + 1);
            }
            newline(depth);
            out += '}';
            return;
        }
        case json::value_t::array: {
            if (j.empty()) {
                out += "[]";
                return;
            }
            out += '[';
            bool first = true;
            for (const auto& value : j) {
                if (!first) out += ',';
                first = false;
                newline(depth + 1);
                AppendJson(out, value, indent, depth + 1);
            }
            newline(depth);
            out += ']';
            return;
        }
        case json::value_t::number_float: AppendNumber(out, j.get<double>()); return;
        default: out += j.dump(); return;
    }
}

}  // namespace

std::string JsonText(const json& j, int indent) {
    std::string out;
    AppendJson(out, j, indent, 0);
    return out;
}

template <std::size_t N>
std::string TextJson(const TextField<N>& field) {
    return Cp936ToUtf8(TextOf(field));
}

json HeaderJson(const ProjectHeader& h) {
    return {{"magic", Cp936ToUtf8(TextOf(h.magic))},
            {"pointCount", h.pointCount},
            {"testUnit", TextJson(h.testUnit)},
            {"projectName", TextJson(h.projectName)}};
}

json StepJson(const ProcessStep& s) {
    json blocks = json::array();
    for (const auto& b : s.displayBlocks)
        blocks.push_back({b.fillMode, b.spectrumStyle, b.unused, b.hPositionMode, b.hOffset, b.hScaleMode,
                          FloatJson(b.hScale), b.vMode, FloatJson(b.vFactor)});
    return {{"opType", s.opType},
            {"filterKind", s.filterKind},
            {"filterUpperHz", FloatJson(s.filterUpperHz)},
            {"filterLowerHz", FloatJson(s.filterLowerHz)},
            {"magnifyMode", s.magnifyMode},
            {"magnifyFactor", FloatJson(s.magnifyFactor)},
            {"magnifyStart", s.magnifyStart},
            {"smoothPoints", s.smoothPoints},
            {"dcMode", s.dcMode},
            {"dcStart", s.dcStart},
            {"rotateMode", s.rotateMode},
            {"rotateStart", s.rotateStart},
            {"rotateAngle", FloatJson(s.rotateAngle)},
            {"rotateScale", FloatJson(s.rotateScale)},
            {"linZeroMode", s.linZeroMode},
            {"linZeroStart", s.linZeroStart},
            {"nonlinZeroMode", s.nonlinZeroMode},
            {"nonlinZeroStart", s.nonlinZeroStart},
            {"frontZeroPos", s.frontZeroPos},
            {"rearZeroPos", s.rearZeroPos},
            {"scaleStart", s.scaleStart},
            {"scaleEnd", s.scaleEnd},
            {"scaleFactor", FloatJson(s.scaleFactor)},
            {"shiftX", s.shiftX},
            {"shiftY", FloatJson(s.shiftY)},
            {"shiftMode", s.shiftMode},
            {"shiftStart", s.shiftStart},
            {"shiftEnd", s.shiftEnd},
            {"viewMax", FloatJson(s.viewMax)},
            {"viewMin", FloatJson(s.viewMin)},
            {"displayBlocks", std::move(blocks)}};
}

json FloatsJson(const std::vector<float>& values) {
    json out = json::array();
    for (float v : values) out.push_back(FloatJson(v));
    return out;
}

json PointJson(const TestPoint& tp, bool withSamples) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", tp.instrumentValue[0], tp.instrumentValue[1],
                  tp.instrumentValue[2], tp.instrumentValue[3]);
    json steps = json::array();
    for (const auto& s : tp.steps) steps.push_back(StepJson(s));
    json defects = json::array();
    for (const auto& d : tp.defects)
        defects.push_back({{"position", d.position},
                           {"type", d.type},
                           {"name", TextJson(d.name)},
                           {"description", TextJson(d.description)},
                           {"depth", FloatJson(d.depth)}});
    json wavelet = json::array();
    for (std::size_t i = 0; i < tp.waveletMarkPositions.size(); ++i)
        wavelet.push_back({{"level", i < tp.waveletMarkLevels.size() ? tp.waveletMarkLevels[i] : 0},
                           {"position", tp.waveletMarkPositions[i]}});
    json p = {{"recordNo", tp.recordNo},
              {"pileNo", TextJson(tp.pileNo)},
              {"pileTypeIndex", tp.pileTypeIndex},
              {"pileTypeName", TextJson(tp.pileTypeName)},
              {"diameter", tp.diameter},
              {"testDate", TextJson(tp.testDate)},
              {"sensorType", tp.sensorType},
              {"gain", tp.gain},
              {"triggerLevel", tp.triggerLevel},
              {"instrumentValue", hex},
              {"pileLength", FloatJson(tp.pileLength)},
              {"waveSpeed", tp.waveSpeed},
              {"sampleInterval", FloatJson(tp.sampleInterval)},
              {"headSampleCount", tp.headSampleCount},
              {"headIndex", tp.headIndex},
              {"toeIndex", tp.toeIndex}};
    if (withSamples) {
        p["rawSamples"] = FloatsJson(tp.rawSamples);
        p["samples"] = FloatsJson(tp.samples);
    }
    p["steps"] = std::move(steps);
    p["lastParams"] = StepJson(tp.lastParams);
    p["defects"] = std::move(defects);
    p["spectrumMarks"] = tp.spectrumMarks;
    p["correlationMarks"] = tp.correlationMarks;
    p["waveletMarks"] = std::move(wavelet);
    p["checked"] = tp.checked;
    p["headValid"] = tp.headValid;
    p["toeValid"] = tp.toeValid;
    p["note"] = TextJson(tp.note);
    return p;
}

template std::string TextJson(const TextField<50>&);

}  // namespace tav::cli
