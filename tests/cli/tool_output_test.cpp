#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "base/atomic_file.hpp"
#include "tests/support/project_builder.hpp"
#include "tests/support/tool_runner.hpp"

namespace tav {
namespace {

using testing::RunTavtool;
using testing::TempDir;

TEST(TavtoolHelp, ListsEveryCommandOnALineOfItsOwn) {
    const auto r = RunTavtool({"help"});
    ASSERT_EQ(r.exitCode, 0);
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> listed;
    while (std::getline(lines, line))
        if (line.starts_with("  ")) listed.push_back(line.substr(2, line.find(' ', 2) - 2));
    for (const char* command : {"help", "dump", "info", "convert", "process", "mark", "analyze", "merge", "synth"})
        EXPECT_NE(std::find(listed.begin(), listed.end(), command), listed.end()) << command << " missing in\n" << r.out;
    // Every line names a command that answers to --help.
    for (const auto& name : listed) {
        if (name == "help") continue;
        EXPECT_EQ(RunTavtool({name, "--help"}).exitCode, 0) << name;
    }
}

// The text of the array that follows `"key":` in a dump, split at the commas.
std::vector<std::string> ArrayTokens(const std::string& text, const std::string& key) {
    const auto at = text.find("\"" + key + "\"");
    const auto open = text.find('[', at);
    const auto close = text.find(']', open);
    std::vector<std::string> tokens;
    std::string token;
    for (char c : text.substr(open + 1, close - open - 1)) {
        if (c == ',') {
            tokens.push_back(token);
            token.clear();
        } else if (c != ' ' && c != '\n') {
            token += c;
        }
    }
    tokens.push_back(token);
    return tokens;
}

TEST(TavtoolDump, FloatsAreWrittenAsTheirShortestText) {
    TempDir dir;
    TestPoint tp = testing::WaveformPoint("P1", 64);
    tp.pileLength = 39.560886f;
    std::mt19937 rng(20);
    for (auto& v : tp.rawSamples) {
        do v = std::bit_cast<float>(static_cast<std::uint32_t>(rng())); while (!std::isfinite(v));
    }
    tp.rawSamples[0] = 2.0f;
    const auto path = dir.File("p.tav");
    ASSERT_TRUE(WriteFileAtomically(path, testing::ProjectImage(testing::MakeHeader("u", "p"), {tp}, {})));
    const auto r = RunTavtool({"dump", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"pileLength\": 39.560886,"), std::string::npos);

    const auto tokens = ArrayTokens(r.out, "rawSamples");
    ASSERT_EQ(tokens.size(), tp.rawSamples.size());
    EXPECT_EQ(tokens[0], "2.0") << "a whole number stays a real one";
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        char buf[32];
        const auto end = std::to_chars(buf, buf + sizeof buf, tp.rawSamples[i]).ptr;
        std::string shortest(buf, end);
        if (shortest.find_first_of(".e") == std::string::npos) shortest += ".0";
        EXPECT_EQ(tokens[i], shortest) << i;
    }
    // And the whole still reads as JSON with the same values.
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["points"][0]["rawSamples"][5].get<float>(), tp.rawSamples[5]);
}

}  // namespace
}  // namespace tav
