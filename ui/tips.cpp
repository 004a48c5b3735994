#include "ui/tips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

#include "core/Profile.h"
#include "core/Settings.h"
#include "ui/TextLines.h"

TTipsFrm* TipsFrm = nullptr;

namespace {

constexpr int kTipsOff = 10000;
// A run this long without a blank gets a break chance, so one endless word cannot run off the label.
constexpr int kLongestUnbrokenRun = 30;

// A light bulb for the coloured strip beside the tip.
QPixmap BulbPicture() {
  QPixmap picture(40, 52);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QRadialGradient glow(QPointF(17, 16), 20);
  glow.setColorAt(0, QColor(0xFF, 0xF8, 0xC4));
  glow.setColorAt(1, QColor(0xF5, 0xC2, 0x18));
  painter.setPen(QPen(QColor(0x8A, 0x6A, 0x00), 1.5));
  painter.setBrush(glow);
  QPainterPath bulb;
  bulb.addEllipse(QRectF(4, 2, 32, 32));
  QPainterPath neck;
  neck.addRect(QRectF(13, 28, 14, 8));
  painter.drawPath(bulb.united(neck));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x9E, 0xA4, 0xAB));
  for (int i = 0; i < 3; ++i) painter.drawRoundedRect(QRectF(12, 37 + i * 4.5, 16, 3.5), 1.5, 1.5);
  painter.setBrush(QColor(0x6B, 0x71, 0x78));
  painter.drawEllipse(QRectF(16, 49, 8, 3));
  return picture;
}

}  // namespace

QString DisplayedTip(const std::string& tip) {
  QString text = QString::fromStdString(tip);
  if (text.size() > TTipsFrm::TipDisplayLimit) {
    qsizetype cut = TTipsFrm::TipDisplayLimit;
    if (text.at(cut - 1).isHighSurrogate()) --cut;  // never half a character
    text = text.left(cut) + QChar(0x2026);
  }
  QString shown;
  shown.reserve(text.size() + text.size() / kLongestUnbrokenRun + 1);
  int run = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    shown += c;
    run = c.isSpace() ? 0 : run + 1;
    if (run >= kLongestUnbrokenRun && !c.isHighSurrogate()) {
      shown += QChar(0x200B);
      run = 0;
    }
  }
  return shown;
}

TTipsFrm::TTipsFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("TipsFrm");
  setWindowTitle("Tip of the Day");
  setFixedSize(452, 303);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  // The tip area: a coloured strip with the picture, then the white page with the heading and the tip.
  auto* tipArea = new QFrame(this);
  tipArea->setObjectName("tipArea");
  tipArea->setGeometry(14, 14, 424, 220);
  tipArea->setStyleSheet("#tipArea { background: white; border: 1px solid #9aa3ad; }");
  Panel2 = new QFrame(tipArea);
  Panel2->setObjectName("Panel2");
  Panel2->setGeometry(1, 1, 68, 218);
  Panel2->setStyleSheet("#Panel2 { background: #41698f; }");
  Image1 = new QLabel(Panel2);
  Image1->setObjectName("Image1");
  Image1->setGeometry(14, 16, 40, 52);
  Image1->setPixmap(BulbPicture());

  Label1 = new QLabel(tipArea);
  Label1->setObjectName("Label1");
  Label1->setText("Did you know?");
  QFont heading = Label1->font();
  heading.setBold(true);
  heading.setPixelSize(20);
  Label1->setFont(heading);
  Label1->setGeometry(88, 18, 320, 32);

  TipLabel = new QLabel(tipArea);
  TipLabel->setObjectName("TipLabel");
  TipLabel->setGeometry(96, 66, 277, 129);
  TipLabel->setWordWrap(true);
  TipLabel->setTextFormat(Qt::PlainText);  // a tip is shown as written, never as markup
  TipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  ifShowTips = new QCheckBox("Show &Tips on Startup", this);
  ifShowTips->setObjectName("ifShowTips");
  ifShowTips->setGeometry(16, 252, 200, 24);
  ifShowTips->setChecked(true);
  skinButton1 = new QPushButton("&Next Tip", this);
  skinButton1->setObjectName("skinButton1");
  skinButton1->setGeometry(250, 250, 90, 28);
  skinButton2 = new QPushButton("&OK", this);
  skinButton2->setObjectName("skinButton2");
  skinButton2->setGeometry(348, 250, 90, 28);
  skinButton2->setDefault(true);
  connect(skinButton1, &QPushButton::clicked, this, [this] { ShowNextTip(); });
  connect(skinButton2, &QPushButton::clicked, this, [this] { OnOK(); });

  if (!TipsFrm) TipsFrm = this;
  LoadTips();
  ShowNextTip();
}

TTipsFrm::~TTipsFrm() {
  if (TipsFrm == this) TipsFrm = nullptr;
}

void TTipsFrm::LoadTips() {
  std::vector<std::string> lines;
  // A missing or unreadable file, or one without a line, has nothing to show.
  if (!ReadTextLines(DataFilePath(TipsFile), lines) || lines.empty()) lines = {NoTipsText};
  tipList_ = std::move(lines);
}

void TTipsFrm::ShowNextTip() {
  if (tips >= kTipsOff) return;
  if (tipList_.empty()) LoadTips();  // shown again after a close released the list
  // A value below -1 is never written by the program and would give a negative position: it counts
  // as 0. -1 itself gives position 0, the first tip.
  if (tips < -1) tips = 0;
  ++tips;
  if (tips >= int32_t(tipList_.size())) tips = 0;
  current_ = tipList_[size_t(tips)];
  TipLabel->setText(DisplayedTip(current_));
}

void TTipsFrm::OnOK() {
  if (!ifShowTips->isChecked()) tips = kTipsOff;
  done(1);
}

void TTipsFrm::done(int result) {
  // Closing, by "&OK" or by the title bar, releases the tip list.
  std::vector<std::string>().swap(tipList_);
  QDialog::done(result);
}

void TTipsFrm::showEvent(QShowEvent* event) {
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}
