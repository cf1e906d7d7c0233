#pragma once
// The files of a collection and where each one's restored copy goes. Inputs are files
// or folders: a file named on the command line lands in OUTDIR under its own name, and
// the audio files of a folder tree land in OUTDIR with the tree below that folder
// mirrored. Hidden files and folders, and OUTDIR itself when it lies inside an input
// folder, are left out. A named input that does not exist is a CliError with the input
// exit code; two inputs that would write the same output are a usage error.

#include <optional>
#include <string>
#include <vector>

struct CollectionItem {
    std::string input;
    std::string output;
    double seconds = 0; // from the header; 0 when it cannot be read
};

// Sorted by input path. `extension` (without the dot) replaces each output's.
std::vector<CollectionItem> WalkCollection(const std::vector<std::string>& inputs,
                                           const std::string& outputFolder,
                                           const std::optional<std::string>& extension);

// The audio duration in a file's header, 0 when it cannot be read.
double HeaderSeconds(const std::string& path);

// Removes the temporary files that a killed run left for these outputs; temporaries of
// other outputs (another shard's, still being written) are left alone.
void RemoveStaleTemporaries(const std::vector<CollectionItem>& items);
