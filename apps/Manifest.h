#pragma once
// What a batch records about each input it handles, one JSON object per line, and the
// merged view of a collection over the manifest parts its shards write into OUTDIR
// (manifest.jsonl for a batch run whole, manifest.I.jsonl for shard I). A record:
//   {"input": "...", "output": "...", "status": "done" | "failed" | "skipped",
//    "seconds": time spent on this attempt (one thread: its CPU time),
//    "audio_seconds": the input's duration, "finished": Unix time the attempt ended,
//    "error": why it failed (failed only)}
// "skipped" means the output was already complete and nothing was redone.
// An input tried again (a resubmission after a failure or a cancelled task) keeps its
// latest record; every attempt's time counts towards the CPU time.

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

enum class FileStatus { done, failed, skipped };

struct ManifestRecord {
    std::string input;
    std::string output;
    FileStatus status = FileStatus::done;
    double seconds = 0;
    double audioSeconds = 0;
    double finished = 0;
    std::string error;
};

// The record as one line of JSON, without the line break.
std::string ManifestLine(const ManifestRecord& record);

// The record on `line`, or nothing when the line is not one (as the last line of a
// part whose task was killed while writing it).
std::optional<ManifestRecord> ParseManifestLine(std::string_view line);

// The manifest part of shard `index`.
std::string ManifestPartName(std::size_t index);

struct ManifestSummary {
    std::size_t parts = 0;                // files read
    std::size_t unreadableLines = 0;      // lines that held no record
    std::size_t done = 0;                 // inputs whose latest record is done or skipped
    std::size_t failed = 0;               // inputs whose latest record is failed
    double audioSeconds = 0;              // audio of the done inputs
    double cpuSeconds = 0;                // all attempts, superseded ones too
    std::vector<ManifestRecord> failures; // latest record of each failed input, by input
};

// Merges records in the order they were read: a later `finished` time wins, and of
// equal times the one read later; a skipped record never hides a done one.
ManifestSummary MergeManifest(const std::vector<ManifestRecord>& records);

// Reads and merges every manifest part in `folder`, in shard order. A folder that
// cannot be listed is a CliError with the input exit code.
ManifestSummary ReadManifest(const std::string& folder);

// Where the collection stands, for people: files done and failed (with the reasons),
// hours of audio, CPU time.
void PrintManifestSummary(const ManifestSummary& summary, std::ostream& out);
