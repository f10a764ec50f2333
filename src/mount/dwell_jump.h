// dwell_jump.h - the polls of a dwell that can be crossed in one jump.
//
// A dwell against a mount whose answer cannot change (the simulated mount of
// a rehearsal, on the target, below the declination limit, no stop request)
// repeats one poll thousands of times: query, pause, the same accepted reply,
// perhaps one more clock change counted. Every such poll but the last is
// known in advance, so the simulated clock can jump over them.
//
// Given:
//    nowMs         the clock's instant (Universal Time) right after the last counted poll,
//                  ms; the time text last recorded is that of this instant
//    pauseMs       the pause of every poll, ms
//    clockTicks    clock changes counted so far
//    dwellChanges  60 x dwellMinutes: the dwell goes on while the count,
//                  as a double, is below it
//    stepUntilMs   the first instant the clock must reach by an ordinary
//                  move (a stop request is raised there); INT64_MAX for none
// Returned:
//    steadyPollsToSkip   how many of the next polls each go on with the
//                        dwell and end before stepUntilMs; 0 when none, or
//                        when pauseMs is not in (0, 1000]
//    clockTicksAfter     the count after that many polls
// Notes:
// 1) Poll k ends at nowMs + k pauseMs. With a pause of at most a second, two
//    polls in a row end in the same second or in the next, so the time text
//    changes at a poll exactly when its second differs from the previous
//    poll's (a one-second step changes "HH:MM:SS" even at midnight). After k
//    polls the count is clockTicks + sec(nowMs + k pauseMs) - sec(nowMs).
// 2) The dwell ends at the first poll whose count n has double(n) >=
//    dwellChanges; every poll before it goes on. NaN never lets it go on.
// 3) A count that would need more than 10^12 further clock changes is taken
//    as 10^12: the jump is then shorter than it could be, never longer, and
//    no sum can overflow.
#pragma once

#include <cstdint>

namespace vantrel {

std::int64_t steadyPollsToSkip(std::int64_t nowMs, std::int64_t pauseMs, std::int64_t clockTicks,
                               double dwellChanges, std::int64_t stepUntilMs);

std::int64_t clockTicksAfter(std::int64_t nowMs, std::int64_t pauseMs, std::int64_t clockTicks, std::int64_t polls);

}  // namespace vantrel
