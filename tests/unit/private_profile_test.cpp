#include "platform/private_profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class PrivateProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "private_profile_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    path_ = folder_ / "test.ini";
  }
  void TearDown() override { fs::remove_all(folder_); }

  void WriteText(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadText() const {
    std::ostringstream text;
    text << std::ifstream(path_, std::ios::binary).rdbuf();
    return text.str();
  }
  std::string Get(const std::string& section, const std::string& key) const {
    return GetPrivateProfileString(section, key, "<default>", path_);
  }

  fs::path folder_;
  fs::path path_;
};

TEST_F(PrivateProfileTest, MissingFileGivesDefaultsAndCreatesNothing) {
  EXPECT_EQ(Get("General", "HW Accel"), "<default>");
  EXPECT_EQ(GetPrivateProfileInt("General", "HW Accel", 7, path_), 7);
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(PrivateProfileTest, LookupsIgnoreCaseTrimAndUnquote) {
  WriteText(
      "\xEF\xBB\xBF; settings\n[General]\nHW Accel=1\nName =  spaced value  \n"
      "Quoted=\"  padded  \"\nSingle='x'\nMismatched=\"abc'\nEmpty=\nDup=first\nDup=second\n"
      "[other]\r\nHW Accel=2\r\n");
  const struct {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"General", "HW Accel", "1"},         {"GENERAL", "hw accel", "1"},
      {"other", "HW ACCEL", "2"},           {"General", "Name", "spaced value"},
      {"General", "Quoted", "  padded  "},  {"General", "Single", "x"},
      {"General", "Mismatched", "\"abc'"},  {"General", "Empty", ""},
      {"General", "Dup", "first"},          {"General", "Missing", "<default>"},
      {"Missing", "HW Accel", "<default>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Get(c.section, c.key), c.expected) << c.section << " / " << c.key;
  }
}

TEST_F(PrivateProfileTest, IntegersFollowTheLeadingDecimalNumber) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"42", 42},
      {"\"  42abc\"", 42},
      {"-7", -7},
      {"+5", 5},
      {"abc", 0},
      {"- 3", 0},
      {"0x10", 0},
      {"12.9", 12},
      {"-2147483648", INT32_MIN},
      {"4294967297", 1},
      {"2147483648", INT32_MIN},
      {"", 99},
  };
  std::string text = "[n]\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    text += "v" + std::to_string(i) + "=" + cases[i].text + "\n";
  }
  WriteText(text);
  const PrivateProfileFile file(path_);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(file.GetInt("n", "v" + std::to_string(i), 99), cases[i].expected) << cases[i].text;
  }
  EXPECT_EQ(file.GetInt("n", "absent", 99), 99);
}

TEST_F(PrivateProfileTest, WriteKeepsOtherSectionsKeysCommentsAndOrder) {
  WriteText("; kept comment\n[A]\nfirst=1\nsecond=2\n\n[B]\nonly=3\n");
  ASSERT_FALSE(WritePrivateProfileString("B", "only", "33", path_));
  ASSERT_FALSE(WritePrivateProfileString("A", "third", "x", path_));
  ASSERT_FALSE(WritePrivateProfileString("C", "new", "y", path_));

  const std::string text = ReadText();
  EXPECT_NE(text.find("; kept comment"), std::string::npos);
  const std::vector<const char*> inOrder = {"[A]", "first=1", "second=2", "third=x",
                                            "[B]", "only=33", "[C]",      "new=y"};
  std::size_t position = 0;
  for (const char* line : inOrder) {
    const std::size_t found = text.find(line, position);
    ASSERT_NE(found, std::string::npos) << line << " missing or out of order in:\n" << text;
    position = found;
  }
}

TEST_F(PrivateProfileTest, WriteReplacesTheExistingKeyWhateverItsCase) {
  WriteText("[General]\nHW Accel=1\nhw accel=2\nother=5\n");
  ASSERT_FALSE(WritePrivateProfileString("general", "HW ACCEL", "0", path_));
  EXPECT_EQ(Get("General", "HW Accel"), "0");
  EXPECT_EQ(Get("General", "other"), "5");
  const std::string text = ReadText();
  EXPECT_EQ(text.find("=1"), std::string::npos) << text;
  EXPECT_EQ(text.find("=2"), std::string::npos) << text;
  EXPECT_EQ(text.find("[general]"), std::string::npos) << "the section keeps its spelling";
}

TEST_F(PrivateProfileTest, WriteCreatesTheFileButNotTheFolder) {
  ASSERT_FALSE(WritePrivateProfileString("General", "jpeg", "85", path_));
  EXPECT_EQ(ReadText(), "[General]\njpeg=85\n");

  const fs::path missingFolder = folder_ / "absent" / "test.ini";
  EXPECT_TRUE(WritePrivateProfileString("General", "jpeg", "85", missingFolder));
  EXPECT_FALSE(fs::exists(missingFolder.parent_path()));
}

TEST_F(PrivateProfileTest, RefusedWritesLeaveTheOldFileAndNoTemporaryFile) {
  const std::string original = "[General]\nkey=old\n";
  WriteText(original);
  const struct {
    const char* section;
    std::string key;
    std::string value;
  } refused[] = {
      {"General", "key", "two\nlines"},
      {"General", "key", "carriage\rreturn"},
      {"General", "key", {"nul\0", 4}},
      {"General", "a=b", "v"},
      {"General", "", "v"},
      {"Gen]eral", "key", "v"},
      {"General", "[key", "v"},
      {"General", ";key", "v"},
  };
  for (const auto& r : refused) {
    EXPECT_TRUE(WritePrivateProfileString(r.section, r.key, r.value, path_)) << r.key;
  }
  EXPECT_EQ(ReadText(), original);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

TEST_F(PrivateProfileTest, AWriteThatFailsHalfwayKeepsTheOldFile) {
  const std::string original = "[General]\nkey=old\n";
  WriteText(original);
  // A file size limit makes the temporary file's write fail after 64 bytes, whoever runs the test.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto savedHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const bool failed = WritePrivateProfileString("General", "key", std::string(500, 'n'), path_);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, savedHandler);

  EXPECT_TRUE(failed);
  EXPECT_EQ(ReadText(), original);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1)
      << "the temporary file is removed";
}

TEST_F(PrivateProfileTest, RewriteKeepsTheFilePermissions) {
  WriteText("[General]\n");
  chmod(path_.c_str(), 0640);
  ASSERT_FALSE(WritePrivateProfileString("General", "key", "v", path_));
  struct stat info {};
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

std::string Repeat(const std::string& piece, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST_F(PrivateProfileTest, LongValuesAreCutOnACharacterBoundary) {
  const struct {
    std::string value;
    std::size_t maxBytes;
    std::size_t expectedBytes;
  } cases[] = {
      {Repeat("a", 2000), kProfileValueMaxBytes, 1023},
      {Repeat("\xC3\xA9", 600), kProfileValueMaxBytes, 1022},          // é: 2 bytes
      {Repeat("\xE2\x82\xAC", 400), kProfileValueMaxBytes, 1023},      // €: 3 bytes
      {Repeat("\xF0\x9F\x98\x80", 300), kProfileValueMaxBytes, 1020},  // 4 bytes
      {Repeat("\x80", 2000), kProfileValueMaxBytes, 1023},             // not UTF-8
      {"abcdefg", 5, 5},
      {"short", kProfileValueMaxBytes, 5},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(WritePrivateProfileString("S", "k", c.value, path_));
    const std::string read = GetPrivateProfileString("S", "k", "", path_, c.maxBytes);
    EXPECT_EQ(read.size(), c.expectedBytes) << c.value.substr(0, 8);
    EXPECT_EQ(read, c.value.substr(0, read.size()));
  }
  EXPECT_EQ(GetPrivateProfileString("S", "absent", Repeat("b", 3000), path_).size(), 1023u);
}

TEST_F(PrivateProfileTest, InvalidUtf8RoundTripsAsBytes) {
  const std::string bytes = "\xFF\xFE\xC3 \xE2\x82 ok \xF0";
  ASSERT_FALSE(WritePrivateProfileString("S\xFF", "k\xC3", bytes, path_));
  EXPECT_EQ(GetPrivateProfileString("S\xFF", "k\xC3", "", path_), bytes);
}

TEST_F(PrivateProfileTest, WritesFromSeveralThreadsKeepEveryKey) {
  constexpr int kThreads = 4;
  constexpr int kKeysPerThread = 20;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeysPerThread; ++k) {
        const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
        WritePrivateProfileString("General", key, std::to_string(k), path_);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const PrivateProfileFile file(path_);
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeysPerThread; ++k) {
      const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
      EXPECT_EQ(file.GetInt("General", key, -1), k) << key;
    }
  }
}

}  // namespace
