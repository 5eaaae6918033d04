// Messages of the image libraries beneath the core (FreeImage, libtiff inside it, Exiv2). They are
// diagnostics for a developer, not for the person using the program, so they are silent by default;
// with verbose library messages switched on (stillgrain-cli --verbose) each one is printed to
// stderr as it arrives. The last message is kept either way, so that a caller can add it to its own
// report. Safe from any thread.
#pragma once

#include <string>
#include <string_view>

void SetVerboseLibraryMessages(bool verbose);
bool VerboseLibraryMessages();

// Records a message of `library` ("FreeImage", "libtiff", "Exiv2") and prints it when verbose.
void ReportLibraryMessage(std::string_view library, std::string_view text);

// The last message reported, as "<library>: <text>"; empty when there was none.
std::string LastLibraryMessage();
