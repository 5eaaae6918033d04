// stillgrain-cli batch over whole archives, end to end: shards run through GNU parallel cover the
// tree once, runs killed while they write are resumed with --skip-done, --jobs gives the results
// of one job, an interrupt stops every worker, and the JSON report matches the files on disk.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_process.h"
#include "support/photo_files.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using testphotos::TempFolder;

// Every line of a report, each parsed on its own.
std::vector<json> ReadReport(const fs::path& path) {
  std::vector<json> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(json::parse(line, nullptr, false));
    EXPECT_FALSE(lines.back().is_discarded()) << path << ": " << line;
  }
  return lines;
}

// The photo lines of reports with a status, as relative path → every status reported for it.
std::map<std::string, std::vector<std::string>> PhotoStatuses(const std::vector<json>& lines) {
  std::map<std::string, std::vector<std::string>> statuses;
  for (const json& line : lines) {
    if (line.value("type", "") == "photo") {
      statuses[line["relativePath"].get<std::string>()].push_back(line["status"]);
    }
  }
  return statuses;
}

// The finished results below `root` by their photo's path below it, with their bytes; temporary
// files of saves go into `leftovers`. Can be read while a run writes there: a result is renamed
// into place whole, and a listing that meets a change ends early, to be read again.
std::map<std::string, std::vector<uint8_t>> Results(const fs::path& root,
                                                    std::vector<fs::path>* leftovers = nullptr) {
  std::map<std::string, std::vector<uint8_t>> results;
  std::error_code error;
  for (auto entry = fs::recursive_directory_iterator(root, error);
       !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    const fs::path folder = entry->path().parent_path();
    if (folder.filename() != "denoised") continue;
    if (entry->path().filename().string().ends_with(".part")) {
      if (leftovers != nullptr) leftovers->push_back(entry->path());
      continue;
    }
    const fs::path photo = folder.parent_path() / entry->path().filename();
    results[photo.lexically_relative(root).string()] = testphotos::ReadBytes(entry->path());
  }
  return results;
}

void RemoveResults(const fs::path& root) {
  std::vector<fs::path> folders;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() == "denoised") folders.push_back(entry.path());
  }
  for (const fs::path& folder : folders) fs::remove_all(folder);
}

// Whether a process of the group still runs (one that has ended and waits to be reaped does not).
bool GroupRuns(pid_t group) {
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (name) state ppid pgrp …; the name may hold spaces and parentheses.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    char state = 0;
    pid_t parent = 0, processGroup = 0;
    fields >> state >> parent >> processGroup;
    if (processGroup == group && state != 'Z') return true;
  }
  return false;
}

// Whether `done` holds within `limit`, asked every few milliseconds.
template <typename Done>
bool Within(std::chrono::milliseconds limit, Done done) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool GroupEndsWithin(pid_t group, std::chrono::milliseconds limit) {
  return Within(limit, [group] { return !GroupRuns(group); });
}

class BatchArchiveCliTest : public ::testing::Test {
 protected:
  testcli::Result Run(const std::string& arguments) {
    return testcli::Run(STILLGRAIN_CLI_PATH, work_.path(), arguments);
  }

  // `count` small photos in folders whose names hold spaces and letters beyond ASCII.
  void WriteTree(int count, int32_t width, int32_t height) {
    const char* kFolders[] = {"Sommer 2019", "Sommer 2019/Île de Ré", "été", "plain"};
    for (int i = 0; i < count; ++i) {
      const std::string name = (i % 3 == 0 ? "photo é " : "IMG_") + std::to_string(i) + ".png";
      testphotos::WritePatternPhoto(work_ / "tree" / kFolders[i % 4] / name, width + i % 5,
                                    height);
    }
    testphotos::WriteBytes(work_ / "tree/notes.txt", "not a photo");
  }

  std::set<std::string> Photos() const {
    std::set<std::string> photos;
    const fs::path root = work_ / "tree";
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.path().extension() == ".png") photos.insert(entry.path().lexically_relative(root));
    }
    return photos;
  }

  TempFolder work_;
};

TEST_F(BatchArchiveCliTest, ShardsThroughGnuParallelCoverTheTreeOnceAndARerunDenoisesNothing) {
  ASSERT_EQ(std::system("command -v parallel >/dev/null"), 0)
      << "GNU parallel is missing: scripts/install-deps.sh installs it";
  WriteTree(300, 16, 16);
  const std::set<std::string> photos = Photos();
  const std::string shards = "--will-cite -j2 \"'" + std::string(STILLGRAIN_CLI_PATH) +
                             "' batch tree --quality 1 --quiet --shard {}/4 ";
  const testcli::Result first = testcli::Run(
      "parallel", work_.path(), shards + "--report 'first {}.jsonl'\" ::: 1 2 3 4");
  ASSERT_EQ(first.status, 0) << first.err;

  std::map<std::string, std::vector<std::string>> union_;
  for (int shard = 1; shard <= 4; ++shard) {
    const std::vector<json> lines = ReadReport(work_ / ("first " + std::to_string(shard) + ".jsonl"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["type"], "summary");
    EXPECT_EQ(lines.back()["shard"], std::to_string(shard) + "/4");
    EXPECT_EQ(lines.back()["exitStatus"], 0);
    for (const auto& [photo, statuses] : PhotoStatuses(lines)) {
      union_[photo].insert(union_[photo].end(), statuses.begin(), statuses.end());
    }
    // A photo's line names the result that is on disk.
    for (const json& line : lines) {
      if (line["type"] == "photo") {
        EXPECT_TRUE(fs::exists(work_ / line["result"].get<std::string>())) << line;
      }
    }
  }
  std::set<std::string> reported;
  for (const auto& [photo, statuses] : union_) {
    EXPECT_EQ(statuses, std::vector<std::string>{"denoised"}) << photo;
    reported.insert(photo);
  }
  EXPECT_EQ(reported, photos);
  EXPECT_EQ(Results(work_ / "tree").size(), photos.size());

  const testcli::Result again = testcli::Run(
      "parallel", work_.path(), shards + "--skip-done --report 'again {}.jsonl'\" ::: 1 2 3 4");
  ASSERT_EQ(again.status, 0) << again.err;
  for (int shard = 1; shard <= 4; ++shard) {
    const std::vector<json> lines = ReadReport(work_ / ("again " + std::to_string(shard) + ".jsonl"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["denoised"], 0);
    for (const auto& [photo, statuses] : PhotoStatuses(lines)) {
      EXPECT_EQ(statuses, std::vector<std::string>{"already-done"}) << photo;
    }
  }
}

// Runs killed with SIGKILL (the process and its workers) while they write leave only complete
// results; the run that resumes with --skip-done makes exactly the photos that have none, and
// every result ends byte for byte as one uninterrupted run of one job makes it.
TEST_F(BatchArchiveCliTest, SkipDoneAfterKillsRedoesExactlyTheUnfinishedPhotos) {
  WriteTree(60, 96, 96);
  ASSERT_EQ(Run("batch tree --quiet").status, 0);
  const auto reference = Results(work_ / "tree");
  ASSERT_EQ(reference.size(), 60u);
  RemoveResults(work_ / "tree");

  // Each run is killed once ten more photos are finished, not after a fixed time, which a fast
  // machine could spend finishing the whole tree.
  for (int round = 0; round < 4; ++round) {
    const pid_t run = testcli::Start(
        STILLGRAIN_CLI_PATH, work_.path(),
        {"batch", "tree", "--skip-done", "--jobs", round % 2 ? "2" : "1", "--report", "killed.jsonl"});
    const size_t target = 10u * (round + 1);
    Within(std::chrono::seconds(30), [&] { return Results(work_ / "tree").size() >= target; });
    kill(-run, SIGKILL);
    testcli::Wait(run);
    ASSERT_TRUE(GroupEndsWithin(run, std::chrono::seconds(5)));
  }
  ReadReport(work_ / "killed.jsonl");  // every line whole
  const auto finished = Results(work_ / "tree");
  EXPECT_LT(finished.size(), reference.size()) << "every run ended before it was killed";
  for (const auto& [photo, bytes] : finished) EXPECT_EQ(bytes, reference.at(photo)) << photo;

  const testcli::Result resumed = Run("batch tree --skip-done --report resumed.jsonl");
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_NE(resumed.out.find(std::to_string(finished.size()) + " already done"), std::string::npos)
      << resumed.out;
  for (const auto& [photo, statuses] : PhotoStatuses(ReadReport(work_ / "resumed.jsonl"))) {
    const char* expected = finished.count(photo) != 0 ? "already-done" : "denoised";
    EXPECT_EQ(statuses, std::vector<std::string>{expected}) << photo;
  }
  std::vector<fs::path> leftovers;
  EXPECT_EQ(Results(work_ / "tree", &leftovers), reference);
  EXPECT_EQ(leftovers, std::vector<fs::path>{});
}

// --jobs makes the results of one job; an interrupt sent to the batch alone reaches its workers,
// the batch exits with 130, and the report names exactly the results that were written.
TEST_F(BatchArchiveCliTest, JobsGiveTheResultsOfOneJobAndAnInterruptStopsEveryWorker) {
  WriteTree(60, 96, 96);
  ASSERT_EQ(Run("batch tree --quiet").status, 0);
  const auto reference = Results(work_ / "tree");
  RemoveResults(work_ / "tree");
  const testcli::Result jobs = Run("batch tree --jobs 3 --report -");
  ASSERT_EQ(jobs.status, 0) << jobs.err;
  EXPECT_NE(jobs.err.find("60 denoised, 0 too small"), std::string::npos) << jobs.err;
  EXPECT_EQ(Results(work_ / "tree"), reference);
  const std::vector<json> lines = [&] {
    std::vector<json> parsed;
    std::istringstream out(jobs.out);
    for (std::string line; std::getline(out, line);) parsed.push_back(json::parse(line));
    return parsed;
  }();
  EXPECT_EQ(PhotoStatuses(lines).size(), 60u) << "standard output holds the report alone";
  EXPECT_EQ(lines.back()["jobs"], 3);
  RemoveResults(work_ / "tree");

  const pid_t run = testcli::Start(STILLGRAIN_CLI_PATH, work_.path(),
                                   {"batch", "tree", "--jobs", "2", "--report", "stopped.jsonl"});
  // Interrupted once its first photo is reported, not after a fixed time: on a loaded machine the
  // signal could otherwise arrive before the program has set up its handling.
  const fs::path report = work_ / "stopped.jsonl";
  Within(std::chrono::seconds(30), [&] { return fs::exists(report) && fs::file_size(report) > 0; });
  kill(run, SIGINT);
  EXPECT_EQ(testcli::Wait(run), 130);
  EXPECT_TRUE(GroupEndsWithin(run, std::chrono::seconds(1))) << "a worker outlived the batch";
  std::vector<fs::path> leftovers;
  const auto written = Results(work_ / "tree", &leftovers);
  EXPECT_EQ(leftovers, std::vector<fs::path>{});
  const std::vector<json> stopped = ReadReport(work_ / "stopped.jsonl");
  ASSERT_FALSE(stopped.empty());
  EXPECT_EQ(stopped.back()["cancelled"], true);
  EXPECT_EQ(stopped.back()["exitStatus"], 130);
  std::set<std::string> reported;
  for (const auto& [photo, statuses] : PhotoStatuses(stopped)) {
    EXPECT_EQ(statuses, std::vector<std::string>{"denoised"}) << photo;
    reported.insert(photo);
  }
  std::set<std::string> onDisk;
  for (const auto& [photo, bytes] : written) {
    onDisk.insert(photo);
    EXPECT_EQ(bytes, reference.at(photo)) << photo;
  }
  EXPECT_EQ(reported, onDisk);
  EXPECT_LT(onDisk.size(), 60u) << "the interrupt came after the end";
}

TEST_F(BatchArchiveCliTest, BadShardsJobsAndReportsAreRefusedBeforeAnyWork) {
  WriteTree(4, 16, 16);
  const struct {
    const char* arguments;
    int status;
  } kCases[] = {
      {"--shard 0/4", 1}, {"--shard 5/4", 1},         {"--shard 2", 1},
      {"--jobs 0", 1},    {"--jobs 1.5", 1},          {"--report ''", 1},
      {"--report no-such-folder/r.jsonl", 2},
  };
  for (const auto& c : kCases) {
    const testcli::Result result = Run(std::string("batch tree ") + c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments << ": " << result.err;
    EXPECT_FALSE(result.err.empty()) << c.arguments;
  }
  EXPECT_TRUE(Results(work_ / "tree").empty());
}

}  // namespace
