#ifndef TAVRIN_COMMANDLINE_H
#define TAVRIN_COMMANDLINE_H

#include <SupportDefs.h>

#include <string>
#include <vector>

// What the program was asked on its command line:
//   tavrin [FILE...]
//   tavrin --capture[=screen|region|window] [--delay SECONDS] [--output FILE] [--clipboard]
//   tavrin --help
struct command_line
{
    bool help = false;
    bool capture = false;
    // The capture command: kCapture, kCaptureRegion or kCaptureWindow.
    uint32 mode = 0;
    int32 delay = 0;
    // Where the capture is saved ("-": standard output); empty: shown in the window.
    std::string output;
    bool clipboard = false;
    std::vector<std::string> files;
};

// Reads the arguments; false with *error, a phrase for the user, when they
// make no sense.
bool parse_command_line(int argc, const char* const* argv, command_line* line, std::string* error);

// The text of tavrin --help.
extern const char* const kUsageText;

#endif
