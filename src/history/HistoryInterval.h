// The time window of the history charts: it always ends at 23:59:59 of a day
// and reaches back one day, one week, one calendar month, one calendar year,
// or to the oldest record ("все").
#pragma once

#include "HistoryTime.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace nimbrel::history {

enum class Interval : int { Day = 0, Week = 1, Month = 2, Year = 3, All = 4 };
inline constexpr int kIntervalCount = 5;

QStringList intervalItems();  // "день", "неделя", "месяц", "год", "все"

// The time axes' label format of an item (the program's own notation, see
// DateFormat.h), and the format they start with before the first change.
QString intervalAxisFormat(Interval interval);
inline constexpr const char16_t kInitialAxisFormat[] = u"dd.mm.yy hh:mm";

// The start of the window ending at `end` (exclusive bound: the window holds
// start < Dat <= end). "все" starts at the oldest record; with no record it
// shows the last day, like "день", instead of walking back to year zero.
PlainSeconds windowStart(Interval interval, PlainSeconds end, std::optional<PlainSeconds> oldest);

// The heights of the six chart panels (pressure, temperature, humidity,
// wind, rain, UV): the room left by the status bar, the tool bar and a
// 30-pixel allowance, shared evenly (integer division) by the shown groups;
// a hidden group's panel is 1 pixel high.
struct PanelHeights {
    int heights[6] = {1, 1, 1, 1, 1, 1};
};
PanelHeights panelHeights(const bool shown[6], int windowOuterHeight, int statusBarHeight, int toolBarHeight);

}  // namespace nimbrel::history
