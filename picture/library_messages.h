// Messages of the image libraries beneath the core (FreeImage, libtiff inside it, Exiv2). They are
// diagnostics for a developer, not for the person using the program, so they are silent by default;
// with verbose library messages switched on (stillgrain-cli --verbose) each one is printed to
// stderr as it arrives. The last message is kept either way, so that a caller can add it to its own
// report. Safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

void SetVerboseLibraryMessages(bool verbose);
bool VerboseLibraryMessages();

// Records a message of `library` ("FreeImage", "libtiff", "Exiv2") and prints it when verbose.
void ReportLibraryMessage(std::string_view library, std::string_view text);

// The last message reported, as "<library>: <text>"; empty when there was none.
std::string LastLibraryMessage();

// Collects the messages reported on the calling thread while it lives, for a caller that judges
// what a library met (the decoders report on the thread that decodes). Captures nest: the innermost
// one collects.
class LibraryMessageCapture {
 public:
  LibraryMessageCapture();
  ~LibraryMessageCapture();
  LibraryMessageCapture(const LibraryMessageCapture&) = delete;
  LibraryMessageCapture& operator=(const LibraryMessageCapture&) = delete;

  const std::vector<std::string>& messages() const { return messages_; }

 private:
  friend void ReportLibraryMessage(std::string_view library, std::string_view text);
  std::vector<std::string> messages_;
  LibraryMessageCapture* outer_;
};
