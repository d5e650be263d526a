// `tavtool mark IN (-o OUT | --in-place) --point K [--recompute 1|2] [--answer no|yes] OP ...`:
// head, toe, defect and mark edits through the same rules as the window's
// commands. The questions get the --answer given; every OP prints "ok",
// "refused: <message>" or "refused". The file is written with whatever succeeded.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/pile_marks.hpp"
#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "base/user_prompts.hpp"
#include "cli/command.hpp"
#include "cli/ordered_options.hpp"
#include "model/document.hpp"

namespace tav::cli {

namespace {

constexpr const char* kUsage =
    "tavtool mark IN (-o OUT | --in-place) --point K [--recompute 1|2] [--answer no|yes] OP ...\n"
    "OPs, run in the order given:\n"
    "  --head IDX                          set the pile head at sample IDX\n"
    "  --toe IDX                           set the pile toe at sample IDX\n"
    "  --defect IDX:TYPE[:NAME[:DESCR]]    add a defect of code TYPE at sample IDX\n"
    "  --delete-defect N                   delete the N-th defect (from 0)\n"
    "  --clear-defects                     delete every defect, without a question\n"
    "  --mark KIND:POS                     add a mark line (correlation|spectrum),\n"
    "  --mark wavelet:LEVEL:POS            or a wavelet mark on sub-signal LEVEL\n"
    "  --delete-mark KIND:N                delete the N-th mark of that kind (from 0)\n";

enum class OpKind { Head, Toe, Defect, DeleteDefect, ClearDefects, Mark, DeleteMark };

struct Op {
    OpKind kind = OpKind::Head;
    std::int32_t a = 0;  // position, index or mark kind
    std::int32_t b = 0;  // type, level or list index
    std::int32_t c = 0;  // mark position
    std::string name;         // code page 936
    std::string description;  // code page 936
};

struct Request {
    EditedProject project;
    std::optional<std::int32_t> point;
    std::int32_t recompute = kRecomputeWaveSpeed;
    bool answer = false;
    std::string magnify = "on";
    std::vector<Op> ops;
};

// Answers with --answer and remembers the last message, for the refusal line.
class AnswerPrompts final : public UserPrompts {
public:
    explicit AnswerPrompts(bool answer) : answer_(answer) {}
    void Message(std::string_view utf8) override { last_ = utf8; }
    bool YesNo(std::string_view) override { return answer_; }
    std::string Take() { return std::exchange(last_, std::string{}); }

private:
    bool answer_;
    std::string last_;
};

bool ParseInt(std::string_view s, std::int32_t& v) {
    const auto* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, v);
    return !s.empty() && r.ec == std::errc{} && r.ptr == end;
}

// The first `count` colon-separated fields; the last one takes the rest.
std::vector<std::string_view> SplitColons(std::string_view s, std::size_t count) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const auto at = s.find(':');
        if (at == std::string_view::npos) break;
        parts.push_back(s.substr(0, at));
        s.remove_prefix(at + 1);
    }
    parts.push_back(s);
    return parts;
}

std::optional<std::int32_t> MarkKind(std::string_view name) {
    if (name == "correlation") return kMarkCorrelation;
    if (name == "spectrum") return kMarkSpectrum;
    if (name == "wavelet") return kMarkWavelet;
    return std::nullopt;
}

bool ParseIndex(std::string_view v, Op& op) {
    return ParseInt(v, op.a);
}

bool ParseDefect(std::string_view v, Op& op) {
    const auto p = SplitColons(v, 4);
    if (p.size() < 2 || !ParseInt(p[0], op.a) || !ParseInt(p[1], op.b)) return false;
    if (p.size() > 2) op.name = Utf8ToCp936(p[2]);
    if (p.size() > 3) op.description = Utf8ToCp936(p[3]);
    return true;
}

bool ParseMark(std::string_view v, Op& op) {
    const auto p = SplitColons(v, 3);
    const auto kind = MarkKind(p[0]);
    if (!kind) return false;
    op.a = *kind;
    if (*kind == kMarkWavelet) return p.size() == 3 && ParseInt(p[1], op.b) && ParseInt(p[2], op.c);
    return p.size() == 2 && ParseInt(p[1], op.c);
}

bool ParseDeleteMark(std::string_view v, Op& op) {
    const auto p = SplitColons(v, 2);
    const auto kind = MarkKind(p[0]);
    if (!kind || p.size() != 2 || !ParseInt(p[1], op.b)) return false;
    op.a = *kind;
    return true;
}

std::optional<Request> ParseArguments(const std::vector<std::string>& args, int& exitCode) {
    Request r;
    OrderedOptions options("mark", kUsage);
    AddEditedProject(options, r.project);
    options.Valued({"--point"}, [&](const std::string&, const std::string& v) {
        std::int32_t k = 0;
        if (!ParseInt(v, k)) return options.Usage("test point '" + v + "' is not an integer");
        r.point = k;
        return true;
    });
    options.Choice("--recompute", {"1", "2"},
                   [&](const std::string& v) { r.recompute = v == "1" ? kRecomputeWaveSpeed : kRecomputePileLength; });
    options.Choice("--answer", {"yes", "no"}, [&](const std::string& v) { r.answer = v == "yes"; });
    options.Choice("--magnify", {"on", "off"}, [&](const std::string& v) { r.magnify = v; });
    // An OP with one value, parsed by parse().
    const auto valued = [&](std::string_view option, OpKind kind, bool (*parse)(std::string_view, Op&)) {
        options.Valued({option}, [&r, &options, kind, parse](const std::string& name, const std::string& v) {
            Op op;
            op.kind = kind;
            if (!parse(v, op)) return options.Usage("value '" + v + "' of " + name + " does not parse");
            r.ops.push_back(std::move(op));
            return true;
        });
    };
    valued("--head", OpKind::Head, ParseIndex);
    valued("--toe", OpKind::Toe, ParseIndex);
    valued("--defect", OpKind::Defect, ParseDefect);
    valued("--delete-defect", OpKind::DeleteDefect, ParseIndex);
    options.Flag({"--clear-defects"}, [&](const std::string&) { r.ops.emplace_back().kind = OpKind::ClearDefects; });
    valued("--mark", OpKind::Mark, ParseMark);
    valued("--delete-mark", OpKind::DeleteMark, ParseDeleteMark);
    if (const auto end = options.Read(args)) {
        exitCode = *end;
        return std::nullopt;
    }
    exitCode = kExitUsage;
    if (!CheckEditedProject(options, r.project)) return std::nullopt;
    if (!r.point) return options.Usage("--point K is required"), std::nullopt;
    return r;
}

// 1 when the OP succeeded.
int RunOp(CTAV_AnalyserDoc& doc, std::int32_t k, std::int32_t mode, const Op& op, UserPrompts& prompts) {
    switch (op.kind) {
        case OpKind::Head: return SetPileHead(doc, k, op.a, mode, prompts);
        case OpKind::Toe: return SetPileToe(doc, k, op.a, mode, prompts);
        case OpKind::Defect: return AddDefect(doc, k, op.a, op.b, op.name, op.description, prompts);
        case OpKind::DeleteDefect: return DeleteDefect(doc, k, op.a);
        case OpKind::ClearDefects: ClearItems(doc, MarkedEntry{k, 0, 0}); return 1;
        case OpKind::Mark: {
            std::vector<std::int32_t> targets{k};
            if (op.a == kMarkWavelet) targets.push_back(op.b);
            return AddAnalysisMark(doc, targets, op.a, op.c) > 0 ? 1 : 0;
        }
        case OpKind::DeleteMark: return DeleteAnalysisMark(doc, k, op.b, op.a);
    }
    return 0;
}

int Mark(const Request& r) {
    FileEditLock lock;
    const std::string& input = r.project.input;
    if (r.project.inPlace)
        if (const int code = LockForInPlaceEdit(lock, input)) return code;
    CTAV_AnalyserDoc doc;
    if (const int code = LoadProjectFor(doc, input, r.magnify == "on", "; nothing written")) return code;
    const std::int32_t k = *r.point;
    if (const int code = CheckPoint(doc, input, k, "; nothing written")) return code;
    AnswerPrompts prompts(r.answer);
    std::size_t refused = 0;
    for (const auto& op : r.ops) {
        if (RunOp(doc, k, r.recompute, op, prompts)) {
            prompts.Take();
            std::cout << "ok\n";
            continue;
        }
        ++refused;
        const std::string message = prompts.Take();
        std::cout << (message.empty() ? std::string("refused") : "refused: " + message) << "\n";
    }
    return SaveEditedProject(doc, input, r.project.Destination(), refused, r.ops.size());
}

}  // namespace

void RegisterMarkCommand(CLI::App& app, Runner& run) {
    RegisterOperationsCommand<Request>(app, run, "mark", "set head, toe, defects and mark lines and save the result",
                                       kUsage, ParseArguments, Mark);
}

}  // namespace tav::cli
