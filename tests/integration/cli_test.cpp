// stillgrain-cli end to end: every command and its exit status, on real and generated photos.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "picture/photo_loading.h"
#include "picture/photo_saving.h"
#include "profiles/camera_profile_store.h"
#include "support/cli_process.h"
#include "support/photo_files.h"
#include "support/test_pictures.h"

namespace fs = std::filesystem;

namespace {

using testphotos::TempFolder;

using testcli::Result;

class CliTest : public ::testing::Test {
 protected:
  // Runs the CLI (or a copy of it) with `arguments` (a shell word list), settings in a folder of
  // the test's own.
  Result Run(const std::string& arguments, const std::string& environment = "",
             const fs::path& program = STILLGRAIN_CLI_PATH) {
    return testcli::Run(program, work_.path(), arguments, environment);
  }

  static std::string Read(const fs::path& path) {
    const std::vector<uint8_t> bytes = testphotos::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
  }

  void WritePhoto(const std::string& name, int32_t width, int32_t height) {
    testphotos::WritePatternPhoto(work_ / name, width, height);
  }

  TempFolder work_;
};

TEST_F(CliTest, DenoiseWritesBesideTheInputAndKeepsTheCameraExif) {
  const fs::path photo = testphotos::TestPhoto("short-ascii-II.jpg");
  if (photo.empty()) GTEST_SKIP() << "fetched test photos are missing (make photos)";
  fs::copy_file(photo, work_ / "camera.jpg");
  const Result result = Run("denoise camera.jpg");
  ASSERT_EQ(result.status, 0) << result.err;
  ASSERT_TRUE(fs::exists(work_ / "camera-denoised.jpg"));
  const auto source = testphotos::ReadExif(work_ / "camera.jpg");
  const auto written = testphotos::ReadExif(work_ / "camera-denoised.jpg");
  for (const char* key : {"Exif.Image.Make", "Exif.Image.Model"}) {
    if (source.count(key) != 0) {
      EXPECT_EQ(written.at(key), source.at(key)) << key;
    }
  }
  EXPECT_NE(result.out.find("camera-denoised.jpg"), std::string::npos);
}

TEST_F(CliTest, DenoiseTakesOverridesAndRefusesValuesOutOfRange) {
  WritePhoto("p.png", 48, 40);
  const Result ok = Run("denoise p.png -o out.png --strength 20 --sharpen 1,1.5,0.5 --median 2 "
                        "--quality 1 --threads 1 --quiet");
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(ok.out.empty());
  EXPECT_TRUE(fs::exists(work_ / "out.png"));

  for (const char* bad : {"--strength 51", "--dynamics -3", "--sharpen 1,2", "--median 3",
                          "--quality 4", "--profile best", "--jpeg-quality 0", "--bogus"}) {
    const Result refused = Run(std::string("denoise p.png -o bad.png ") + bad);
    EXPECT_EQ(refused.status, 1) << bad;
    EXPECT_NE(refused.err.find("usage:"), std::string::npos) << bad;
  }
  EXPECT_FALSE(fs::exists(work_ / "bad.png"));
  EXPECT_EQ(Run("denoise").status, 1);
  EXPECT_EQ(Run("denoise p.png -o p.png").status, 1);  // never over the input
}

// A process held to a CPU numbered above 0 (a cluster's job, taskset) runs no more filter threads
// than --threads says, although the engine counts CPUs up to the highest it may use.
TEST_F(CliTest, ThreadsCapTheFiltersOnCpusNumberedHigh) {
  if (std::thread::hardware_concurrency() < 2 || std::system("command -v taskset >/dev/null") != 0) {
    GTEST_SKIP() << "needs two CPUs and taskset";
  }
  WritePhoto("p.png", 48, 40);
  const std::string denoise = "-c 1 '" + std::string(STILLGRAIN_CLI_PATH) + "' denoise p.png ";
  const Result held = testcli::Run("taskset", work_.path(), denoise + "-o held.png");
  ASSERT_EQ(held.status, 0) << held.err;
  EXPECT_NE(held.out.find("on 2 threads"), std::string::npos) << held.out;
  const Result capped = testcli::Run("taskset", work_.path(), denoise + "-o capped.png --threads 1");
  ASSERT_EQ(capped.status, 0) << capped.err;
  EXPECT_NE(capped.out.find("on 1 threads"), std::string::npos) << capped.out;
}

// `preview` writes the samples that `denoise` with the same options writes inside the rectangle:
// corners, sides, odd positions, 8 and 16 bits, a photo denoised in tiles.
TEST_F(CliTest, PreviewWritesWhatDenoiseGivesInsideTheRectangle) {
  const std::string options =
      " --profile default --quality 2 --chroma-large 10 --dynamics 0.5 --median 1 "
      "--sharpen 1.5,1.3,1.2 --quiet";
  for (const uint32_t bits : {8u, 16u}) {
    PhotoDocument document;
    testpics::OpenInDocument(
        document, testpics::AddNoise(testpics::SmoothScene(1100, 530, 3, bits), 9.0, bits));
    const std::string photo = "p" + std::to_string(bits) + ".png";
    ASSERT_EQ(SavePhoto(document, work_ / photo, 90), SaveFailure::kNone);
    ASSERT_EQ(Run("denoise " + photo + " -o whole.png" + options).status, 0);
    PhotoDocument whole;
    ASSERT_FALSE(OpenPhoto(whole, work_ / "whole.png", true));
    const TileRect rects[] = {{0, 0, 200, 200},      {900, 330, 1100, 530}, {451, 0, 651, 200},
                              {0, 263, 200, 463},    {1013, 77, 1100, 277}, {777, 401, 977, 530}};
    for (const TileRect& rect : rects) {
      const std::string at = std::to_string(rect.x0) + "," + std::to_string(rect.y0);
      const Result result = Run("preview " + photo + " --at " + at + " -o rect.png" + options);
      ASSERT_EQ(result.status, 0) << result.err;
      PhotoDocument shown;
      ASSERT_FALSE(OpenPhoto(shown, work_ / "rect.png", true));
      EXPECT_TRUE(testpics::BitIdentical(shown.sourcePicture,
                                         testpics::CutOut(whole.sourcePicture, rect)))
          << bits << " bits, at " << at;
    }
  }
  WritePhoto("small.png", 64, 48);
  for (const char* bad : {"--at 64,0", "--at 3", "--at 1,2 --size 0", "--at -1,0", ""}) {
    const Result refused = Run(std::string("preview small.png -o bad.png ") + bad);
    EXPECT_EQ(refused.status, 1) << bad;
  }
  EXPECT_EQ(Run("preview small.png --at 0,0").status, 1) << "no output";
  EXPECT_FALSE(fs::exists(work_ / "bad.png"));
}

TEST_F(CliTest, UnreadableInputAndUnwritableOutputExitWithTwo) {
  testphotos::WriteBytes(work_ / "fake.jpg", "not a photo at all");
  const Result unreadable = Run("denoise fake.jpg");
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_NE(unreadable.err.find("Image format not supported!"), std::string::npos);
  EXPECT_EQ(Run("denoise missing.jpg").status, 2);

  WritePhoto("p.png", 32, 32);
  const Result unwritable = Run("denoise p.png -o no-such-folder/out.png");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("could not be written"), std::string::npos);
  EXPECT_EQ(Run("denoise p.png -o out.gif").status, 2);
}

TEST_F(CliTest, BatchWritesDenoisedFoldersAndSummarises) {
  WritePhoto("tree/a.jpg", 40, 30);
  WritePhoto("tree/b.png", 30, 30);
  WritePhoto("tree/s/c.png", 20, 44);
  WritePhoto("tree/tiny.png", 15, 40);
  testphotos::WriteBytes(work_ / "tree/notes.txt", "text");
  const Result result = Run("batch tree");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::exists(work_ / "tree/denoised/a.jpg"));
  EXPECT_TRUE(fs::exists(work_ / "tree/denoised/b.png"));
  EXPECT_TRUE(fs::exists(work_ / "tree/s/denoised/c.png"));
  EXPECT_FALSE(fs::exists(work_ / "tree/denoised/tiny.png"));
  EXPECT_NE(result.out.find("3 denoised, 1 too small, 0 failed, 1 skipped"), std::string::npos)
      << result.out;
  // One line per photo on stderr when it is not a terminal.
  EXPECT_NE(result.err.find("[1/4] denoised:"), std::string::npos) << result.err;
  EXPECT_EQ(Run("batch missing-folder").status, 2);
}

TEST_F(CliTest, BatchReportsPhotosThatCannotBeWrittenAndGoesOn) {
  WritePhoto("tree/x/a.png", 24, 24);
  WritePhoto("tree/y/b.png", 24, 24);
  testphotos::WriteBytes(work_ / "tree/x/denoised", "a file in the way");
  const Result result = Run("batch tree --quiet");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("could not be written"), std::string::npos);
  EXPECT_TRUE(fs::exists(work_ / "tree/y/denoised/b.png"));
}

TEST_F(CliTest, InfoAndProfilesDescribeThePhotoAndTheStore) {
  WritePhoto("p.png", 40, 30);
  const Result info = Run("info p.png --json");
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("\"width\": 40"), std::string::npos) << info.out;
  // No camera of its own: the automatic profile, unless the built-in default is asked for.
  EXPECT_NE(info.out.find("\"profileRule\": \"measured\""), std::string::npos) << info.out;
  const Result byDefault = Run("info p.png --json --profile default");
  EXPECT_NE(byDefault.out.find("\"profileRule\": \"default\""), std::string::npos)
      << byDefault.out;
  const Result text = Run("info p.png");
  EXPECT_NE(text.out.find("40 x 30, 3 components of 8 bits"), std::string::npos) << text.out;
  EXPECT_EQ(Run("info").status, 1);
  EXPECT_EQ(Run("info missing.png").status, 2);

  const Result profiles = Run("profiles --json");
  ASSERT_EQ(profiles.status, 0);
  EXPECT_NE(profiles.out.find("{\"cameras\": [{\"name\": \"<<Unknown Camera>>\""),
            std::string::npos)
      << profiles.out;
  EXPECT_EQ(Run("profiles extra").status, 1);
  EXPECT_EQ(Run("--help").status, 0);
  EXPECT_EQ(Run("frobnicate").status, 1);
}

// A photo of a camera and ISO stored in the user's profile file gets that profile; without a stored
// profile, or with --profile measured, the automatic one; --profile default the built-in one. The
// denoise line and info say which rule chose, and batch denoises with the same choice.
TEST_F(CliTest, StoredProfileBeatsTheAutomaticOneAndInfoSaysWhy) {
  WritePhoto("nikon.jpg", 64, 48);
  testphotos::WriteExif(work_ / "nikon.jpg", {{"Exif.Image.Make", "NIKON CORPORATION"},
                                              {"Exif.Image.Model", "NIKON D700"},
                                              {"Exif.Photo.ISOSpeedRatings", "1600"}});
  CameraProfileStore store = BuiltInProfileStore();
  IsoProfile stored = store.cameras[0].profiles[0];
  stored.m_dStrength = 7.5;
  StoreProfile(store, "NIKON / D700", "1600", stored);
  fs::create_directories(work_ / "config/StillgrainGPU20");
  ASSERT_FALSE(SaveProfiles(store, work_ / "config/StillgrainGPU20" / kProfileFileName));

  const struct {
    const char* options;
    const char* line;  // in the denoise summary
    const char* rule;  // of info --json
  } kCases[] = {
      {"", "stored profile of NIKON / D700 at ISO 1600:\n  strength 7.50", "\"stored\""},
      {"--profile measured", "automatic from the measured noise", "\"measured\""},
      {"--profile default", "built-in default profile (--profile default):\n  strength 10.00",
       "\"default\""},
  };
  for (const auto& c : kCases) {
    const Result denoise = Run(std::string("denoise nikon.jpg -o out.jpg ") + c.options);
    ASSERT_EQ(denoise.status, 0) << denoise.err;
    EXPECT_NE(denoise.out.find(c.line), std::string::npos) << c.options << denoise.out;
    const Result info = Run(std::string("info nikon.jpg --json ") + c.options);
    EXPECT_NE(info.out.find(std::string("\"profileRule\": ") + c.rule), std::string::npos)
        << c.options << info.out;
  }
  EXPECT_NE(Run("info nikon.jpg --json").out.find("\"profileCamera\": \"NIKON / D700\""),
            std::string::npos);
  // Another ISO of the same camera is not stored exactly: the automatic profile, and why.
  testphotos::WriteExif(work_ / "nikon.jpg", {{"Exif.Photo.ISOSpeedRatings", "3200"}});
  const Result other = Run("info nikon.jpg");
  EXPECT_NE(other.out.find("no stored profile of NIKON / D700 at ISO 3200"), std::string::npos)
      << other.out;
  EXPECT_EQ(Run("info nikon.jpg --profile best").status, 1);
}

// A calibration file beside the program that cannot be used is named, and the built-in table
// serves.
TEST_F(CliTest, RefusedCalibrationIsNamedAndTheBuiltInOneServes) {
  const fs::path program = fs::path(STILLGRAIN_CLI_PATH);
  const fs::path copy = work_ / "bin" / program.filename();
  fs::create_directories(copy.parent_path());
  fs::copy_file(program, copy);
  testphotos::WriteBytes(copy.parent_path() / "NoiseCalibration.ini", "[General]\nversion = 7\n");
  WritePhoto("p.png", 40, 30);
  const Result result = Run("info p.png", "", copy);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string& err = result.err;
  EXPECT_NE(err.find("NoiseCalibration.ini is not used: version 7"), std::string::npos) << err;
}

// Starts the CLI on the 24-megapixel camera photo, sends it `signal` after `delayMs` and returns
// its exit status.
int InterruptedStatus(const fs::path& folder, const std::vector<std::string>& arguments,
                      int delayMs, int signal = SIGINT) {
  const pid_t child = testcli::Start(STILLGRAIN_CLI_PATH, folder, arguments);
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  kill(child, signal);
  return testcli::Wait(child);
}

// Ctrl+C, SIGTERM (kill, a service manager) and SIGHUP (a closed terminal) all end a run cleanly,
// with 128 + the signal's number.
TEST_F(CliTest, InterruptFinishesCleanlyWithoutAPartialFile) {
  const fs::path photo = testphotos::TestPhoto(testphotos::kSonyPhoto);
  if (photo.empty()) GTEST_SKIP() << "fetched test photos are missing (make photos)";
  fs::create_directories(work_ / "tree");
  fs::copy_file(photo, work_ / "tree/sony.jpg");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EQ(InterruptedStatus(work_.path(), {"denoise", "tree/sony.jpg", "-o", "out.jpg"}, 1500,
                                signal),
              128 + signal);
  }
  EXPECT_EQ(InterruptedStatus(work_.path(), {"batch", "tree"}, 1500, SIGTERM), 143);
  EXPECT_FALSE(fs::exists(work_ / "out.jpg"));
  for (const auto& entry : fs::recursive_directory_iterator(work_.path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "tree" || name == "sony.jpg" || name == "denoised" || name == "config" ||
                name.ends_with(".txt") || name == "StillgrainGPU20")
        << "left behind: " << entry.path();
  }
  EXPECT_FALSE(fs::exists(work_ / "tree/denoised/sony.jpg"));
}

TEST_F(CliTest, GraphicsCardRunsAgreeWithTheCpuOrFallBackToIt) {
  WritePhoto("p.png", 64, 48);
  const Result selftest = Run("selftest");
  if (selftest.status != 0) {
    EXPECT_EQ(selftest.status, 2);
    EXPECT_NE(selftest.out.find("usable:    no"), std::string::npos) << selftest.out;
    GTEST_SKIP() << "no usable OpenGL context here: " << selftest.out;
  }
  EXPECT_NE(selftest.out.find("self-test: passed"), std::string::npos) << selftest.out;
  ASSERT_EQ(Run("denoise p.png -o cpu.png --quality 1").status, 0);
  const Result gpu = Run("denoise p.png -o gpu.png --quality 1 --gpu --quiet");
  ASSERT_EQ(gpu.status, 0);
  EXPECT_EQ(gpu.out, "") << "--quiet prints nothing, not even GLEW's status";
  ASSERT_EQ(Run("denoise p.png -o fused.png --quality 1 --gpu --fusion").status, 0);
  const std::vector<uint8_t> cpu = testphotos::ReadBytes(work_ / "cpu.png");
  EXPECT_FALSE(cpu.empty());
  EXPECT_FALSE(testphotos::ReadBytes(work_ / "gpu.png").empty());

  // Without any OpenGL the run says so and goes on on the CPU, with the CPU's result.
  const Result without = Run("denoise p.png -o none.png --quality 1 --gpu",
                             "__EGL_VENDOR_LIBRARY_FILENAMES=/dev/null");
  EXPECT_EQ(without.status, 0) << without.err;
  EXPECT_NE(without.err.find("denoising on the CPU"), std::string::npos) << without.err;
  EXPECT_EQ(testphotos::ReadBytes(work_ / "none.png"), cpu);
  EXPECT_EQ(Run("selftest", "__EGL_VENDOR_LIBRARY_FILENAMES=/dev/null").status, 2);
}

// Photos that cannot be opened are not denoised: each is named with its reason, counted as failed,
// listed again at the end, and the batch exits with 2.
TEST_F(CliTest, BatchNamesEachPhotoItCouldNotDenoiseAndExitsWithTwo) {
  WritePhoto("tree/a.png", 24, 24);
  testphotos::WriteBytes(work_ / "tree/b.jpg", "cut short");
  fs::create_directories(work_ / "config/StillgrainGPU20");
  testphotos::WriteBytes(work_ / "config/StillgrainGPU20/StillgrainGPU20.txt",
                         "[General]\nMax Megapixels=1\n");
  WritePhoto("tree/c.png", 1100, 1000);
  testphotos::WriteBytes(work_ / "tree/notes.txt", "not a photo");
  const Result result = Run("batch tree");
  EXPECT_EQ(result.status, 2) << result.err;
  EXPECT_NE(result.err.find("not denoised: tree/b.jpg (a photo format or layout that cannot be "
                            "read)"),
            std::string::npos) << result.err;
  EXPECT_NE(result.err.find("not denoised: tree/c.png (larger than \"Max Megapixels\" allows)"),
            std::string::npos) << result.err;
  EXPECT_NE(result.err.find("skipped (not a photo that can be read): tree/notes.txt"),
            std::string::npos) << result.err;
  EXPECT_NE(result.err.find("Not denoised:\n  tree/b.jpg"), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("1 denoised, 0 too small, 2 failed, 1 skipped"), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("successfully"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("but 2 photos were not denoised (listed above).\n"), std::string::npos)
      << result.out;
  const Result single = Run("denoise tree/c.png -o c.png");
  EXPECT_EQ(single.status, 2);
  EXPECT_NE(single.err.find("Max Megapixels"), std::string::npos) << single.err;
}

// Memory running out anywhere, from opening to writing, ends the run with a message and exit 2,
// never with a crash, and leaves no output. The address-space limits span the range from failing
// at once to succeeding; the sanitizers' shadow memory needs more than any of them.
TEST_F(CliTest, RunningOutOfMemoryEndsWithAMessageAndNoFile) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits and AddressSanitizer do not mix";
#endif
  WritePhoto("p.png", 1200, 1000);
  testphotos::WriteBytes(work_ / "out.png", "earlier result");
  bool sawMemoryMessage = false;
  for (int megabytes = 80; megabytes <= 240; megabytes += 20) {
    SCOPED_TRACE(megabytes);
    const std::string limit =
        "sh -c 'ulimit -v " + std::to_string(megabytes * 1024) + "; exec \"$0\" \"$@\"'";
    const Result result = Run("denoise p.png -o out.png --quality 1 --quiet", limit);
    // Below some limit the dynamic loader cannot map the libraries and the program never starts.
    if (result.status == 127) continue;
    ASSERT_TRUE(result.status == 0 || result.status == 2) << result.status << result.err;
    if (result.status == 0) continue;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(Read(work_ / "out.png"), "earlier result");
    sawMemoryMessage = sawMemoryMessage || result.err.find("memory") != std::string::npos;
  }
  EXPECT_TRUE(sawMemoryMessage);
}

TEST_F(CliTest, CommandsNeverWriteTheSettingsFile) {
  WritePhoto("tree/a.png", 24, 24);
  Run("denoise tree/a.png -o out.png");
  Run("batch tree");
  Run("info tree/a.png");
  EXPECT_FALSE(fs::exists(work_ / "config/StillgrainGPU20/StillgrainGPU20.txt"));
  // Not even the settings folder, wherever the home lies.
  EXPECT_EQ(Run("denoise tree/a.png -o home.png", "HOME=" + (work_ / "nohome").string() +
                                                      " XDG_CONFIG_HOME=")
                .status,
            0);
  EXPECT_FALSE(fs::exists(work_ / "nohome"));
}

// What the commands say is true: text from a photo cannot steer the terminal, output that cannot
// be written fails the command, and a folder in the place of a photo is named as one.
TEST_F(CliTest, MessagesAndExitStatusTellTheTruth) {
  WritePhoto("p.jpg", 32, 24);
  testphotos::WriteExif(work_ / "p.jpg", {{"Exif.Image.Model", "\x1b]0;owned\x07\x1b[2J"}});
  const Result info = Run("info p.jpg");
  EXPECT_EQ(info.out.find('\x1b'), std::string::npos);
  EXPECT_NE(info.out.find("\\x1b]0;owned\\x07\\x1b[2J"), std::string::npos) << info.out;
  EXPECT_EQ(Run("info --json p.jpg", "sh -c 'exec \"$0\" \"$@\" >/dev/full'").status, 2);

  fs::create_directory(work_ / "folder.jpg");
  const Result folderIn = Run("denoise folder.jpg -o out.jpg");
  EXPECT_EQ(folderIn.status, 2);
  EXPECT_NE(folderIn.err.find("cannot open folder.jpg: a folder, not a photo"), std::string::npos)
      << folderIn.err;
  const Result folderOut = Run("denoise p.jpg -o folder.jpg");
  EXPECT_EQ(folderOut.status, 2);
  EXPECT_NE(folderOut.err.find("folder.jpg (it is a folder)"), std::string::npos) << folderOut.err;
}

}  // namespace
