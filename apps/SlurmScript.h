#pragma once
// The job script that restores a collection as a Slurm job array: one array task per
// shard, each running `sonavel batch ... --shard $SLURM_ARRAY_TASK_ID/N` with the CPUs
// Slurm gave it. The script is complete on its own: a user without sbatch on this
// machine can copy it and submit it elsewhere. Words that Slurm reads from `#SBATCH`
// lines cannot hold a double quote, a backslash or a line break; such a word is a
// CliError with the usage exit code, as is an unbalanced quote in extra sbatch options.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct SlurmJob {
    std::size_t shards = 1;
    unsigned cpusPerTask = 1;
    std::string sonavel;                     // the binary the tasks run, absolute
    std::string workingDirectory;            // where relative paths in `batchArguments` start
    std::string outputFolder;                // OUTDIR: the tasks' logs go there too
    std::vector<std::string> batchArguments; // after `batch`: inputs, OUTDIR, restore options;
                                             // without -j, --shard and the Slurm options
    std::vector<std::string> sbatchOptions;  // more #SBATCH options (partition, time, ...)
    std::string jobName = "sonavel-batch";
};

// The script's text.
std::string SlurmScript(const SlurmJob& job);

// `word` as one word for a POSIX shell: unchanged when it holds only characters no
// shell treats specially, else in single quotes.
std::string ShellQuote(std::string_view word);

// Splits the text of --sbatch-args into words as a shell would: blanks separate words,
// single quotes keep everything, double quotes keep all but backslash escapes.
std::vector<std::string> SplitShellWords(std::string_view text);
