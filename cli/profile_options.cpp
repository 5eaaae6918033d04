#include "cli/profile_options.h"

#include "picture/library_messages.h"
#include "platform/cpu_affinity.h"

namespace cli {

namespace {

// Each value option with the range the profiles keep.
struct RangedOption {
  std::string_view name;
  double low, high;
  std::optional<double> ProfileOptions::*target;
};

constexpr RangedOption kRangedOptions[] = {
    {"--strength", 0, 50, &ProfileOptions::strength},
    {"--chroma", 0, 50, &ProfileOptions::chroma},
    {"--chroma-large", 0, 50, &ProfileOptions::chromaLarge},
    {"--dynamics", -2, 2, &ProfileOptions::dynamics},
};

// "--sharpen T,M,R": three gains from 0 to 4.
std::string ReadSharpen(std::string_view text, ProfileOptions& options) {
  std::optional<double>* gains[] = {&options.sharpTiny, &options.sharpMedium, &options.sharpRough};
  std::string error;
  for (int i = 0; i < 3; ++i) {
    const size_t comma = text.find(',');
    if ((i < 2) == (comma == std::string_view::npos)) {
      return "--sharpen wants three gains T,M,R such as 1,1.2,1";
    }
    *gains[i] = ParseNumberInRange("--sharpen", text.substr(0, comma), 0, 4, error);
    if (!*gains[i]) return error;
    text = i < 2 ? text.substr(comma + 1) : std::string_view();
  }
  return {};
}

std::string ReadOne(std::string_view name, std::string_view value, ProfileOptions& options) {
  std::string error;
  for (const RangedOption& ranged : kRangedOptions) {
    if (name != ranged.name) continue;
    options.*ranged.target = ParseNumberInRange(name, value, ranged.low, ranged.high, error);
    return error;
  }
  if (name == "--profile") {
    return ReadProfileMode(value, options.mode);
  } else if (name == "--sharpen") {
    return ReadSharpen(value, options);
  } else if (name == "--median") {
    options.median = ParseWholeNumberInRange(name, value, 0, 2, error);
  } else if (name == "--quality") {
    const auto quality = ParseWholeNumberInRange(name, value, 1, 3, error);
    if (quality) options.quality = *quality;
  } else if (name == "--jpeg-quality") {
    options.jpegQuality = ParseWholeNumberInRange(name, value, 1, 100, error);
  } else if (name == "--threads") {
    const auto threads = ParseWholeNumberInRange(name, value, 1, 1024, error);
    if (threads) options.threads = static_cast<uint32_t>(*threads);
  } else if (name == "--quiet") {
    options.quiet = true;
  } else if (name == "--verbose") {
    options.verbose = true;
  } else if (name == "--gpu") {
    options.gpu = true;
  } else if (name == "--fusion") {
    options.fusion = true;
  } else if (name == "--accept-damaged") {
    options.acceptDamaged = true;
  }
  return error;
}

}  // namespace

const std::string_view kProfileOptionsHelp =
    "    --profile auto|measured|default\n"
    "                       auto (the default): the stored profile of the photo's camera and\n"
    "                       ISO, else the automatic profile from the noise measured on the photo;\n"
    "                       measured: always the automatic profile; default: the built-in\n"
    "                       default profile (strength 10, chroma 10)\n"
    "    --strength S       luma strength, 0 to 50      --chroma S        chroma strength, 0 to 50\n"
    "    --chroma-large S   coarse chroma strength, 0 to 50\n"
    "    --dynamics D       dark/light dependence, -2 to 2\n"
    "    --sharpen T,M,R    tiny, medium and rough detail gains, 0 to 4 each\n"
    "    --median 0|1|2     point-artefact reduction: none, common, strong\n"
    "    --quality 1|2|3    search window 7x7, 13x13 or 21x21 (default 3)\n"
    "    --jpeg-quality Q   JPEG quality, 1 to 100 (default: the settings file's \"jpeg\")\n"
    "    --threads N        use at most N CPUs\n"
    "    --gpu              run the filters on the graphics card (OpenGL); without a usable one,\n"
    "                       on the CPU\n"
    "    --fusion           with --gpu, share the tiles between the graphics card and the CPU\n"
    "    --accept-damaged   denoise what a damaged photo holds (by default it is refused)\n"
    "    --quiet            print nothing but errors\n"
    "    --verbose          show the image libraries' own messages\n";

std::vector<OptionSpec> WithProfileOptions(std::initializer_list<OptionSpec> own) {
  std::vector<OptionSpec> specs(own);
  for (const char* name : {"--profile", "--strength", "--chroma", "--chroma-large", "--dynamics",
                           "--sharpen", "--median", "--quality", "--jpeg-quality", "--threads"}) {
    specs.push_back({name, true});
  }
  for (const char* flag : {"--quiet", "--verbose", "--gpu", "--fusion", "--accept-damaged"})
    specs.push_back({flag, false});
  return specs;
}

std::string ReadProfileOptions(const ParsedArguments& parsed, ProfileOptions& options) {
  for (const auto& [name, value] : parsed.options) {
    std::string error = ReadOne(name, value, options);
    if (!error.empty()) return error;
  }
  return {};
}

std::string ReadProfileMode(std::string_view value, ProfileMode& mode) {
  const std::optional<ProfileMode> named = ProfileModeNamed(value);
  if (!named) return "--profile wants auto, measured or default, not '" + std::string(value) + "'";
  mode = *named;
  return {};
}

IsoProfile ProfileOptions::Apply(const IsoProfile& chosen) const {
  IsoProfile p = chosen;
  p.m_dStrength = strength.value_or(p.m_dStrength);
  p.m_dStrengthChroma = chroma.value_or(p.m_dStrengthChroma);
  p.m_dStrengthChromaLarge = chromaLarge.value_or(p.m_dStrengthChromaLarge);
  p.m_dDynamics = dynamics.value_or(p.m_dDynamics);
  p.m_dSharp1 = sharpTiny.value_or(p.m_dSharp1);
  p.m_dSharp2 = sharpMedium.value_or(p.m_dSharp2);
  p.m_dSharp3 = sharpRough.value_or(p.m_dSharp3);
  p.m_iUseMedian = median.value_or(p.m_iUseMedian);
  return p;
}

void PrepareRun(const ProfileOptions& options) {
  if (options.threads) {
    LimitProcessToCpus(*options.threads);
    // The engine counts CPUs by the highest one the process may use: a process held to CPUs 8 to
    // 15 (a cluster's job, taskset) would otherwise run 16 threads on 8 CPUs.
    CapCpuCount(*options.threads);
  }
  SetVerboseLibraryMessages(options.verbose);
}

}  // namespace cli
