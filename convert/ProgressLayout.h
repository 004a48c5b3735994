#pragma once
// Where the progress window puts one file line and bar per running task, and how tall it grows.

// The window as designed for one task: 318 x 230, the first file line at 98, the buttons at 186.
constexpr int kProgressWidth = 318;
constexpr int kProgressHeight = 230;
constexpr int kProgressRowHeight = 50;  // one file line (22) and its bar (24) with their gaps
constexpr int kProgressMoreLineHeight = 26;

struct TProgressLayout {
  int VisibleRows = 1;    // file lines with their bars that fit
  bool MoreLine = false;  // a line saying how many more tasks run below the visible ones
  int Height = kProgressHeight;

  int LabelTop(int row) const { return 98 + kProgressRowHeight * row; }
  int BarTop(int row) const { return 124 + kProgressRowHeight * row; }
  int MoreLineTop() const { return BarTop(VisibleRows - 1) + 28; }
  int ButtonsTop() const { return Height - 44; }
};

// rows running tasks in a window that may be at most maxHeight tall (a screen's height less its
// frame). One row is the designed window; a window that cannot grow keeps at least one row.
TProgressLayout LayoutForRows(int rows, int maxHeight);
