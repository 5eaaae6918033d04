// Tasks and results as bytes between a batch and its worker processes, and whole messages over a
// stream socket. Both ends are the same program (the workers are forks of the batch), so values
// travel in the machine's own byte order and layout.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "batch/photo_processor.h"

std::string EncodeTask(const PhotoTask& task);
std::optional<PhotoTask> DecodeTask(std::string_view bytes);

std::string EncodeResult(const ProcessedFile& file);
std::optional<ProcessedFile> DecodeResult(std::string_view bytes);

// Sends `message` with its length in front. False when the other end is gone.
bool SendMessage(int socket, std::string_view message);

// Receives one whole message, waiting for all of it (signals do not cut it short). Nothing when the
// other end has closed the connection or sent something that is no message.
std::optional<std::string> ReceiveMessage(int socket);
