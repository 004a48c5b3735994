// The task editor's controls and their layout.
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/TaskList.h"
#include "probe/GenreNames.h"
#include "ui/add.h"

namespace {

// A drop-down list of fixed items, with nothing selected until the editor selects a value.
QComboBox* MakeChoiceList(QWidget* parent, const char* name, const QStringList& items) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  list->setCurrentIndex(-1);
  return list;
}

// An editable tag list whose entries drop down, filtered, as soon as the user types.
QComboBox* MakeTagList(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->setEditable(true);
  list->setInsertPolicy(QComboBox::NoInsert);  // Enter must not slip a half-typed text into the history
  list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  list->setMinimumContentsLength(12);
  list->setMaxVisibleItems(12);
  auto* completer = new QCompleter(list->model(), list);
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setCompletionMode(QCompleter::PopupCompletion);
  completer->setMaxVisibleItems(10);
  list->setCompleter(completer);
  return list;
}

QLineEdit* MakePathField(QWidget* parent, const char* name) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  field->setMinimumWidth(200);
  return field;
}

QToolButton* MakePickerButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture,
                              const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(parent->style()->standardIcon(picture));
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  return button;
}

QStringList BitrateItems() {
  QStringList items;
  for (int32_t kbps : MP3Bitrates) items << QString::number(kbps) + QStringLiteral(" kbps");
  return items;
}

}  // namespace

void TaddFrm::BuildPage1() {
  addPage1 = new QWidget(addPages);
  addPage1->setObjectName("addPage1");
  InputFileLabel = new QLabel(addPage1);
  InputFileLabel->setObjectName("InputFileLabel");
  srcFile = MakePathField(addPage1, "srcFile");
  addFileBtn = MakePickerButton(addPage1, "addFileBtn", QStyle::SP_DirOpenIcon,
                                QStringLiteral("Choose the input file"));
  outFileLabel = new QLabel(addPage1);
  outFileLabel->setObjectName("outFileLabel");
  dstFile = MakePathField(addPage1, "dstFile");
  outFileBtn = MakePickerButton(addPage1, "outFileBtn", QStyle::SP_DialogSaveButton,
                                QStringLiteral("Choose the output file"));
  InputFileLabel->setBuddy(srcFile);
  outFileLabel->setBuddy(dstFile);

  inputFileInfoPanel = new QGroupBox(addPage1);
  inputFileInfoPanel->setObjectName("inputFileInfoPanel");
  inFileInfoList = new QListWidget(inputFileInfoPanel);
  inFileInfoList->setObjectName("inFileInfoList");
  inFileInfoList->setStyleSheet(QStringLiteral("QListWidget { border: 1px solid white; }"));
  inFileInfoList->setFocusPolicy(Qt::NoFocus);
  inFileInfoList->setSelectionMode(QAbstractItemView::NoSelection);
  inFileInfoList->setFixedHeight(inFileInfoList->fontMetrics().lineSpacing() * 2 + 12);
  auto* infoLayout = new QVBoxLayout(inputFileInfoPanel);
  infoLayout->addWidget(inFileInfoList);

  auto* srcRow = new QHBoxLayout;
  srcRow->addWidget(srcFile);
  srcRow->addWidget(addFileBtn);
  auto* dstRow = new QHBoxLayout;
  dstRow->addWidget(dstFile);
  dstRow->addWidget(outFileBtn);
  auto* layout = new QVBoxLayout(addPage1);
  layout->addWidget(InputFileLabel);
  layout->addLayout(srcRow);
  layout->addSpacing(6);
  layout->addWidget(outFileLabel);
  layout->addLayout(dstRow);
  layout->addSpacing(10);
  layout->addWidget(inputFileInfoPanel);
  layout->addStretch(1);
  addPages->addWidget(addPage1);
}

void TaddFrm::BuildPage2() {
  addPage2 = new QWidget(addPages);
  addPage2->setObjectName("addPage2");

  auto* bitrateGroup = new QGroupBox(QStringLiteral("MP3 Bitrate "), addPage2);
  VBRCheck = new QCheckBox(QStringLiteral(" Use &Variable Bitrate Mode"), bitrateGroup);
  VBRCheck->setObjectName("VBRCheck");
  BitrateSettingsPage = new QStackedWidget(bitrateGroup);
  BitrateSettingsPage->setObjectName("BitrateSettingsPage");
  const QStringList bitrates = BitrateItems();
  auto* singlePage = new QWidget(BitrateSettingsPage);
  bitRateSel = MakeChoiceList(singlePage, "bitRateSel", bitrates);
  auto* singleLayout = new QHBoxLayout(singlePage);
  singleLayout->setContentsMargins(0, 0, 0, 0);
  singleLayout->addWidget(bitRateSel);
  singleLayout->addStretch(1);
  auto* rangePage = new QWidget(BitrateSettingsPage);
  minBitrateSel = MakeChoiceList(rangePage, "minBitrateSel", bitrates);
  maxBitrateSel = MakeChoiceList(rangePage, "maxBitrateSel", bitrates);
  auto* minLabel = new QLabel(QStringLiteral("Min:"), rangePage);
  auto* maxLabel = new QLabel(QStringLiteral("Max:"), rangePage);
  minLabel->setBuddy(minBitrateSel);
  maxLabel->setBuddy(maxBitrateSel);
  auto* rangeLayout = new QHBoxLayout(rangePage);
  rangeLayout->setContentsMargins(0, 0, 0, 0);
  rangeLayout->addWidget(minLabel);
  rangeLayout->addWidget(minBitrateSel);
  rangeLayout->addSpacing(12);
  rangeLayout->addWidget(maxLabel);
  rangeLayout->addWidget(maxBitrateSel);
  rangeLayout->addStretch(1);
  BitrateSettingsPage->addWidget(singlePage);
  BitrateSettingsPage->addWidget(rangePage);
  auto* bitrateLayout = new QVBoxLayout(bitrateGroup);
  bitrateLayout->addWidget(VBRCheck);
  bitrateLayout->addWidget(BitrateSettingsPage);

  auto* rateGroup = new QGroupBox(QStringLiteral(" Sample Rate "), addPage2);
  samplerateSel =
      MakeChoiceList(rateGroup, "samplerateSel",
                     {QStringLiteral("32000 Hz"), QStringLiteral("44100 Hz"), QStringLiteral("48000 Hz")});
  auto* rateLayout = new QHBoxLayout(rateGroup);
  rateLayout->addWidget(samplerateSel);
  rateLayout->addStretch(1);

  auto* modeGroup = new QGroupBox(QStringLiteral("Channel Mode"), addPage2);
  ChannelModeSel = MakeChoiceList(modeGroup, "ChannelModeSel",
                                  {QStringLiteral("Dual Channels"), QStringLiteral("Stero"),
                                   QStringLiteral("Joint Stero"), QStringLiteral("Mono")});
  auto* modeLayout = new QHBoxLayout(modeGroup);
  modeLayout->addWidget(ChannelModeSel);
  modeLayout->addStretch(1);

  auto* layout = new QVBoxLayout(addPage2);
  layout->addWidget(bitrateGroup);
  layout->addWidget(rateGroup);
  layout->addWidget(modeGroup);
  layout->addStretch(1);
  addPages->addWidget(addPage2);
}

void TaddFrm::BuildPage3() {
  addPage3 = new QWidget(addPages);
  addPage3->setObjectName("addPage3");
  tagPanel = new QGroupBox(addPage3);
  tagPanel->setObjectName("tagPanel");
  titleEdit = new QLineEdit(tagPanel);
  titleEdit->setObjectName("titleEdit");
  albumEdit = MakeTagList(tagPanel, "albumEdit");
  artistEdit = MakeTagList(tagPanel, "artistEdit");
  GenreEdit = MakeTagList(tagPanel, "GenreEdit");
  for (const char* genre : GenreNames) GenreEdit->addItem(QString::fromUtf8(genre));
  GenreEdit->setCurrentIndex(-1);
  YearEdit = MakeTagList(tagPanel, "YearEdit");
  commentEdit = MakeTagList(tagPanel, "commentEdit");

  auto* form = new QFormLayout(tagPanel);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  form->addRow(QStringLiteral("Title:"), titleEdit);
  form->addRow(QStringLiteral("Album:"), albumEdit);
  form->addRow(QStringLiteral("Artist:"), artistEdit);
  form->addRow(QStringLiteral("Genre:"), GenreEdit);
  form->addRow(QStringLiteral("Year:"), YearEdit);
  form->addRow(QStringLiteral("Comment:"), commentEdit);
  auto* layout = new QVBoxLayout(addPage3);
  layout->addWidget(tagPanel);
  layout->addStretch(1);
  addPages->addWidget(addPage3);
}

void TaddFrm::BuildButtons() {
  backBtn = new QPushButton(this);
  backBtn->setObjectName("backBtn");
  nextBtn = new QPushButton(this);
  nextBtn->setObjectName("nextBtn");
  nextBtn->setDefault(true);
  cancelBtn = new QPushButton(this);
  cancelBtn->setObjectName("cancelBtn");
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(backBtn);
  row->addWidget(nextBtn);
  row->addSpacing(8);
  row->addWidget(cancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(addPages, 1);
  layout->addLayout(row);
}
