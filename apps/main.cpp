// sonavel: the restoration effect on the command line.

#include <cstdio>
#include <exception>
#include <iostream>
#include <new>
#include <string_view>
#include <variant>
#include <vector>

#include "apps/Batch.h"
#include "apps/CliError.h"
#include "apps/CommandLine.h"
#include "apps/Demo.h"
#include "apps/Info.h"
#include "apps/Interrupt.h"
#include "apps/RestoreReport.h"
#include "apps/Restorer.h"

namespace {

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };

void Run(const Command& command, const std::vector<std::string>& args) {
    std::visit(Overloaded{
                   [](const HelpRequest& help) { std::cout << help.text; },
                   [](const RestoreOptions& options) { RunRestore(options); },
                   [](const TrainOptions& options) { RunTrain(options); },
                   [](const InfoOptions& options) { PrintInfo(options, std::cout); },
                   [](const DemoOptions& options) { RunDemo(options, std::cout); },
                   [&](const BatchOptions& options) { RunBatch(options, args); },
                   [](const ReportOptions& options) { RunReport(options); },
               },
               command);
}

int Fail(int code, const char* reason) {
    // A signal from now on would only repeat or contradict this line.
    Interrupt::Hold();
    std::fprintf(stderr, "sonavel: %s\n", reason);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    Interrupt::Install();
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    try {
        Run(ParseCommandLine(args), {args.begin(), args.end()});
        std::cout.flush();
        return std::cout ? 0 : Fail(ExitCode::output, "cannot write to standard output");
    } catch (const CliError& error) {
        return Fail(error.Code(), error.what());
    } catch (const std::bad_alloc&) {
        return Fail(ExitCode::failure, "out of memory");
    } catch (const std::exception& error) {
        return Fail(ExitCode::failure, (std::string("internal error: ") + error.what()).c_str());
    }
}
