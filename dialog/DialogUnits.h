#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Dialog templates are laid out in dialog units of an 8-point dialog font at 96 dpi:
// x pixels = units * 3 / 2, y pixels = units * 13 / 8, truncated.
namespace kestory {

constexpr int DluX(int units) { return units * 3 / 2; }
constexpr int DluY(int units) { return units * 13 / 8; }
inline QSize DluSize(int width, int height) { return {DluX(width), DluY(height)}; }
inline QRect DluRect(int x, int y, int width, int height) { return {DluX(x), DluY(y), DluX(width), DluY(height)}; }

// The 8-point font the templates are measured in, drawn without hinting: hinted at 9 to 11
// pixels, IPAGothic's full stop (the default face of a Japanese desktop) is snapped into a
// two-pixel stroke below the baseline that reads as a comma ("-0,7 ステップ"). Unhinted glyphs
// keep the same advances, so the texts take the same room.
inline QFont DialogFont(QFont font) {
    font.setPointSize(8);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The panels keep the size of their templates. The display-settings panel has a row more than its
// first template (86 units high): the colour of the marks, above the two buttons.
inline QSize SettingsPanelSize() { return DluSize(158, 102); }
inline QSize InfoPanelSize() { return DluSize(158, 351); }

}  // namespace kestory
