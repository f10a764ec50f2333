// The simulator's event loop: the pty, the hand controller, the transcript
// and the clock, held together. main() only parses the command line and
// turns signals into a readable descriptor.
#pragma once

#include "hand_controller.h"
#include "pty_line.h"
#include "sim_options.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <string>

namespace mountsim {

// After the park command, --exit-on-park waits for the client to close the
// line, so that the program's close still finds a line to close; a client
// that keeps it open is not waited for longer than this.
inline constexpr double kParkLingerS = 5.0;

class Simulator {
public:
    Simulator(SimOptions options, std::FILE* notes);

    // Opens the pty, publishes the link and creates the transcript.
    bool open(std::string& error);
    // "vantrel-mountsim: COM1 -> /dev/pts/5"
    std::string readyLine() const;
    const PtyLine& line() const { return line_; }

    // Serves the line until stopFd turns readable (exit status 0), the line
    // vanishes (0), the park ends the run (0) or the line or the transcript
    // fails (1, with a note). The link is gone when it returns.
    int run(int stopFd);

private:
    double elapsedS() const;
    void note(double nowS, const std::string& text);
    void report(const Outcome& out, double nowS);
    void clientEvents(double nowS);
    int readInput(double nowS);  // -1 to go on, else the exit status
    void sendDue(double nowS);
    bool parkFinished(double nowS) const;
    int finish(int status);

    SimOptions options_;
    std::FILE* notes_;
    PtyLine line_;
    HandController controller_;
    std::deque<Emission> queue_;
    int transcriptFd_ = -1;
    int clients_ = 0;
    double parkAtS_ = -1.0;
    std::chrono::steady_clock::time_point startTime_;
};

}  // namespace mountsim
