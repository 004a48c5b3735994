#include "app/AddSummary.h"

#include <QApplication>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "ui/ShellOpen.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A long path has no blanks to wrap at: a zero-width space after each "/" lets the label break it.
QString WithPathBreaks(QString text) { return text.replace('/', QString('/') + QChar(0x200B)); }

QString Files(int count) { return count == 1 ? QStringLiteral("1 file") : QString("%1 files").arg(count); }

}  // namespace

bool TAddSummary::HasNews() const {
  return !LeftOut.empty() || !UnreadableFolders.empty() || (!WalkedFolders.empty() && FoundFiles == 0);
}

QString AddSummaryHeadline(const TAddSummary& summary) {
  const QString where =
      summary.WalkedFolders.size() == 1 ? Q(summary.WalkedFolders.front()) : QStringLiteral("the folders");
  QStringList sentences;
  if (summary.FoundFiles == 0 && summary.UnreadableFolders.empty()) {
    sentences << "No file to convert (.rm, .rma, .ra, .rmvb) was found in " + where + ".";
  } else if (!summary.LeftOut.empty()) {
    const int left = int(summary.LeftOut.size());
    sentences << QString("%1 of the %2 found in %3 %4 left out.")
                     .arg(QString::number(left), Files(summary.FoundFiles), where,
                          left == 1 ? QStringLiteral("was") : QStringLiteral("were"));
  }
  if (!summary.UnreadableFolders.empty()) {
    const int count = int(summary.UnreadableFolders.size());
    sentences << (count == 1 ? QStringLiteral("1 folder") : QString("%1 folders").arg(count)) +
                     " could not be opened.";
  }
  return sentences.join(' ');
}

QString AddSummaryList(const TAddSummary& summary, int maxListed) {
  std::vector<std::string> unreadable, silent;
  for (const TLeftOutFile& file : summary.LeftOut)
    (file.Reason == 2 ? silent : unreadable).push_back(file.Path);
  struct Group {
    QString heading;
    const std::vector<std::string>* paths;
    size_t shown = 0;
  };
  std::vector<Group> groups = {
      {StrCannotRead, &unreadable},
      {StrNoAudio, &silent},
      {QStringLiteral("These folders could not be opened:"), &summary.UnreadableFolders}};
  if (summary.FoundFiles == 0 && summary.UnreadableFolders.empty() && summary.WalkedFolders.size() > 1)
    groups.push_back({QString(), &summary.WalkedFolders});
  // Every kind gets a few lines of its own, however long the first list is; the rest go in order.
  size_t room = size_t(std::max(0, maxListed));
  for (Group& group : groups) {
    group.shown = std::min({group.paths->size(), size_t(5), room});
    room -= group.shown;
  }
  for (Group& group : groups) {
    const size_t more = std::min(group.paths->size() - group.shown, room);
    group.shown += more;
    room -= more;
  }
  QStringList lines;
  for (const Group& group : groups) {
    if (group.paths->empty()) continue;
    if (!group.heading.isEmpty()) lines << group.heading;
    for (size_t i = 0; i < group.shown; ++i) lines << " " + Q((*group.paths)[i]);
    if (group.paths->size() > group.shown)
      lines << QString(" ... and %1 more").arg(group.paths->size() - group.shown);
  }
  if (!unreadable.empty()) lines << QString() << StrCodecHint;
  return lines.join('\n');
}

TAddSummaryFrm::TAddSummaryFrm(const TAddSummary& summary, QWidget* parent) : QDialog(parent) {
  setObjectName("addSummaryFrm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("   ") + StrMessage + " ...");
  setModal(true);
  icon = new QLabel(this);
  icon->setPixmap(MessageIcon(mkWarning));
  icon->setAlignment(Qt::AlignTop);
  headline_ = AddSummaryHeadline(summary);
  headLabel = new QLabel(WithPathBreaks(headline_), this);
  headLabel->setObjectName("headLabel");
  headLabel->setTextFormat(Qt::PlainText);
  headLabel->setWordWrap(true);
  listBox = new QPlainTextEdit(this);
  listBox->setObjectName("listBox");
  listBox->setReadOnly(true);
  listBox->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  listBox->setPlainText(AddSummaryList(summary));
  const bool hasList = !listBox->toPlainText().isEmpty();
  listBox->setVisible(hasList);
  okBtn = new QPushButton(StrOK, this);
  okBtn->setObjectName("okBtn");
  okBtn->setDefault(true);
  helpBtn = new QPushButton(StrHelp, this);
  helpBtn->setObjectName("helpBtn");
  helpBtn->setAutoDefault(false);
  connect(okBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(helpBtn, &QPushButton::clicked, this, [] { OpenHelp(); });

  auto* top = new QHBoxLayout();
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addWidget(headLabel, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(okBtn);
  buttons->addWidget(helpBtn);
  buttons->addStretch(1);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 20, 20, 14);
  column->addLayout(top);
  column->addWidget(listBox, 1);
  column->addLayout(buttons);
  setMinimumSize(326, 215);
  resize(600, hasList ? 420 : 215);
}

QString TAddSummaryFrm::Text() const {
  const QString list = listBox->toPlainText();
  return list.isEmpty() ? headline_ : headline_ + "\n" + list;
}

void TAddSummaryFrm::showEvent(QShowEvent* event) {
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    resize(std::min(width(), area.width()), std::min(height(), area.height()));
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
  okBtn->setFocus();
}

void ShowAddSummary(const TAddSummary& summary) {
  TAddSummaryFrm window(summary, QApplication::activeWindow());
  window.exec();
}
