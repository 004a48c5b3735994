// A long message grows the message window so that none of its lines is lost; a short one keeps the
// designed size.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "tests/support/ModalDriver.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

int argc = 1;
char programName[] = "test_ui_windows";
char* argv[] = {programName, nullptr};

struct Seen {
  QSize window, label;
  int labelBottom = 0, buttonTop = 0, needed = 0;
};

Seen ShowAndMeasure(const std::string& text) {
  Seen seen;
  ModalDriver driver;
  driver.Then([&](QWidget* w) {
    auto* box = static_cast<TmsgFrm*>(w);
    seen.window = box->size();
    seen.label = box->msgLabel->size();
    seen.labelBottom = box->msgLabel->geometry().bottom();
    seen.buttonTop = box->okBtn->y();
    seen.needed = box->msgLabel->heightForWidth(box->msgLabel->width());
    box->okBtn->click();
  });
  ShowMessageBox(mkError, text, StrHelp, StrOK);
  EXPECT_TRUE(driver.failures.isEmpty()) << driver.failures.join("; ").toStdString();
  return seen;
}

TEST(MessageLength, ALongMessageShowsWholeAndTheNextShortOneHasTheDesignedSize) {
  if (!QApplication::instance()) new QApplication(argc, argv);
  TmsgFrm window;
  const std::string unreadable = std::string(StrCannotRead) + "\n /home/anna/Music/Radio/" +
                                 std::string(50, 'n') + "/Morning Talk 2004-05-17.rm\n" + StrCodecHint;
  const Seen longer = ShowAndMeasure(unreadable);
  EXPECT_GT(longer.window.height(), 215);
  EXPECT_EQ(longer.window.width(), 326);
  EXPECT_GE(longer.label.height(), longer.needed);  // every line inside the label
  EXPECT_LT(longer.labelBottom, longer.buttonTop);  // and none under the buttons

  const Seen shorter = ShowAndMeasure("Are you sure to cancel the conversion?");
  EXPECT_EQ(shorter.window, QSize(326, 215));
  EXPECT_EQ(shorter.label, QSize(217, 97));
  EXPECT_EQ(shorter.buttonTop, 164);
}

}  // namespace
