// The command line of a command whose options are operations, carried out in
// the order given and repeatable (process, mark, list). CLI11 groups an
// option's values by option and loses the order between options, so these
// commands take everything after their name and read it here, one word at a
// time from the left: each option's handler runs when the option comes, and
// the first usage error ends the reading.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/exit_codes.hpp"

namespace tav::cli {

class OrderedOptions {
public:
    // The option being handled and the words after it.
    class Words {
    public:
        const std::string& Option() const { return option_; }
        // The next word as this option's value (even when it starts with '-');
        // null, after reporting "<option> needs a value", when there is none.
        const std::string* Value();
        // Reports a usage error; false, for the handler to return.
        bool Usage(const std::string& what) const { return options_.Usage(what); }

    private:
        friend class OrderedOptions;
        Words(const OrderedOptions& options, const std::vector<std::string>& args, std::size_t& at)
            : options_(options), args_(args), at_(at), option_(args[at]) {}
        const OrderedOptions& options_;
        const std::vector<std::string>& args_;
        std::size_t& at_;  // the last word taken
        const std::string& option_;
    };

    // Handlers return false after reporting a usage error.
    using Handler = std::function<bool(Words&)>;
    using FlagHandler = std::function<void(const std::string& option)>;
    using ValueHandler = std::function<bool(const std::string& option, const std::string& value)>;

    // command names the command in messages ("tavtool: <command>: ..."); usage
    // is printed for --help or -h.
    OrderedOptions(std::string command, std::string usage);

    // An option without a value.
    void Flag(std::initializer_list<std::string_view> names, FlagHandler take);
    // An option with one value.
    void Valued(std::initializer_list<std::string_view> names, ValueHandler take);
    // An option with one value out of a few; any other value is refused with
    // "<option> takes A or B" (the choices in the order given).
    void Choice(std::string_view name, std::initializer_list<std::string_view> choices, FlagHandler take);
    // An option that takes its values itself, one at a time (Words::Value), so
    // that it can check the first before asking for the next.
    void Custom(std::initializer_list<std::string_view> names, Handler take);
    // The words that are not options, in order.
    void Operand(std::function<bool(const std::string& word)> take);

    // Reads the words left to right: nothing when every word was read, else
    // the exit code to end with: kExitOk after --help or -h printed the usage,
    // kExitUsage after a usage error was reported. A word that starts with '-'
    // and names no option is an unknown option.
    std::optional<int> Read(const std::vector<std::string>& args) const;

    // Prints "tavtool: <command>: <what>" on stderr; false.
    bool Usage(const std::string& what) const;

private:
    void Add(std::initializer_list<std::string_view> names, Handler take);
    const Handler* Find(std::string_view option) const;

    std::string command_;
    std::string usage_;
    std::vector<std::pair<std::string, Handler>> options_;
    std::function<bool(const std::string&)> operand_;
};

// IN (-o OUT | --in-place): the project an editing command reads, and where it
// saves the result.
struct EditedProject {
    std::string input;
    std::string output;
    bool inPlace = false;

    const std::string& Destination() const { return inPlace ? input : output; }
};

// Takes IN as the one operand (another is an unexpected argument) and
// -o/--output OUT and --in-place into project.
void AddEditedProject(OrderedOptions& options, EditedProject& project);
// After reading: IN given, and exactly one of -o OUT and --in-place; false
// after reporting which is not.
bool CheckEditedProject(const OrderedOptions& options, const EditedProject& project);

}  // namespace tav::cli
