#include "chart/IsoSpeed.h"

#include "photo/NumberText.h"

#include <algorithm>

int32_t ClampIsoIndex(int32_t index) {
    return std::clamp<int32_t>(index, 0, static_cast<int32_t>(IsoSpeedTable.size()) - 1);
}

std::string FormatIsoItem(int32_t index) {
    return "ISO " + FormatInteger(IsoSpeedTable[static_cast<size_t>(ClampIsoIndex(index))]);
}

std::string EvCaptionFor(int32_t index) {
    return "露出値・ＥＶ(" + FormatIsoItem(index) + ")";
}

void ApplyIsoIndex(DisplaySettings& settings, int32_t index) {
    settings.isoIndex = ClampIsoIndex(index);
    settings.evCaption = EvCaptionFor(settings.isoIndex);
}
