#include "ui/about.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

#include "core/Profile.h"
#include "ui/ShellOpen.h"
#include "ui/lang.h"

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

// A plain label has no shortcut of its own: the ampersand of a shared caption marks the button's.
QString LabelCaption(const char* caption) { return Q(caption).remove('&') + ":"; }

QString Link(const QString& href, const QString& text) {
  return QString("<a href=\"%1\">%2</a>").arg(href.toHtmlEscaped(), text.toHtmlEscaped());
}

QLabel* NamedLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);  // a caption is shown as written, never as markup
  return label;
}

}  // namespace

std::string ProgramVersion() {
#ifdef TOLVANE_VERSION
  return TOLVANE_VERSION;
#else
  return std::string();
#endif
}

TVersionCaptions VersionCaptions(const std::string& value) {
  if (value.empty()) return {QStringLiteral("No info"), std::nullopt};
  const QStringList parts = QString::fromStdString(value).split('.');
  // Without a dot there is no build number to tell apart from the version.
  if (parts.size() == 1) return {parts.front(), QString()};
  const int versionParts = parts.size() > 3 ? int(parts.size()) - 2 : 1;
  return {parts.mid(0, versionParts).join('.'), "(Build " + parts.back() + ")"};
}

QPixmap AboutPicture() {
  constexpr int kWidth = 166, kHeight = 308;
  QPixmap picture(kWidth, kHeight);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(0x16, 0x32, 0x4F));
  sky.setColorAt(1, QColor(0x2A, 0x7F, 0x8F));
  painter.fillRect(picture.rect(), sky);

  // A record with its grooves, and a note on it: audio going in.
  const QPointF centre(83, 112);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x0C, 0x1C, 0x2C));
  painter.drawEllipse(centre, 60, 60);
  painter.setBrush(Qt::NoBrush);
  for (int r = 22; r <= 56; r += 6) {
    painter.setPen(QPen(QColor(255, 255, 255, 34), 1));
    painter.drawEllipse(centre, r, r);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xF2, 0xB7, 0x05));
  painter.drawEllipse(centre, 18, 18);
  painter.setBrush(QColor(0x0C, 0x1C, 0x2C));
  painter.drawEllipse(centre, 3, 3);

  // An equaliser: the MP3 coming out.
  const int bars[] = {18, 30, 44, 26, 52, 38, 24, 40, 16};
  for (int i = 0; i < 9; ++i) {
    const qreal x = 20 + i * 14;
    QLinearGradient bar(0, 262 - bars[i], 0, 262);
    bar.setColorAt(0, QColor(0xFF, 0xFF, 0xFF, 230));
    bar.setColorAt(1, QColor(0xFF, 0xFF, 0xFF, 90));
    painter.setBrush(bar);
    painter.drawRoundedRect(QRectF(x, 262 - bars[i], 10, bars[i]), 2, 2);
  }
  painter.setPen(QColor(0xFF, 0xFF, 0xFF, 220));
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(15);
  painter.setFont(font);
  painter.drawText(QRect(0, 270, kWidth, 30), Qt::AlignCenter, QStringLiteral("RM \u2192 MP3"));
  return picture;
}

TaboutFrm::TaboutFrm(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutFrm");
  setFixedSize(471, 380);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  Image1 = NamedLabel(this, "Image1");
  Image1->setGeometry(14, 14, 166, 308);
  Image1->setPixmap(AboutPicture());

  auto* texts = new QWidget(this);
  texts->setGeometry(198, 14, 259, 308);
  auto* column = new QVBoxLayout(texts);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);

  titleLabel = NamedLabel(texts, "titleLabel");
  QFont titleFont = titleLabel->font();
  titleFont.setBold(true);
  titleFont.setPixelSize(26);
  titleLabel->setFont(titleFont);
  column->addWidget(titleLabel);
  column->addSpacing(10);

  auto* versionRow = new QHBoxLayout;
  versionRow->setSpacing(6);
  versionLabel = NamedLabel(texts, "versionLabel");
  versionLabel2 = NamedLabel(texts, "versionLabel2");
  buildLabel = NamedLabel(texts, "buildLabel");
  versionRow->addWidget(versionLabel);
  versionRow->addWidget(versionLabel2);
  versionRow->addWidget(buildLabel);
  versionRow->addStretch();
  column->addLayout(versionRow);
  column->addSpacing(16);

  HomepageLabel = NamedLabel(texts, "HomepageLabel");
  homePageUrlLabel = NamedLabel(texts, "homePageUrlLabel");
  supportEmailLabel = NamedLabel(texts, "supportEmailLabel");
  support_Email = NamedLabel(texts, "support_Email");
  homePageUrlLabel->setText(Link(HomePageUrl, HomePageUrl));
  support_Email->setText(Link(QString("mailto:") + SupportEmail, SupportEmail));
  for (QLabel* link : {homePageUrlLabel, support_Email}) {
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setCursor(Qt::PointingHandCursor);
    link->setContentsMargins(12, 0, 0, 0);
  }
  connect(homePageUrlLabel, &QLabel::linkActivated, this, [] { ShellOpen(HomePageUrl); });
  connect(support_Email, &QLabel::linkActivated, this,
          [] { ShellOpen(std::string("mailto:") + SupportEmail); });
  column->addWidget(HomepageLabel);
  column->addWidget(homePageUrlLabel);
  column->addSpacing(8);
  column->addWidget(supportEmailLabel);
  column->addWidget(support_Email);
  column->addStretch();

  copyLabel1 = NamedLabel(texts, "copyLabel1");
  copyLabel2 = NamedLabel(texts, "copyLabel2");
  column->addWidget(copyLabel1);
  column->addWidget(copyLabel2);

  homePageBtn = new QPushButton(this);
  homePageBtn->setObjectName("homePageBtn");
  homePageBtn->setGeometry(169, 338, 90, 28);
  helpBtn = new QPushButton(this);
  helpBtn->setObjectName("helpBtn");
  helpBtn->setGeometry(267, 338, 90, 28);
  okBtn = new QPushButton(this);
  okBtn->setObjectName("okBtn");
  okBtn->setGeometry(367, 338, 90, 28);
  okBtn->setDefault(true);
  connect(okBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(helpBtn, &QPushButton::clicked, this, [] { OpenHelp(); });
  connect(homePageBtn, &QPushButton::clicked, this, [] { ShellOpen(HomePageUrl); });
  SetCaptions();
}

void TaboutFrm::SetCaptions() {
  setWindowTitle(Q(StrAbout) + " " + QString::fromStdString(ApplicationTitle));
  titleLabel->setText(QString::fromStdString(ApplicationTitle));
  versionLabel->setText(Q(StrVersion) + ":");
  HomepageLabel->setText(LabelCaption(StrHomePage));
  supportEmailLabel->setText(LabelCaption(StrSupportEmail));
  copyLabel1->setText(MakerNotice);
  copyLabel2->setText(StrRightsReserved);
  okBtn->setText(StrOK);
  helpBtn->setText(StrHelp);
  homePageBtn->setText(StrHomePage);
}

void TaboutFrm::ShowVersion(const std::string& value) {
  const TVersionCaptions captions = VersionCaptions(value);
  versionLabel2->setText(captions.version);
  if (captions.build) buildLabel->setText(*captions.build);
}

void TaboutFrm::showEvent(QShowEvent* event) {
  SetCaptions();
  ShowVersion(ProgramVersion());
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}
