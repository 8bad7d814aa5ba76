#pragma once

namespace kmr {

// What a key does on a chart showing a record.
enum class ChartKeyAction { None, CursorBack, CursorForward, ZoomIn, ZoomOut, Reset };

}  // namespace kmr
