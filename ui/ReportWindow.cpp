#include "ui/ReportWindow.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>

#include "ui/ShellOpen.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A long path has no blanks to wrap at: a zero-width space after each "/" lets the label break it.
QString WithPathBreaks(QString text) { return text.replace('/', QString('/') + QChar(0x200B)); }

QLabel* WrappedLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(WithPathBreaks(text), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setVisible(!text.isEmpty());
  return label;
}

// A line that wraps goes on under its own first word, not at the list's left edge.
void HangWrappedLines(QTextEdit& box) {
  const QFontMetricsF metrics(box.font());
  for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
    const QString text = block.text();
    const qsizetype blanks =
        std::find_if(text.begin(), text.end(), [](QChar c) { return c != ' '; }) - text.begin();
    if (blanks == 0) continue;
    QTextBlockFormat format = block.blockFormat();
    const qreal indent = metrics.horizontalAdvance(QString(blanks, ' '));
    format.setLeftMargin(indent);
    format.setTextIndent(-indent);
    QTextCursor(block).setBlockFormat(format);
  }
}

}  // namespace

TReportFrm::TReportFrm(int kind, const QString& headline, const QString& list, const QString& question,
                       const std::string& secondCaption, const std::string& firstCaption, QWidget* parent)
    : QDialog(parent), headline_(headline), question_(question) {
  setObjectName("reportFrm");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QStringLiteral("   ") + StrMessage + " ...");
  icon = new QLabel(this);
  icon->setPixmap(MessageIcon(kind));
  icon->setAlignment(Qt::AlignTop);
  headLabel = WrappedLabel(headline, "headLabel", this);
  listBox = new QTextEdit(this);
  listBox->setObjectName("listBox");
  listBox->setReadOnly(true);
  // Read-only, yet the keyboard moves and selects in it as in any text.
  listBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  listBox->setTabChangesFocus(true);
  listBox->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  listBox->setAcceptRichText(false);
  listBox->setPlainText(list);
  HangWrappedLines(*listBox);
  listBox->setVisible(!list.isEmpty());
  questionLabel = WrappedLabel(question, "questionLabel", this);
  copyBtn = new QPushButton(QStringLiteral("&Copy"), this);
  copyBtn->setObjectName("copyBtn");
  saveBtn = new QPushButton(QStringLiteral("&Save As..."), this);
  saveBtn->setObjectName("saveBtn");
  okBtn = new QPushButton(Q(firstCaption), this);
  okBtn->setObjectName("okBtn");
  okBtn->setDefault(true);
  helpBtn = new QPushButton(Q(secondCaption), this);
  helpBtn->setObjectName("helpBtn");
  for (QPushButton* button : {copyBtn, saveBtn, helpBtn}) button->setAutoDefault(false);
  copyBtn->setVisible(!list.isEmpty());
  saveBtn->setVisible(!list.isEmpty());
  saveDlg = new QFileDialog(this);
  saveDlg->setObjectName("saveDlg");
  saveDlg->setOption(QFileDialog::DontUseNativeDialog);
  saveDlg->setAcceptMode(QFileDialog::AcceptSave);
  saveDlg->setFileMode(QFileDialog::AnyFile);
  saveDlg->setNameFilter(QStringLiteral("Text Files(*.txt)"));
  saveDlg->setDefaultSuffix(QStringLiteral("txt"));
  connect(copyBtn, &QPushButton::clicked, this, [this] { CopyAll(); });
  connect(saveBtn, &QPushButton::clicked, this, [this] { SaveAs(); });
  connect(okBtn, &QPushButton::clicked, this, [this] { done(1); });
  connect(helpBtn, &QPushButton::clicked, this, [this] {
    if (helpBtn->text() == QLatin1String(StrHelp))
      OpenHelp();
    else
      done(2);
  });

  auto* top = new QHBoxLayout();
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addWidget(headLabel, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addWidget(copyBtn);
  buttons->addWidget(saveBtn);
  buttons->addStretch(1);
  buttons->addWidget(okBtn);
  buttons->addWidget(helpBtn);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(20, 20, 20, 14);
  column->addLayout(top);
  column->addWidget(listBox, 1);
  column->addWidget(questionLabel);
  column->addLayout(buttons);
  setMinimumSize(326, 215);
  resize(760, list.isEmpty() ? 215 : 480);
}

QString TReportFrm::Text() const {
  QStringList parts{headline_};
  if (!listBox->toPlainText().isEmpty()) parts << listBox->toPlainText();
  if (!question_.isEmpty()) parts << question_;
  return parts.join('\n');
}

bool TReportFrm::SaveTo(const QString& path, std::string* error) const {
  QSaveFile file(path);
  const QByteArray bytes = (Text() + '\n').toUtf8();
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
  if (error) *error = file.errorString().toStdString();
  return false;
}

int TReportFrm::Show() { return ExecAboveOwner(*this) == 1 ? 1 : 2; }

void TReportFrm::reject() { done(2); }

void TReportFrm::showEvent(QShowEvent* event) {
  if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    resize(std::min(width(), area.width()), std::min(height(), area.height()));
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
  okBtn->setFocus();
}

void TReportFrm::CopyAll() const {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(Text());
}

void TReportFrm::SaveAs() {
  saveDlg->selectFile(suggestedFile.isEmpty() ? QDir::homePath() + "/report.txt" : suggestedFile);
  if (saveDlg->exec() != QDialog::Accepted || saveDlg->selectedFiles().isEmpty()) return;
  const QString path = saveDlg->selectedFiles().first();
  std::string error;
  if (SaveTo(path, &error))
    suggestedFile = path;
  else
    ShowMessageBox(mkError, "Cannot write \"" + path.toStdString() + "\". " + error, StrHelp, StrOK);
}
