#pragma once

#include <QRect>
#include <QSize>

// Dialog templates are laid out in dialog units of an 8-point dialog font at 96 dpi:
// x pixels = units * 3 / 2, y pixels = units * 13 / 8, truncated.
namespace kestory {

constexpr int DluX(int units) { return units * 3 / 2; }
constexpr int DluY(int units) { return units * 13 / 8; }
inline QSize DluSize(int width, int height) { return {DluX(width), DluY(height)}; }
inline QRect DluRect(int x, int y, int width, int height) { return {DluX(x), DluY(y), DluX(width), DluY(height)}; }

// The panels keep the size of their templates.
inline QSize SettingsPanelSize() { return DluSize(158, 86); }
inline QSize InfoPanelSize() { return DluSize(158, 351); }

}  // namespace kestory
