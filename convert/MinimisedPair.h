#pragma once
// Hide to Tray on a desktop without a notification area minimises the progress window and the main
// window together. The desktop's task bar then restores one of them at a time; the main window alone
// would look alive while the modal progress window, still minimised, blocks its every input. So
// restoring either brings back both, the progress window on top.
class QWidget;

// Minimises both windows and watches them until one is restored (main may be null).
void MinimiseTogether(QWidget* progress, QWidget* main);
// Brings back both windows of a pair minimised together, the progress window on top; false when they
// are not minimised together (then nothing changes).
bool RestoreMinimisedTogether(QWidget* progress);
