#include "apps/Shards.h"

#include <algorithm>
#include <charconv>
#include <numeric>

#include "apps/CliError.h"

namespace {

// A whole decimal number filling all of `text`.
bool ParseCount(std::string_view text, std::size_t& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

double Duration(const ShardInput& input) {
    return input.seconds > 0 ? input.seconds : 0.0; // also turns NaN into 0
}

// Input indices, longest first; equal durations in path order.
std::vector<std::size_t> LongestFirst(const std::vector<ShardInput>& inputs) {
    std::vector<std::size_t> order(inputs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const double da = Duration(inputs[a]), db = Duration(inputs[b]);
        return da != db ? da > db : inputs[a].path < inputs[b].path;
    });
    return order;
}

} // namespace

ShardSpec ParseShard(std::string_view text) {
    const auto slash = text.find('/');
    ShardSpec shard;
    if (slash == std::string_view::npos || !ParseCount(text.substr(0, slash), shard.index) ||
        !ParseCount(text.substr(slash + 1), shard.count) || shard.count == 0 ||
        shard.index >= shard.count) {
        throw CliError(ExitCode::usage,
                       "--shard wants I/N with 0 <= I < N, not '" + std::string(text) + "'");
    }
    return shard;
}

std::vector<std::size_t> AssignShards(const std::vector<ShardInput>& inputs, std::size_t count) {
    std::vector<double> load(std::max<std::size_t>(count, 1), 0.0);
    std::vector<std::size_t> shardOf(inputs.size());
    for (const std::size_t i : LongestFirst(inputs)) {
        // min_element keeps the first of equal loads: the lowest shard.
        const auto lightest = std::min_element(load.begin(), load.end());
        *lightest += Duration(inputs[i]);
        shardOf[i] = static_cast<std::size_t>(lightest - load.begin());
    }
    return shardOf;
}

std::vector<std::string> SelectShard(const std::vector<ShardInput>& inputs, ShardSpec shard) {
    const auto shardOf = AssignShards(inputs, shard.count);
    std::vector<std::string> selected;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (shardOf[i] == shard.index) selected.push_back(inputs[i].path);
    }
    std::sort(selected.begin(), selected.end());
    return selected;
}
