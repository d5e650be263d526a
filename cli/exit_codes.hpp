// tavtool's exit codes, as the command-line contract gives them.
#pragma once

namespace tav::cli {

enum ExitCode { kExitOk = 0, kExitUsage = 1, kExitInvalidData = 2, kExitIo = 3 };

}  // namespace tav::cli
