#include "profiles/camera_profile_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

#include "profiles/profile_file.h"

namespace fs = std::filesystem;

namespace {

using namespace std::string_literals;

const char kBuiltInFile[] =
    "\xEF\xBB\xBF[General]\r\n"
    "No Of Cameras = 1\r\n"
    "Actual Camera = 0\r\n"
    "Actual ISO = 0\r\n"
    "version = 2\r\n"
    "\r\n"
    "\r\n"
    "[Camera_0]\r\n"
    "m_wcsCameraName = <<Unknown Camera>>\r\n"
    "m_uiISOCount = 1\r\n"
    "ISO0 = 100\r\n"
    "\r\n"
    "\r\n"
    "[Camera <<Unknown Camera>> ISO100]\r\n"
    "m_dStrength = 10.00\r\n"
    "m_dStrengthChroma = 10.00\r\n"
    "m_dStrengthChromaLarge = 0.00\r\n"
    "m_dDynamics = 0.00\r\n"
    "m_dSharp1 = 1.00\r\n"
    "m_dSharp2 = 1.00\r\n"
    "m_dSharp3 = 1.00\r\n"
    "m_dImmerkaerY = 10.00\r\n"
    "m_dImmerkaerUV = 10.00\r\n"
    "m_iUseMedian = 0\r\n";

IsoProfile Profile(double strength, double noiseY = 5.0, double noiseUV = 5.0) {
  return {0, strength, 10.0, 0.0, 0.0, 1.0, 1.0, 1.0, noiseY, noiseUV, 0};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Every test works in its own folder, with XDG_CONFIG_HOME pointing into it.
class ProfileStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "profiles-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    fs::create_directory(folder_ / "shipped");
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(folder_);
  }

  fs::path UserFile() const { return folder_ / "user.ini"; }
  fs::path DefaultFile() const { return folder_ / "shipped" / kProfileFileName; }

  CameraProfileStore Load() {
    CameraProfileStore store;
    EXPECT_FALSE(LoadProfiles(store, UserFile(), DefaultFile()));
    return store;
  }
  CameraProfileStore LoadText(const std::string& text) {
    WriteFile(UserFile(), text);
    return Load();
  }

  fs::path folder_;
};

TEST_F(ProfileStoreTest, FirstStartSavesTheBuiltInStoreInThreeSections) {
  EXPECT_EQ(Load(), BuiltInProfileStore());
  EXPECT_EQ(ReadFile(UserFile()), kBuiltInFile);
  EXPECT_FALSE(fs::exists(DefaultFile()));

  CameraProfileStore store;
  LoadProfiles(store);
  EXPECT_EQ(store, BuiltInProfileStore());
  EXPECT_EQ(UserProfileFilePath(), folder_ / "config" / "StillgrainGPU20" / kProfileFileName);
  // Beside the test executable there is normally no shipped file, so the first start saves.
  if (!fs::exists(DefaultProfileFilePath())) {
    EXPECT_EQ(ReadFile(UserProfileFilePath()), kBuiltInFile);
  }
}

TEST_F(ProfileStoreTest, ShippedDefaultFileIsTheBuiltInStore) {
  const fs::path shipped = fs::path(STILLGRAIN_SOURCE_DIR) / "resources" / kProfileFileName;
  EXPECT_EQ(ReadFile(shipped), ProfileFileText(BuiltInProfileStore()));
}

TEST_F(ProfileStoreTest, SavedStoreReadsBackEqual) {
  CameraProfileStore store = BuiltInProfileStore();
  store.actualCamera = 2;
  store.actualIso = -3;
  const IsoProfile a = {0, 12.34, 0.5, 7.25, -1.75, 0.0, 3.99, 4.0, 8.12, 0.03, 2};
  const IsoProfile b = {0, 50.0, 49.99, 0.01, 2.0, 1.5, 0.25, 2.75, 9999.99, 1234.5, 1};
  ASSERT_FALSE(StoreProfile(store, "Fujifilm / X-T3 \xC3\x9C\xE6\x97\xA5", "800", a));
  ASSERT_FALSE(StoreProfile(store, "Fujifilm / X-T3 \xC3\x9C\xE6\x97\xA5", "200", b));
  ASSERT_FALSE(StoreProfile(store, "Canon / EOS 5D", "6400", b));
  ASSERT_FALSE(StoreProfile(store, kUnknownCameraName, "3200", a));
  ASSERT_FALSE(SaveProfiles(store, UserFile()));
  EXPECT_EQ(Load(), store);
  ASSERT_FALSE(SaveProfiles(Load(), UserFile()));
  EXPECT_EQ(ReadFile(UserFile()), ProfileFileText(store));

  // Measured noise levels are kept to two decimals.
  ASSERT_FALSE(StoreProfile(store, "Canon / EOS 5D", "6400", Profile(10, 3.14159, 2.71828)));
  ASSERT_FALSE(SaveProfiles(store, UserFile()));
  EXPECT_EQ(Load().cameras[1].profiles[0].m_dImmerkaerY, 3.14);
  EXPECT_EQ(Load().cameras[1].profiles[0].m_dImmerkaerUV, 2.72);
}

// The two files differ in actualIso so that the test can tell which one was read.
TEST_F(ProfileStoreTest, NewerDefaultFileWinsOverTheUserFile) {
  const auto fileOf = [](int32_t actualIso, const char* versionLine) {
    CameraProfileStore store = BuiltInProfileStore();
    store.actualIso = actualIso;
    std::string text = ProfileFileText(store);
    text.replace(text.find("version = 2\r\n"), 13, versionLine);
    return text;
  };
  const struct {
    const char* userVersion;  // nullptr: no user file
    const char* defaultVersion;
    int32_t expectedIso;
  } cases[] = {
      {"version = 1\r\n", "version = 2\r\n", 2},
      {"", "version = 2\r\n", 2},
      {"version = 2\r\n", "version = 2\r\n", 1},
      {"version = 3\r\n", "version = 2\r\n", 1},
      {"version = -1\r\n", "version = 2\r\n", 1},
      {"version = 2\r\n", nullptr, 1},
      {nullptr, "version = 1\r\n", 2},
  };
  for (const auto& c : cases) {
    fs::remove(UserFile());
    fs::remove(DefaultFile());
    if (c.userVersion) WriteFile(UserFile(), fileOf(1, c.userVersion));
    if (c.defaultVersion) WriteFile(DefaultFile(), fileOf(2, c.defaultVersion));
    const std::string userBefore = ReadFile(UserFile());
    EXPECT_EQ(Load().actualIso, c.expectedIso)
        << (c.userVersion ? c.userVersion : "no user file") << " against "
        << (c.defaultVersion ? c.defaultVersion : "no default file");
    EXPECT_EQ(ReadFile(UserFile()), userBefore);
  }
}

TEST_F(ProfileStoreTest, MissingKeysAndSectionsReadAsTheirDefaults) {
  const IsoProfile defaults = {0, 10, 10, 0, 0, 1, 1, 1, 5, 5, 0};
  const CameraProfileStore store =
      LoadText(Lines({"[General]", "No Of Cameras = 3", "[Camera_0]", "m_uiISOCount = 2",
                      "ISO0 = 100", "ISO1 = 50", "[Camera_1]", "m_uiISOCount = 1"}));
  ASSERT_EQ(store.cameras.size(), 3u);
  EXPECT_EQ(store.cameras[0].m_wcsCameraName, kUnknownCameraName);
  EXPECT_EQ(store.cameras[0].isoValues, (std::vector<uint32_t>{100, 50}));
  IsoProfile iso50 = defaults;
  iso50.isoValue = 50;
  EXPECT_EQ(store.cameras[0].profiles[1], iso50);
  EXPECT_EQ(store.cameras[1].isoValues, (std::vector<uint32_t>{0}));
  EXPECT_EQ(store.cameras[2], (CameraEntry{kUnknownCameraName, {}, {}}));

  const CameraProfileStore empty = LoadText("");
  EXPECT_EQ(empty.cameras, (std::vector<CameraEntry>{{kUnknownCameraName, {}, {}}}));
  EXPECT_EQ(ReadProfileFileVersion(UserFile()), 1u);
  EXPECT_EQ(ReadProfileFileVersion(folder_ / "missing.ini"), 1u);
}

TEST_F(ProfileStoreTest, CameraCountBelowOneGivesTheBuiltInStore) {
  for (const char* count : {"0", "-3", "none"}) {
    EXPECT_EQ(LoadText(Lines({"[General]", std::string("No Of Cameras = ") + count})),
              BuiltInProfileStore())
        << count;
  }
}

// Values out of range are kept within their field's range, text that is no number reads as 0.
TEST_F(ProfileStoreTest, ValuesOutOfRangeAreKeptWithinTheirRanges) {
  const struct {
    const char* line;
    double IsoProfile::*field;
    double expected;
  } reals[] = {
      {"m_dStrength = 75", &IsoProfile::m_dStrength, 50},
      {"m_dStrength = -1", &IsoProfile::m_dStrength, 0},
      {"m_dStrengthChroma = 50", &IsoProfile::m_dStrengthChroma, 50},
      {"m_dStrengthChromaLarge = 1e999", &IsoProfile::m_dStrengthChromaLarge, 50},
      {"m_dDynamics = -3", &IsoProfile::m_dDynamics, -2},
      {"m_dDynamics = 2.5", &IsoProfile::m_dDynamics, 2},
      {"m_dDynamics = -1.25", &IsoProfile::m_dDynamics, -1.25},
      {"m_dSharp1 = abc", &IsoProfile::m_dSharp1, 0},
      {"m_dSharp2 = inf", &IsoProfile::m_dSharp2, 4},
      {"m_dSharp3 = 4.5", &IsoProfile::m_dSharp3, 4},
      {"m_dImmerkaerY = 20000", &IsoProfile::m_dImmerkaerY, 10000},
      {"m_dImmerkaerUV = nan", &IsoProfile::m_dImmerkaerUV, 0},
  };
  const auto load = [&](const std::string& line) {
    return LoadText(Lines({"[Camera_0]", "m_uiISOCount = 1", "ISO0 = 100",
                           "[Camera <<Unknown Camera>> ISO100]", line}));
  };
  for (const auto& c : reals) {
    EXPECT_EQ(load(c.line).cameras[0].profiles[0].*c.field, c.expected) << c.line;
  }
  for (const auto& [line, expected] : {std::pair{"m_iUseMedian = 7", 2},
                                       {"m_iUseMedian = -1", 0},
                                       {"m_iUseMedian = 1", 1},
                                       {"m_iUseMedian = 2", 2}}) {
    EXPECT_EQ(load(line).cameras[0].profiles[0].m_iUseMedian, expected) << line;
  }
  for (const auto& [line, expected] : {std::pair{"ISO0 = 2000000", 1000000u}, {"ISO0 = -5", 0u}}) {
    const CameraProfileStore store = LoadText(Lines({"[Camera_0]", "m_uiISOCount = 1", line}));
    EXPECT_EQ(store.cameras[0].isoValues[0], expected) << line;
    EXPECT_EQ(store.cameras[0].profiles[0].isoValue, expected) << line;
  }
}

TEST_F(ProfileStoreTest, HostileFilesLoadWithoutHarm) {
  const std::string longName(1000, 'n');
  const CameraProfileStore store = LoadText(Lines({
      "[General]",
      "No Of Cameras = 4000000000",
      "Actual Camera = 99999999999",
      "[Camera_0]",
      "m_uiISOCount = 4000000000",
      "[Camera_1]",
      "m_wcsCameraName = Bad \xFF\xFE cam",
      "m_uiISOCount = 1",
      "ISO0 = 100",
      "[Camera Bad \xFF\xFE cam ISO100]",
      "m_dStrength = 33",
      "[Camera_2]",
      "m_wcsCameraName = " + longName,
      "m_uiISOCount = -7",
  }));
  ASSERT_EQ(store.cameras.size(), kMaxCameraCount);
  EXPECT_EQ(store.actualCamera, INT32_MAX);
  EXPECT_EQ(store.cameras[0].IsoCount(), kMaxIsoCount);
  EXPECT_EQ(store.cameras[0].profiles.size(), kMaxIsoCount);
  EXPECT_EQ(store.cameras[1].m_wcsCameraName, "Bad \xEF\xBF\xBD\xEF\xBF\xBD cam");
  EXPECT_EQ(store.cameras[1].profiles[0].m_dStrength, 33);
  EXPECT_EQ(store.cameras[2].m_wcsCameraName, longName.substr(0, 127));
  EXPECT_EQ(store.cameras[2].IsoCount(), 0u);

  std::string garbage(5000, '\0');
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<char>(((i + 1) * 7919) % 251);
  EXPECT_GE(LoadText(garbage).cameras.size(), 1u);
  EXPECT_EQ(LoadText("[General]\r\nNo Of\0 Cameras = 0"s).cameras.size(), 1u);
}

TEST(FindCamera, IgnoresBlanksAndCaseAndNeverAnswersWithAnotherSlotThanZero) {
  CameraProfileStore store = BuiltInProfileStore();
  store.cameras[0].m_wcsCameraName = "NIKON / D700";
  for (const char* name : {"Canon / EOS 5D", "NIKON / D700", "NIKON / D 700", "Sony / A7"}) {
    store.cameras.push_back({name, {}, {}});
  }
  const struct {
    const char* query;
    uint32_t slot;
  } cases[] = {
      {"NIKON / D 700", 2},  {"nikon / d700", 2}, {"NIKON/D700", 2},
      {"Canon / EOS 5D", 1}, {"Sony / A7 II", 0}, {"", 0},
      {"Leica / M9", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(FindCamera(store, c.query), c.slot) << c.query;
}

TEST(FindIsoIndex, TakesTheFirstEqualValueElseZero) {
  CameraProfileStore store = BuiltInProfileStore();
  store.cameras.push_back({"A", {400, 100, 400, 3200}, {}});
  store.cameras.push_back({"B", {}, {}});
  const struct {
    uint32_t slot;
    const char* iso;
    uint32_t index;
  } cases[] = {
      {1, "100", 1}, {1, "400", 0}, {1, "3200", 3}, {1, "800", 0}, {1, "", 0},
      {1, "-1", 0},  {2, "100", 0}, {0, "100", 0},  {7, "100", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindIsoIndex(store, c.slot, c.iso), c.index) << c.slot << " " << c.iso;
  }
}

TEST(FindNearestProfile, TakesTheNearestStoredNoiseWithTiesToTheLowestIndex) {
  CameraProfileStore store = BuiltInProfileStore();
  store.cameras[0].profiles = {Profile(10, 4.0, 100.0), Profile(10, 5.5, 0.0)};
  store.cameras.push_back({"Cam", {100, 200, 400}, {}});
  store.cameras[1].profiles = {Profile(10, 4.0, 1.0), Profile(10, 6.0, 9.0), Profile(10, 5.0, 4.0)};
  store.cameras.push_back({"Empty", {}, {}});
  const struct {
    const char* camera;
    double y, u;
    uint32_t index;
  } cases[] = {
      {"Cam", 5.0, 0.0, 2},      {"Cam", 5.0, 3.0, 2},   {"Cam", 4.9, 0.000001, 2},
      {"Cam", 6.5, 8.0, 1},      {"Cam", 5.5, 0.0, 1},   {"Unknown", 5.0, 0.0, 1},
      {"Unknown", 4.0, 99.0, 0}, {"Empty", 5.0, 1.0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindNearestProfile(store, c.camera, c.y, c.u), c.index)
        << c.camera << " " << c.y << " " << c.u;
  }
  store.cameras[1].profiles = {Profile(10, 4.0), Profile(10, 6.0)};
  EXPECT_EQ(FindNearestProfile(store, "Cam", 5.0, 0.0), 0u);
}

TEST(StoreProfile, KeepsTheIsoValueWithinRange) {
  const struct {
    const char* text;
    uint32_t iso;
  } cases[] = {{"12", 16},         {"16", 16},         {"17", 17},
               {"409600", 409600}, {"500000", 409600}, {"abc", 16}};
  for (const auto& c : cases) {
    CameraProfileStore store = BuiltInProfileStore();
    ASSERT_FALSE(StoreProfile(store, "Cam", c.text, Profile(20)));
    EXPECT_EQ(store.cameras[1].isoValues, std::vector<uint32_t>{c.iso}) << c.text;
    EXPECT_EQ(store.cameras[1].profiles[0].isoValue, c.iso) << c.text;
  }
}

TEST(StoreProfile, InsertsCamerasByNameAndIsoValuesAscending) {
  CameraProfileStore store = BuiltInProfileStore();
  for (const char* name :
       {"nikon / D3", "!Early", "Canon / 5D", "nikon / d3", "NIKON / D 3", "b"}) {
    ASSERT_FALSE(StoreProfile(store, name, "400", Profile(20)));
  }
  std::vector<std::string> names;
  for (const CameraEntry& camera : store.cameras) names.push_back(camera.m_wcsCameraName);
  EXPECT_EQ(names, (std::vector<std::string>{kUnknownCameraName, "!Early", "b", "Canon / 5D",
                                             "NIKON / D 3", "nikon / D3"}));

  CameraProfileStore isos = BuiltInProfileStore();
  for (const char* iso : {"100", "400", "200", "3200", "400", "50"}) {
    ASSERT_FALSE(StoreProfile(isos, "<<unknown camera>>", iso, Profile(std::atoi(iso) / 100.0)));
  }
  ASSERT_EQ(isos.cameras.size(), 1u);
  EXPECT_EQ(isos.cameras[0].isoValues, (std::vector<uint32_t>{50, 100, 200, 400, 3200}));
  for (const IsoProfile& profile : isos.cameras[0].profiles) {
    EXPECT_EQ(profile.m_dStrength, profile.isoValue / 100.0);
  }
}

TEST(DeleteProfiles, RemovesProfilesAndCamerasButNeverSlotZero) {
  CameraProfileStore store = BuiltInProfileStore();
  StoreProfile(store, "A", "100", Profile(1));
  StoreProfile(store, "B", "100", Profile(2));
  StoreProfile(store, "B", "200", Profile(3));
  StoreProfile(store, "C", "100", Profile(4));
  EXPECT_TRUE(DeleteIsoProfile(store, 2, 2));
  EXPECT_TRUE(DeleteIsoProfile(store, 9, 0));
  EXPECT_TRUE(DeleteIsoProfile(store, 0, 0));
  EXPECT_EQ(store.cameras[0], BuiltInProfileStore().cameras[0]);
  EXPECT_FALSE(DeleteIsoProfile(store, 2, 0));
  EXPECT_EQ(store.cameras[2].isoValues, std::vector<uint32_t>{200});
  EXPECT_EQ(store.cameras[2].profiles[0].m_dStrength, 3);
  EXPECT_FALSE(DeleteIsoProfile(store, 1, 0));
  ASSERT_EQ(store.cameras.size(), 3u);
  EXPECT_EQ(store.cameras[1].m_wcsCameraName, "B");
  EXPECT_TRUE(DeleteCamera(store, 0));
  EXPECT_TRUE(DeleteCamera(store, 3));
  EXPECT_FALSE(DeleteCamera(store, 1));
  ASSERT_EQ(store.cameras.size(), 2u);
  EXPECT_EQ(store.cameras[1].m_wcsCameraName, "C");
}

// A disk that fills up during the write: the temporary file hits the size limit, the old file stays
// whole and no temporary file is left behind.
TEST_F(ProfileStoreTest, FailedWriteLeavesTheOldFileUntouched) {
  CameraProfileStore store = BuiltInProfileStore();
  ASSERT_FALSE(SaveProfiles(store, UserFile()));
  ASSERT_EQ(chmod(UserFile().c_str(), 0600), 0);
  for (int i = 0; i < 20; ++i) StoreProfile(store, "Cam " + std::to_string(i), "100", Profile(i));

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool failed = SaveProfiles(store, UserFile());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_TRUE(failed);
  EXPECT_EQ(ReadFile(UserFile()), kBuiltInFile);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
  EXPECT_TRUE(SaveProfiles(store, folder_ / "no-such-folder" / kProfileFileName));

  ASSERT_FALSE(SaveProfiles(store, UserFile()));
  EXPECT_EQ(Load(), store);
  EXPECT_EQ(fs::status(UserFile()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ParseDecimal, ReadsTheLeadingNumberOrZero) {
  const struct {
    const char* text;
    int32_t integer;
    double real;
  } cases[] = {
      {"42", 42, 42},
      {"  17x", 17, 17},
      {"+5", 5, 5},
      {"-12.75", -12, -12.75},
      {"3,5", 3, 3},
      {"abc", 0, 0},
      {"", 0, 0},
      {"99999999999", INT32_MAX, 99999999999.0},
      {"-99999999999", INT32_MIN, -99999999999.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseDecimalInt(c.text), c.integer) << c.text;
    EXPECT_EQ(ParseDecimalReal(c.text), c.real) << c.text;
  }
}

}  // namespace
