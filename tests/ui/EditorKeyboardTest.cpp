// The editor used from the keyboard: the path fields' key rule, Tab, Enter, Escape, the Alt shortcuts,
// and the tag lists that drop down while the user types.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QToolButton>

#include "tests/ui/EditorFixture.h"
#include "ui/PickerKeys.h"

namespace {

TEST(PickerKeysTest, KeysFromTheSpaceUpOpenThePickerControlKeysAndShortcutsDoNot) {
  for (int key : {int(Qt::Key_Space), int(Qt::Key_A), int(Qt::Key_9), int(Qt::Key_Slash), int(Qt::Key_Left),
                  int(Qt::Key_Down), int(Qt::Key_Home), int(Qt::Key_End), int(Qt::Key_PageUp),
                  int(Qt::Key_Insert), int(Qt::Key_Delete), int(Qt::Key_F2), int(Qt::Key_Menu)})
    EXPECT_TRUE(KeyOpensPicker(key, Qt::NoModifier)) << std::hex << key;
  EXPECT_TRUE(KeyOpensPicker(Qt::Key_A, Qt::ShiftModifier));
  for (int key : {int(Qt::Key_Tab), int(Qt::Key_Backtab), int(Qt::Key_Return), int(Qt::Key_Enter),
                  int(Qt::Key_Escape), int(Qt::Key_Backspace), int(Qt::Key_Shift), int(Qt::Key_Control),
                  int(Qt::Key_Alt), int(Qt::Key_Meta), int(Qt::Key_CapsLock)})
    EXPECT_FALSE(KeyOpensPicker(key, Qt::NoModifier)) << std::hex << key;
  EXPECT_FALSE(KeyOpensPicker(Qt::Key_C, Qt::ControlModifier));  // copying the path
  EXPECT_FALSE(KeyOpensPicker(Qt::Key_N, Qt::AltModifier));      // a button's shortcut
}

class EditorKeyboardTest : public EditorFixture {
 protected:
  void SetUp() override {
    EditorFixture::SetUp();
    ProbeNewTask(Input("ac3-stereo.rm"));
  }
  // Runs act on the open editor (active, so its shortcuts work) and returns exec's result.
  int WithEditor(std::function<void(TaddFrm*)> act, ModalDriver* more = nullptr) {
    ModalDriver driver;
    driver.Then(
        [act](QWidget* w) {
          auto* e = static_cast<TaddFrm*>(w);
          e->activateWindow();
          EXPECT_TRUE(QTest::qWaitForWindowActive(e));
          act(e);
        },
        "TaddFrm");
    const int result = editor->exec();
    ExpectNoDriverFailures(driver);
    if (more) ExpectNoDriverFailures(*more);
    return result;
  }
  // Alt+key as the user presses it; a button answers its shortcut with an animated click, done when the
  // button comes up again.
  static void Alt(TaddFrm* e, Qt::Key key) {
    QTest::keyClick(e, key, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor(
        [e] {
          for (QAbstractButton* button :
               {static_cast<QAbstractButton*>(e->backBtn), static_cast<QAbstractButton*>(e->nextBtn),
                static_cast<QAbstractButton*>(e->cancelBtn), static_cast<QAbstractButton*>(e->VBRCheck)})
            if (button->isDown()) return false;
          return true;
        },
        5000));
  }
  static bool OnlyTheEditorIsOpen(TaddFrm* e) { return QApplication::activeModalWidget() == e; }
};

TEST_F(EditorKeyboardTest, APrintableKeyInAPathFieldOpensItsPickerAndControlKeysDoNot) {
  QStringList opened;
  ModalDriver pickers;
  pickers.Then(
      [&](QWidget* w) {
        opened << w->metaObject()->className();
        static_cast<QDialog*>(w)->reject();
      },
      "QFileDialog");
  pickers.Then(
      [&](QWidget* w) {
        opened << w->metaObject()->className();
        static_cast<QDialog*>(w)->reject();
      },
      "TOutFileDialog");
  bool quietAfterControlKeys = false;
  EXPECT_EQ(WithEditor(
                [&](TaddFrm* e) {
                  e->srcFile->setFocus();
                  QTest::keyClick(e->srcFile, Qt::Key_Backspace);
                  QTest::keyClick(e->srcFile, Qt::Key_Shift);
                  quietAfterControlKeys = OnlyTheEditorIsOpen(e) && e->PageIndex() == 0;
                  QTest::keyClick(e->srcFile, Qt::Key_A);  // opens the input picker, cancelled
                  e->dstFile->setFocus();
                  QTest::keyClick(e->dstFile, Qt::Key_Right);  // opens the output picker, cancelled
                  EXPECT_EQ(e->srcFile->text().toStdString(), work + "ac3-stereo.rm");
                  EXPECT_EQ(e->dstFile->text().toStdString(), work + "ac3-stereo.mp3");
                  e->cancelBtn->click();
                },
                &pickers),
            2);
  EXPECT_TRUE(quietAfterControlKeys);
  EXPECT_EQ(opened, QStringList({"QFileDialog", "TOutFileDialog"}));
}

TEST_F(EditorKeyboardTest, TabWalksThroughPageOneAndItsButtons) {
  QStringList walk;
  WithEditor([&](TaddFrm* e) {
    e->srcFile->setFocus();
    for (int i = 0; i < 7; ++i) {
      walk << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString("none"));
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_TRUE(OnlyTheEditorIsOpen(e));
    e->cancelBtn->click();
  });
  EXPECT_EQ(walk, QStringList(
                      {"srcFile", "addFileBtn", "dstFile", "outFileBtn", "nextBtn", "cancelBtn", "srcFile"}));
}

TEST_F(EditorKeyboardTest, EnterGoesForwardAndFinishesEscapeCancels) {
  QList<int> pages;
  EXPECT_EQ(WithEditor([&](TaddFrm* e) {
              QTest::keyClick(e->srcFile, Qt::Key_Return);  // in a path field: the default button
              pages << e->PageIndex();
              QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
              pages << e->PageIndex();
              EXPECT_EQ(QApplication::focusWidget(), e->titleEdit);
              EXPECT_EQ(e->titleEdit->selectedText(), e->titleEdit->text());
              QTest::keyClick(e->titleEdit, Qt::Key_End);
              QTest::keyClicks(e->titleEdit, " (live)");
              QTest::keyClick(e->titleEdit, Qt::Key_Return);  // OK
            }),
            1);
  EXPECT_EQ(pages, QList<int>({1, 2}));
  EXPECT_EQ(CurrentTask.Title, "Café Ünïcødé — Привет 音楽 (live)");

  EXPECT_EQ(WithEditor([](TaddFrm* e) { QTest::keyClick(e->dstFile, Qt::Key_Escape); }), 2);
}

TEST_F(EditorKeyboardTest, TheAltShortcutsOfTheButtonsAndTheCheckBox) {
  QList<int> pages;
  bool vbrShown = false;
  EXPECT_EQ(WithEditor([&](TaddFrm* e) {
              Alt(e, Qt::Key_B);  // Back is disabled on page 1
              pages << e->PageIndex();
              Alt(e, Qt::Key_N);
              pages << e->PageIndex();
              Alt(e, Qt::Key_V);
              vbrShown = e->VBRCheck->isChecked() && e->BitrateSettingsPage->currentIndex() == 1;
              Alt(e, Qt::Key_N);
              pages << e->PageIndex();
              Alt(e, Qt::Key_B);
              pages << e->PageIndex();
              Alt(e, Qt::Key_N);
              Alt(e, Qt::Key_O);
            }),
            1);
  EXPECT_EQ(pages, QList<int>({0, 1, 2, 1}));
  EXPECT_TRUE(vbrShown);
  EXPECT_TRUE(CurrentTask.UseVBR);

  EXPECT_EQ(WithEditor([](TaddFrm* e) { Alt(e, Qt::Key_C); }), 2);
}

TEST_F(EditorKeyboardTest, ATagListDropsDownWhileTheUserTypesAndEnterTakesTheEntry) {
  WriteWholeFile(work + "unused", "");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(HistoryFolder())));
  WriteWholeFile(History(AlbumHistoryFile), "Zeta\r\nBest of\r\nBelle époque\r\nAlpha\r\n");
  bool dropped = false, droppedGenre = false;
  QStringList offered;
  EXPECT_EQ(WithEditor([&](TaddFrm* e) {
              e->nextBtn->click();
              e->nextBtn->click();
              e->albumEdit->setEditText("");
              e->albumEdit->setFocus();
              QTest::keyClicks(e->albumEdit, "be");
              QAbstractItemView* popup = e->albumEdit->completer()->popup();
              dropped = popup->isVisible();
              for (int i = 0; i < popup->model()->rowCount(); ++i)
                offered << popup->model()->index(i, 0).data().toString();
              QTest::keyClick(popup, Qt::Key_Down);
              QTest::keyClick(popup, Qt::Key_Down);
              QTest::keyClick(popup, Qt::Key_Return);  // takes "Best of", does not finish
              EXPECT_TRUE(e->isVisible());
              EXPECT_EQ(e->albumEdit->currentText(), "Best of");
              e->GenreEdit->setEditText("");
              e->GenreEdit->setFocus();
              QTest::keyClicks(e->GenreEdit, "Jaz");
              droppedGenre = e->GenreEdit->completer()->popup()->isVisible();
              QTest::keyClick(e->GenreEdit->completer()->popup(), Qt::Key_Escape);  // closes the list only
              EXPECT_TRUE(e->isVisible());
              EXPECT_EQ(e->GenreEdit->currentText(), "Jaz");
              e->nextBtn->click();
            }),
            1);
  EXPECT_TRUE(dropped);
  EXPECT_EQ(offered, QStringList({"Belle époque", "Best of"}));
  EXPECT_TRUE(droppedGenre);
  EXPECT_EQ(CurrentTask.Album, "Best of");
  EXPECT_EQ(CurrentTask.Genre, "Jaz");
  // Enter took an existing entry: the history file is not rewritten with a duplicate.
  EXPECT_EQ(ReadWholeFile(History(AlbumHistoryFile)), "Zeta\r\nBest of\r\nBelle époque\r\nAlpha\r\n");
}

}  // namespace
