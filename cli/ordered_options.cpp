#include "cli/ordered_options.hpp"

#include <iostream>
#include <utility>

namespace tav::cli {

const std::string* OrderedOptions::Words::Value() {
    if (at_ + 1 >= args_.size()) {
        Usage(option_ + " needs a value");
        return nullptr;
    }
    return &args_[++at_];
}

OrderedOptions::OrderedOptions(std::string command, std::string usage)
    : command_(std::move(command)), usage_(std::move(usage)) {}

void OrderedOptions::Add(std::initializer_list<std::string_view> names, Handler take) {
    for (const auto name : names) options_.emplace_back(std::string(name), take);
}

void OrderedOptions::Flag(std::initializer_list<std::string_view> names, FlagHandler take) {
    Add(names, [take = std::move(take)](Words& words) {
        take(words.Option());
        return true;
    });
}

void OrderedOptions::Valued(std::initializer_list<std::string_view> names, ValueHandler take) {
    Add(names, [take = std::move(take)](Words& words) {
        const std::string* value = words.Value();
        return value != nullptr && take(words.Option(), *value);
    });
}

void OrderedOptions::Choice(std::string_view name, std::initializer_list<std::string_view> choices, FlagHandler take) {
    std::string list;
    for (std::size_t k = 0; k < choices.size(); ++k) {
        if (k > 0) list += k + 1 == choices.size() ? " or " : ", ";
        list += choices.begin()[k];
    }
    Add({name}, [take = std::move(take), allowed = std::vector<std::string_view>(choices), list](Words& words) {
        const std::string* value = words.Value();
        if (value == nullptr) return false;
        for (const auto choice : allowed)
            if (*value == choice) {
                take(*value);
                return true;
            }
        return words.Usage(words.Option() + " takes " + list);
    });
}

void OrderedOptions::Custom(std::initializer_list<std::string_view> names, Handler take) {
    Add(names, std::move(take));
}

void OrderedOptions::Operand(std::function<bool(const std::string&)> take) {
    operand_ = std::move(take);
}

const OrderedOptions::Handler* OrderedOptions::Find(std::string_view option) const {
    for (const auto& [name, handler] : options_)
        if (name == option) return &handler;
    return nullptr;
}

std::optional<int> OrderedOptions::Read(const std::vector<std::string>& args) const {
    for (std::size_t at = 0; at < args.size(); ++at) {
        const std::string& word = args[at];
        if (word == "--help" || word == "-h") {
            std::cout << usage_;
            return kExitOk;
        }
        bool ok;
        if (const Handler* handler = Find(word)) {
            Words words(*this, args, at);
            ok = (*handler)(words);
        } else if (!word.empty() && word.front() == '-') {
            ok = Usage("unknown option '" + word + "'");
        } else {
            ok = operand_ ? operand_(word) : Usage("unexpected argument '" + word + "'");
        }
        if (!ok) return kExitUsage;
    }
    return std::nullopt;
}

bool OrderedOptions::Usage(const std::string& what) const {
    std::cerr << "tavtool: " << command_ << ": " << what << "\n";
    return false;
}

void AddEditedProject(OrderedOptions& options, EditedProject& project) {
    options.Valued({"-o", "--output"}, [&project](const std::string&, const std::string& value) {
        project.output = value;
        return true;
    });
    options.Flag({"--in-place"}, [&project](const std::string&) { project.inPlace = true; });
    options.Operand([&options, &project](const std::string& word) {
        if (!project.input.empty()) return options.Usage("unexpected argument '" + word + "'");
        project.input = word;
        return true;
    });
}

bool CheckEditedProject(const OrderedOptions& options, const EditedProject& project) {
    if (project.input.empty()) return options.Usage("no input file (IN)");
    if (project.inPlace == !project.output.empty()) return options.Usage("give exactly one of -o OUT and --in-place");
    return true;
}

}  // namespace tav::cli
