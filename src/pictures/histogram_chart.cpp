// A score histogram as an SVG bar chart with a title and labelled axes, the
// counts on a linear or logarithmic scale.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "pictures/svg_text.h"
#include "varnex/pictures.h"

namespace Varnex {
namespace {

using Pictures::Num;

constexpr double kWidth = 640, kPlotHeight = 320;
constexpr double kRight = 20, kBottom = 60, kTopPad = 16, kTitleLine = 18;
constexpr int kXTicks = 5;
constexpr int kTickFont = 11;
// A generous width of one tick character (digits, ",", "k") at kTickFont.
constexpr double kTickCharWidth = 6.6;
// The band left of the tick labels that holds the rotated axis label.
constexpr double kAxisLabelBand = 26;
constexpr double kMinLogBar = 2;

// The smallest of 1, 2 and 5 times a power of ten (at least 1) not below x,
// so that a few ticks of this step cover the counts.
double NiceStep(double x) {
  for (double power = 1;; power *= 10)
    for (double f : {1.0, 2.0, 5.0})
      if (f * power >= x) return f * power;
}

std::string Short(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%g", value);
  return buffer;
}

std::string Text(double x, double y, const std::string& text, const char* anchor, int size,
                 const std::string& extra = "") {
  return "<text x='" + Num(x) + "' y='" + Num(y) + "' text-anchor='" + anchor + "' font-family='sans-serif' font-size='" +
         std::to_string(size) + "'" + extra + ">" + KvXmlText(text) + "</text>\n";
}

std::string Line(double x1, double y1, double x2, double y2) {
  return "<line x1='" + Num(x1) + "' y1='" + Num(y1) + "' x2='" + Num(x2) + "' y2='" + Num(y2) +
         "' stroke='#000000' stroke-width='1'/>\n";
}

// The counts axis: where a count sits (0 at the axis, 1 at the top) and the
// ticks with their labels.
struct CountAxis {
  bool log = false;
  double low = 0, high = 1;  // counts at the axis and at the top
  std::vector<std::pair<double, std::string>> ticks;

  double Fraction(double count) const {
    if (!log) return count / high;
    if (count <= 0) return 0;
    return std::max(0.0, (std::log10(count) - std::log10(low)) / (std::log10(high) - std::log10(low)));
  }
};

CountAxis MakeAxis(const KvFPHistogram& histogram, bool log) {
  double largest = 0, smallest = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < histogram.NumBins(); ++i) {
    const auto count = static_cast<double>(histogram.GetCount(i));
    largest = std::max(largest, count);
    if (count > 0) smallest = std::min(smallest, count);
  }
  CountAxis axis;
  axis.log = log && largest > 0;
  if (axis.log) {
    // Whole decades from below the smallest count to above the largest.
    const int first = static_cast<int>(std::floor(std::log10(smallest)));
    const int last = std::max(first + 1, static_cast<int>(std::ceil(std::log10(largest))));
    axis.low = std::pow(10.0, first);
    axis.high = std::pow(10.0, last);
    const int every = (last - first + 7) / 8;  // at most about 8 labelled decades, the top one among them
    for (int d = last - (last - first) / every * every; d <= last; d += every) {
      const double value = std::pow(10.0, d);
      axis.ticks.emplace_back(value, Pictures::FormatCount(value));
    }
    return axis;
  }
  const double step = NiceStep(largest / 5.0);
  axis.high = std::max(step, std::ceil(largest / step) * step);
  for (double v = 0; v <= axis.high + step / 2; v += step) axis.ticks.emplace_back(v, Pictures::FormatCount(v));
  return axis;
}

}  // namespace

bool KvParseChartScale(const std::string& name, KvChartScale& scale) {
  if (name == "auto") scale = KvChartScale::Auto;
  else if (name == "log") scale = KvChartScale::Log;
  else if (name == "linear") scale = KvChartScale::Linear;
  else return false;
  return true;
}

bool KvHistogramWantsLogScale(const KvFPHistogram& histogram) {
  std::uint64_t largest = 0, smallest = 0;
  for (std::size_t i = 0; i < histogram.NumBins(); ++i) {
    const std::uint64_t count = histogram.GetCount(i);
    largest = std::max(largest, count);
    if (count > 0 && (smallest == 0 || count < smallest)) smallest = count;
  }
  return smallest > 0 && static_cast<double>(largest) > 100.0 * static_cast<double>(smallest);
}

std::vector<std::string> KvGetHistogramTitle(const std::string& source, std::size_t records,
                                             const std::string& typeString, const std::string& measure,
                                             const KvFPHistogram& histogram) {
  double pairs = 0;
  for (std::size_t i = 0; i < histogram.NumBins(); ++i) pairs += static_cast<double>(histogram.GetCount(i));
  return {source + ": " + Pictures::FormatCount(static_cast<double>(records), true) + " records", typeString,
          measure + " scores of " + Pictures::FormatCount(pairs, true) + " pairs"};
}

std::string KvDrawHistogram(const KvFPHistogram& histogram, const KvHistogramChartOptions& options) {
  const bool log = options.scale == KvChartScale::Log ||
                   (options.scale == KvChartScale::Auto && KvHistogramWantsLogScale(histogram));
  const CountAxis axis = MakeAxis(histogram, log);
  std::size_t widestTick = 1;
  for (const auto& tick : axis.ticks) widestTick = std::max(widestTick, Pictures::NumChars(tick.second));
  const double left = kAxisLabelBand + 8 + static_cast<double>(widestTick) * kTickCharWidth + 8 + 5;
  const double plotWidth = kWidth - left - kRight;
  std::vector<std::string> title;
  for (const std::string& line : options.title)
    for (std::string& piece : Pictures::WrapToChars(line, static_cast<std::size_t>((kWidth - 20) / 7.5)))
      title.push_back(std::move(piece));
  const double top = kTopPad + kTitleLine * static_cast<double>(title.size());
  const double bottom = top + kPlotHeight;
  const double height = bottom + kBottom;

  std::string doc = "<?xml version='1.0' encoding='UTF-8'?>\n";
  doc += "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='" + Num(kWidth) + "' height='" + Num(height) +
         "' viewBox='0 0 " + Num(kWidth) + " " + Num(height) + "'>\n";
  doc += "<rect width='100%' height='100%' fill='#FFFFFF'/>\n";
  for (std::size_t k = 0; k < title.size(); ++k)
    doc += Text(kWidth / 2, kTopPad + kTitleLine * static_cast<double>(k) + 4, title[k], "middle", 13,
                std::string(" class='title'") + (k == 0 ? " font-weight='bold'" : ""));

  const std::size_t n = histogram.NumBins();
  const double barWidth = n == 0 ? 0.0 : plotWidth / static_cast<double>(n);
  const double gap = barWidth > 4 ? 1.0 : 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double low = histogram.GetMin() + static_cast<double>(i) * histogram.GetBinWidth();
    const double high = i + 1 == n ? histogram.GetMax() : low + histogram.GetBinWidth();
    const auto count = static_cast<double>(histogram.GetCount(i));
    double h = axis.Fraction(count) * kPlotHeight;
    if (axis.log && count > 0) h = std::max(h, kMinLogBar);
    doc += "<rect class='bar' x='" + Num(left + static_cast<double>(i) * barWidth + gap / 2) + "' y='" +
           Num(bottom - h) + "' width='" + Num(barWidth - gap) + "' height='" + Num(h) + "' fill='#4C78A8'><title>" +
           KvXmlText(Short(low) + " to " + Short(high) + ": " + Pictures::FormatCount(count, true)) + "</title></rect>\n";
  }
  doc += Line(left, bottom, left + plotWidth, bottom) + Line(left, top, left, bottom);
  for (int k = 0; k <= kXTicks; ++k) {
    const double x = left + plotWidth * k / kXTicks;
    const double value = histogram.GetMin() + (histogram.GetMax() - histogram.GetMin()) * k / kXTicks;
    doc += Line(x, bottom, x, bottom + 5) + Text(x, bottom + 18, Short(value), "middle", kTickFont, " class='tick'");
  }
  for (const auto& [value, label] : axis.ticks) {
    const double y = bottom - axis.Fraction(value) * kPlotHeight;
    doc += Line(left - 5, y, left, y) + Text(left - 8, y + 4, label, "end", kTickFont, " class='tick'");
  }
  doc += Text(left + plotWidth / 2, height - 15, options.xLabel, "middle", 13, " class='axis-label'");
  const double middle = top + kPlotHeight / 2, labelX = kAxisLabelBand / 2 + 4;
  doc += Text(labelX, middle, options.yLabel + (axis.log ? " (log scale)" : ""), "middle", 13,
              " class='axis-label' transform='rotate(-90 " + Num(labelX) + " " + Num(middle) + ")'");
  return doc + "</svg>\n";
}

}  // namespace Varnex
