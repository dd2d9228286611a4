#pragma once

#include <cstdint>
#include <string>

// The display settings the document holds; persisted in the settings file, edited by the
// display-settings panel, zoomed by the mouse wheel, set to 100 % for printing.
struct DisplaySettings {
    static constexpr int32_t kViewThumbnails = 0;
    static constexpr int32_t kViewMarks = 1;

    int32_t viewType = kViewThumbnails;  // 0 thumbnails, 1 marks
    int32_t sizePict = 40;               // side of a photo's cell in chart units (10..120)
    int32_t isoIndex = 1;                // index into IsoSpeedTable; 1 is ISO 100 (0..10)
    int32_t magnify = 100;               // percent (30..400)
    std::string evCaption;               // "露出値・ＥＶ(ISO n)", rebuilt with the EV labels
};
