#pragma once
// Every "open" of the program (files, folders, help, web and mail addresses) goes through here.
#include <string>

// Asks the desktop to open a local path, or a URL with a scheme such as "mailto:" or "https:".
// A failure is not reported.
void ShellOpen(const std::string& target);
// Opens the help file: ProgramDir + HelpFile, else its installed copy.
void OpenHelp();
