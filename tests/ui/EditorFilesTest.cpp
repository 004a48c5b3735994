// The editor's page 1 with real files and folders: the replace and create-folder questions, the folder
// chain, the two pickers, and choosing another input file.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "tests/ui/EditorFixture.h"

namespace {

// Presses the dialog's Open or Save button, as the user would after typing a name.
void PressAccept(QFileDialog* dialog) {
  auto* buttons = dialog->findChild<QDialogButtonBox*>();
  ASSERT_NE(buttons, nullptr);
  QPushButton* button = buttons->button(QDialogButtonBox::Open);
  if (!button) button = buttons->button(QDialogButtonBox::Save);
  ASSERT_NE(button, nullptr);
  // The dialog enables the button once its folder view has caught up with the typed name.
  EXPECT_TRUE(QTest::qWaitFor([button] { return button->isEnabled(); }, 5000));
  button->click();
}

class EditorFilesTest : public EditorFixture {
 protected:
  // On page 1: presses Next and records the page and the focus after the questions were answered.
  struct PageOneOutcome {
    int page = -1;
    bool focusInOutput = false;
    QString output;
  };
  PageOneOutcome NextOnPageOne(ModalDriver& answers) {
    PageOneOutcome outcome;
    ModalDriver driver;
    driver.Then(
        [&](QWidget* w) {
          auto* e = static_cast<TaddFrm*>(w);
          e->nextBtn->click();  // the questions are answered by the other driver meanwhile
          outcome.page = e->PageIndex();
          outcome.focusInOutput = e->focusWidget() == e->dstFile;
          outcome.output = e->dstFile->text();
          e->cancelBtn->click();
        },
        "TaddFrm");
    editor->exec();
    ExpectNoDriverFailures(driver);
    ExpectNoDriverFailures(answers);
    return outcome;
  }
  // Chooses a file in the picker that opens next, as the user would by typing its name and pressing OK.
  static void ChooseInPicker(ModalDriver& driver, const std::string& path,
                             const char* picker = "QFileDialog") {
    driver.Then(
        [path](QWidget* w) {
          auto* dialog = static_cast<QFileDialog*>(w);
          auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
          ASSERT_NE(name, nullptr);
          name->setText(QString::fromStdString(path));  // typed, as the user would
          PressAccept(dialog);
        },
        picker);
  }
};

TEST_F(EditorFilesTest, AMissingNestedFolderIsCreatedOnYesAndTheOutputFollowsIt) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const std::string folder = work + "Música/Ünïcødé Sélection/";
  CurrentTask.OutputFile = folder + "song.mp3";
  ModalDriver answers;
  answers.Answer("&Yes");
  const PageOneOutcome outcome = NextOnPageOne(answers);
  ASSERT_EQ(answers.messages.size(), 1);
  EXPECT_EQ(answers.messages[0].toStdString(), "The specified output folder doesn't exists.\n " + folder +
                                                   "\nWould you like to create the new folder?");
  EXPECT_EQ(answers.kinds[0], mkQuestion);
  EXPECT_EQ(outcome.page, 1);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(folder)).isDir());
  EXPECT_EQ(outcome.output.toStdString(), folder + "song.mp3");
}

TEST_F(EditorFilesTest, NoToTheNewFolderKeepsPageOneWithTheFocusInTheOutputField) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const std::string folder = work + "a/b/";
  CurrentTask.OutputFile = folder + "song.mp3";
  ModalDriver answers;
  answers.Answer("&No");
  const PageOneOutcome outcome = NextOnPageOne(answers);
  EXPECT_EQ(answers.messages.size(), 1);
  EXPECT_EQ(outcome.page, 0);
  EXPECT_TRUE(outcome.focusInOutput);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(work + "a")));
}

TEST_F(EditorFilesTest, AFolderThatCannotBeMadeIsNamedWithTheReasonAndKeepsPageOne) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  WriteWholeFile(work + "plain", "not a folder");
  CurrentTask.OutputFile = work + "plain/inner/song.mp3";
  ModalDriver answers;
  answers.Answer("&Yes").Answer("&OK");
  const PageOneOutcome outcome = NextOnPageOne(answers);
  ASSERT_EQ(answers.messages.size(), 2);
  EXPECT_EQ(answers.messages[1].toStdString(), "Cannot create folder \"" + work + "plain\". Not a directory");
  EXPECT_EQ(answers.kinds[1], mkError);
  EXPECT_EQ(outcome.page, 0);
  EXPECT_TRUE(outcome.focusInOutput);
  EXPECT_EQ(outcome.output.toStdString(), work + "plain/inner/song.mp3");
}

TEST_F(EditorFilesTest, AnExistingOutputFileIsReplacedOnlyOnYes) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  CurrentTask.OutputFile = work + "taken.mp3";
  WriteWholeFile(CurrentTask.OutputFile, "old");
  {
    ModalDriver answers;
    answers.Answer("&No");
    const PageOneOutcome outcome = NextOnPageOne(answers);
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_EQ(answers.messages[0], "The file exists.\nWould you like to replace the old file?");
    EXPECT_EQ(answers.kinds[0], mkQuestion);
    EXPECT_EQ(outcome.page, 0);
    EXPECT_TRUE(outcome.focusInOutput);
  }
  {
    ModalDriver answers;
    answers.Answer("&Yes");
    EXPECT_EQ(NextOnPageOne(answers).page, 1);
  }
  EXPECT_EQ(ReadWholeFile(CurrentTask.OutputFile), "old");  // nothing is written before the conversion
}

TEST_F(EditorFilesTest, SlashesStaySlashesAndBackslashesStayPartOfTheName) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  CurrentTask.OutputFile = work + "odd\\name.mp3";
  ModalDriver answers;
  const PageOneOutcome outcome = NextOnPageOne(answers);
  EXPECT_TRUE(answers.messages.isEmpty());
  EXPECT_EQ(outcome.page, 1);
  EXPECT_EQ(outcome.output.toStdString(), work + "odd\\name.mp3");
}

TEST_F(EditorFilesTest, AnotherInputRenamesADefaultOutputNameAndKeepsAChosenOne) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const std::string other = Input("aac.rm", "Other Song.rm");
  ASSERT_EQ(CurrentTask.OutputFile, work + "ac3-stereo.mp3");
  WriteWholeFile(work + "Other Song.mp3", "taken");  // the plain name is taken: numbered
  ModalDriver driver;
  QString output, title, line2;
  driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->addFileBtn->click(); }, "TaddFrm");
  ChooseInPicker(driver, other);
  driver.Then(
      [&](QWidget* w) {
        auto* e = static_cast<TaddFrm*>(w);
        output = e->dstFile->text();
        title = e->titleEdit->text();
        line2 = e->inFileInfoList->item(1)->text();
        e->cancelBtn->click();
      },
      "TaddFrm");
  EXPECT_EQ(editor->exec(), 2);
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(output.toStdString(), work + "Other Song(2).mp3");
  EXPECT_EQ(title, "Tone 660");
  EXPECT_EQ(line2, " Audio: 22050HZ, dual channels");
  EXPECT_EQ(CurrentTask.SourceFile, other);
  EXPECT_EQ(CurrentTask.OutputFile, work + "ac3-stereo.mp3");  // only the finish writes the output
  EXPECT_TRUE(Tasks.empty());

  // A name the user chose stays whatever the input becomes.
  ProbeNewTask(Input("ac3-stereo.rm"));
  CurrentTask.OutputFile = work + "my own name.mp3";
  ModalDriver second;
  second.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->addFileBtn->click(); }, "TaddFrm");
  ChooseInPicker(second, other);
  second.Then(
      [&](QWidget* w) {
        output = static_cast<TaddFrm*>(w)->dstFile->text();
        FindButton(w, "&Cancel")->click();
      },
      "TaddFrm");
  editor->exec();
  ExpectNoDriverFailures(second);
  EXPECT_EQ(output.toStdString(), work + "my own name.mp3");
  EXPECT_TRUE(Tasks.empty());
}

TEST_F(EditorFilesTest, AnotherInputKeepsPageTwoAndTheFinishWritesItsChoices) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const std::string other = Input("ra144.rm");
  DefaultSettings.AudioBitrate = 320;  // the re-read copies this into the task; page 2 keeps the user's
  ModalDriver driver;
  driver.Press("&Next >", "TaddFrm")
      .Then(
          [](QWidget* w) {
            auto* e = static_cast<TaddFrm*>(w);
            e->bitRateSel->setCurrentIndex(e->bitRateSel->findText("64 kbps"));
            e->backBtn->click();
            e->addFileBtn->click();
          },
          "TaddFrm");
  ChooseInPicker(driver, other);
  driver.Press("&Next >", "TaddFrm").Press("&Next >", "TaddFrm").Press("&OK", "TaddFrm");
  EXPECT_EQ(editor->exec(), 1);
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(CurrentTask.SourceFile, other);
  EXPECT_EQ(CurrentTask.Bitrate, 64);
  EXPECT_EQ(CurrentTask.Title, "Tone 550");
  EXPECT_EQ(CurrentTask.OutputFile, work + "ra144.mp3");
}

TEST_F(EditorFilesTest, AReReadThatFailsChangesNothingAndShowsNothing) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  const TTaskRecord before = CurrentTask;
  WriteWholeFile(work + "garbage.rm", std::string(4096, '\x5a'));
  ::mkfifo((work + "pipe.rm").c_str(), 0600);
  for (const std::string& bad : {TestDataFile("video-only.rm"), work + "garbage.rm"}) {
    ModalDriver driver;
    QString source, title;
    driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->addFileBtn->click(); }, "TaddFrm");
    ChooseInPicker(driver, bad);
    driver.Then(
        [&](QWidget* w) {
          auto* e = static_cast<TaddFrm*>(w);
          source = e->srcFile->text();
          title = e->titleEdit->text();
          e->cancelBtn->click();
        },
        "TaddFrm");
    editor->exec();
    ExpectNoDriverFailures(driver);
    EXPECT_TRUE(driver.messages.isEmpty()) << bad;
    EXPECT_EQ(source.toStdString(), before.SourceFile) << bad;
    EXPECT_EQ(title.toStdString(), before.Title.str()) << bad;
    EXPECT_EQ(CurrentTask.SourceFile, before.SourceFile) << bad;
    EXPECT_EQ(CurrentTask.Title, before.Title) << bad;
  }
  // A FIFO named .rm cannot be chosen at all: the picker keeps its Open button disabled.
  for (const std::string& bad : {work + "pipe.rm"}) {
    ModalDriver driver;
    bool refused = false;
    driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->addFileBtn->click(); }, "TaddFrm");
    driver.Then(
        [&](QWidget* w) {
          auto* dialog = static_cast<QFileDialog*>(w);
          dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(bad));
          QTest::qWait(300);
          refused = !dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->isEnabled();
          dialog->reject();
        },
        "QFileDialog");
    driver.Press("&Cancel", "TaddFrm");
    editor->exec();
    ExpectNoDriverFailures(driver);
    EXPECT_TRUE(refused) << bad;
    EXPECT_EQ(CurrentTask.SourceFile, before.SourceFile) << bad;
  }
}

TEST_F(EditorFilesTest, ThePickersStartAtTheFieldsAndTheirCancelChangesNothing) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  QString openStart, saveStart, saveFilter, saveSuffix;
  bool singleExisting = false, noOverwriteQuestion = false;
  ModalDriver driver;
  driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->addFileBtn->click(); }, "TaddFrm");
  driver.Then(
      [&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        openStart = d->selectedFiles().value(0);
        singleExisting = d->fileMode() == QFileDialog::ExistingFile && d->nameFilters().size() <= 1;
        d->reject();
      },
      "QFileDialog");
  driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->outFileBtn->click(); }, "TaddFrm");
  driver.Then(
      [&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        saveStart = d->selectedFiles().value(0);
        saveFilter = d->nameFilters().join("|");
        saveSuffix = d->defaultSuffix();
        noOverwriteQuestion = d->testOption(QFileDialog::DontConfirmOverwrite);
        d->reject();
      },
      "TOutFileDialog");
  QString source, output;
  driver.Then(
      [&](QWidget* w) {
        auto* e = static_cast<TaddFrm*>(w);
        source = e->srcFile->text();
        output = e->dstFile->text();
        e->cancelBtn->click();
      },
      "TaddFrm");
  editor->exec();
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(openStart.toStdString(), work + "ac3-stereo.rm");
  EXPECT_EQ(saveStart.toStdString(), work + "ac3-stereo.mp3");
  EXPECT_TRUE(singleExisting);
  EXPECT_EQ(saveFilter, "MP3 Files(*.mp3)");
  EXPECT_EQ(saveSuffix, "mp3");
  EXPECT_TRUE(noOverwriteQuestion);  // the editor asks on Next itself
  EXPECT_EQ(source.toStdString(), work + "ac3-stereo.rm");
  EXPECT_EQ(output.toStdString(), work + "ac3-stereo.mp3");
}

TEST_F(EditorFilesTest, TheOutputPickerAsksBeforeANewFileAndAddsTheSuffix) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  ModalDriver driver;
  QString output;
  driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->outFileBtn->click(); }, "TaddFrm");
  ChooseInPicker(driver, work + "fresh", "TOutFileDialog");
  driver.Answer("&No");  // the dialog stays open
  driver.Then([&](QWidget* w) { PressAccept(static_cast<QFileDialog*>(w)); }, "TOutFileDialog");
  driver.Answer("&Yes");
  driver.Then(
      [&](QWidget* w) {
        output = static_cast<TaddFrm*>(w)->dstFile->text();
        FindButton(w, "&Cancel")->click();
      },
      "TaddFrm");
  editor->exec();
  ExpectNoDriverFailures(driver);
  ASSERT_EQ(driver.messages.size(), 2);
  EXPECT_EQ(driver.messages[0], "fresh.mp3\nThis file does not exist.\nDo you want to create it?");
  EXPECT_EQ(driver.kinds[0], mkQuestion);
  EXPECT_EQ(output.toStdString(), work + "fresh.mp3");
  EXPECT_FALSE(QFileInfo::exists(output));  // asking is not creating
}

TEST_F(EditorFilesTest, TheOutputPickerRefusesAFolderThatDoesNotExist) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  ModalDriver driver;
  QString output;
  driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->outFileBtn->click(); }, "TaddFrm");
  ChooseInPicker(driver, work + "no such folder/song.mp3", "TOutFileDialog");
  driver.Answer("&OK");
  driver.Then([](QWidget* w) { static_cast<QFileDialog*>(w)->reject(); }, "TOutFileDialog");
  driver.Then(
      [&](QWidget* w) {
        output = static_cast<TaddFrm*>(w)->dstFile->text();
        FindButton(w, "&Cancel")->click();
      },
      "TaddFrm");
  editor->exec();
  ExpectNoDriverFailures(driver);
  ASSERT_EQ(driver.messages.size(), 1);
  EXPECT_EQ(driver.messages[0].toStdString(),
            work + "no such folder\nPath does not exist.\nCheck the path and try again.");
  EXPECT_EQ(driver.kinds[0], mkWarning);
  EXPECT_EQ(output.toStdString(), work + "ac3-stereo.mp3");
}

TEST_F(EditorFilesTest, TheOutputPickerStartsAtTheNearestFolderThatExists) {
  ProbeNewTask(Input("ac3-stereo.rm"));
  CurrentTask.OutputFile = work + "not/yet/there/song.mp3";
  QString folder, name;
  ModalDriver driver;
  driver.Then([](QWidget* w) { static_cast<TaddFrm*>(w)->outFileBtn->click(); }, "TaddFrm");
  driver.Then(
      [&](QWidget* w) {
        auto* d = static_cast<QFileDialog*>(w);
        folder = d->directory().absolutePath() + "/";
        name = d->findChild<QLineEdit*>("fileNameEdit")->text();
        d->reject();
      },
      "TOutFileDialog");
  driver.Press("&Cancel", "TaddFrm");
  editor->exec();
  ExpectNoDriverFailures(driver);
  EXPECT_EQ(folder.toStdString(), work);
  EXPECT_EQ(name, "song.mp3");
}

}  // namespace
