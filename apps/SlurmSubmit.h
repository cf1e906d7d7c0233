#pragma once
// Running a batch as a Slurm job array: the job script is written into OUTDIR
// (sonavel-batch.sbatch), submitted with sbatch and its job id printed; with --wait the
// array is followed with squeue until it has left the queue. Without sbatch on the
// PATH the script stays for the user to submit, and the run ends with the usage exit
// code. The tasks run the same batch command with -j and --shard in place of the Slurm
// options.

#include <string>
#include <vector>

#include "apps/Options.h"

// The job id; `files` is the size of the collection, which bounds the default shards.
std::string SubmitBatch(const BatchOptions& options, const std::vector<std::string>& arguments,
                        std::size_t files);

// Returns once the job has left Slurm's queue.
void WaitForJob(const std::string& jobId);

// The batch command line for the tasks: `arguments` (after the program name, from
// `batch` on) without the command word, -j and the Slurm options.
std::vector<std::string> TaskArguments(const std::vector<std::string>& arguments);
