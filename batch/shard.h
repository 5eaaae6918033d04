// One of N parts of a folder tree, so that N runs on any number of machines cover the tree exactly
// once without talking to each other: each file belongs to the one shard its path below the tree's
// root falls into.
//
// The path's UTF-8 bytes (names joined with "/", exactly as the folder listing gives them) are
// hashed with 64-bit FNV-1a, a published function of the bytes alone: the same path gives the same
// shard on every machine, in every run and in every version of the program, whatever the standard
// library's own hashes do and wherever the tree is mounted. FNV-1a's lowest bits follow the last
// bytes of the name too closely (its lowest bit is the parity of all the bytes), so the shard is
// taken from the high bits: shard = ⌊hash · N / 2⁶⁴⌋ + 1.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

struct Shard {
  uint32_t index = 1;  // 1 … count
  uint32_t count = 1;

  // Whether the file at `relativePath` (below the tree's root) belongs to this shard.
  bool Holds(const std::filesystem::path& relativePath) const;
};

// 64-bit FNV-1a of the bytes.
uint64_t Fnv1a64(std::string_view bytes);

// The shard, 1 … count, that `relativePath` falls into.
uint32_t ShardOfPath(const std::filesystem::path& relativePath, uint32_t count);

// Reads "K/N" with 1 ≤ K ≤ N; otherwise nothing, and `error` says what is wrong.
std::optional<Shard> ParseShard(std::string_view text, std::string& error);
