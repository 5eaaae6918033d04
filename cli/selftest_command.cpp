#include "cli/selftest_command.h"

#include <cstdio>

#include "cli/gpu_use.h"
#include "cli/option_parser.h"
#include "engine/gpu_self_test.h"
#include "gpu/gpgpu.h"

namespace cli {

const std::string_view kSelftestHelp =
    "  Opens the off-screen OpenGL context, prints the renderer and whether the card is usable,\n"
    "  then denoises a 50x50 test picture on the card and on the CPU and prints the verdict and the\n"
    "  largest difference. Exit status 0 when the self-test passes, 2 when it fails or no usable\n"
    "  OpenGL context exists.\n";

int RunSelftest(Arguments args) {
  ParsedArguments parsed;
  const std::string error = ParseArguments(args, {}, parsed);
  if (parsed.help) return PrintCommandHelp(kSelftestSynopsis, kSelftestHelp);
  if (!error.empty()) return UsageError(kSelftestSynopsis, error);
  if (!parsed.operands.empty()) return UsageError(kSelftestSynopsis, "selftest takes no operands");

  const std::unique_ptr<CGPGPU> gpu = OpenGpu(false);
  std::printf("renderer:  %s\n", gpu->renderer.empty() ? "(none)" : gpu->renderer.c_str());
  std::printf("usable:    %s\n", gpu->usable ? "yes" : "no");
  if (!gpu->usable) {
    std::printf("self-test: not run (no usable OpenGL context)\n");
    return kExitFileError;
  }
  const GpuSelfTestResult result = RunGpuSelfTestDetailed(gpu.get());
  std::printf("self-test: %s (largest |GPU - CPU| = %d, must stay below 6)\n",
              result.passed ? "passed" : "failed", result.largestDifference);
  return result.passed ? kExitSuccess : kExitFileError;
}

}  // namespace cli
