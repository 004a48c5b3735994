#include "app/AddSummary.h"

#include <QApplication>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "ui/ShellOpen.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Files(int count) { return count == 1 ? QStringLiteral("1 file") : QString("%1 files").arg(count); }

}  // namespace

bool TAddSummary::HasNews() const {
  return !LeftOut.empty() || !UnreadableFolders.empty() || (!WalkedFolders.empty() && FoundFiles == 0);
}

QString AddSummaryHeadline(const TAddSummary& summary) {
  const QString where =
      summary.WalkedFolders.size() == 1 ? QStringLiteral("the folder") : QStringLiteral("the folders");
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
  QStringList lines;
  int listed = 0, total = 0;
  const auto group = [&](const QString& heading, const std::vector<std::string>& paths) {
    total += int(paths.size());
    if (paths.empty() || listed >= maxListed) return;
    lines << heading;
    for (const std::string& path : paths) {
      if (listed >= maxListed) break;
      lines << " " + Q(path);
      ++listed;
    }
  };
  std::vector<std::string> unreadable, silent;
  for (const TLeftOutFile& file : summary.LeftOut)
    (file.Reason == 2 ? silent : unreadable).push_back(file.Path);
  group(StrCannotRead, unreadable);
  group(StrNoAudio, silent);
  group(QStringLiteral("These folders could not be opened:"), summary.UnreadableFolders);
  if (summary.FoundFiles == 0 && summary.UnreadableFolders.empty()) group(QString(), summary.WalkedFolders);
  if (total > listed) lines << QString("... and %1 more.").arg(total - listed);
  if (!unreadable.empty()) lines << QString() << StrCodecHint;
  if (!lines.isEmpty() && lines.first().isEmpty()) lines.removeFirst();
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
  headLabel = new QLabel(AddSummaryHeadline(summary), this);
  headLabel->setObjectName("headLabel");
  headLabel->setTextFormat(Qt::PlainText);
  headLabel->setWordWrap(true);
  listBox = new QPlainTextEdit(this);
  listBox->setObjectName("listBox");
  listBox->setReadOnly(true);
  listBox->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  listBox->setPlainText(AddSummaryList(summary));
  listBox->setVisible(!listBox->toPlainText().isEmpty());
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
  resize(560, listBox->isVisible() ? 380 : 215);
}

QString TAddSummaryFrm::Text() const {
  const QString list = listBox->toPlainText();
  return list.isEmpty() ? headLabel->text() : headLabel->text() + "\n" + list;
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
