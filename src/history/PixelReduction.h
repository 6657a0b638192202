// The picture of a long series at the width it is drawn: for each pixel
// column the smallest and the largest value that falls into it, in time
// order. A line through these points touches every peak and every trough the
// full series would, so ten years draw like a few thousand points.
#pragma once

#include <cstddef>
#include <vector>

namespace nimbrel::history {

struct PlotPoint {
    double x = 0;
    double y = 0;
};

class MinMaxReducer {
public:
    // Columns split [x0, x1] evenly; points outside go to the first or last
    // column. Fewer than one column counts as one.
    MinMaxReducer(double x0, double x1, int columns);

    // Points in ascending x.
    void add(double x, double y);
    // At most two points per column (one when its minimum and maximum are the
    // same point), in ascending x.
    std::vector<PlotPoint> take();

    int columnOf(double x) const;

private:
    void flush();

    double x0_;
    double scale_;
    int columns_;
    int column_ = -1;
    PlotPoint min_;
    PlotPoint max_;
    std::size_t minOrder_ = 0;
    std::size_t maxOrder_ = 0;
    std::size_t order_ = 0;
    std::vector<PlotPoint> out_;
};

// The whole series at once.
std::vector<PlotPoint> reduceToColumns(const std::vector<PlotPoint> &sorted, double x0, double x1, int columns);

}  // namespace nimbrel::history
