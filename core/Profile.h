#pragma once
// The product profile: the few values that make this build the RealMedia-to-MP3 converter.
// Assigned once at start-up, before any window exists; read-only afterwards.
#include <string>

extern std::string ProgramDir;   // folder of the running executable, with a trailing "/"
extern std::string RegistryKey;  // names the settings file: organisation and application
extern std::string HelpFile;     // relative to ProgramDir
extern std::string OpenFilter;   // pairs of display text and patterns, separated by "|"
extern std::string TipsFile;     // relative to ProgramDir
extern std::string ApplicationTitle;

// The maker credit shown in parentheses after the title in the main window's caption.
extern const char* const MakerCredit;

// Folder part of a path: everything up to and including the last "/" (empty when there is none).
std::string FolderPart(const std::string& path);
// File-name part of a path: everything after the last "/".
std::string FileNamePart(const std::string& path);

// A read-only data file (tips, help): beside the executable, as in the build tree, else in the installed
// data folder <prefix>/share/tolvane/ next to <prefix>/bin/. The first path when neither exists.
std::string DataFilePath(const std::string& fileName);

// Start-up steps 2 and 3: ProgramDir from the executable's path, then the profile texts in order.
void SetProgramDir(const std::string& executablePath);
void AssignProductProfile();
// Start-up step 6, after the settings are loaded.
void SetApplicationTitle();
