#include "convert/ProgressLayout.h"

#include <algorithm>

TProgressLayout LayoutForRows(int rows, int maxHeight) {
  TProgressLayout layout;
  rows = std::max(1, rows);
  const int wanted = kProgressHeight + kProgressRowHeight * (rows - 1);
  if (rows == 1 || wanted <= maxHeight) {
    layout.VisibleRows = rows;
    layout.Height = wanted;
    return layout;
  }
  const int room = maxHeight - kProgressHeight - kProgressMoreLineHeight;
  layout.VisibleRows = std::clamp(1 + room / kProgressRowHeight, 1, rows - 1);
  layout.MoreLine = true;
  layout.Height = kProgressHeight + kProgressRowHeight * (layout.VisibleRows - 1) + kProgressMoreLineHeight;
  return layout;
}
