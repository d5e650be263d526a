#include "cli/ordered_options.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tav::cli {
namespace {

// What the handlers saw, in the order they saw it.
struct Seen {
    std::vector<std::string> events;
    std::string err;
    std::string out;
    std::optional<int> end;
};

// A command with a flag, a valued option, a choice, an option of two values
// that checks the first before taking the second, and IN.
Seen ReadWith(const std::vector<std::string>& args, EditedProject* project = nullptr) {
    Seen seen;
    OrderedOptions options("demo", "usage: demo IN OP ...\n");
    EditedProject own;
    AddEditedProject(options, project ? *project : own);
    options.Flag({"--clear", "--undo"}, [&](const std::string& o) { seen.events.push_back(o); });
    options.Valued({"--append"}, [&](const std::string& o, const std::string& v) {
        seen.events.push_back(o + "=" + v);
        return true;
    });
    options.Choice("--mode", {"on", "off", "auto"}, [&](const std::string& v) { seen.events.push_back("mode=" + v); });
    options.Custom({"--replace"}, [&](OrderedOptions::Words& words) {
        const std::string* position = words.Value();
        if (position == nullptr) return false;
        if (*position != "0") return words.Usage("position '" + *position + "' is not 0");
        const std::string* step = words.Value();
        if (step == nullptr) return false;
        seen.events.push_back("--replace " + *position + " " + *step);
        return true;
    });
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    seen.end = options.Read(args);
    seen.err = ::testing::internal::GetCapturedStderr();
    seen.out = ::testing::internal::GetCapturedStdout();
    return seen;
}

using Events = std::vector<std::string>;

TEST(OrderedOptions, HandlersRunInCommandLineOrderWithRepeats) {
    EditedProject project;
    const auto seen = ReadWith({"--append", "dc", "--clear", "in.tav", "--replace", "0", "smooth", "--append", "-3",
                                "--mode", "off", "--clear", "--in-place"},
                               &project);
    EXPECT_FALSE(seen.end.has_value()) << seen.err;
    EXPECT_EQ(seen.events,
              (Events{"--append=dc", "--clear", "--replace 0 smooth", "--append=-3", "mode=off", "--clear"}))
        << "a value that starts with '-' is still the value";
    EXPECT_EQ(project.input, "in.tav");
    EXPECT_TRUE(project.inPlace);
    EXPECT_EQ(project.Destination(), "in.tav");
    EXPECT_TRUE(seen.err.empty());
}

TEST(OrderedOptions, AMissingValueStopsTheReadingAndNamesTheOption) {
    auto seen = ReadWith({"in.tav", "--clear", "--append"});
    EXPECT_EQ(seen.end, kExitUsage);
    EXPECT_EQ(seen.err, "tavtool: demo: --append needs a value\n");
    EXPECT_EQ(seen.events, Events{"--clear"});

    // The second value of two: the first was checked and taken, nothing was done.
    seen = ReadWith({"in.tav", "--replace", "0"});
    EXPECT_EQ(seen.end, kExitUsage);
    EXPECT_EQ(seen.err, "tavtool: demo: --replace needs a value\n");
    EXPECT_TRUE(seen.events.empty());
    // A first value that is wrong is reported before the second is missed.
    seen = ReadWith({"in.tav", "--replace", "7"});
    EXPECT_EQ(seen.err, "tavtool: demo: position '7' is not 0\n");

    seen = ReadWith({"in.tav", "--mode"});
    EXPECT_EQ(seen.err, "tavtool: demo: --mode needs a value\n");
    seen = ReadWith({"in.tav", "-o"});
    EXPECT_EQ(seen.err, "tavtool: demo: -o needs a value\n");
}

TEST(OrderedOptions, UnknownOptionsAndWordsAreUsageErrorsThatStopTheReading) {
    for (const std::string unknown : {"--frobnicate", "-x", "-", "--clear=1"}) {
        const auto seen = ReadWith({"in.tav", unknown, "--clear"});
        EXPECT_EQ(seen.end, kExitUsage) << unknown;
        EXPECT_EQ(seen.err, "tavtool: demo: unknown option '" + unknown + "'\n");
        EXPECT_TRUE(seen.events.empty()) << "nothing after the unknown option is handled";
    }
    auto seen = ReadWith({"in.tav", "other.tav", "--clear"});
    EXPECT_EQ(seen.end, kExitUsage);
    EXPECT_EQ(seen.err, "tavtool: demo: unexpected argument 'other.tav'\n");
    EXPECT_TRUE(seen.events.empty());

    seen = ReadWith({"in.tav", "--mode", "maybe"});
    EXPECT_EQ(seen.end, kExitUsage);
    EXPECT_EQ(seen.err, "tavtool: demo: --mode takes on, off or auto\n");
}

TEST(OrderedOptions, HelpPrintsTheUsageUnlessAnErrorCameFirst) {
    auto seen = ReadWith({"in.tav", "--clear", "-h", "--nonsense"});
    EXPECT_EQ(seen.end, kExitOk);
    EXPECT_EQ(seen.out, "usage: demo IN OP ...\n");
    EXPECT_TRUE(seen.err.empty());

    seen = ReadWith({"--nonsense", "--help"});
    EXPECT_EQ(seen.end, kExitUsage);
    EXPECT_TRUE(seen.out.empty());
}

TEST(OrderedOptions, TheEditedProjectNeedsInAndOneDestination) {
    const auto check = [](const EditedProject& project) {
        OrderedOptions options("demo", "");
        ::testing::internal::CaptureStderr();
        const bool ok = CheckEditedProject(options, project);
        const std::string err = ::testing::internal::GetCapturedStderr();
        return ok ? std::string("ok") : err;
    };
    EXPECT_EQ(check({"", "out.tav", false}), "tavtool: demo: no input file (IN)\n");
    EXPECT_EQ(check({"in.tav", "", false}), "tavtool: demo: give exactly one of -o OUT and --in-place\n");
    EXPECT_EQ(check({"in.tav", "out.tav", true}), "tavtool: demo: give exactly one of -o OUT and --in-place\n");
    EXPECT_EQ(check({"in.tav", "out.tav", false}), "ok");
    EXPECT_EQ(check({"in.tav", "", true}), "ok");
}

}  // namespace
}  // namespace tav::cli
