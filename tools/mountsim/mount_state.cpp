#include "mount_state.h"

#include <cmath>
#include <cstdio>

namespace mountsim {

namespace {

double wrapTurn(double units)  // into [0, 65536)
{
    double w = std::fmod(units, kUnitsPerTurn);
    return w < 0.0 ? w + kUnitsPerTurn : w;
}

double wrapSigned(double units)  // into [-32768, 32768)
{
    return wrapTurn(units + kUnitsPerTurn / 2) - kUnitsPerTurn / 2;
}

// One axis one step toward its target; returns the new position.
double stepToward(double pos, double target, double distance, double maxStep)
{
    if (std::fabs(distance) <= maxStep)
        return target;
    return pos + std::copysign(maxStep, distance);
}

std::uint16_t toField(double units)
{
    return static_cast<std::uint16_t>(static_cast<long>(std::lround(units)) & 0xFFFF);
}

}  // namespace

double degreesToUnits(double degrees)
{
    return degrees * kUnitsPerTurn / 360.0;
}

MountState::MountState(double startRaDeg, double startDecDeg, double rateDegPerS)
    : raUnits_(wrapTurn(degreesToUnits(startRaDeg))),
      decUnits_(wrapSigned(degreesToUnits(startDecDeg))),
      targetRaUnits_(raUnits_),
      targetDecUnits_(decUnits_),
      rateUnitsPerS_(rateDegPerS > 0.0 ? degreesToUnits(rateDegPerS) : 0.0)
{
}

void MountState::advanceTo(double nowS)
{
    if (!clockStarted_) {
        clockStarted_ = true;
        lastS_ = nowS;
        return;
    }
    double dt = nowS > lastS_ ? nowS - lastS_ : 0.0;
    lastS_ = nowS > lastS_ ? nowS : lastS_;
    double maxStep = rateUnitsPerS_ > 0.0 ? rateUnitsPerS_ * dt : INFINITY;
    raUnits_ = wrapTurn(stepToward(raUnits_, targetRaUnits_,
                                   wrapSigned(targetRaUnits_ - raUnits_), maxStep));
    decUnits_ = stepToward(decUnits_, targetDecUnits_, targetDecUnits_ - decUnits_, maxStep);
}

void MountState::slewTo(std::uint16_t raField, std::uint16_t decField, double nowS)
{
    advanceTo(nowS);
    targetRaUnits_ = raField;
    targetDecUnits_ = static_cast<std::int16_t>(decField);
    parking_ = false;
    if (rateUnitsPerS_ <= 0.0)
        advanceTo(nowS);  // a jump needs no time to pass
}

void MountState::park(double nowS)
{
    slewTo(0x4000, 0x0000, nowS);
    parking_ = true;
}

std::uint16_t MountState::raField() const { return toField(raUnits_); }
std::uint16_t MountState::decField() const { return toField(decUnits_); }

bool MountState::slewing() const
{
    return raUnits_ != targetRaUnits_ || decUnits_ != targetDecUnits_;
}

bool MountState::parked() const { return parking_ && !slewing(); }

std::string MountState::positionReply() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X,%04X#", raField(), decField());
    return text;
}

}  // namespace mountsim
