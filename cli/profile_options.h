// The options that `denoise` and `batch` share: which profile, single values overriding it, and
// how the run goes.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "cli/option_parser.h"
#include "profiles/camera_profile_store.h"
#include "profiles/profile_decision.h"

namespace cli {

// The option table of a command: its own options and the shared ones.
std::vector<OptionSpec> WithProfileOptions(std::initializer_list<OptionSpec> own);

// The help text lines of these options.
extern const std::string_view kProfileOptionsHelp;

struct ProfileOptions {
  ProfileMode mode = ProfileMode::kAuto;  // --profile auto|measured|default
  // Values that replace the chosen profile's.
  std::optional<double> strength, chroma, chromaLarge, dynamics;
  std::optional<double> sharpTiny, sharpMedium, sharpRough;
  std::optional<int32_t> median;
  int32_t quality = 3;
  std::optional<int32_t> jpegQuality;
  std::optional<uint32_t> threads;
  bool quiet = false;
  bool verbose = false;
  bool gpu = false;     // --gpu: filters on the graphics card
  bool fusion = false;  // --fusion: with --gpu, tiles shared between the card and the CPU
  bool acceptDamaged = false;  // --accept-damaged: open what a damaged photo holds

  // `chosen` with every override applied.
  IsoProfile Apply(const IsoProfile& chosen) const;
};

// Reads the shared options out of `parsed` into `options`; ignores the command's own options.
// Returns an error message for a value out of range, empty on success.
std::string ReadProfileOptions(const ParsedArguments& parsed, ProfileOptions& options);

// Reads the value of --profile into `mode`. Returns an error message for an unknown name.
std::string ReadProfileMode(std::string_view value, ProfileMode& mode);

// Applies what must happen before a run: the thread cap and the library message switch.
void PrepareRun(const ProfileOptions& options);

}  // namespace cli
