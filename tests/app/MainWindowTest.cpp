// The main window driven as a user would: files dropped on it, the editor and the questions answered
// by a timer while they are modal, the buttons, the list's clicks and check boxes.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "probe/ProbeMedia.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/Permissions.h"
#include "ui/TaskInfo.h"
#include "ui/lang.h"

namespace {

const QString kCafe = QString::fromUtf8("Café Ünïcødé — Привет 音楽");  // ac3-stereo.rm's title

using MainWindowTest = MainWindowFixture;

// Counts the files the probe opens, on top of the real libraries.
int filesProbed = 0;
int32_t CountingFileInit(const char* path, int64_t* duration, int32_t* second, int32_t* noAudio,
                         TMediaInfoBlock* block, TWaveFormatEx* format) {
  ++filesProbed;
  return file_init(path, duration, second, noAudio, block, format);
}
TProbeLibrary CountingProbe() {
  TProbeLibrary library = RealProbeLibrary();
  library.FileInit = &CountingFileInit;
  return library;
}

TEST_F(MainWindowTest, CaptionButtonsAndThePromptRowAtTheFirstShowing) {
  EXPECT_EQ(main->windowTitle(), QString("Tolvane   (") + MakerCredit + ")");
  EXPECT_EQ(main->addFileBtn->text(), "&Add Files");
  EXPECT_EQ(main->editFileBtn->text(), "&Edit");
  EXPECT_EQ(main->startBtn->text(), "&Start");
  EXPECT_EQ(main->aboutBtn->text(), "A&bout");
  EXPECT_EQ(main->taskPanel->title(), "Task List");
  EXPECT_EQ(main->infoPanel->title(), "Conversion Settings ....");
  EXPECT_EQ(RowTexts(), QStringList{StrEmptyListHint});
  EXPECT_FALSE(main->rmFileBtn->isEnabled());
  EXPECT_FALSE(main->editFileBtn->isEnabled());
  EXPECT_FALSE(main->startBtn->isEnabled());
  EXPECT_TRUE(main->startBtn->font().bold());
  EXPECT_EQ(main->AddFilesDlg->windowTitle(), "Select File(s) to Convert...");
  EXPECT_EQ(main->AddFilesDlg->nameFilters(),
            (QStringList{"All available Files (*.rm *.rma *.ra *.rmvb)",
                         "Real Meida Files(*.rm;*.rma;*.ra;*.rmvb) (*.rm *.rma *.ra *.rmvb)"}));
  EXPECT_EQ(TmainFrm::DropExtensions(OpenFilter), (QStringList{".rm", ".rma", ".ra", ".rmvb"}));
}

TEST_F(MainWindowTest, TwoDroppedFilesWithTheSameSettingsGetTheEditorOnceAndTheirOwnTags) {
  const std::string a = Input("ac3-stereo.rm"), b = Input("aac.rm");
  ConfirmEditor();
  driver.Answer(StrYes);
  Drop({QString::fromStdString(a), QString::fromStdString(b)});
  WaitForBatch();
  ASSERT_EQ(driver.messages, QStringList{StrAskSameSettings});
  EXPECT_EQ(driver.kinds, QList<int>{mkQuestion});
  ASSERT_EQ(Tasks.size(), 2u);
  EXPECT_EQ(RowTexts(), (QStringList{kCafe, "Tone 660"}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(Tasks[i]->Checked);
    EXPECT_EQ(main->TaskList->item(i)->checkState(), Qt::Checked);
  }
  EXPECT_EQ(Tasks[0]->OutputFile, work + "ac3-stereo.mp3");
  EXPECT_EQ(Tasks[1]->OutputFile, work + "aac.mp3");
  EXPECT_EQ(Tasks[1]->Bitrate, Tasks[0]->Bitrate);
  EXPECT_TRUE(main->startBtn->isEnabled());
  EXPECT_TRUE(main->addFileBtn->isEnabled());
  EXPECT_TRUE(main->statusPanel0->text().isEmpty());
}

TEST_F(MainWindowTest, TheStatusBarNamesTheFileBeingRead) {
  const std::string a = Input("ra144.rm");
  QString status;
  driver.Then(
      [&](QWidget* window) {
        status = main->statusPanel0->text();
        static_cast<TaddFrm*>(window)->cancelBtn->click();
      },
      "TaddFrm");
  Drop({QString::fromStdString(a)});
  WaitForBatch();
  EXPECT_EQ(status.toStdString(), "Reading file: :" + a + " ...");
  EXPECT_TRUE(main->statusPanel0->text().isEmpty());
}

TEST_F(MainWindowTest, TheStatusBarShowsANameThatLooksLikeMarkupAsItIs) {
  const std::string a = Input("ra144.rm", "<b>loud.rm");
  QString shown;
  QImage rendered, asPlainText;
  driver.Then(
      [&](QWidget* window) {
        QLabel* panel = main->statusPanel0;
        shown = panel->text();
        rendered = panel->grab().toImage();
        // The same panel made to show its text as plain text, then put back.
        const Qt::TextFormat format = panel->textFormat();
        panel->setTextFormat(Qt::PlainText);
        asPlainText = panel->grab().toImage();
        panel->setTextFormat(format);
        static_cast<TaddFrm*>(window)->cancelBtn->click();
      },
      "TaddFrm");
  Drop({QString::fromStdString(a)});
  WaitForBatch();
  EXPECT_EQ(shown.toStdString(), "Reading file: :" + a + " ...");
  ASSERT_FALSE(rendered.isNull());
  EXPECT_TRUE(rendered == asPlainText) << "the status bar does not show the name as plain text";
}

TEST_F(MainWindowTest, ADropOfAnotherTypeAddsNothingAndLetterCaseIsIgnored) {
  const std::string text = work + "notes.txt";
  WriteWholeFile(text, "not media");
  Drop({QString::fromStdString(text)});
  QTest::qWait(50);
  EXPECT_TRUE(Tasks.empty());
  EXPECT_FALSE(main->IsAddingFiles());
  EXPECT_EQ(RowTexts(), QStringList{StrEmptyListHint});

  const std::string upper = Input("ra144.rm", "LOUD.RM");
  ConfirmEditor();
  Drop({QString::fromStdString(upper)});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->SourceFile, upper);
}

TEST_F(MainWindowTest, CancellingTheEditorForTheFirstOfThreeEndsTheBatch) {
  SetProbeLibrary(CountingProbe());
  filesProbed = 0;
  driver.Press(StrCancel, "TaddFrm");
  Drop({QString::fromStdString(Input("ac3-stereo.rm")), QString::fromStdString(Input("aac.rm")),
        QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  EXPECT_TRUE(Tasks.empty());
  EXPECT_TRUE(driver.messages.isEmpty());  // no same-settings question
  EXPECT_EQ(filesProbed, 1);               // the other two were not read
  EXPECT_EQ(RowTexts(), QStringList{StrEmptyListHint});
}

TEST_F(MainWindowTest, EditingATitleRenamesItsRowAndKeepsItsCheckMark) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 1u);
  ClickRow(0);
  ConfirmEditor([](TaddFrm* form) { form->titleEdit->setText("Morning Talk"); });
  main->editFileBtn->click();
  WaitUntil([this] { return driver.Remaining() == 0 && !QApplication::activeModalWidget(); });
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->Title, "Morning Talk");
  EXPECT_EQ(RowTexts(), QStringList{"Morning Talk"});
  EXPECT_EQ(main->TaskList->item(0)->checkState(), Qt::Checked);
  EXPECT_TRUE(main->infoPanel->taskInfo_1->text().contains("ra144.rm"));
}

TEST_F(MainWindowTest, ADoubleClickOnARowOpensTheEditor) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  bool opened = false;
  driver.Then(
      [&](QWidget* window) {
        opened = true;
        static_cast<TaddFrm*>(window)->cancelBtn->click();
      },
      "TaddFrm");
  QListWidget* list = main->TaskList;
  const QPoint row = list->visualItemRect(list->item(0)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row);
  WaitUntil([this] { return driver.Remaining() == 0 && !QApplication::activeModalWidget(); });
  EXPECT_TRUE(opened);
  EXPECT_EQ(Tasks.size(), 1u);
}

TEST_F(MainWindowTest, AKeyInTheListSelectsARowAndShowsItsTask) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  main->TaskList->setFocus();
  QTest::keyClick(main->TaskList, Qt::Key_Home);
  QTest::qWait(20);
  ASSERT_EQ(main->TaskList->selectedItems().size(), 1);
  EXPECT_EQ(main->TaskList->row(main->TaskList->selectedItems().first()), 0);
  EXPECT_TRUE(main->infoPanel->taskInfo_1->text().contains("ra144.rm"));
  EXPECT_TRUE(main->editFileBtn->isEnabled());
}

TEST_F(MainWindowTest, RemovingTheLastTaskBringsBackThePromptRow) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  ClickRow(0);
  EXPECT_TRUE(main->rmFileBtn->isEnabled());
  EXPECT_TRUE(main->infoPanel->taskInfo_1->text().contains("ra144.rm"));
  main->rmFileBtn->click();
  EXPECT_TRUE(Tasks.empty());
  EXPECT_EQ(RowTexts(), QStringList{StrEmptyListHint});
  EXPECT_FALSE(main->rmFileBtn->isEnabled());
  EXPECT_FALSE(main->editFileBtn->isEnabled());
  EXPECT_FALSE(main->startBtn->isEnabled());
}

TEST_F(MainWindowTest, ACheckBoxToggledDuringABatchLeavesItsTaskAsItWas) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  main->TaskList->setCurrentRow(0);
  // While the second file's editor is open, the first row's box is unticked.
  driver.Then(
      [this](QWidget* window) {
        main->TaskList->item(0)->setCheckState(Qt::Unchecked);
        static_cast<TaddFrm*>(window)->cancelBtn->click();
      },
      "TaddFrm");
  Drop({QString::fromStdString(Input("aac.rm"))});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_TRUE(Tasks[0]->Checked);

  // Outside a batch, the selected row's box is the task's mark (the row still shows the untick).
  ClickRow(0);
  main->TaskList->item(0)->setCheckState(Qt::Checked);
  main->TaskList->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(Tasks[0]->Checked);
}

TEST_F(MainWindowTest, SpaceOnTheCurrentRowAfterTabIntoTheListTicksThatRowsTask) {
  ConfirmEditor();
  driver.Answer(StrYes);
  Drop({QString::fromStdString(Input("ra144.rm")), QString::fromStdString(Input("aac.rm"))});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 2u);
  main->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
  // Tab from the buttons on round to the list: its first row becomes current, none is selected.
  main->addFileBtn->setFocus();
  for (int i = 0; i < 20 && QApplication::focusWidget() != main->TaskList; ++i)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), main->TaskList);
  EXPECT_TRUE(main->TaskList->selectedItems().isEmpty());
  QTest::keyClick(main->TaskList, Qt::Key_Space);
  QTest::qWait(20);
  EXPECT_EQ(main->TaskList->item(0)->checkState(), Qt::Unchecked);
  EXPECT_FALSE(Tasks[0]->Checked);
  EXPECT_TRUE(Tasks[1]->Checked);

  // Ctrl+click on the selected row unselects it; Space then toggles that row.
  ClickRow(1);
  ASSERT_EQ(main->TaskList->selectedItems().size(), 1);
  QListWidget* list = main->TaskList;
  const QRect row = list->visualItemRect(list->item(1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                    QPoint(row.right() - 10, row.center().y()));
  QTest::qWait(20);
  ASSERT_TRUE(list->selectedItems().isEmpty());
  QTest::keyClick(list, Qt::Key_Space);
  QTest::qWait(20);
  EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
  EXPECT_FALSE(Tasks[1]->Checked);
  EXPECT_FALSE(Tasks[0]->Checked);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_TRUE(Tasks[1]->Checked);
}

TEST_F(MainWindowTest, EachShowingResetsTheInformationPanelToTheAddFilesLink) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  main->TaskList->setCurrentRow(0);
  main->infoPanel->ShowTaskInfo(0);
  EXPECT_TRUE(main->infoPanel->taskInfo_1->text().contains("ra144.rm"));
  main->hide();
  main->show();
  EXPECT_EQ(main->infoPanel->taskInfo_1->text(), QString("<a href=\"aa\">") + StrEmptyListHint + "</a>");
  EXPECT_TRUE(main->infoPanel->taskInfo_2->text().isEmpty());
  EXPECT_EQ(RowTexts(), QStringList{"Tone 550"});  // the list is rebuilt, the tasks stay
}

TEST_F(MainWindowTest, StartWithAnEmptyListSaysThereIsNothingToConvert) {
  main->startBtn->setEnabled(true);  // as after the last task was removed while a row stayed selected
  driver.Answer(StrOK);
  main->startBtn->click();
  WaitUntil([this] { return driver.Remaining() == 0; });
  ASSERT_EQ(driver.messages.size(), 1);
  EXPECT_EQ(driver.messages[0], QString(StrBusy) + "\n" + StrNothingToConvert);
  EXPECT_EQ(driver.kinds[0], mkQuestion);
}

TEST_F(MainWindowTest, AClickOnTheEmptyListOpensTheOpenDialogAtTheInputFolder) {
  DefaultSettings.InputFileDir = workDir.path().toStdString();
  QString folder;
  QFileDialog::FileMode mode{};
  driver.Then(
      [&](QWidget* window) {
        auto* dialog = static_cast<QFileDialog*>(window);
        folder = dialog->directory().absolutePath();
        mode = dialog->fileMode();
        dialog->reject();
      },
      "QFileDialog");
  QTest::mouseClick(main->TaskList->viewport(), Qt::LeftButton, {}, QPoint(20, 8));
  WaitUntil([this] { return driver.Remaining() == 0 && !main->IsAddingFiles(); });
  EXPECT_EQ(folder, workDir.path());
  EXPECT_EQ(mode, QFileDialog::ExistingFiles);
  EXPECT_TRUE(main->addFileBtn->isEnabled());
}

TEST_F(MainWindowTest, OnlyTheLeftButtonOnTheEmptyListOpensTheOpenDialog) {
  // Every open dialog that shows is counted and cancelled, however many there are.
  int dialogs = 0;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      ++dialogs;
      dialog->reject();
    }
  });
  watcher.start(10);
  const auto clickAndSettle = [&](Qt::MouseButton button) {
    QTest::mouseClick(main->TaskList->viewport(), button, {}, QPoint(20, 8));
    QTest::qWait(50);
    WaitUntil([this] { return !main->IsAddingFiles() && !QApplication::activeModalWidget(); });
  };
  clickAndSettle(Qt::RightButton);
  clickAndSettle(Qt::MiddleButton);
  EXPECT_EQ(dialogs, 0);
  clickAndSettle(Qt::LeftButton);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(main->addFileBtn->isEnabled());
}

TEST_F(MainWindowTest, FilesPickedInTheOpenDialogAreAddedInItsOrder) {
  const std::string a = Input("aac.rm"), b = Input("ra144.rm");
  DefaultSettings.InputFileDir = workDir.path().toStdString();
  driver.Then(
      [&](QWidget* window) {
        auto* dialog = static_cast<QFileDialog*>(window);
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText("\"aac.rm\" \"ra144.rm\"");
        QMetaObject::invokeMethod(dialog, "accept");
      },
      "QFileDialog");
  ConfirmEditor();
  driver.Answer(StrNo);  // not the same settings: the editor for the second file too
  ConfirmEditor();
  main->addFileBtn->click();
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 2u);
  EXPECT_EQ(Tasks[0]->SourceFile, a);
  EXPECT_EQ(Tasks[1]->SourceFile, b);
}

TEST_F(MainWindowTest, TheLinksOpenTheSelectedTasksFilesAndEditIt) {
  ConfirmEditor();
  const std::string source = Input("ra144.rm");
  Drop({QString::fromStdString(source)});
  WaitForBatch();
  emit main->infoPanel->LinkClicked("bb");  // no row selected: nothing
  EXPECT_TRUE(urls.opened.isEmpty());
  main->TaskList->setCurrentRow(0);
  emit main->infoPanel->LinkClicked("bb");
  emit main->infoPanel->LinkClicked("dd");
  ASSERT_EQ(urls.opened.size(), 2);
  EXPECT_EQ(urls.opened[0].toLocalFile().toStdString(), source);
  EXPECT_EQ(urls.opened[1].toLocalFile().toStdString(), Tasks[0]->OutputFile);
  bool edited = false;
  driver.Then(
      [&](QWidget* window) {
        edited = true;
        static_cast<TaddFrm*>(window)->cancelBtn->click();
      },
      "TaddFrm");
  emit main->infoPanel->LinkClicked("cc");
  WaitUntil([this] { return driver.Remaining() == 0; });
  EXPECT_TRUE(edited);
}

TEST_F(MainWindowTest, WhileAConversionRunsAddFilesAndClosingAreRefused) {
  ConfirmEditor();
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  const auto tasksBefore = Tasks.size();
  bool stillOpen = false;
  // Paused before its first task, the run waits while the main window is asked to do things.
  driver.Then(
      [&](QWidget* window) {
        auto* run = static_cast<TprgFrm*>(window);
        run->pauseBtn->click();
        driver.Answer(StrOK).Answer(StrOK).Then([&, run](QWidget*) {
          stillOpen = main->isVisible() || main->isMinimized();
          driver.Answer(StrYes).Answer(StrNo);
          run->cancelBtn->click();
        });
        main->addFileBtn->click();
        main->close();
      },
      "TprgFrm");
  main->startBtn->click();
  WaitUntil([this] { return driver.Remaining() == 0 && !QApplication::activeModalWidget(); });
  ASSERT_GE(driver.messages.size(), 2);
  EXPECT_EQ(driver.messages[0], StrBusy);
  EXPECT_EQ(driver.messages[1], StrBusy);
  EXPECT_EQ(driver.kinds[0], mkInformation);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(Tasks.size(), tasksBefore);
  EXPECT_FALSE(progress->Converting());
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsAndIsRefusedWhileAFileIsRead) {
  DefaultSettings.AudioBitrate = 64;
  ProbeDone.store(false);
  driver.Answer(StrOK);
  EXPECT_FALSE(main->close());
  WaitUntil([this] { return driver.Remaining() == 0; });
  EXPECT_EQ(driver.messages, QStringList{StrBusy});
  QSettings before(QString::fromStdString(config.SettingsFile()), QSettings::IniFormat);
  EXPECT_EQ(before.value("AudioBitrate").toInt(), 192);
  ProbeDone.store(true);
  DefaultSettings.AudioBitrate = 96;
  EXPECT_TRUE(main->close());
  QSettings after(QString::fromStdString(config.SettingsFile()), QSettings::IniFormat);
  EXPECT_EQ(after.value("AudioBitrate").toInt(), 96);
  EXPECT_EQ(after.value("tips").toInt(), 10000);
}

TEST_F(MainWindowTest, FilesNamedAtStartAreAddedOnceTheWindowShows) {
  main->hide();
  auto fresh = std::make_unique<TmainFrm>();
  const std::string file = Input("ra144.rm");
  fresh->SetStartFiles({QString::fromStdString(file), QString::fromStdString(work + "readme.txt")});
  ConfirmEditor();
  fresh->show();
  WaitUntil([&] {
    return driver.Remaining() == 0 && !fresh->IsAddingFiles() && !QApplication::activeModalWidget();
  });
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->SourceFile, file);
  EXPECT_EQ(fresh->TaskList->count(), 1);
}

// ---------------------------------------------------------------------------------------------
// Bad input

TEST_F(MainWindowTest, FiveHundredDroppedFilesAreAllAdded) {
  const std::string original = Input("ra144.rm");
  QStringList files;
  for (int i = 0; i < 500; ++i) {
    const std::string name = work + "part" + std::to_string(i) + ".rm";
    std::filesystem::create_hard_link(original, name);
    files << QString::fromStdString(name);
  }
  ConfirmEditor();
  driver.Answer(StrYes);
  Drop(files);
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 500u);
  EXPECT_EQ(main->TaskList->count(), 500);
  EXPECT_EQ(Tasks[499]->SourceFile, files[499].toStdString());
  EXPECT_EQ(Tasks[499]->OutputFile, work + "part499.mp3");
}

TEST_F(MainWindowTest, AFileThatVanishesBeforeItIsReadIsToldAndSkipped) {
  const std::string a = Input("ra144.rm"), b = Input("aac.rm"), c = Input("ac3-stereo.rm");
  ConfirmEditor([&](TaddFrm*) { std::filesystem::remove(b); });
  driver.Answer(StrYes).Answer(StrOK);
  Drop({QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(c)});
  WaitForBatch();
  ASSERT_EQ(driver.messages.size(), 2);
  EXPECT_TRUE(
      driver.messages[1].startsWith(QString(StrCannotRead) + "\n " + QString::fromStdString(b) + "\n"));
  ASSERT_EQ(Tasks.size(), 2u);
  EXPECT_EQ(Tasks[0]->SourceFile, a);
  EXPECT_EQ(Tasks[1]->SourceFile, c);
}

TEST_F(MainWindowTest, AnUnreadableFileAndOneWithoutAudioAreToldSkippedAndTheBatchGoesOn) {
  const std::string first = Input("ra144.rm"), broken = work + "broken.rm", silent = Input("video-only.rm");
  WriteWholeFile(broken, "not a RealMedia file at all");
  const std::string fourth = Input("aac.rm"), fifth = Input("ac3-stereo.rm");
  ConfirmEditor();
  driver.Answer(StrYes).Answer(StrOK).Answer(StrOK);
  Drop({QString::fromStdString(first), QString::fromStdString(broken), QString::fromStdString(silent),
        QString::fromStdString(fourth), QString::fromStdString(fifth)});
  WaitForBatch();
  // The messages are those of a single file, unchanged.
  ASSERT_EQ(driver.messages.size(), 3);
  EXPECT_EQ(driver.messages[1],
            QString(StrCannotRead) + "\n " + QString::fromStdString(broken) + "\n" + StrCodecHint);
  EXPECT_EQ(driver.kinds[1], mkError);
  EXPECT_EQ(driver.messages[2], QString(StrNoAudio) + "\n " + QString::fromStdString(silent));
  EXPECT_EQ(driver.kinds[2], mkWarning);
  ASSERT_EQ(Tasks.size(), 3u);
  EXPECT_EQ(Tasks[0]->SourceFile, first);
  EXPECT_EQ(Tasks[1]->SourceFile, fourth);
  EXPECT_EQ(Tasks[2]->SourceFile, fifth);
  EXPECT_EQ(RowTexts().size(), 3);
  EXPECT_TRUE(main->addFileBtn->isEnabled());
}

TEST_F(MainWindowTest, AfterAnUnreadableFirstFileTheNextGetsTheEditorAndTheQuestion) {
  const std::string broken = work + "broken.rm";
  WriteWholeFile(broken, "not a RealMedia file at all");
  const std::string second = Input("ra144.rm"), third = Input("aac.rm");
  driver.Answer(StrOK);
  ConfirmEditor();
  driver.Answer(StrYes);
  Drop({QString::fromStdString(broken), QString::fromStdString(second), QString::fromStdString(third)});
  WaitForBatch();
  ASSERT_EQ(driver.messages.size(), 2);
  EXPECT_EQ(driver.messages[1], StrAskSameSettings);
  ASSERT_EQ(Tasks.size(), 2u);
  EXPECT_EQ(Tasks[0]->SourceFile, second);
  EXPECT_EQ(Tasks[1]->SourceFile, third);
}

TEST_F(MainWindowTest, NamesWithALineBreakOrBytesThatAreNotUtf8DoNoHarm) {
  const std::string withBreak = Input("ra144.rm", "two\nlines.rm");
  ConfirmEditor();
  Drop({QString::fromStdString(withBreak)});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(Tasks[0]->SourceFile, withBreak);

  // A name that is not UTF-8 reaches the program as a different text: a file that is not there.
  const std::string bad = work + "bad\xFF.rm";
  WriteWholeFile(bad, ReadWholeFile(TestDataFile("ra144.rm")));
  Drop({QFile::decodeName(QByteArray::fromStdString(bad))});
  QTest::qWait(50);
  EXPECT_EQ(Tasks.size(), 1u);
  EXPECT_FALSE(main->IsAddingFiles());
}

TEST_F(MainWindowTest, ASettingsFileThatCannotBeWrittenIsReportedLosesNoTaskAndLetsTheWindowClose) {
  const std::string settings = config.SettingsFile();
  const std::string before = ReadWholeFile(settings);
  std::filesystem::permissions(settings,
                               std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  ScopedNoPermissionOverride asAUser;
  DefaultSettings.AudioBitrate = 96;
  ConfirmEditor();  // the editor's finish saves the settings, and says when it cannot
  driver.Answer(StrOK);
  Drop({QString::fromStdString(Input("ra144.rm"))});
  WaitForBatch();
  ASSERT_EQ(Tasks.size(), 1u);
  EXPECT_EQ(RowTexts(), QStringList{"Tone 550"});
  driver.Answer(StrOK);
  EXPECT_TRUE(main->close());
  WaitUntil([this] { return driver.Remaining() == 0; });
  ASSERT_EQ(driver.messages.size(), 2);
  EXPECT_EQ(driver.messages[1], "Failed to set data for 'InputFileDir'");
  EXPECT_EQ(driver.kinds[1], mkError);
  EXPECT_EQ(ReadWholeFile(settings), before);
  EXPECT_EQ(Tasks.size(), 1u);
}

}  // namespace
