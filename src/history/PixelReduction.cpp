#include "PixelReduction.h"

#include <algorithm>
#include <cmath>

namespace nimbrel::history {

MinMaxReducer::MinMaxReducer(double x0, double x1, int columns)
    : x0_(x0), columns_(std::max(columns, 1))
{
    scale_ = x1 > x0 ? columns_ / (x1 - x0) : 0.0;
}

int MinMaxReducer::columnOf(double x) const
{
    const double c = std::floor((x - x0_) * scale_);
    if (!(c > 0))
        return 0;
    return c >= columns_ ? columns_ - 1 : static_cast<int>(c);
}

void MinMaxReducer::add(double x, double y)
{
    const int column = columnOf(x);
    ++order_;
    if (column != column_) {
        flush();
        column_ = column;
        min_ = max_ = {x, y};
        minOrder_ = maxOrder_ = order_;
        return;
    }
    if (y < min_.y) {
        min_ = {x, y};
        minOrder_ = order_;
    }
    if (y > max_.y) {
        max_ = {x, y};
        maxOrder_ = order_;
    }
}

void MinMaxReducer::flush()
{
    if (column_ < 0)
        return;
    if (minOrder_ == maxOrder_) {
        out_.push_back(min_);
    } else if (minOrder_ < maxOrder_) {
        out_.push_back(min_);
        out_.push_back(max_);
    } else {
        out_.push_back(max_);
        out_.push_back(min_);
    }
    column_ = -1;
}

std::vector<PlotPoint> MinMaxReducer::take()
{
    flush();
    std::vector<PlotPoint> out;
    out.swap(out_);
    return out;
}

std::vector<PlotPoint> reduceToColumns(const std::vector<PlotPoint> &sorted, double x0, double x1, int columns)
{
    MinMaxReducer reducer(x0, x1, columns);
    for (const PlotPoint &p : sorted)
        reducer.add(p.x, p.y);
    return reducer.take();
}

}  // namespace nimbrel::history
