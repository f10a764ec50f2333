#include "sim_options.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cmath>
#include <cstdlib>

namespace mountsim {

namespace {

bool readLong(const std::string& text, long min, long max, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    value = v;
    return true;
}

bool readDouble(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> unescape(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case 'r': bytes += '\r'; break;
        case 'n': bytes += '\n'; break;
        case 't': bytes += '\t'; break;
        case '\\': bytes += '\\'; break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            bytes += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return bytes;
}

std::optional<std::string> parseOptions(const std::vector<std::string>& args, SimOptions& o)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.erase(eq);
        }
        bool* flag = name == "--silent"         ? &o.behaviour.silent
                     : name == "--split"        ? &o.behaviour.split
                     : name == "--pace"         ? &o.behaviour.pace
                     : name == "--exit-on-park" ? &o.exitOnPark
                     : name == "--verbose"      ? &o.verbose
                     : name == "--help" || name == "-h" ? &o.help
                                                : nullptr;
        if (flag) {
            if (inlineValue)
                return name + " takes no value";
            *flag = true;
            continue;
        }
        static const char* const valued[] = {"--port", "--dir", "--rate", "--start-ra",
                                             "--start-dec", "--delay-ms", "--split-ms", "--stray",
                                             "--vanish-after", "--transcript"};
        if (std::find(std::begin(valued), std::end(valued), name) == std::end(valued))
            return "unknown option: " + name;
        if (!inlineValue && i + 1 >= args.size())
            return name + " needs a value";
        const std::string value = inlineValue ? *inlineValue : args[++i];
        long n = 0;
        bool good = true;
        if (name == "--port") {
            good = readLong(value, 1, 32767, n);
            o.port = static_cast<int>(n);
        } else if (name == "--dir") {
            good = !value.empty();
            o.dir = value;
        } else if (name == "--rate") {
            good = readDouble(value, o.rateDegPerS) && o.rateDegPerS >= 0.0;
        } else if (name == "--start-ra") {
            good = readDouble(value, o.startRaDeg);
        } else if (name == "--start-dec") {
            good = readDouble(value, o.startDecDeg);
        } else if (name == "--delay-ms") {
            good = readLong(value, 0, 600000, n);
            o.behaviour.delayMs = static_cast<int>(n);
        } else if (name == "--split-ms") {
            good = readLong(value, 0, 600000, n);
            o.behaviour.splitMs = static_cast<int>(n);
        } else if (name == "--stray") {
            auto bytes = unescape(value);
            good = bytes.has_value();
            o.behaviour.stray = bytes.value_or("");
        } else if (name == "--vanish-after") {
            good = readLong(value, 0, 1000000000L, n);
            o.behaviour.vanishAfter = n;
        } else {  // --transcript
            good = !value.empty();
            o.transcriptPath = value;
        }
        if (!good)
            return "bad value for " + name + ": \"" + value + "\"";
    }
    return std::nullopt;
}

std::string usageText()
{
    return
        "usage: vantrel-mountsim [options]\n"
        "A simulated telescope hand controller on a pseudo-terminal, linked as\n"
        "DIR/COMN. Prints \"vantrel-mountsim: COMN -> /dev/pts/K\" once it answers.\n"
        "\n"
        "  --port N            publish as COMN (default 1)\n"
        "  --dir DIR           where the COMN link goes (default .)\n"
        "  --rate DEG_PER_S    slew rate of each axis; 0 jumps at once (default 4)\n"
        "  --start-ra DEG      right ascension at start (default 0)\n"
        "  --start-dec DEG     declination at start (default 0)\n"
        "  --silent            record and move, never reply\n"
        "  --delay-ms N        wait N ms before each reply (default 0)\n"
        "  --stray TEXT        send TEXT before each reply; \\r \\n \\t \\\\ \\xHH allowed\n"
        "  --split             send each reply in two halves, --split-ms apart\n"
        "  --split-ms N        pause between the halves (default 150: longer than\n"
        "                      the program's 100 ms wait, so its read sees half)\n"
        "  --pace              send at the pace of 9600 baud, about 1 ms a byte\n"
        "  --vanish-after N    answer N position queries; at the next one close the\n"
        "                      line and exit 0\n"
        "  --transcript FILE   write every byte received, raw, as it arrives\n"
        "  --exit-on-park      exit 0 once the park command has come and the client\n"
        "                      has closed the line (at most 5 s after the park)\n"
        "  --verbose           note every command and reply on standard error\n"
        "  --help              show this text\n"
        "\n"
        "SIGINT or SIGTERM removes the link and exits 0. Replies still due when\n"
        "the client closes the line are discarded, as on a real serial port.\n";
}

}  // namespace mountsim
