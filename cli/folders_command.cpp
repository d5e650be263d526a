// folders: where this installation reads its data and keeps the user's
// settings, as the window resolves them (app/app_environment.hpp).
#include <iostream>

#include "app/app_environment.hpp"
#include "cli/command.hpp"
#include "cli/json_out.hpp"

namespace tav::cli {

void RegisterFoldersCommand(CLI::App& app, Runner& run) {
    app.add_subcommand("folders", "print the program, data, settings and temporary folders as JSON")->callback([&] {
        run = [] {
            const AppFolders f = ResolveAppFolders(ProcessEnvironment(), CurrentExecutablePath());
            const nlohmann::json out = {{"program", f.program}, {"data", f.data},   {"config", f.config},
                                        {"state", f.state},     {"temp", f.temp},   {"manual", f.data + std::string(kManualPage)}};
            std::cout << JsonText(out, 1) << "\n";
            return kExitOk;
        };
    });
}

}  // namespace tav::cli
