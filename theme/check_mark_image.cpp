#include "theme/check_mark_image.h"

std::string CheckMarkImageName(int scheme, CheckMark mark, bool enabled) {
  if (scheme < 1 || scheme > 3) return {};
  std::string name = scheme == 1 ? "CHECK_" : "CHECKD_";
  switch (mark) {
    case CheckMark::kUnchecked:
      name += "DES";
      break;
    case CheckMark::kPartial:
      name += "SEMI";
      break;
    case CheckMark::kChecked:
      name += "SEL";
      break;
  }
  return name + (enabled ? "ON" : "OFF");
}
