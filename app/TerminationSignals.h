#pragma once
// SIGTERM, SIGINT and SIGHUP close the main window as the user would, so the settings are saved
// when the session ends or the program is stopped from a terminal.
class QWidget;

void CloseWindowOnTerminationSignals(QWidget* window);
