#include "command_framer.h"

#include <algorithm>
#include <cstdio>

namespace mountsim {

namespace {

constexpr std::string_view kParkText = "B4000,0000";

std::size_t commandLength(char lead)
{
    switch (lead) {
    case 'E': return 1;
    case 'T': return 2;
    case 'P': return 8;
    case 'R': return 10;
    case 'B': return kParkText.size();
    default: return 0;
    }
}

CommandKind commandKind(char lead)
{
    switch (lead) {
    case 'E': return CommandKind::positionQuery;
    case 'T': return CommandKind::prePark;
    case 'P': return CommandKind::passThrough;
    case 'R': return CommandKind::gotoCommand;
    default: return CommandKind::park;
    }
}

bool isUpperHex(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Whether byte i (i >= 1) of a command led by `lead` may be c.
bool byteFits(char lead, std::size_t i, unsigned char c)
{
    switch (lead) {
    case 'T': return c == 0x00;
    case 'R': return i == 5 ? c == ',' : isUpperHex(c);
    case 'B': return c == static_cast<unsigned char>(kParkText[i]);
    case 'P':
        switch (i) {
        case 1: return c == 0x02;
        case 2: return c == 0x10 || c == 0x11;
        case 3: return c == 0x24;
        case 4: return true;  // the pass-through value, any byte
        default: return c == 0x00;
        }
    default: return false;
    }
}

}  // namespace

std::vector<Frame> CommandFramer::feed(std::string_view bytes, double nowS)
{
    std::vector<Frame> frames;
    if (!pending_.empty() && nowS - lastByteS_ > kStaleCommandS)
        frames.push_back({CommandKind::incomplete, dropPartial()});
    if (!bytes.empty())
        lastByteS_ = nowS;
    pending_.append(bytes);

    std::string skipped;
    std::size_t pos = 0;
    while (pos < pending_.size()) {
        char lead = pending_[pos];
        std::size_t len = commandLength(lead);
        std::size_t have = std::min(len, pending_.size() - pos);
        bool fits = len > 0;
        for (std::size_t i = 1; fits && i < have; ++i)
            fits = byteFits(lead, i, static_cast<unsigned char>(pending_[pos + i]));
        if (!fits) {
            skipped += lead;
            ++pos;
            continue;
        }
        if (have < len)
            break;  // a good start; the rest is still on its way
        if (!skipped.empty())
            frames.push_back({CommandKind::unknown, std::move(skipped)});
        skipped.clear();
        frames.push_back({commandKind(lead), pending_.substr(pos, len)});
        pos += len;
    }
    if (!skipped.empty())
        frames.push_back({CommandKind::unknown, std::move(skipped)});
    pending_.erase(0, pos);
    return frames;
}

std::string CommandFramer::dropPartial()
{
    std::string dropped;
    dropped.swap(pending_);
    return dropped;
}

const char* kindName(CommandKind kind)
{
    switch (kind) {
    case CommandKind::unknown: return "unknown bytes";
    case CommandKind::incomplete: return "incomplete command";
    case CommandKind::gotoCommand: return "goto";
    case CommandKind::passThrough: return "pass-through";
    case CommandKind::positionQuery: return "position query";
    case CommandKind::prePark: return "pre-park";
    case CommandKind::park: return "park";
    }
    return "?";
}

std::string hexBytes(std::string_view bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X", c);
        if (!text.empty())
            text += ' ';
        text += two;
    }
    return text;
}

}  // namespace mountsim
