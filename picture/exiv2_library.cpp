#include "picture/exiv2_library.h"

#include <exiv2/exiv2.hpp>

#include "picture/library_messages.h"

namespace {

void ReportExiv2Message(int, const char* message) {
  ReportLibraryMessage("Exiv2", message ? message : "");
}

}  // namespace

void UseExiv2() {
  static const bool configured = [] {
    Exiv2::LogMsg::setHandler(ReportExiv2Message);
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::warn);
    Exiv2::XmpParser::initialize();
    // Where a JPEG's extended XMP is announced; Exiv2 does not know the namespace by itself.
    Exiv2::XmpProperties::registerNs("http://ns.adobe.com/xmp/note/", "xmpNote");
    return true;
  }();
  static_cast<void>(configured);
}
