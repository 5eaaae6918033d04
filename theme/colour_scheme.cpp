#include "theme/colour_scheme.h"

#include <array>

namespace {

using ColourTable = std::array<int32_t, kColourCount>;

struct SchemeEntry {
  int index;
  int32_t light;      // scheme 1
  int32_t darkGrey;   // scheme 2
  int32_t nearBlack;  // scheme 3
};

// Every entry not listed keeps the system colour in every scheme.
constexpr SchemeEntry kSchemeEntries[] = {
    {2, 0xEAD9C9, 0x6E6E6E, 0x555555},  {3, 0xDBD9D9, 0x5A5A5A, 0x232323},
    {4, 0xF0F0F0, 0x505050, 0x0A0A0A},  {5, 0xFCFCFC, 0x414141, 0x0F0F0F},
    {8, 0x000000, 0xBEBEBE, 0xBEBEBE},  {9, 0x000000, 0xBEBEBE, 0xBEBEBE},
    {10, 0xEFEFEF, 0xEFEFEF, 0xEFEFEF}, {11, 0xD2D2D2, 0xD2D2D2, 0xD2D2D2},
    {12, 0xABABAB, 0x232323, 0x141414}, {15, 0xD2D2D2, 0x464646, 0x000000},
    {16, 0x808080, 0x373737, 0x343434}, {17, 0x6E6E6E, 0xA0A0A0, 0x464646},
    {18, 0x000000, 0xE6E6E6, 0x969696}, {19, 0x9B9B9B, 0x9B9B9B, 0x9B9B9B},
    {20, 0xE2E2E2, 0x646464, 0x555555}, {21, 0x404040, 0x323232, 0x0A0A0A},
    {22, 0xFFFFFF, 0x000000, 0x353535}, {27, 0x272727, 0x3C3C3C, 0x505050},
    {28, 0xBEBEBE, 0x5F5F5F, 0x000000},
};

struct SchemeState {
  int scheme = 0;
  ColourTable table = [] {
    ColourTable empty;
    empty.fill(kSystemColour);
    return empty;
  }();
};

SchemeState& State() {
  static SchemeState state;
  return state;
}

int32_t SchemeValue(const SchemeEntry& entry, int scheme) {
  switch (scheme) {
    case 1:
      return entry.light;
    case 2:
      return entry.darkGrey;
    case 3:
      return entry.nearBlack;
    default:
      return kSystemColour;
  }
}

}  // namespace

void SetColourScheme(int scheme) {
  SchemeState& state = State();
  state.table.fill(kSystemColour);
  for (const SchemeEntry& entry : kSchemeEntries) {
    state.table[entry.index] = SchemeValue(entry, scheme);
  }
  state.scheme = scheme;
}

int CurrentColourScheme() { return State().scheme; }

int32_t ThemedColour(int index) {
  if (index < 0 || index >= kColourCount) return 0;
  return State().table[index];
}
