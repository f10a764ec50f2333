#include "hand_controller.h"

#include <utility>

namespace mountsim {

HandController::HandController(MountState mount, Behaviour behaviour)
    : mount_(mount), behaviour_(std::move(behaviour))
{
}

Outcome HandController::receive(std::string_view bytes, double nowS)
{
    Outcome out;
    mount_.advanceTo(nowS);
    for (Frame& frame : framer_.feed(bytes, nowS)) {
        std::string shown = kindName(frame.kind);
        switch (frame.kind) {
        case CommandKind::unknown:
        case CommandKind::incomplete:
            out.notes.push_back(shown + " skipped: " + hexBytes(frame.bytes));
            continue;
        case CommandKind::gotoCommand:
            mount_.slewTo(static_cast<std::uint16_t>(std::stoul(frame.bytes.substr(1, 4), nullptr, 16)),
                          static_cast<std::uint16_t>(std::stoul(frame.bytes.substr(6, 4), nullptr, 16)),
                          nowS);
            shown += " " + frame.bytes.substr(1);
            break;
        case CommandKind::passThrough:
            shown += " " + hexBytes(std::string_view(frame.bytes).substr(1));
            break;
        case CommandKind::positionQuery:
            ++positionQueries_;
            if (behaviour_.vanishAfter >= 0 && positionQueries_ > behaviour_.vanishAfter) {
                out.notes.push_back("position query " + std::to_string(positionQueries_) +
                                    ": the line vanishes");
                out.vanish = true;
                return out;
            }
            out.details.push_back(shown + " -> " + mount_.positionReply());
            answer(mount_.positionReply(), nowS, out);
            continue;
        case CommandKind::prePark:
            break;
        case CommandKind::park:
            mount_.park(nowS);
            out.parkCommand = true;
            break;
        }
        out.details.push_back(shown);
        answer("#", nowS, out);
    }
    return out;
}

Outcome HandController::lineClosed(double nowS)
{
    Outcome out;
    std::string partial = framer_.dropPartial();
    if (!partial.empty())
        out.notes.push_back("incomplete command dropped at close: " + hexBytes(partial));
    lineFreeAtS_ = nowS;
    return out;
}

void HandController::answer(const std::string& reply, double nowS, Outcome& out)
{
    if (behaviour_.silent)
        return;
    double startS = nowS + behaviour_.delayMs / 1000.0;
    std::string text = behaviour_.stray + reply;
    if (behaviour_.split && text.size() >= 2) {
        std::size_t half = text.size() / 2;
        send(text.substr(0, half), startS, out);
        // The pause runs from the moment the first half is out.
        send(text.substr(half), lineFreeAtS_ + behaviour_.splitMs / 1000.0, out);
    } else {
        send(text, startS, out);
    }
}

void HandController::send(std::string bytes, double atS, Outcome& out)
{
    double t = atS > lineFreeAtS_ ? atS : lineFreeAtS_;
    if (behaviour_.pace) {
        for (char c : bytes) {
            out.emissions.push_back({t, std::string(1, c)});
            t += kByteS;
        }
    } else {
        out.emissions.push_back({t, std::move(bytes)});
    }
    lineFreeAtS_ = t;
}

}  // namespace mountsim
