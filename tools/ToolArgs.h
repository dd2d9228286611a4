#pragma once

// The command line of our small file-writing tools (kestory-make-samples, kestory-fuzz-seeds,
// kestory-make-corpus), with kestory-export's conventions: --help or -h prints the usage on
// standard output and exits 0; an unknown option, or the wrong number of operands, prints it on
// standard error and exits 64 (EX_USAGE); "--" ends the options, so a folder may begin with "-".

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace kestory::tools {

inline constexpr int kExitUsage = 64;

// The operands, or the exit code when the tool is done (help given, or usage refused).
// Exactly `least` to `most` operands are taken.
inline std::optional<int> ParseToolArgs(int argc, char** argv, const char* usage, size_t least, size_t most,
                                        std::vector<std::string>& operands) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "unknown option: %s\n%s", arg.c_str(), usage);
            return kExitUsage;
        }
    }
    if (operands.size() < least || operands.size() > most) {
        std::fputs(usage, stderr);
        return kExitUsage;
    }
    return std::nullopt;
}

} // namespace kestory::tools
