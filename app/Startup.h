#pragma once
// The program's entry sequence: product profile, bitrate table, settings, title, the long-lived windows
// in their order, the message loop, and the task list freed at the end.

// Runs the whole program; returns its exit code.
int RunTolvane(int argc, char** argv);

// Test setting: the encoder library file to load instead of libmp3lame.so.0 (TOLVANE_LAME_LIBRARY).
inline constexpr const char* LameLibraryVariable = "TOLVANE_LAME_LIBRARY";
