#include "batch/shard.h"

#include <charconv>

namespace {

// The largest shard count: far more machines than any archive is spread over.
constexpr uint32_t kMaxShards = 1000000;

std::optional<uint32_t> WholeNumber(std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const char byte : bytes) {
    hash ^= static_cast<uint8_t>(byte);
    hash *= 1099511628211ull;
  }
  return hash;
}

uint32_t ShardOfPath(const std::filesystem::path& relativePath, uint32_t count) {
  const unsigned __int128 scaled =
      static_cast<unsigned __int128>(Fnv1a64(relativePath.generic_string())) * count;
  return static_cast<uint32_t>(scaled >> 64) + 1;
}

bool Shard::Holds(const std::filesystem::path& relativePath) const {
  return count <= 1 || ShardOfPath(relativePath, count) == index;
}

std::optional<Shard> ParseShard(std::string_view text, std::string& error) {
  const size_t slash = text.find('/');
  const std::optional<uint32_t> index =
      slash == std::string_view::npos ? std::nullopt : WholeNumber(text.substr(0, slash));
  const std::optional<uint32_t> count =
      slash == std::string_view::npos ? std::nullopt : WholeNumber(text.substr(slash + 1));
  if (!index || !count || *count < 1 || *count > kMaxShards || *index < 1 || *index > *count) {
    error = "--shard wants K/N with 1 <= K <= N <= " + std::to_string(kMaxShards) + ", not '" +
            std::string(text) + "'";
    return std::nullopt;
  }
  return Shard{*index, *count};
}
