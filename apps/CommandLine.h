#pragma once
// The command line: which command, its files and its options, read with CLI11 into
// the options of Options.h. Each command is described once, and its help text comes
// from that description, so `sonavel --help` is the whole manual.
//
// Adding a command (say `batch`): a BatchOptions struct in Options.h and in Command
// below; in CommandLine.cpp a CommandSpec subclass whose Define adds its options to a
// CLI::App bound to a BatchOptions and whose Finish takes the positionals, plus one
// line in the commands table; and its runner in main.cpp's Run.

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "apps/Options.h"

// Text the user asked for instead of a run: help or the version.
struct HelpRequest {
    std::string text;
};

using Command = std::variant<HelpRequest, RestoreOptions, TrainOptions, InfoOptions, DemoOptions,
                             BatchOptions, ReportOptions>;

// args excludes the program name. Anything malformed is a CliError with the usage
// exit code.
Command ParseCommandLine(const std::vector<std::string_view>& args);

// What `sonavel --help` prints: every command with its options, and the exit codes.
std::string UsageText();
