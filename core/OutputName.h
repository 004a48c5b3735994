#pragma once
// Output paths for new tasks.
#include <functional>
#include <string>

// OutputFileDir + the source's file name with its extension replaced by ext, numbered
// song(2).mp3, song(3).mp3, ... until it names neither an existing file nor another task's output.
// Reads CurrentTask.SourceFile and DefaultSettings.OutputFileDir.
std::string UniqueOutputName(const std::string& ext);

// The same rule for any folder (with its trailing "/") and source file; taken tells which names other
// outputs already hold (none when it is empty).
std::string UniqueOutputPath(const std::string& folder, const std::string& sourceFile, const std::string& ext,
                             const std::function<bool(const std::string&)>& taken);

// While the output folder was never chosen (empty, or equal to the input folder), new tasks
// write next to their source file: OutputFileDir becomes the folder of CurrentTask.SourceFile.
void ApplyOutputFolderRule();

// The file name of path without folder and without its last extension (Live.Set.rm gives Live.Set).
std::string FileNameWithoutExtension(const std::string& path);
