#pragma once
// The main window's measures, in pixels at 96 dpi, as the design places
// its panels and controls.

#include <QPoint>
#include <QSize>

namespace Layout {

// The tool strip and its buttons.
constexpr int StripHeight = 32;
constexpr int ToolButtonLefts[] = {5, 30, 55, 80, 105};
constexpr int ToolButtonTop = 3;
constexpr int ToolButtonSide = 25;
constexpr QSize GlyphSize{16, 16};

// The name column: its width, the margins around the lists, the radio rows.
constexpr int ColumnWidth = 206;
constexpr int Margin = 5;
constexpr int RadioRowHeight = 25;
constexpr QPoint RadioButtonPlace{0, 7};
constexpr QSize RadioButtonSize{113, 17};

// The output list under the picture and the copy button's column.
constexpr int OutputPanelHeight = 121;
constexpr int CopyColumnWidth = 24;
constexpr QPoint CopyButtonPlace{2, 0};
constexpr int CopyButtonSide = 20;

// The status bar and its position panel.
constexpr int StatusBarHeight = 19;
constexpr int StatusPanelWidth = 150;

} // namespace Layout
