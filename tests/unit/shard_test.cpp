// Shards of a tree: the hash is the published FNV-1a, a path's shard never changes, and N shards
// split any set of paths into N disjoint parts of about equal size.
#include "batch/shard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

// The published FNV-1a test vectors, and the shards of a few paths as this program has always
// given them: a change here would send the photos of half-finished archives to other machines.
TEST(Shard, TheHashIsFnv1aAndAPathsShardNeverChanges) {
  EXPECT_EQ(Fnv1a64(""), 0xcbf29ce484222325u);
  EXPECT_EQ(Fnv1a64("a"), 0xaf63dc4c8601ec8cu);
  EXPECT_EQ(Fnv1a64("foobar"), 0x85944171f73967e8u);
  const struct {
    const char* path;
    uint32_t of2, of4, of7, of1000;
  } kPinned[] = {
      {"IMG_0001.jpg", 2, 4, 6, 780},
      {"2019/Ferien am Meer/IMG 0002.JPG", 1, 1, 2, 206},
      {"été/photo é.png", 2, 4, 6, 815},
      {"a/b/c/d.tif", 2, 4, 6, 824},
  };
  for (const auto& p : kPinned) {
    EXPECT_EQ(ShardOfPath(p.path, 2), p.of2) << p.path;
    EXPECT_EQ(ShardOfPath(p.path, 4), p.of4) << p.path;
    EXPECT_EQ(ShardOfPath(p.path, 7), p.of7) << p.path;
    EXPECT_EQ(ShardOfPath(p.path, 1000), p.of1000) << p.path;
  }
}

TEST(Shard, NShardsSplitPathsIntoDisjointPartsOfAboutEqualSize) {
  std::vector<std::string> paths;
  for (int i = 0; i < 300; ++i) {
    paths.push_back("Sommer " + std::to_string(i % 7) + "/été à la mer " + std::to_string(i) +
                    (i % 2 ? ".JPG" : ".png"));
  }
  for (const uint32_t count : {1u, 2u, 3u, 4u, 7u}) {
    std::vector<int> sizes(count, 0);
    for (const std::string& path : paths) {
      int holders = 0;
      for (uint32_t index = 1; index <= count; ++index) {
        if (Shard{index, count}.Holds(path)) {
          ++holders;
          ++sizes[index - 1];
        }
      }
      EXPECT_EQ(holders, 1) << path << " in " << count << " shards";
    }
    // Four standard deviations of a fair split.
    const double expected = 300.0 / count;
    for (const int size : sizes) EXPECT_NEAR(size, expected, 4 * std::sqrt(expected)) << count;
  }
}

TEST(Shard, OnlyKOfNWithKFromOneToNIsTaken) {
  std::string error;
  const std::optional<Shard> shard = ParseShard("3/8", error);
  ASSERT_TRUE(shard);
  EXPECT_EQ(shard->index, 3u);
  EXPECT_EQ(shard->count, 8u);
  for (const char* bad : {"0/4", "5/4", "1/0", "4", "1/", "/4", "a/4", "1/4x", "-1/4", "1/2000000"}) {
    error.clear();
    EXPECT_FALSE(ParseShard(bad, error)) << bad;
    EXPECT_NE(error.find("--shard wants K/N"), std::string::npos) << bad;
  }
}

}  // namespace
