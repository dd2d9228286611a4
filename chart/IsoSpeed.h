#pragma once

#include "collection/DisplaySettings.h"

#include <array>
#include <cstdint>
#include <string>

// The reference sensitivities the EV lines can be numbered for; each entry is one EV above the one
// before, and index 1 (ISO 100) is the one the photos' own EV values are normalised to.
inline constexpr std::array<uint16_t, 11> IsoSpeedTable{50,   100,  200,   400,   800,  1600,
                                                        3200, 6400, 12800, 25600, 51200};

// An index brought into the table: a hand-edited settings file can hold anything.
int32_t ClampIsoIndex(int32_t index);

// "ISO %d" of the table entry ("ISO 100" for index 1).
std::string FormatIsoItem(int32_t index);

// "露出値・ＥＶ(ISO n)" for an index.
std::string EvCaptionFor(int32_t index);

// Numbers the EV lines for an ISO index: sets isoIndex (brought into the table) and rebuilds
// evCaption from it. The EV label texts the chart draws follow isoIndex (EvLineLabels), so caption
// and labels always change together and cannot disagree.
void ApplyIsoIndex(DisplaySettings& settings, int32_t index);
