// Tolvane: converts the audio of RealMedia files into MP3 files.
#include "app/Startup.h"

int main(int argc, char* argv[]) { return RunTolvane(argc, argv); }
