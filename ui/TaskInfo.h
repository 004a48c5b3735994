#pragma once
// The information panel under the task list: the selected task's input and output file, the MP3
// settings, its duration and expected size, and an edit link, in four lines of lightly formatted text.
// Links carry a name: "aa" add files, "bb" open the input, "cc" edit the task, "dd" open the output.
#include <QGroupBox>
#include <QString>
#include <string>

class QLabel;

class TTaskInfoPanel : public QGroupBox {
  Q_OBJECT
 public:
  explicit TTaskInfoPanel(QWidget* parent = nullptr);

  // Fills the lines for task index of Tasks, or the add-files prompt for a negative index; an index past
  // the end of the list changes nothing.
  void ShowTaskInfo(int index);

  QLabel* taskInfo_1 = nullptr;  // input file, or the add-files prompt
  QLabel* taskInfo_2 = nullptr;  // output file
  QLabel* TaskInfo_5 = nullptr;  // MP3 settings
  QLabel* taskinfo_3 = nullptr;  // duration and output size
  QLabel* Taskinfo_4 = nullptr;  // the edit link, 10 pixels after taskinfo_3

 signals:
  // A link of any of the five lines was clicked; name is its href.
  void LinkClicked(const QString& name);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceEditLink();
  void FitLines();  // the three full lines span the panel
};

// A text of the user's (a path, a title) as rich text that shows every character as it is.
QString RichTextOf(const std::string& text);
