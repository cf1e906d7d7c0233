#pragma once
// Splitting a collection into N shards that take about the same time, so that N
// independent processes (the tasks of a cluster's array job) can each restore one
// shard without talking to each other. Every process computes the same split from
// the same inputs: the inputs are ordered by path, the longest file goes first to the
// shard with the least audio so far (ties: the earlier path, the lower shard). After
// that greedy pass no shard holds more audio than another by more than the longest
// file's duration.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Shard `index` of `count`, written "I/N" with 0 <= I < N.
struct ShardSpec {
    std::size_t index = 0;
    std::size_t count = 1;
};

// Reads "I/N"; anything else (missing part, N of 0, I >= N, signs, spaces, trailing
// characters) is a CliError with the usage exit code.
ShardSpec ParseShard(std::string_view text);

// One input file and its audio duration; files whose header cannot be read count as 0
// seconds (they fail quickly wherever they land).
struct ShardInput {
    std::string path;
    double seconds = 0;
};

// The shard of each input, in the order of `inputs`, for `count` shards (count >= 1).
// Depends only on the set of (path, seconds) pairs, not on the order they come in.
std::vector<std::size_t> AssignShards(const std::vector<ShardInput>& inputs, std::size_t count);

// The paths of the inputs that fall in `shard`, sorted.
std::vector<std::string> SelectShard(const std::vector<ShardInput>& inputs, ShardSpec shard);
