#pragma once
// The files named on the command line, as a file manager's "Open with" or a terminal passes them.
#include <QStringList>

// arguments: the whole command line, the program first. Every argument after "--" names a file; before
// it, so does every argument that does not start with "-" and every one that names an existing file
// ("-x.rm"); other arguments starting with "-" are options and are left out. Names relative to the
// working folder are made whole: the task's output folder and the stored input folder come from them.
QStringList CommandLineFiles(const QStringList& arguments);
