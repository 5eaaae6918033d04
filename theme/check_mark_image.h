// Which drawing a check box or radio button shows for its mark.
#pragma once

#include <string>

enum class CheckMark { kUnchecked, kPartial, kChecked };

// The name of the image (resources/images/<name>.svg) for a mark in `scheme`: "CHECK_…" in the
// light scheme 1, "CHECKD_…" in the dark schemes 2 and 3; DES (unchecked), SEMI (partial) or SEL
// (checked), then ON for an enabled control and OFF for a disabled one. Empty in the other schemes,
// where the style's own indicator is drawn.
std::string CheckMarkImageName(int scheme, CheckMark mark, bool enabled);
