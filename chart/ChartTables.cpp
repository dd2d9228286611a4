#include "chart/ChartTables.h"

#include "chart/IsoSpeed.h"
#include "photo/NumberText.h"

namespace {

// The three speeds that are not binary fractions, rounded to single precision the same way an
// exposure time is (real quotient, then float), so that an exact 1/15 s lands on its column.
constexpr float kOneFifteenth = static_cast<float>(1.0 / 15);
constexpr float kOneThirtieth = static_cast<float>(1.0 / 30);
constexpr float kOneSixtieth = static_cast<float>(1.0 / 60);

} // namespace

const std::array<ChartLabel, kApertureStops> ApertureScale{{
    {{30, 80, 80, 110}, "F1    0", 1.0f, TextAlign::TopLeft},
    {{30, 110, 80, 140}, "F1.4  1", 1.4f, TextAlign::TopLeft},
    {{30, 140, 80, 170}, "F2    2", 2.0f, TextAlign::TopLeft},
    {{30, 170, 80, 200}, "F2.8  3", 2.8f, TextAlign::TopLeft},
    {{30, 200, 80, 230}, "F4    4", 4.0f, TextAlign::TopLeft},
    {{30, 230, 80, 260}, "F5.6  5", 5.6f, TextAlign::TopLeft},
    {{30, 260, 80, 290}, "F8    6", 8.0f, TextAlign::TopLeft},
    {{30, 290, 80, 320}, "F11   7", 11.0f, TextAlign::TopLeft},
    {{30, 320, 80, 350}, "F16   8", 16.0f, TextAlign::TopLeft},
    {{30, 350, 80, 380}, "F22   9", 22.0f, TextAlign::TopLeft},
    {{30, 380, 80, 410}, "F32   10", 32.0f, TextAlign::TopLeft},
    {{30, 410, 80, 440}, "F45   11", 45.0f, TextAlign::TopLeft},
    {{30, 440, 80, 470}, "F64   12", 64.0f, TextAlign::TopLeft},
}};

const std::array<ChartLabel, kShutterStops> ShutterScale{{
    {{80, 440, 130, 500}, "\n-6\n60", 60.0f, TextAlign::TopLeft},
    {{110, 440, 160, 500}, "\n-5\n30", 30.0f, TextAlign::TopLeft},
    {{140, 440, 190, 500}, "\n-4\n15", 15.0f, TextAlign::TopLeft},
    {{170, 440, 220, 500}, "\n-3\n8", 8.0f, TextAlign::TopLeft},
    {{200, 440, 250, 500}, "\n-2\n4", 4.0f, TextAlign::TopLeft},
    {{230, 440, 280, 500}, "\n-1\n2", 2.0f, TextAlign::TopLeft},
    {{260, 440, 310, 500}, "\n0\n1", 1.0f, TextAlign::TopLeft},
    {{290, 440, 340, 500}, "\n1\n1/2", 0.5f, TextAlign::TopLeft},
    {{320, 440, 370, 500}, "\n2\n1/4", 0.25f, TextAlign::TopLeft},
    {{350, 440, 400, 500}, "\n3\n1/8", 0.125f, TextAlign::TopLeft},
    {{380, 440, 430, 500}, "\n4\n1/15", kOneFifteenth, TextAlign::TopLeft},
    {{410, 440, 460, 500}, "\n5\n1/30", kOneThirtieth, TextAlign::TopLeft},
    {{440, 440, 490, 500}, "\n6\n1/60", kOneSixtieth, TextAlign::TopLeft},
    {{470, 440, 520, 500}, "\n7\n\n1/125", 0.008f, TextAlign::TopLeft},
    {{500, 440, 550, 500}, "\n8\n1/250", 0.004f, TextAlign::TopLeft},
    {{530, 440, 580, 500}, "\n9\n\n1/500", 0.002f, TextAlign::TopLeft},
    {{560, 440, 610, 500}, "\n10\n1/1000", 0.001f, TextAlign::TopLeft},
    {{590, 440, 640, 500}, "\n11\n\n1/2000", 0.0005f, TextAlign::TopLeft},
    {{620, 440, 670, 500}, "\n12\n1/4000", 0.00025f, TextAlign::TopLeft},
    {{650, 440, 700, 500}, "\n13\n\n1/8000", 0.000125f, TextAlign::TopLeft},
}};

const std::array<ChartLabel, 9> FixedChartTexts{{
    {{0, 0, 730, 520}, "ＥＶ", 0.0f, TextAlign::RightMiddle},
    {{650, 440, 700, 470}, "ＴＶ", 0.0f, TextAlign::RightMiddle},
    {{30, 40, 80, 80}, "ＡＶ", 0.0f, TextAlign::RightMiddle},
    {{0, 0, 750, 510}, "シャッター速度・秒", 0.0f, TextAlign::CentreBottom},
    {{5, 0, 55, 520}, "絞", 0.0f, TextAlign::LeftMiddle},
    {{5, 16, 55, 536}, "り", 0.0f, TextAlign::LeftMiddle},
    {{5, 32, 55, 552}, "値", 0.0f, TextAlign::LeftMiddle},
    {{5, 48, 55, 568}, "・", 0.0f, TextAlign::LeftMiddle},
    {{5, 64, 55, 584}, "Ｆ", 0.0f, TextAlign::LeftMiddle},
}};

EvLineLabelSet EvLineLabels(int32_t isoIndex) {
    const int32_t base = -5 - ClampIsoIndex(isoIndex);
    EvLineLabelSet labels;
    for (int32_t j = 0; j < kEvLines; ++j) {
        ChartLabel& label = labels[static_cast<size_t>(j)];
        // Upper and middle diagonals end on y = 50, the lower ones on x = 680.
        label.box = j < 20 ? Rect{110 + 30 * j, 35, 160 + 30 * j, 50}
                           : Rect{680, 80 + 30 * (j - 20), 730, 95 + 30 * (j - 20)};
        label.text = FormatInteger(base + j);
        label.value = 0;
        label.align = TextAlign::TopLeft;
    }
    return labels;
}
