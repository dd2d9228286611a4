#pragma once

#include <cstdint>
#include <string>

// The display settings the document holds; persisted in the settings file, edited by the
// display-settings panel, zoomed by the mouse wheel, set to 100 % for printing.
struct DisplaySettings {
    static constexpr int32_t kViewThumbnails = 0;
    static constexpr int32_t kViewMarks = 1;
    static constexpr int32_t kViewDensity = 2;  // photo counts per grid cell instead of photos

    // What a mark's colour tells in mark view; red is the one colour of every mark.
    static constexpr int32_t kMarkRed = 0;
    static constexpr int32_t kMarkByIso = 1;
    static constexpr int32_t kMarkByFocalLength = 2;
    static constexpr int32_t kMarkByCamera = 3;
    static constexpr int32_t kMarkByTimeOfDay = 4;

    int32_t viewType = kViewThumbnails;  // 0 thumbnails, 1 marks, 2 density
    int32_t sizePict = 40;               // side of a photo's cell in chart units (10..120)
    int32_t isoIndex = 1;                // index into IsoSpeedTable; 1 is ISO 100 (0..10)
    int32_t magnify = 100;               // percent (30..400)
    std::string evCaption;               // "露出値・ＥＶ(ISO n)", rebuilt with the EV labels
    int32_t markColour = kMarkRed;       // kMarkRed .. kMarkByTimeOfDay; used in mark view only
    bool useEmbedded = true;             // chart pictures from the pictures photos carry, where they serve
};
