// The simulator on a real pseudo-terminal, for what only a real line shows:
// the COMN link, clients closing and reopening, the line hanging up when it
// vanishes, and the raw bytes in the transcript. What it answers, and when,
// is the hand controller's business and is tested there.
#include "mountsim/simulator.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace mountsim {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// Writes a command, then reads until `want` bytes came or the line went quiet
// for two seconds (replies come within a millisecond or two) or hung up.
std::string exchange(int fd, const std::string& command, std::size_t want)
{
    EXPECT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    std::string got;
    char buf[256];
    pollfd p{fd, POLLIN, 0};
    for (ssize_t n = 0; got.size() < want && poll(&p, 1, 2000) > 0 && (n = read(fd, buf, sizeof buf)) > 0;)
        got.append(buf, static_cast<std::size_t>(n));
    return got;
}

// A simulator in a directory of its own, run on its own thread; a test that
// fails before the simulator ends stops it through a pipe, as a signal would.
struct Running {
    explicit Running(SimOptions o)
    {
        char pattern[] = "/tmp/mountsim-test-XXXXXX";
        dir = mkdtemp(pattern) ? pattern : "";
        o.dir = dir;
        o.transcriptPath = dir + "/transcript.bin";
        simulator = std::make_unique<Simulator>(o, notes);
        std::string error;
        EXPECT_TRUE(!dir.empty() && pipe(stop) == 0 && simulator->open(error)) << error;
        status = std::async(std::launch::async, [this] { return simulator->run(stop[0]); });
    }
    ~Running()
    {
        if (status.valid() && write(stop[1], "x", 1) == 1)
            status.get();
        for (int fd : stop) close(fd);
        std::fclose(notes);
        fs::remove_all(dir);
    }

    std::string dir;
    std::FILE* notes = std::tmpfile();
    std::unique_ptr<Simulator> simulator;
    int stop[2] = {-1, -1};
    std::future<int> status;
};

TEST(Simulator, ServesClientAfterClientUntilItVanishes)
{
    SimOptions o;
    o.port = 7, o.rateDegPerS = 0, o.behaviour.vanishAfter = 2;
    Running run(o);
    const std::string link = run.dir + "/COM7";
    EXPECT_EQ(fs::read_symlink(link), run.simulator->line().slavePath());
    // The program closes the port after every target and opens it again.
    const std::pair<std::string, std::string> clients[] = {
        {"\r\xff" "R4000,F8E4", "#"}, {"E", "4000,F8E4#"}, {"T\x00"s, "#"}, {"E", "4000,F8E4#"}};
    for (const auto& [command, reply] : clients) {
        int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        EXPECT_EQ(exchange(fd, command, reply.size()), reply) << hexBytes(command);
        close(fd);
    }
    int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(exchange(fd, "E", 10), "") << "the third query is never answered";
    EXPECT_EQ(run.status.get(), 0);
    EXPECT_FALSE(fs::is_symlink(link)) << "the link goes with the simulator";
    errno = 0;
    EXPECT_TRUE(write(fd, "E", 1) == -1 && errno == EIO) << "the line has hung up: " << std::strerror(errno);
    close(fd);
    std::ifstream transcript(run.dir + "/transcript.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(transcript), {}), "\r\xff" "R4000,F8E4ET\x00"s "EE");
}

}  // namespace
}  // namespace mountsim
