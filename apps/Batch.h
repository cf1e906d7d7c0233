#pragma once
// `sonavel batch`: restores every audio file of a collection into OUTDIR, as `restore`
// would one by one, several files at a time on threads of their own, each with its own
// plug-in. It resumes: an output that exists is complete (outputs appear by rename
// only), so it is skipped unless --force, and temporaries a killed run left are
// removed first. Each file's outcome is appended to the manifest in OUTDIR as soon as
// it is known. A file that fails is reported and the batch goes on; at the end a
// CliError with ExitCode::someFailed says how many failed. A signal stops the batch:
// the files being written are abandoned, leaving no partial output.
//
// With --shard I/N only that shard of the collection is restored (manifest.I.jsonl);
// --slurm hands the shards to a Slurm job array; --status reports where OUTDIR stands.

#include <string>
#include <vector>

#include "apps/Options.h"

// `arguments` is the command line after the program name, which --slurm passes on to
// the array's tasks.
void RunBatch(const BatchOptions& options, const std::vector<std::string>& arguments);
