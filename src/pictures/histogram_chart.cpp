// A score histogram as an SVG bar chart with labelled axes.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "pictures/svg_text.h"
#include "varnex/pictures.h"

namespace Varnex {
namespace {

using Pictures::Num;

constexpr double kWidth = 640, kHeight = 400;
constexpr double kLeft = 80, kRight = 20, kTop = 20, kBottom = 60;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;
constexpr int kXTicks = 5;

// The smallest of 1, 2 and 5 times a power of ten (at least 1) not below x,
// so that a few ticks of this step cover the counts.
std::uint64_t NiceStep(double x) {
  std::uint64_t power = 1;
  for (;;) {
    for (std::uint64_t f : {1, 2, 5})
      if (static_cast<double>(f * power) >= x) return f * power;
    power *= 10;
  }
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

}  // namespace

std::string KvDrawHistogram(const KvFPHistogram& histogram, const std::string& xLabel, const std::string& yLabel) {
  const std::size_t n = histogram.NumBins();
  std::uint64_t maxCount = 0;
  for (std::size_t i = 0; i < n; ++i) maxCount = std::max(maxCount, histogram.GetCount(i));
  const std::uint64_t step = NiceStep(static_cast<double>(maxCount) / 5.0);
  const std::uint64_t yMax = std::max<std::uint64_t>(step, (maxCount + step - 1) / step * step);
  const double bottom = kTop + kPlotHeight;

  std::string doc = "<?xml version='1.0' encoding='UTF-8'?>\n";
  doc += "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='640' height='400' viewBox='0 0 640 400'>\n";
  doc += "<rect width='100%' height='100%' fill='#FFFFFF'/>\n";
  const double barWidth = n == 0 ? 0.0 : kPlotWidth / static_cast<double>(n);
  const double gap = barWidth > 4 ? 1.0 : 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double low = histogram.GetMin() + static_cast<double>(i) * histogram.GetBinWidth();
    const double high = i + 1 == n ? histogram.GetMax() : low + histogram.GetBinWidth();
    const double h = static_cast<double>(histogram.GetCount(i)) / static_cast<double>(yMax) * kPlotHeight;
    doc += "<rect class='bar' x='" + Num(kLeft + static_cast<double>(i) * barWidth + gap / 2) + "' y='" +
           Num(bottom - h) + "' width='" + Num(barWidth - gap) + "' height='" + Num(h) +
           "' fill='#4C78A8'><title>" + KvXmlText(Short(low) + " to " + Short(high) + ": " +
                                                   std::to_string(histogram.GetCount(i))) +
           "</title></rect>\n";
  }
  doc += Line(kLeft, bottom, kLeft + kPlotWidth, bottom) + Line(kLeft, kTop, kLeft, bottom);
  for (int k = 0; k <= kXTicks; ++k) {
    const double x = kLeft + kPlotWidth * k / kXTicks;
    const double value = histogram.GetMin() + (histogram.GetMax() - histogram.GetMin()) * k / kXTicks;
    doc += Line(x, bottom, x, bottom + 5) + Text(x, bottom + 18, Short(value), "middle", 11);
  }
  for (std::uint64_t v = 0; v <= yMax; v += step) {
    const double y = bottom - static_cast<double>(v) / static_cast<double>(yMax) * kPlotHeight;
    doc += Line(kLeft - 5, y, kLeft, y) + Text(kLeft - 8, y + 4, std::to_string(v), "end", 11);
  }
  doc += Text(kLeft + kPlotWidth / 2, kHeight - 15, xLabel, "middle", 13, " class='axis-label'");
  doc += Text(18, kTop + kPlotHeight / 2, yLabel, "middle", 13,
              " class='axis-label' transform='rotate(-90 18 " + Num(kTop + kPlotHeight / 2) + ")'");
  return doc + "</svg>\n";
}

}  // namespace Varnex
