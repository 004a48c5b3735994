#pragma once
// "Tip of the Day": one usage tip at start-up, the next one each time the program starts. The tips are
// the lines of the tips file; the `tips` setting holds the position of the tip shown last, or 10000 when
// the user switched the window off.
#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

class TTipsFrm : public QDialog {
  Q_OBJECT
 public:
  // Loads the tip list and shows the next tip, which advances `tips`.
  explicit TTipsFrm(QWidget* parent = nullptr);
  ~TTipsFrm() override;

  // Advances `tips` (wrapping to 0 after the last tip) and shows that tip; nothing when tips are off.
  void ShowNextTip();
  // The tip shown now, whole (the label shows at most the first TipDisplayLimit characters).
  const std::string& CurrentTip() const { return current_; }
  const std::vector<std::string>& TipList() const { return tipList_; }

  QLabel* Label1 = nullptr;
  QLabel* TipLabel = nullptr;
  QFrame* Panel2 = nullptr;
  QLabel* Image1 = nullptr;
  QCheckBox* ifShowTips = nullptr;
  QPushButton* skinButton1 = nullptr;  // "&Next Tip"
  QPushButton* skinButton2 = nullptr;  // "&OK"

  static constexpr int TipDisplayLimit = 2000;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void LoadTips();
  void OnOK();

  std::vector<std::string> tipList_;
  std::string current_;
};

// Shown when there is no tips file, or when it holds no line.
inline constexpr const char* NoTipsText = "No tips found!";

// The program's tips window while it exists (start-up makes it only when tips are on); it registers
// itself when it is made and unregisters when it goes.
extern TTipsFrm* TipsFrm;

// What the tip label shows for a tip: its first TipDisplayLimit characters (an ellipsis marks a cut),
// with break chances inside long runs without blanks so the word-wrapped label can break them.
QString DisplayedTip(const std::string& tip);
