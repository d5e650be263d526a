#include "tests/support/old_layout_writer.hpp"

#include <algorithm>

#include "base/byte_io.hpp"
#include "base/text_codec.hpp"

namespace tav::testing {

namespace {

// UTF-8 (Basic Multilingual Plane only) to UTF-16LE, zero-padded or cut to `bytes`.
std::string Utf16Field(std::string_view utf8, std::size_t bytes) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        unsigned cp = c;
        std::size_t len = 1;
        if (c >= 0xE0) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            len = 2;
        }
        out += static_cast<char>(cp & 0xFF);
        out += static_cast<char>(cp >> 8);
        i += len;
    }
    out.resize(bytes, '\0');
    return out;
}

std::string Cp936Field(std::string_view utf8, std::size_t bytes) {
    std::string out = Utf8ToCp936(utf8);
    out.resize(bytes, '\0');
    return out;
}

void Text(ByteWriter& out, const std::string& field) { out.Bytes(field.data(), field.size()); }

}  // namespace

std::vector<float> PulseSamples(int count, int head, float peak, int toe, float echo) {
    std::vector<float> x(static_cast<std::size_t>(count), 0.0f);
    auto put = [&](int i, float v) {
        if (i >= 0 && i < count) x[static_cast<std::size_t>(i)] = v;
    };
    put(head - 2, peak * 0.3f);
    put(head - 1, peak * 0.7f);
    put(head, peak);
    put(head + 1, peak * 0.7f);
    put(head + 2, peak * 0.3f);
    put(toe - 1, echo * 0.6f);
    put(toe, echo);
    put(toe + 1, echo * 0.6f);
    return x;
}

std::vector<std::uint8_t> OldPointBytes(const OldPoint& p, int version) {
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    out.I16(p.recordNo);
    Text(out, version == 5 ? Utf16Field(p.pileNo, 20) : Cp936Field(p.pileNo, 10));
    out.I16(p.pileType);
    out.I16(p.diameter);
    Text(out, Cp936Field(p.testDate, 20));
    out.I16(p.sensor);
    out.I16(p.gain);
    out.I16(p.trigger);
    out.Bytes(p.instrumentValue);
    if (version == 1) {
        out.Zeros(50);
    } else {
        out.I16(p.integrate);
        out.I16(p.lowPassPasses);
        out.I16(p.frontZero);
        out.I16(p.rearZero);
        out.I16(p.shift);
        if (version == 3) {
            out.I32(p.checked);
            out.I16(0);
            out.I16(p.displayCode);
            out.I32(p.localScaleCount.value_or(static_cast<std::int32_t>(p.localScales.size())));
            for (const auto& s : p.localScales) {
                out.F32(s.factor);
                out.I16(s.start);
                out.I16(s.end);
            }
        }
        out.Zeros(40);
    }
    out.F32(p.pileLength);
    out.I16(p.waveSpeed);
    out.F32(p.sampleInterval);
    out.I16(p.sampleCount.value_or(static_cast<std::int16_t>(p.samples.size())));
    out.I16(p.magnifyMode);
    out.F32(p.magnifyFactor);
    out.F32(p.magnifyStart);
    out.F32(p.lowPassKHz);
    out.F32(p.highPassKHz);
    out.I16(p.rotation);
    out.I16(p.headIndex);
    out.I16(0);
    for (std::size_t k = 0; k < 10; ++k) {
        out.I16(p.defectTypes[k]);
        out.F32(p.defectDepths[k]);
    }
    out.Zeros(12);
    out.I16(p.smoothPoints);
    out.Zeros(36);
    for (float v : p.samples) out.F32(v);
    out.I16(p.spectrumMarkCount.value_or(static_cast<std::int16_t>(p.spectrumMarks.size())));
    for (auto m : p.spectrumMarks) out.I16(m);
    return bytes;
}

std::vector<std::uint8_t> OldProjectImage(int version, std::string_view testUnit, std::string_view projectName,
                                          const std::vector<OldPoint>& points) {
    static const char* kTags[] = {"", "CWH01", "TAV02", "TAV03", "", "TAV05"};
    std::vector<std::uint8_t> bytes;
    ByteWriter out(bytes);
    out.Bytes(kTags[version], 5);
    out.I16(static_cast<std::int16_t>(points.size()));
    if (version == 5) {
        Text(out, Utf16Field(testUnit, 50));
        Text(out, Utf16Field(projectName, 50));
    } else {
        Text(out, Cp936Field(testUnit, 50));
        Text(out, Cp936Field(projectName, 20));
    }
    for (const auto& p : points) {
        const auto record = OldPointBytes(p, version);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

std::vector<std::uint8_t> InstrumentFileBytes(const OldPoint& p) {
    OldPoint bare = p;
    bare.spectrumMarks.clear();
    bare.spectrumMarkCount.reset();
    const auto record = OldPointBytes(bare, 2);
    std::vector<std::uint8_t> bytes{'Q', '-', 'T', 'A', 'V', '2', '0', '1', '5'};
    bytes.insert(bytes.end(), record.begin() + 12, record.end() - 2);
    return bytes;
}

}  // namespace tav::testing
