#include "apps/SlurmScript.h"

#include <algorithm>
#include <sstream>

#include "apps/CliError.h"

namespace {

bool IsPlain(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_./:=@%+,-").find(c) != std::string_view::npos;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// One word of an #SBATCH line. Slurm reads these lines itself (no shell): blanks
// end a word unless it is in double quotes, and nothing escapes a double quote.
std::string DirectiveWord(std::string_view word) {
    if (word.find_first_of("\"\\\n") != std::string_view::npos) {
        throw CliError(ExitCode::usage, "Slurm cannot read '" + std::string(word) +
                                            "' in a job script (no \", \\ or line breaks)");
    }
    const bool plain = !word.empty() && word.find_first_of(" \t'") == std::string_view::npos;
    if (plain) return std::string(word);
    // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "\"" + string.
    std::string quoted(1, '"');
    quoted.append(word);
    quoted += '"';
    return quoted;
}

// The output file pattern of each task, in OUTDIR; '%' in the folder's name is
// doubled so that Slurm does not read it as a pattern field.
std::string LogPattern(const std::string& folder) {
    std::string escaped;
    for (const char c : folder) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    if (!escaped.empty() && escaped.back() != '/') escaped += '/';
    return escaped + "slurm-%A_%a.log";
}

// The array option belongs to the shards; another one would run shards twice or never.
void RefuseArrayOption(const std::string& word) {
    if (word.starts_with("--array") || word.starts_with("-a")) {
        throw CliError(ExitCode::usage, "the job array comes from --shards, not '" + word + "'");
    }
}

} // namespace

std::string ShellQuote(std::string_view word) {
    if (!word.empty() && std::all_of(word.begin(), word.end(), IsPlain)) return std::string(word);
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::vector<std::string> SplitShellWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0; // the quote we are inside, if any
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool escapes = c == '\\' && i + 1 < text.size() && quote != '\'' &&
                             (quote == 0 || text[i + 1] == '"' || text[i + 1] == '\\');
        if (escapes) {
            word += text[++i];
        } else if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else {
                word += c;
            }
        } else if (IsBlank(c)) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else {
            word += c;
        }
        inWord = true;
    }
    if (quote != 0) {
        throw CliError(ExitCode::usage, "unbalanced quote in '" + std::string(text) + "'");
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string SlurmScript(const SlurmJob& job) {
    std::ostringstream script;
    script << "#!/bin/bash\n"
           << "# Restores a collection with sonavel in " << job.shards
           << " array tasks, one shard each.\n"
           << "#SBATCH --job-name=" << DirectiveWord(job.jobName) << "\n"
           << "#SBATCH --array=0-" << job.shards - 1 << "\n"
           << "#SBATCH --cpus-per-task=" << job.cpusPerTask << "\n"
           << "#SBATCH --output=" << DirectiveWord(LogPattern(job.outputFolder)) << "\n";
    // One line, so that an option and its value stay together.
    if (!job.sbatchOptions.empty()) {
        script << "#SBATCH";
        for (const auto& word : job.sbatchOptions) {
            RefuseArrayOption(word);
            script << " " << DirectiveWord(word);
        }
        script << "\n";
    }
    script << "cd " << ShellQuote(job.workingDirectory) << " || exit 4\n"
           << "exec " << ShellQuote(job.sonavel) << " batch";
    for (const auto& argument : job.batchArguments)
        script << " " << ShellQuote(argument);
    script << " -j " << job.cpusPerTask << " --shard \"$SLURM_ARRAY_TASK_ID/" << job.shards
           << "\"\n";
    return script.str();
}
