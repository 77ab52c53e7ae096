// A rounded-rectangle region as the rectangles of its rows.
#include <algorithm>
#include <cmath>

#include "skinui/window_system.h"

namespace skinui {

std::vector<RECT> RegionRectangles(const WindowRegion& region, int width, int height) {
  std::vector<RECT> rects;
  const RECT r = region.rect;
  const int top = std::max(0, r.top);
  const int bottom = std::min(height, r.bottom);
  if (bottom <= top) return rects;
  // Corner ellipses of at most half the rectangle each way.
  const double rx = std::min(region.ellipseWidth, RectWidth(r)) / 2.0;
  const double ry = std::min(region.ellipseHeight, RectHeight(r)) / 2.0;
  for (int y = top; y < bottom; ++y) {
    double inset = 0;
    if (rx > 0 && ry > 0) {
      const double centre = y + 0.5;
      double dy = 0;
      if (centre < r.top + ry) dy = r.top + ry - centre;
      if (centre > r.bottom - ry) dy = centre - (r.bottom - ry);
      if (dy > 0) inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
    }
    const int left = std::max(0, r.left + static_cast<int>(std::lround(inset)));
    const int right = std::min(width, r.right - static_cast<int>(std::lround(inset)));
    if (right <= left) continue;
    if (!rects.empty() && rects.back().bottom == y && rects.back().left == left &&
        rects.back().right == right) {
      rects.back().bottom = y + 1;
    } else {
      rects.push_back(RECT{left, y, right, y + 1});
    }
  }
  return rects;
}

}  // namespace skinui
