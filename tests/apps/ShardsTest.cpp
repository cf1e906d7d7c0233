#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "apps/CliError.h"
#include "apps/Shards.h"

namespace {

int UsageCode(std::string_view text) {
    try {
        ParseShard(text);
    } catch (const CliError& error) {
        return error.Code();
    }
    return 0;
}

// 20 files from 3 s to 10 min, as a tape transfer gives them.
std::vector<ShardInput> MixedCollection() {
    const double seconds[] = {612.0, 3.5,   47.2,  180.0, 95.5,  12.0, 333.3, 60.0,  60.0, 420.8,
                              7.25,  240.0, 150.4, 30.0,  518.0, 88.8, 5.0,   275.6, 45.0, 199.9};
    std::vector<ShardInput> inputs;
    for (int i = 0; i < 20; ++i) {
        inputs.push_back({"tape" + std::to_string(100 + i) + "/side.flac", seconds[i]});
    }
    return inputs;
}

std::vector<double> Loads(const std::vector<ShardInput>& inputs, std::size_t count) {
    std::vector<double> load(count, 0.0);
    const auto shardOf = AssignShards(inputs, count);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        load[shardOf[i]] += inputs[i].seconds;
    return load;
}

TEST(Shards, ParsesIndexOfCountAndRefusesAnythingElse) {
    const auto shard = ParseShard("3/4");
    EXPECT_EQ(shard.index, 3u);
    EXPECT_EQ(shard.count, 4u);
    EXPECT_EQ(ParseShard("0/1").count, 1u);
    for (const auto* bad : {"4/4", "0/0", "1", "/4", "1/", "-1/4", "+1/4", " 1/4", "1/4x", "a/b",
                            "1//4", "99999999999999999999999/2"}) {
        EXPECT_EQ(UsageCode(bad), ExitCode::usage) << bad;
    }
}

TEST(Shards, LongestFileFirstToTheLightestShard) {
    // 10 -> 0, 9 -> 1, 8 -> 2, 7 -> 2, 6 -> 1, 5 -> 0, then all hold 15 and 4 goes to 0.
    std::vector<ShardInput> inputs;
    for (int s = 4; s <= 10; ++s)
        inputs.push_back({"f" + std::to_string(s), double(s)});
    const auto shardOf = AssignShards(inputs, 3);
    EXPECT_EQ(shardOf, (std::vector<std::size_t>{0, 0, 1, 2, 2, 1, 0}));
    // Equal durations alternate in path order.
    const auto equal = AssignShards({{"d", 60}, {"a", 60}, {"c", 60}, {"b", 60}}, 2);
    EXPECT_EQ(equal, (std::vector<std::size_t>{1, 0, 0, 1}));
    // Files without a duration still land somewhere; shards beyond the files stay empty.
    const std::vector<ShardInput> unread = {{"a", 30}, {"b", -1}, {"c", std::nan("")}};
    EXPECT_EQ(AssignShards(unread, 2), (std::vector<std::size_t>{0, 1, 1}));
    EXPECT_TRUE(SelectShard(unread, {4, 5}).empty());
}

TEST(Shards, MixedCollectionBalancedWithinTheLongestFile) {
    const auto inputs = MixedCollection();
    for (const std::size_t count : {2u, 3u, 4u, 7u}) {
        const auto load = Loads(inputs, count);
        const auto [lightest, heaviest] = std::minmax_element(load.begin(), load.end());
        EXPECT_LE(*heaviest - *lightest, 612.0) << count << " shards";
    }
    // 3424.25 s over 4 shards: 856 s each if perfectly even.
    const auto load = Loads(inputs, 4);
    for (const double l : load)
        EXPECT_NEAR(l, 856.06, 30.0);
}

TEST(Shards, EveryProcessComputesTheSameSplitInAnyInputOrder) {
    const auto inputs = MixedCollection();
    auto shuffled = inputs;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    std::vector<std::string> all;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto shard = SelectShard(inputs, {i, 4});
        EXPECT_EQ(SelectShard(shuffled, {i, 4}), shard);
        EXPECT_TRUE(std::is_sorted(shard.begin(), shard.end()));
        all.insert(all.end(), shard.begin(), shard.end());
    }
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(all[i], inputs[i].path);
}

} // namespace
