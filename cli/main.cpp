#include <algorithm>
#include <iostream>
#include <string>

#include "cli/analyze_command.hpp"
#include "cli/command.hpp"

int main(int argc, char** argv) {
    using namespace tav::cli;
    CLI::App app{"tavtool: batch work on TAV Analyser project files"};
    app.require_subcommand(1);
    app.set_help_all_flag("", "");
    app.set_version_flag("--version", "tavtool " TAV_VERSION, "print the version and exit");
    Runner run;
    app.add_subcommand("help", "list the commands")->callback([&] {
        run = [&] {
            // One line a command, whatever state parsing left the parser's own help in.
            std::cout << "usage: tavtool COMMAND ...   (tavtool COMMAND --help: the command's options)\n"
                      << "commands:\n";
            for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
                std::string name = sub->get_name();
                name.resize(std::max<std::size_t>(name.size() + 1, 12), ' ');
                std::cout << "  " << name << sub->get_description() << "\n";
            }
            return kExitOk;
        };
    });
    RegisterFileCommands(app, run);
    RegisterProcessCommand(app, run);
    RegisterSynthCommand(app, run);
    RegisterMergeCommand(app, run);
    RegisterMarkCommand(app, run);
    RegisterPrintCommand(app, run);
    RegisterTransferCommands(app, run);
    RegisterListCommand(app, run);
    RegisterAnalyzeCommand(app, run);
    RegisterRenderCommand(app, run);
    RegisterReportCommand(app, run);
    RegisterFoldersCommand(app, run);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (argc <= 1) {
            std::cout << app.help();
            return kExitUsage;
        }
        std::cerr << "tavtool: " << e.what() << "\n";
        return kExitUsage;
    }
    return run ? run() : kExitUsage;
}
