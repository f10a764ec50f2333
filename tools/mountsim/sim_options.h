// Command line of vantrel-mountsim.
#pragma once

#include "hand_controller.h"

#include <optional>
#include <string>
#include <vector>

namespace mountsim {

struct SimOptions {
    int port = 1;                 // published as COM<port>
    std::string dir = ".";        // where the link goes
    double rateDegPerS = 4.0;     // 0: jump at once
    double startRaDeg = 0.0;
    double startDecDeg = 0.0;
    Behaviour behaviour;
    std::string transcriptPath;   // empty: none
    bool exitOnPark = false;
    bool verbose = false;
    bool help = false;
};

// Parses the arguments after the program name; "--name value" and
// "--name=value" both work. Returns an error message, or nothing when the
// options are good.
std::optional<std::string> parseOptions(const std::vector<std::string>& args, SimOptions& options);

// Turns \r \n \t \\ and \xHH into the bytes they stand for, so that stray
// bytes can be any bytes; nothing when an escape is malformed.
std::optional<std::string> unescape(const std::string& text);

std::string usageText();

}  // namespace mountsim
