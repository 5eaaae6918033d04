#include "profiles/noise_calibration_file.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <charconv>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/paths.h"
#include "profiles/noise_calibration_text.h"

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kMaxFileBytes = uintmax_t{1} << 20;

// The comma-separated numbers of `text`, or nothing with the reason in `error`.
std::optional<std::vector<double>> ParseNumbers(std::string_view text, std::string& error) {
  std::vector<double> numbers;
  while (true) {
    const size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    double value = 0;
    const auto [end, result] = std::from_chars(item.data(), item.data() + item.size(), value);
    if (item.empty() || result != std::errc() || end != item.data() + item.size()) {
      error = "'" + std::string(item) + "' is not a number";
      return std::nullopt;
    }
    numbers.push_back(value);
    if (comma == std::string_view::npos) return numbers;
    text.remove_prefix(comma + 1);
  }
}

// The points "Point1", "Point2", … of `section`, each of `count` numbers, made by `make`.
template <typename Point, typename Make>
bool ReadPoints(const CSimpleIniA& document, const char* section, size_t count, Make make,
                std::vector<Point>& points, std::string& error) {
  for (size_t n = 1;; ++n) {
    const std::string key = "Point" + std::to_string(n);
    const char* value = document.GetValue(section, key.c_str(), nullptr);
    if (value == nullptr) return true;
    const auto numbers = ParseNumbers(value, error);
    if (numbers && numbers->size() != count) {
      error = std::to_string(count) + " numbers are needed, not " + std::to_string(numbers->size());
    }
    if (!numbers || numbers->size() != count) {
      error = "[" + std::string(section) + "] " + key + ": " + error;
      return false;
    }
    points.push_back(make(*numbers));
  }
}

// The number of `key` in [General]; false with the reason when it is missing or not one number.
bool ReadWeight(const CSimpleIniA& document, const char* key, double& weight, std::string& error) {
  const char* text = document.GetValue("General", key, nullptr);
  if (text == nullptr) {
    error = "it has no " + std::string(key);
    return false;
  }
  const auto numbers = ParseNumbers(text, error);
  if (numbers && numbers->size() == 1) {
    weight = numbers->front();
    return true;
  }
  if (numbers) error = "one number is needed";
  error = "[General] " + std::string(key) + ": " + error;
  return false;
}

std::string VersionProblem(const CSimpleIniA& document) {
  const char* text = document.GetValue("General", "version", nullptr);
  if (text == nullptr) return "it has no version";
  const std::string_view version(text);
  int number = 0;
  const auto [end, result] =
      std::from_chars(version.data(), version.data() + version.size(), number);
  if (result != std::errc() || end != version.data() + version.size() ||
      number != kNoiseCalibrationVersion) {
    return "version " + std::string(version) + " is not the version this program reads (" +
           std::to_string(kNoiseCalibrationVersion) + ")";
  }
  return {};
}

// The table the program falls back to should the compiled-in text ever fail to parse (the tests
// make sure it does not): the values of the built-in default profile at every level.
NoiseCalibration DefaultProfileTable() {
  return NoiseCalibration{0, 0, {{0, 10, 1, 1, 1}}, {{0, 10, 0}}};
}

// The whole file, or nothing with the reason in `error` ("" for a missing file).
std::optional<std::string> ReadWholeFile(const fs::path& path, std::string& error) {
  std::error_code code;
  const uintmax_t size = fs::file_size(path, code);
  if (code) {
    if (code != std::errc::no_such_file_or_directory) error = code.message();
    return std::nullopt;
  }
  if (size > kMaxFileBytes) {
    error = "it is larger than 1 MiB";
    return std::nullopt;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  std::ifstream file(path, std::ios::binary);
  if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) {
    error = "it cannot be read";
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

std::optional<NoiseCalibration> ParseNoiseCalibration(std::string_view text, std::string& error) {
  CSimpleIniA document(true, false, false);
  if (document.LoadData(text.data(), text.size()) < 0) {
    error = "it is not an INI document";
    return std::nullopt;
  }
  error = VersionProblem(document);
  if (!error.empty()) return std::nullopt;
  NoiseCalibration table;
  if (!ReadWeight(document, "CoarseWeight", table.coarseWeight, error) ||
      !ReadWeight(document, "GridWeight", table.gridWeight, error) ||
      !ReadWeight(document, "ChromaFromLuma", table.chromaFromLuma, error)) {
    return std::nullopt;
  }
  const auto luma = [](const std::vector<double>& v) {
    return LumaPoint{v[0], v[1], v[2], v[3], v[4]};
  };
  const auto chroma = [](const std::vector<double>& v) { return ChromaPoint{v[0], v[1], v[2]}; };
  if (!ReadPoints(document, "Luma", 5, luma, table.luma, error) ||
      !ReadPoints(document, "Chroma", 3, chroma, table.chroma, error)) {
    return std::nullopt;
  }
  error = CalibrationProblem(table);
  if (!error.empty()) return std::nullopt;
  return table;
}

const NoiseCalibration& BuiltInNoiseCalibration() {
  static const NoiseCalibration table = [] {
    std::string error;
    return ParseNoiseCalibration(kBuiltInNoiseCalibrationText, error)
        .value_or(DefaultProfileTable());
  }();
  return table;
}

fs::path NoiseCalibrationFilePath() {
  return ResourceFolderFor(kNoiseCalibrationFileName) / kNoiseCalibrationFileName;
}

NoiseCalibration LoadNoiseCalibration(const fs::path& file, std::string* warning) {
  std::string error;
  std::optional<NoiseCalibration> table;
  if (const auto text = ReadWholeFile(file, error)) table = ParseNoiseCalibration(*text, error);
  if (table) return *table;
  if (warning != nullptr && !error.empty()) {
    *warning = file.string() + " is not used: " + error + "; the built-in calibration serves";
  }
  return BuiltInNoiseCalibration();
}

NoiseCalibration LoadNoiseCalibration(std::string* warning) {
  return LoadNoiseCalibration(NoiseCalibrationFilePath(), warning);
}
