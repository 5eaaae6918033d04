// Tasks and results between a batch and its workers arrive as they were sent, and a message cut
// short is refused rather than read as something else.
#include "batch/photo_wire.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

TEST(PhotoWire, MessagesArriveWholeAndACutMessageIsRefused) {
  const PhotoTask task{"tree/Sommer 2019/été 1.jpg", "tree/Sommer 2019/denoised/été 1.jpg",
                       "Sommer 2019/été 1.jpg"};
  ProcessedFile file;
  file.outputFolderUnavailable = true;
  file.record.task = task;
  file.record.outcome = BatchOutcome::kAlreadyDone;
  file.record.reason = "line one\nline two";
  file.record.rule = ProfileRule::kAutomatic;
  file.record.profile.m_dStrength = 7.25;
  file.record.profile.m_iUseMedian = 2;
  file.record.seconds = 1.5;
  file.record.megapixels = 0.3072;

  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  ASSERT_TRUE(SendMessage(sockets[0], EncodeTask(task)));
  ASSERT_TRUE(SendMessage(sockets[0], EncodeResult(file)));
  const auto taskBytes = ReceiveMessage(sockets[1]);
  const auto resultBytes = ReceiveMessage(sockets[1]);
  ASSERT_TRUE(taskBytes && resultBytes);
  const std::optional<PhotoTask> taskRead = DecodeTask(*taskBytes);
  const std::optional<ProcessedFile> read = DecodeResult(*resultBytes);
  ASSERT_TRUE(taskRead && read);
  EXPECT_EQ(taskRead->input, task.input);
  EXPECT_EQ(taskRead->output, task.output);
  EXPECT_EQ(taskRead->relativePath, task.relativePath);
  EXPECT_TRUE(read->outputFolderUnavailable);
  EXPECT_EQ(read->record.task.relativePath, task.relativePath);
  EXPECT_EQ(read->record.outcome, BatchOutcome::kAlreadyDone);
  EXPECT_EQ(read->record.reason, file.record.reason);
  EXPECT_EQ(read->record.rule, ProfileRule::kAutomatic);
  EXPECT_EQ(read->record.profile, file.record.profile);
  EXPECT_EQ(read->record.megapixels, 0.3072);

  for (size_t size = 0; size < resultBytes->size(); ++size) {
    EXPECT_FALSE(DecodeResult(std::string_view(*resultBytes).substr(0, size))) << size;
  }
  // The other end goes in the middle of a message: a length of 100 bytes and only 3 of them.
  const uint32_t promised = 100;
  ASSERT_EQ(write(sockets[0], &promised, sizeof(promised)), 4);
  ASSERT_EQ(write(sockets[0], "abc", 3), 3);
  close(sockets[0]);
  EXPECT_FALSE(ReceiveMessage(sockets[1]));
  close(sockets[1]);
}

}  // namespace
