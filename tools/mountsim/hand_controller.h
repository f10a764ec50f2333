// The simulated hand controller: frames what the client sends, moves the
// mount and decides what to send back and when. It does no I/O; the caller
// hands it bytes with the time they arrived and writes out the emissions at
// the times they carry.
#pragma once

#include "command_framer.h"
#include "mount_state.h"

#include <string>
#include <string_view>
#include <vector>

namespace mountsim {

// One character at 9600 baud, 8N1: start bit, eight data bits, stop bit.
inline constexpr double kByteS = 10.0 / 9600.0;

// How the controller misbehaves, if at all.
struct Behaviour {
    bool silent = false;   // records and moves, never replies
    int delayMs = 0;       // before each reply
    std::string stray{};   // sent in front of each reply
    bool split = false;    // each reply (stray included) in two halves...
    int splitMs = 150;     // ...the second this long after the first
    bool pace = false;     // one byte every kByteS, as a real line would
    long vanishAfter = -1; // answer this many position queries, vanish at
                           // the next one; negative: never
};

struct Emission {
    double atS;
    std::string bytes;
};

struct Outcome {
    std::vector<Emission> emissions;  // in time order
    std::vector<std::string> notes;   // worth a line on every run
    std::vector<std::string> details; // every command and reply, for --verbose
    bool vanish = false;              // close the line now, answer nothing more
    bool parkCommand = false;         // the park command came
};

// Notes:
// 1) "#" answers the goto, each pass-through, the pre-park and the park; the
//    position query gets "XXXX,YYYY#" of the position at the time it came.
// 2) Replies go out one after another as on a real line: a reply never
//    starts before the previous one (both halves, every paced byte) is out.
// 3) Position queries are counted over the whole run, across clients.
class HandController {
public:
    HandController(MountState mount, Behaviour behaviour);

    Outcome receive(std::string_view bytes, double nowS);
    // The client closed the line: an unfinished command is dropped, and
    // whatever was still to be sent is the caller's to discard.
    Outcome lineClosed(double nowS);

    const MountState& mount() const { return mount_; }
    long positionQueries() const { return positionQueries_; }

private:
    void answer(const std::string& reply, double nowS, Outcome& out);
    void send(std::string bytes, double atS, Outcome& out);

    CommandFramer framer_;
    MountState mount_;
    Behaviour behaviour_;
    long positionQueries_ = 0;
    double lineFreeAtS_ = 0.0;
};

}  // namespace mountsim
