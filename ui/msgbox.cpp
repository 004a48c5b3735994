#include "ui/msgbox.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/ShellOpen.h"
#include "ui/lang.h"

TmsgFrm* msgFrm = nullptr;

namespace {

constexpr int kIconSize = 42;
constexpr int kWidth = 326, kHeight = 215;
constexpr int kLabelWidth = 217, kLabelHeight = 97;
constexpr int kButtonTop = 164;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A long path has no blanks to wrap at: a zero-width space after each "/" lets the label break it.
constexpr QChar kPathBreak(0x200B);
QString WithPathBreaks(QString text) { return text.replace('/', QString('/') + kPathBreak); }

// A message longer than the designed label (a long path and a hint) grows the window downwards, so
// no line of it is lost; only past half the screen is it cut, and its tooltip then holds it whole.
void FitToText(QDialog& box, QLabel& label, QPushButton& first, QPushButton& second) {
  const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
  const int room = screen ? screen->availableGeometry().height() / 2 - kHeight : 300;
  const int extra = std::clamp(label.heightForWidth(kLabelWidth) - kLabelHeight, 0, std::max(0, room));
  label.resize(kLabelWidth, kLabelHeight + extra);
  first.move(first.x(), kButtonTop + extra);
  second.move(second.x(), kButtonTop + extra);
  box.setFixedSize(kWidth, kHeight + extra);
}

}  // namespace

QPixmap MessageIcon(int kind) {
  struct Look {
    QColor colour;
    QString sign;  // empty: a cross
  };
  static const Look looks[] = {{QColor(0xC6, 0x28, 0x28), QString()},
                               {QColor(0x15, 0x65, 0xC0), QStringLiteral("i")},
                               {QColor(0x2E, 0x7D, 0x32), QStringLiteral("?")},
                               {QColor(0xF2, 0xB7, 0x05), QStringLiteral("!")}};
  const Look& look = looks[kind >= 0 && kind <= 3 ? kind : mkInformation];
  QPixmap picture(kIconSize, kIconSize);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(look.colour);
  painter.drawRoundedRect(QRectF(1, 1, kIconSize - 2, kIconSize - 2), 6, 6);
  painter.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
  if (look.sign.isEmpty()) {
    painter.drawLine(QPointF(12, 12), QPointF(30, 30));
    painter.drawLine(QPointF(30, 12), QPointF(12, 30));
  } else {
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(30);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, kIconSize, kIconSize), Qt::AlignCenter, look.sign);
  }
  return picture;
}

TmsgFrm::TmsgFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("msgFrm");
  setFixedSize(kWidth, kHeight);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  icon = new QLabel(this);
  icon->setObjectName("icon");
  icon->setGeometry(22, 26, kIconSize, kIconSize);
  msgLabel = new QLabel(this);
  msgLabel->setObjectName("msgLabel");
  msgLabel->setGeometry(84, 24, kLabelWidth, kLabelHeight);
  msgLabel->setWordWrap(true);
  msgLabel->setTextFormat(Qt::PlainText);
  msgLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The user may copy a path out of a message: what is copied loses the label's line-break marks, or
  // the pasted path would name no file.
  msgLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    connect(clipboard, &QClipboard::changed, this, [this, clipboard](QClipboard::Mode mode) {
      if (!isVisible() || !msgLabel->hasSelectedText()) return;
      QString copied = clipboard->text(mode);
      if (!copied.contains(kPathBreak)) return;
      clipboard->setText(copied.remove(kPathBreak), mode);
    });
  okBtn = new QPushButton(this);
  okBtn->setObjectName("okBtn");
  okBtn->setGeometry(68, kButtonTop, 90, 28);
  okBtn->setDefault(true);
  helpBtn = new QPushButton(this);
  helpBtn->setObjectName("helpBtn");
  helpBtn->setGeometry(168, kButtonTop, 90, 28);
  connect(okBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(helpBtn, &QPushButton::clicked, this, [this] { OnHelpButton(); });
  if (!msgFrm) msgFrm = this;
}

TmsgFrm::~TmsgFrm() {
  if (msgFrm == this) msgFrm = nullptr;
}

QString TmsgFrm::Text() const { return text_; }

void TmsgFrm::reject() { done(2); }

void TmsgFrm::OnHelpButton() {
  // Only a button that reads exactly "&Help" opens the help; any other second button answers no.
  if (helpBtn->text() == QLatin1String(StrHelp)) {
    OpenHelp();
    return;
  }
  done(2);
}

void TmsgFrm::showEvent(QShowEvent* event) {
  setWindowTitle(QStringLiteral("   ") + StrMessage + " ...");
  icon->setPixmap(MessageIcon(kind_));
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}

int TmsgFrm::Show(int kind, const std::string& text, const std::string& secondCaption,
                  const std::string& firstCaption) {
  kind_ = kind;
  text_ = Q(text);
  msgLabel->setText(WithPathBreaks(text_));
  msgLabel->setToolTip(text_.size() > 200 ? text_ : QString());
  helpBtn->setText(Q(secondCaption));
  okBtn->setText(Q(firstCaption));
  FitToText(*this, *msgLabel, *okBtn, *helpBtn);
  okBtn->setFocus();
  return ExecAboveOwner(*this) == 1 ? 1 : 2;
}

QWidget* MessageOwner(const QWidget* box) {
  const auto usable = [box](QWidget* window) {
    return window && window != box && window->isVisible() && !window->isMinimized();
  };
  // The modal window that waits (the progress window during a run, or another message), else the
  // window that stays on top of the others, else the one the user works in.
  if (QWidget* modal = QApplication::activeModalWidget(); usable(modal)) return modal;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (usable(top) && top->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) return top;
  if (QWidget* active = QApplication::activeWindow(); usable(active)) return active->window();
  return nullptr;
}

int ExecAboveOwner(QDialog& box) {
  QWidget* owner = box.parentWidget() ? nullptr : MessageOwner(&box);
  const Qt::WindowFlags ownFlags = box.windowFlags();
  if (owner) {
    // Transient for its owner, and in its owner's layer: a window manager never puts it beneath.
    Qt::WindowFlags flags = ownFlags;
    flags.setFlag(Qt::WindowStaysOnTopHint, owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    box.setParent(owner, flags);
  }
  QPointer<QDialog> alive(&box);
  QTimer::singleShot(0, &box, [&box] {
    box.raise();
    box.activateWindow();
  });
  const int result = box.exec();
  if (owner && alive) box.setParent(nullptr, ownFlags);
  return result;
}

int ShowMessageBox(int kind, const std::string& text, const std::string& secondCaption,
                   const std::string& firstCaption) {
  // A message that arrives while another is open (from a timer, say) gets a window of its own.
  if (msgFrm && !msgFrm->isVisible()) return msgFrm->Show(kind, text, secondCaption, firstCaption);
  TmsgFrm window;
  return window.Show(kind, text, secondCaption, firstCaption);
}
