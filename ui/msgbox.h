#pragma once
// The program's one message window: every message and question is shown through ShowMessageBox,
// with an icon for its kind, the text and two buttons whose captions the caller chooses.
#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

// Kinds, which choose the icon.
enum TMessageKind : int { mkError = 0, mkInformation = 1, mkQuestion = 2, mkWarning = 3 };

class TmsgFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TmsgFrm(QWidget* parent = nullptr);
  ~TmsgFrm() override;

  // Sets kind, text and captions and shows the window modally: 1 for the first button, 2 for the
  // second (unless it reads "&Help", which opens the help and keeps the window) or the title bar.
  int Show(int kind, const std::string& text, const std::string& secondCaption,
           const std::string& firstCaption);

  int Kind() const { return kind_; }
  QString Text() const;  // the message as given, without the display's wrapping hints
  QLabel* msgLabel = nullptr;
  QLabel* icon = nullptr;
  QPushButton* okBtn = nullptr;
  QPushButton* helpBtn = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;  // Escape and the title bar's close answer like the second button

 private:
  void OnHelpButton();

  int kind_ = mkInformation;
  QString text_;
};

// The icon of a kind (0 to 3) as a 42 x 42 picture, drawn by the program; any other kind gets the
// information icon.
QPixmap MessageIcon(int kind);

// The program's message window: start-up creates it once (after the progress window) and every message
// reuses it. A window registers itself here when it is made and unregisters when it goes.
extern TmsgFrm* msgFrm;

// The window a message shown now belongs over: the active modal window, else a shown window that stays
// on top, else the active window; null when none is shown.
QWidget* MessageOwner(const QWidget* box);
// Runs box modally, transient for MessageOwner (when box has no parent of its own) and kept on top when
// its owner is; raised and given the keyboard once shown. Returns exec()'s result.
int ExecAboveOwner(QDialog& box);

// Shows text with the icon of kind and the two captions; returns 1 when the first button was pressed
// and 2 otherwise. Callable from any window of the program, on the user-interface thread. Without a
// registered window (a test, a message before start-up made one) a window is made for this message.
int ShowMessageBox(int kind, const std::string& text, const std::string& secondCaption,
                   const std::string& firstCaption);
