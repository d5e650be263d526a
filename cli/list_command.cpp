// `tavtool list IN (-o OUT | --in-place) OP ...`: the test point list's
// operations as the window runs them, with live undo and redo lists for the
// length of the command. Every OP prints "ok", "unchanged" or
// "refused: <message>"; the file is written with whatever succeeded.
#include <charconv>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.hpp"
#include "base/text_codec.hpp"
#include "cli/command.hpp"
#include "cli/ordered_options.hpp"
#include "model/clipboard_block.hpp"
#include "model/document.hpp"
#include "model/list_commands.hpp"

namespace tav::cli {

namespace {

constexpr const char* kUsage =
    "tavtool list IN (-o OUT | --in-place) [--scope 0|1] OP ...\n"
    "OPs, run in the order given; each prints ok, unchanged or refused: <message>:\n"
    "  --select point:K | pile:K     select a test point, or the K-th pile (from 0)\n"
    "  --copy FILE, --cut FILE        write the clipboard block of the selection to FILE\n"
    "  --paste FILE, --insert FILE, --append FILE\n"
    "                                 use the clipboard block in FILE\n"
    "  --delete, --up, --down, --sort asc|desc\n"
    "  --tick-all, --untick-all, --invert-ticks, --tick K, --untick K\n"
    "  --undo, --redo\n"
    "  --delete-ticked, --save-ticked FILE\n"
    "  --pile-info key=value,...      keys no, type, length, diameter, date (YYYY-MM-DD),\n"
    "                                 apply=type+length+diameter+date\n"
    "  --edit-header testUnit=TEXT | projectName=TEXT\n"
    "  --edit-point FIELD=TEXT        FIELD pileNo, diameter, testDate or pileType;\n"
    "                                 --scope 1 edits every listed test point\n";

struct Op {
    std::string name;   // the option, e.g. "--paste"
    std::string value;  // its value, when it takes one
};

struct Request {
    EditedProject project;
    std::int32_t scope = 0;
    std::vector<Op> ops;
};

bool ParseInt(std::string_view s, std::int32_t& v) {
    const auto* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, v);
    return !s.empty() && r.ec == std::errc{} && r.ptr == end;
}

std::optional<Request> ParseArguments(const std::vector<std::string>& args, int& exitCode) {
    Request r;
    OrderedOptions options("list", kUsage);
    AddEditedProject(options, r.project);
    options.Choice("--scope", {"0", "1"}, [&r](const std::string& v) { r.scope = v == "1" ? 1 : 0; });
    options.Valued({"--select", "--copy", "--cut", "--paste", "--insert", "--append", "--sort", "--tick", "--untick",
                    "--save-ticked", "--pile-info", "--edit-header", "--edit-point"},
                   [&r](const std::string& option, const std::string& v) {
                       r.ops.push_back({option, v});
                       return true;
                   });
    options.Flag({"--delete", "--up", "--down", "--tick-all", "--untick-all", "--invert-ticks", "--undo", "--redo",
                  "--delete-ticked"},
                 [&r](const std::string& option) {
                     r.ops.push_back({option, {}});
                 });
    if (const auto end = options.Read(args)) {
        exitCode = *end;
        return std::nullopt;
    }
    exitCode = kExitUsage;
    if (!CheckEditedProject(options, r.project)) return std::nullopt;
    return r;
}

// What one OP did.
struct Outcome {
    enum Kind { Ok, Unchanged, Refused } kind = Unchanged;
    std::string message;
};

Outcome Done(int changed) { return {changed ? Outcome::Ok : Outcome::Unchanged, {}}; }
Outcome Refused(std::string message) { return {Outcome::Refused, std::move(message)}; }

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

Outcome Select(CTAV_AnalyserDoc& doc, std::string_view what) {
    const auto colon = what.find(':');
    std::int32_t k = 0;
    if (colon == std::string_view::npos || !ParseInt(what.substr(colon + 1), k)) return Refused("--select takes point:K or pile:K");
    const std::string_view kind = what.substr(0, colon);
    if (kind == "point") {
        if (!doc.ValidIndex(k)) return Refused("no test point " + std::to_string(k));
        doc.SelectPoint(k);
    } else if (kind == "pile") {
        if (doc.FirstPointOfPile(k) < 0) return Refused("no pile " + std::to_string(k));
        doc.SelectPile(k);
    } else {
        return Refused("--select takes point:K or pile:K");
    }
    return Done(1);
}

Outcome Copy(CTAV_AnalyserDoc& doc, const std::string& file, bool cut) {
    const auto copied = CopySelection(doc);
    if (!copied) return Done(0);
    if (!WriteFileAtomically(file, WriteClipboardBlock(*copied))) return Refused("cannot write " + file);
    if (cut) DeleteCommand(doc);
    return Done(1);
}

Outcome Paste(CTAV_AnalyserDoc& doc, const std::string& file, std::int32_t kind) {
    const auto bytes = ReadWholeFile(file);
    if (!bytes) return Refused("cannot read " + file);
    auto block = ReadClipboardBlock(*bytes);
    // A block that does not add up counts as an empty clipboard.
    if (!block) return Done(0);
    return Done(PasteCommand(doc, std::move(*block), kind));
}

Outcome SaveTicked(const CTAV_AnalyserDoc& doc, const std::string& file) {
    switch (SaveTickedPoints(doc, file)) {
        case SaveTickedResult::EmptyProject: return Done(0);
        case SaveTickedResult::NoneTicked: return Refused(std::string(kNoneTickedToSave));
        case SaveTickedResult::Saved: return Done(1);
        case SaveTickedResult::Failed: return Refused(std::string(kSaveFailed));
    }
    return Done(0);
}

// key=value pairs separated by commas.
std::vector<std::pair<std::string, std::string>> KeyValues(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const auto eq = item.find('=');
        pairs.emplace_back(std::string(item.substr(0, eq)),
                           eq == std::string_view::npos ? std::string() : std::string(item.substr(eq + 1)));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return pairs;
}

// The pile of the selection: the selected pile, or the current test point's.
std::int32_t SelectedPile(const CTAV_AnalyserDoc& doc) {
    return doc.ValidIndex(doc.currentIndex) ? doc.PileOrdinal(doc.currentIndex) : -1;
}

Outcome PileInfo(CTAV_AnalyserDoc& doc, std::string_view request) {
    const std::int32_t pile = SelectedPile(doc);
    if (pile < 0) return Done(0);
    PileInfoFields f = PileInfoDefaults(doc, pile);
    for (const auto& [key, value] : KeyValues(request)) {
        if (key == "no") {
            f.pileNo = Utf8ToCp936(value);
        } else if (key == "type") {
            if (!ParseInt(value, f.pileTypeIndex) || f.pileTypeIndex < -1 || f.pileTypeIndex > 9)
                return Refused("type takes a pile type index 0..9 or -1");
        } else if (key == "length") {
            f.lengthText = value;
        } else if (key == "diameter") {
            f.diameterText = value;
        } else if (key == "date") {
            const auto date = ParseTestDate(value);
            if (!date) return Refused("date takes YYYY-MM-DD");
            f.date = *date;
        } else if (key == "apply") {
            std::string_view fields = value;
            while (!fields.empty()) {
                const auto plus = fields.find('+');
                const std::string_view name = fields.substr(0, plus);
                if (name == "type") f.applyType = true;
                else if (name == "length") f.applyLength = true;
                else if (name == "diameter") f.applyDiameter = true;
                else if (name == "date") f.applyDate = true;
                else return Refused("apply takes type, length, diameter and date joined by +");
                if (plus == std::string_view::npos) break;
                fields.remove_prefix(plus + 1);
            }
            f.applyToTicked = f.applyType || f.applyLength || f.applyDiameter || f.applyDate;
        } else {
            return Refused("unknown pile information key '" + key + "'");
        }
    }
    const PileInfoOutcome outcome = ApplyPileInfo(doc, pile, f);
    return outcome.ok ? Done(1) : Refused(outcome.message);
}

Outcome EditHeader(CTAV_AnalyserDoc& doc, std::string_view request) {
    const auto eq = request.find('=');
    const std::string_view field = request.substr(0, eq);
    if (eq == std::string_view::npos || (field != "testUnit" && field != "projectName"))
        return Refused("--edit-header takes testUnit=TEXT or projectName=TEXT");
    return Done(EditHeaderText(doc, field == "projectName", Utf8ToCp936(request.substr(eq + 1))).changed);
}

Outcome EditPoint(CTAV_AnalyserDoc& doc, std::string_view request, std::int32_t scope) {
    const auto eq = request.find('=');
    const std::string_view name = request.substr(0, eq);
    std::optional<PointField> field;
    if (name == "pileNo") field = PointField::PileNo;
    if (name == "diameter") field = PointField::Diameter;
    if (name == "testDate") field = PointField::TestDate;
    if (name == "pileType") field = PointField::PileType;
    if (eq == std::string_view::npos || !field)
        return Refused("--edit-point takes pileNo, diameter, testDate or pileType =TEXT");
    if (!doc.ValidIndex(doc.currentIndex)) return Done(0);
    const EditOutcome outcome = EditPointField(doc, doc.currentIndex, scope, *field, Utf8ToCp936(request.substr(eq + 1)));
    return outcome.refusal.empty() ? Done(outcome.changed) : Refused(outcome.refusal);
}

Outcome RunOp(CTAV_AnalyserDoc& doc, const Op& op, std::int32_t scope) {
    const std::string& n = op.name;
    const std::string& v = op.value;
    std::int32_t k = 0;
    if (n == "--select") return Select(doc, v);
    if (n == "--copy" || n == "--cut") return Copy(doc, v, n == "--cut");
    if (n == "--paste") return Paste(doc, v, kSnapPaste);
    if (n == "--insert") return Paste(doc, v, kSnapInsert);
    if (n == "--append") return Paste(doc, v, kSnapAppend);
    if (n == "--delete") return Done(DeleteCommand(doc));
    if (n == "--up" || n == "--down") return Done(MoveCommand(doc, n == "--up"));
    if (n == "--sort") {
        if (v != "asc" && v != "desc") return Refused("--sort takes asc or desc");
        return Done(SortCommand(doc, v == "asc"));
    }
    if (n == "--tick-all") return Done(TicksCommand(doc, kSnapTickAll));
    if (n == "--untick-all") return Done(TicksCommand(doc, kSnapUntickAll));
    if (n == "--invert-ticks") return Done(TicksCommand(doc, kSnapInvertTicks));
    if (n == "--tick" || n == "--untick") {
        if (!ParseInt(v, k)) return Refused(n + " takes a test point index");
        return Done(TickCommand(doc, k, n == "--tick"));
    }
    if (n == "--undo") return Done(Undo(doc));
    if (n == "--redo") return Done(Redo(doc));
    if (n == "--delete-ticked") return Done(DeleteTickedPoints(doc) > 0);
    if (n == "--save-ticked") return SaveTicked(doc, v);
    if (n == "--pile-info") return PileInfo(doc, v);
    if (n == "--edit-header") return EditHeader(doc, v);
    if (n == "--edit-point") return EditPoint(doc, v, scope);
    return Refused("unknown operation " + n);
}

int List(const Request& r) {
    FileEditLock lock;
    const std::string& input = r.project.input;
    if (r.project.inPlace)
        if (const int code = LockForInPlaceEdit(lock, input)) return code;
    CTAV_AnalyserDoc doc;
    if (const int code = LoadProjectFor(doc, input, true, "; nothing written")) return code;
    std::size_t refused = 0;
    for (const auto& op : r.ops) {
        const Outcome outcome = RunOp(doc, op, r.scope);
        switch (outcome.kind) {
            case Outcome::Ok: std::cout << "ok\n"; break;
            case Outcome::Unchanged: std::cout << "unchanged\n"; break;
            case Outcome::Refused:
                ++refused;
                std::cout << "refused: " << outcome.message << "\n";
                break;
        }
    }
    return SaveEditedProject(doc, input, r.project.Destination(), refused, r.ops.size());
}

}  // namespace

void RegisterListCommand(CLI::App& app, Runner& run) {
    RegisterOperationsCommand<Request>(app, run, "list",
                                       "copy, paste, delete, move, sort and tick test points; undo and redo", kUsage,
                                       ParseArguments, List);
}

}  // namespace tav::cli
