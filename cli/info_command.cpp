#include "cli/info_command.h"

#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/json_text.h"
#include "cli/option_parser.h"
#include "cli/photo_run.h"
#include "cli/profile_options.h"
#include "cli/profile_report.h"
#include "platform/utf8.h"
#include "profiles/camera_name.h"

namespace cli {

const std::string_view kInfoHelp =
    "  Prints the photo's EXIF summary, its layout, the noise measured on it (over the whole\n"
    "  photo and over its smoothest parts, which the automatic profile reads), and the profile\n"
    "  that denoise would choose, with the rule that chose it.\n"
    "    --json             print one JSON object instead of text\n"
    "    --profile P        the choice as denoise --profile P makes it: auto (the default),\n"
    "                       measured or default\n";

const std::string_view kProfilesHelp =
    "  Prints the camera profile store: every camera, its ISO values and their values.\n"
    "    --json             print one JSON object instead of text\n";

namespace {

constexpr OptionSpec kJsonOption[] = {{"--json", false}};
constexpr OptionSpec kInfoOptions[] = {{"--json", false}, {"--profile", true}};

using Fields = std::vector<std::pair<std::string, std::string>>;  // name, JSON value

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", value);
  return text;
}

Fields ProfileFields(const IsoProfile& p) {
  return {{"iso", std::to_string(p.isoValue)},
          {"strength", Number(p.m_dStrength)},
          {"chroma", Number(p.m_dStrengthChroma)},
          {"chromaLarge", Number(p.m_dStrengthChromaLarge)},
          {"dynamics", Number(p.m_dDynamics)},
          {"sharpen", "[" + Number(p.m_dSharp1) + ", " + Number(p.m_dSharp2) + ", " +
                          Number(p.m_dSharp3) + "]"},
          {"noiseLuma", Number(p.m_dImmerkaerY)},
          {"noiseChroma", Number(p.m_dImmerkaerUV)},
          {"median", std::to_string(p.m_iUseMedian)}};
}

std::string JsonObject(const Fields& fields) {
  std::string out = "{";
  for (size_t i = 0; i < fields.size(); ++i) {
    out += (i ? ", " : "") + JsonString(fields[i].first) + ": " + fields[i].second;
  }
  return out + "}";
}

// `text` safe to print on a terminal: control characters (C0, DEL and the C1 range, which
// terminals take for commands) and the backslash become C escapes, bytes that are not UTF-8 become
// U+FFFD.
std::string PrintableText(std::string_view text) {
  const std::string valid = RepairUtf8(text);
  std::string out;
  for (size_t i = 0; i < valid.size(); ++i) {
    const auto byte = static_cast<unsigned char>(valid[i]);
    const bool c1 = byte == 0xC2 && i + 1 < valid.size() &&
                    static_cast<unsigned char>(valid[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(valid[i + 1]) <= 0x9F;
    char escaped[8];
    if (c1) {
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned char>(valid[++i]));
      out += escaped;
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
      out += escaped;
    } else {
      out += valid[i];
    }
  }
  return out;
}

// Parses `args` for a command with the options `specs`; false with the exit status on a usage
// error or after printing help.
bool ParseJsonCommand(Arguments args, std::string_view synopsis, std::string_view help,
                      std::span<const OptionSpec> specs, size_t operands, ParsedArguments& parsed,
                      int& status) {
  std::string error = ParseArguments(args, specs, parsed);
  if (error.empty() && !parsed.help && parsed.operands.size() != operands) {
    error = operands == 0 ? "this command takes no operands" : "this command wants one INPUT";
  }
  if (parsed.help) {
    status = PrintCommandHelp(synopsis, help);
    return false;
  }
  if (!error.empty()) {
    status = UsageError(synopsis, error);
    return false;
  }
  return true;
}

// The mode --profile asks for (auto without it); false with the exit status on a bad value.
bool ReadInfoMode(const ParsedArguments& parsed, ProfileMode& mode, int& status) {
  for (const auto& [name, value] : parsed.options) {
    if (name != "--profile") continue;
    const std::string error = ReadProfileMode(value, mode);
    if (!error.empty()) {
      status = UsageError(kInfoSynopsis, error);
      return false;
    }
  }
  return true;
}

}  // namespace

int RunInfo(Arguments args) {
  ParsedArguments parsed;
  int status = kExitSuccess;
  ProfileMode mode = ProfileMode::kAuto;
  if (!ParseJsonCommand(args, kInfoSynopsis, kInfoHelp, kInfoOptions, 1, parsed, status) ||
      !ReadInfoMode(parsed, mode, status)) {
    return status;
  }
  const std::filesystem::path input(parsed.operands[0]);
  PhotoDocument document;
  if (OpenPhotoOrReport(document, input, false)) return kExitFileError;

  const SBxPicBuf& source = document.sourcePicture;
  const ProfileSources sources = LoadProfileSources(mode, false);
  const ProfileDecision decision = DecideForPhoto(sources, document, mode);
  const NoiseLevels& noise = decision.noise.whole;
  const NoiseLevels& smooth = decision.noise.smooth;
  const std::string why = DescribeDecision(decision, sources, document.exif, mode);
  const bool stored = decision.rule == ProfileRule::kStoredProfile;
  const std::string profileCamera =
      stored ? sources.store.cameras[decision.stored.camera].m_wcsCameraName : std::string();
  const ExifSummary& exif = document.exif;
  const std::string camera = NormaliseCameraName(FormCameraName(exif.make, exif.model));
  const Fields text = {{"maker", exif.make},          {"model", exif.model},
                       {"camera", camera},            {"resolution", exif.dimensions},
                       {"iso", exif.iso},             {"fNumber", exif.fNumber},
                       {"exposure", exif.exposure},   {"captured", exif.captured}};
  if (parsed.Has("--json")) {
    Fields fields;
    for (const auto& [name, value] : text) fields.push_back({name, JsonString(value)});
    fields.push_back({"width", std::to_string(source.width)});
    fields.push_back({"height", std::to_string(source.height)});
    fields.push_back({"components", std::to_string(source.components)});
    fields.push_back({"bitsPerComponent", std::to_string(source.bitsPerComponent)});
    fields.push_back({"alpha", document.alphaPlane.data != nullptr ? "true" : "false"});
    fields.push_back({"noiseLuma", Number(noise.luma)});
    fields.push_back({"noiseChroma", Number(noise.chroma)});
    fields.push_back({"smoothNoiseLuma", Number(smooth.luma)});
    fields.push_back({"smoothNoiseChroma", Number(smooth.chroma)});
    fields.push_back({"profileRule", JsonString(RuleName(decision.rule))});
    fields.push_back({"profileReason", JsonString(why)});
    fields.push_back({"profileCamera", stored ? JsonString(profileCamera) : "null"});
    fields.push_back({"profile", JsonObject(ProfileFields(decision.profile))});
    std::printf("%s\n", JsonObject(fields).c_str());
    return kExitSuccess;
  }
  for (const auto& [name, value] : text) {
    std::printf("%-12s %s\n", (name + ":").c_str(), PrintableText(value).c_str());
  }
  std::printf("%-12s %d x %d, %u component%s of %u bits%s\n", "layout:", source.width,
              source.height, source.components, source.components == 1 ? "" : "s",
              source.bitsPerComponent, document.alphaPlane.data != nullptr ? ", alpha" : "");
  std::printf("%-12s luma %.2f, chroma %.2f; smoothest parts: luma %.2f, chroma %.2f\n",
              "noise:", noise.luma, noise.chroma, smooth.luma, smooth.chroma);
  std::printf("%-12s %s\n%-12s %s\n", "profile:", PrintableText(why).c_str(),
              "values:", DescribeProfile(decision.profile).c_str());
  return kExitSuccess;
}

int RunProfiles(Arguments args) {
  ParsedArguments parsed;
  int status = kExitSuccess;
  if (!ParseJsonCommand(args, kProfilesSynopsis, kProfilesHelp, kJsonOption, 0, parsed, status)) {
    return status;
  }
  CameraProfileStore store;
  LoadProfiles(store);
  const bool json = parsed.Has("--json");
  std::string cameras;
  for (const CameraEntry& camera : store.cameras) {
    if (!json) std::printf("%s\n", camera.m_wcsCameraName.c_str());
    std::string profiles;
    for (const IsoProfile& profile : camera.profiles) {
      if (!json) std::printf("  ISO %u: %s\n", profile.isoValue, DescribeProfile(profile).c_str());
      profiles += (profiles.empty() ? "" : ", ") + JsonObject(ProfileFields(profile));
    }
    cameras += (cameras.empty() ? "" : ", ") +
               JsonObject({{"name", JsonString(camera.m_wcsCameraName)},
                           {"profiles", "[" + profiles + "]"}});
  }
  if (json) std::printf("%s\n", JsonObject({{"cameras", "[" + cameras + "]"}}).c_str());
  return kExitSuccess;
}

}  // namespace cli
