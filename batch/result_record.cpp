#include "batch/result_record.h"

#include <FreeImage.h>
#include <sys/stat.h>

#include <cstdio>

#include "picture/exiv2_library.h"
#include "picture/freeimage_library.h"

namespace {

constexpr const char* kNamespace = "http://ns.stillgrain.org/batch/1.0/";
constexpr const char* kPrefix = "stillgrain";
constexpr const char* kKeyStart = "Xmp.stillgrain.";
constexpr size_t kKeyStartLength = std::char_traits<char>::length(kKeyStart);

// Exact: the text reads back as the same double.
std::string Exact(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.17g", value);
  return text;
}

bool IsJpegName(const std::filesystem::path& output) {
  UseFreeImage();
  return FreeImage_GetFIFFromFilename(output.c_str()) == FIF_JPEG;
}

}  // namespace

void UseResultRecordNamespace() {
  static const bool registered = [] {
    UseExiv2();
    Exiv2::XmpProperties::registerNs(kNamespace, kPrefix);
    return true;
  }();
  static_cast<void>(registered);
}

std::optional<FileStamp> StampOfFile(const std::filesystem::path& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{static_cast<uintmax_t>(status.st_size),
                   static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                       status.st_mtim.tv_nsec};
}

ResultRecord RecordOfResult(const IsoProfile& values, int32_t quality, int32_t jpegQuality,
                            const std::filesystem::path& output, const FileStamp& photo) {
  ResultRecord record = {
      {"Version", STILLGRAIN_VERSION},
      {"Strength", Exact(values.m_dStrength)},
      {"StrengthChroma", Exact(values.m_dStrengthChroma)},
      {"StrengthChromaLarge", Exact(values.m_dStrengthChromaLarge)},
      {"Dynamics", Exact(values.m_dDynamics)},
      {"SharpenTiny", Exact(values.m_dSharp1)},
      {"SharpenMedium", Exact(values.m_dSharp2)},
      {"SharpenRough", Exact(values.m_dSharp3)},
      {"Median", std::to_string(values.m_iUseMedian)},
      {"Quality", std::to_string(quality)},
      {"SourceSize", std::to_string(photo.size)},
      {"SourceModified", std::to_string(photo.modifiedNs)},
  };
  if (IsJpegName(output)) record["JpegQuality"] = std::to_string(jpegQuality);
  return record;
}

Exiv2::XmpData RecordAsXmp(const ResultRecord& record) {
  UseResultRecordNamespace();
  Exiv2::XmpData xmp;
  for (const auto& [name, text] : record) xmp[kKeyStart + name] = text;
  return xmp;
}

ResultRecord RecordInXmp(const Exiv2::XmpData& xmp) {
  UseResultRecordNamespace();
  ResultRecord record;
  for (const Exiv2::Xmpdatum& datum : xmp) {
    const std::string key = datum.key();
    if (key.rfind(kKeyStart, 0) == 0) record[key.substr(kKeyStartLength)] = datum.toString();
  }
  return record;
}
