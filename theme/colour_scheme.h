// The colour schemes of the user interface: a table of 30 colours indexed like the platform's
// system colours (0-29), each a COLORREF (0x00BBGGRR) or -1 where the scheme keeps the system
// colour. Scheme 0 keeps every system colour, 1 is light, 2 dark grey (what the program uses) and
// 3 near black. This file knows nothing of Qt; theme/application_theme.h turns the table into a
// palette.
#pragma once

#include <cstdint>

// The entries other code reads, named after the system colours they replace.
inline constexpr int kColourActiveCaption = 2;
inline constexpr int kColourInactiveCaption = 3;
inline constexpr int kColourMenu = 4;
inline constexpr int kColourWindow = 5;
inline constexpr int kColourWindowText = 8;
inline constexpr int kColourCaptionText = 9;
inline constexpr int kColourAppWorkspace = 12;
inline constexpr int kColourButtonFace = 15;
inline constexpr int kColourButtonShadow = 16;
inline constexpr int kColourGreyText = 17;
inline constexpr int kColourButtonText = 18;
inline constexpr int kColourButtonHighlight = 20;
inline constexpr int kColourDarkShadow = 21;
inline constexpr int kColourLight = 22;
inline constexpr int kColourCount = 30;

// A table entry that keeps the system colour.
inline constexpr int32_t kSystemColour = -1;

// Fills the table for schemes 1 to 3 and records the number; every other number (0 included)
// leaves every entry at kSystemColour.
void SetColourScheme(int scheme);
// The number last given to SetColourScheme (0 before the first call).
int CurrentColourScheme();
// The table's COLORREF for `index`, or kSystemColour where the scheme keeps the system colour.
// An index outside 0-29 gives 0 (black), as the platform's colour query does above 29.
int32_t ThemedColour(int index);
