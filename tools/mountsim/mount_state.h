// The mount as the simulated hand controller sees it: where it points, where
// it was sent and whether it has been parked. Written from the line protocol
// alone; it shares nothing with the program's own mount code.
#pragma once

#include <cstdint>
#include <string>

namespace mountsim {

// Angle fields on the line count 65536 units to a full turn.
inline constexpr double kUnitsPerTurn = 65536.0;

// Degrees to field units, not rounded.
double degreesToUnits(double degrees);

// Position of the two axes, slewing toward the last goto at a fixed rate.
//
// Given:
//    startRaDeg, startDecDeg  double  position at power-on, degrees
//    rateDegPerS              double  slew rate of each axis, degrees per
//                                     second; 0 or less jumps at once
// Notes:
// 1) Time is an argument (seconds on any clock that only goes forward); the
//    first time seen starts the clock, so nothing moves before it.
// 2) Right ascension is an angle on a circle and takes the shorter way round;
//    declination is a signed 16-bit field and moves in a straight line.
// 3) Both axes move at once, each at the full rate, so the reported
//    declination passes through intermediate values on a long slew.
// 4) No limits are checked: a goto to a declination above 90 degrees goes
//    there, as the field allows.
class MountState {
public:
    MountState(double startRaDeg, double startDecDeg, double rateDegPerS);

    void advanceTo(double nowS);
    void slewTo(std::uint16_t raField, std::uint16_t decField, double nowS);
    // Slews to the park position (90 degrees, 0 degrees) and stays parked
    // there once it arrives, until the next goto.
    void park(double nowS);

    std::uint16_t raField() const;
    std::uint16_t decField() const;
    bool slewing() const;
    bool parked() const;
    // "XXXX,YYYY#": right ascension, then declination, uppercase hex.
    std::string positionReply() const;

private:
    double raUnits_;        // [0, 65536)
    double decUnits_;       // [-32768, 32768)
    double targetRaUnits_;
    double targetDecUnits_;
    double rateUnitsPerS_;
    double lastS_ = 0.0;
    bool clockStarted_ = false;
    bool parking_ = false;
};

}  // namespace mountsim
