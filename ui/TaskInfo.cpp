#include "ui/TaskInfo.h"

#include <QFileInfo>
#include <QLabel>
#include <algorithm>

#include "core/Format.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "ui/lang.h"

namespace {

constexpr int kLeft = 8;
constexpr int kLineHeight = 16;
constexpr int kEditLinkGap = 10;

QString Bold(const char* caption) { return QString("<b>%1</b>").arg(caption); }

QString ChannelText(int32_t channels) {
  switch (channels) {
    case 0:
      return "Dual Channels";
    case 1:
      return "Stero";
    case 2:
      return "Joint Stero";
    case 3:
      return "Mono";
    default:
      return QString();
  }
}

QString BitrateText(const TTaskRecord& task) {
  if (task.UseVBR) return QString::asprintf("%d - %d Kbps, VBR", task.VbrMinBitrate, task.VbrMaxBitrate);
  return QString::asprintf("%d Kbps, CBR", task.Bitrate);
}

}  // namespace

QString RichTextOf(const std::string& text) {
  const QString escaped = QString::fromStdString(text).toHtmlEscaped();
  // Rich text folds runs of blanks into one: every blank after the first of a run, and one at either
  // end, is kept as a non-breaking space.
  QString kept;
  kept.reserve(escaped.size());
  bool afterBlank = true;
  for (qsizetype i = 0; i < escaped.size(); ++i) {
    const QChar c = escaped.at(i);
    if (c == ' ') {
      kept += afterBlank || i + 1 == escaped.size() ? QStringLiteral("&nbsp;") : QStringLiteral(" ");
      afterBlank = true;
    } else {
      kept += c;
      afterBlank = false;
    }
  }
  return kept;
}

TTaskInfoPanel::TTaskInfoPanel(QWidget* parent) : QGroupBox(parent) {
  setObjectName("infoPanel");
  const int lineHeight = std::max(kLineHeight, fontMetrics().height());
  const struct {
    QLabel** label;
    const char* name;
    int y;
  } lines[] = {{&taskInfo_1, "taskInfo_1", 32},
               {&taskInfo_2, "taskInfo_2", 48},
               {&TaskInfo_5, "TaskInfo_5", 64},
               {&taskinfo_3, "taskinfo_3", 80},
               {&Taskinfo_4, "Taskinfo_4", 80}};
  for (const auto& line : lines) {
    auto* label = new QLabel(this);
    label->setObjectName(line.name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setGeometry(kLeft, line.y, 0, lineHeight);
    connect(label, &QLabel::linkActivated, this, &TTaskInfoPanel::LinkClicked);
    *line.label = label;
  }
  FitLines();
}

void TTaskInfoPanel::ShowTaskInfo(int index) {
  if (index >= 0 && size_t(index) >= Tasks.size()) return;
  if (index < 0) {
    taskInfo_1->setText(QString("<a href=\"aa\">%1</a>").arg(StrEmptyListHint));
    for (QLabel* label : {taskInfo_2, TaskInfo_5, taskinfo_3, Taskinfo_4}) label->clear();
    for (QLabel* label : {taskInfo_1, taskInfo_2}) label->setToolTip(QString());
    PlaceEditLink();
    return;
  }
  const TTaskRecord& task = *Tasks[size_t(index)];
  taskInfo_1->setText(Bold(StrInputFile) + ": <a href=\"bb\"><u>" + RichTextOf(task.SourceFile) + "</u></a>");
  // A long path runs off the panel: its tooltip shows it whole.
  taskInfo_1->setToolTip(QString::fromStdString(task.SourceFile));
  taskInfo_2->setToolTip(QString::fromStdString(task.OutputFile));
  // The output is a link only once there is a file to open.
  if (QFileInfo(QString::fromStdString(task.OutputFile)).isFile())
    taskInfo_2->setText(Bold(StrOutputFile) + ": <a href=\"dd\"><u>" + RichTextOf(task.OutputFile) +
                        "</u></a>");
  else
    taskInfo_2->setText(Bold(StrOutputFile) + ": " + RichTextOf(task.OutputFile));
  // The task's own settings, as its size estimate beside them: the defaults may differ.
  TaskInfo_5->setText(Bold(StrMP3Settings) + ": " + ChannelText(task.ChannelMode) + ", " + BitrateText(task));
  taskinfo_3->setText(Bold(StrDuration) + ": " + QString::fromStdString(FormatDuration(task.Duration)) +
                      ", " + Bold(StrOutputFileSize) + ": about " +
                      QString::fromStdString(FormatSizeMB(task.EstimatedSize)));
  Taskinfo_4->setText(QString("<a href=\"cc\"><u>%1...</u></a>").arg(StrEditLink));
  PlaceEditLink();
}

void TTaskInfoPanel::PlaceEditLink() {
  // The duration line is as wide as its text, so the edit link can follow it on the same line.
  taskinfo_3->resize(taskinfo_3->text().isEmpty() ? 0 : taskinfo_3->sizeHint().width(), taskinfo_3->height());
  Taskinfo_4->resize(Taskinfo_4->text().isEmpty() ? 0 : Taskinfo_4->sizeHint().width(), Taskinfo_4->height());
  Taskinfo_4->move(taskinfo_3->x() + taskinfo_3->width() + kEditLinkGap, taskinfo_3->y());
}

void TTaskInfoPanel::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  FitLines();
}

void TTaskInfoPanel::FitLines() {
  const int lineWidth = std::max(0, width() - 2 * kLeft);
  for (QLabel* label : {taskInfo_1, taskInfo_2, TaskInfo_5}) label->resize(lineWidth, label->height());
}
