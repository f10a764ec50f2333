// The simulator on a real pseudo-terminal, driven from this process the way
// the program drives it: open the link, write commands, read what came back,
// close, open again.
#include "mountsim/pty_line.h"
#include "mountsim/simulator.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace mountsim {
namespace {

// Replies come within a millisecond or two; this only bounds a broken run.
constexpr int kReplyWaitMs = 2000;

// A directory of its own for each test, removed with everything in it.
struct TempDir {
    TempDir()
    {
        char pattern[] = "/tmp/mountsim-test-XXXXXX";
        if (const char* made = mkdtemp(pattern))
            path = made;
    }
    ~TempDir()
    {
        if (!path.empty())
            std::filesystem::remove_all(path);
    }
    std::string path;
};

bool exists(const std::string& path)
{
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
}

int openClient(const std::string& path)
{
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Reads until `want` bytes have come or the wait is over.
std::string readSome(int fd, std::size_t want, int waitMs = kReplyWaitMs)
{
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (got.size() < want && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            char buf[256];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<std::size_t>(n));
        }
    }
    return got;
}

std::string exchange(int fd, const std::string& command, std::size_t replyLength)
{
    EXPECT_EQ(write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    return readSome(fd, replyLength);
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// One simulator on its own thread, stopped through a pipe as a signal would.
struct Running {
    explicit Running(SimOptions options) : simulator(std::move(options), notes)
    {
        EXPECT_EQ(pipe(stop), 0);
        std::string error;
        opened = simulator.open(error);
        EXPECT_TRUE(opened) << error;
        if (opened)
            status = std::async(std::launch::async, [this] { return simulator.run(stop[0]); });
    }
    ~Running()
    {
        if (status.valid())
            stopNow();
        close(stop[0]);
        close(stop[1]);
        std::fclose(notes);
    }
    int stopNow()
    {
        EXPECT_EQ(write(stop[1], "x", 1), 1);
        return status.get();
    }
    std::FILE* notes = std::tmpfile();
    Simulator simulator;
    int stop[2] = {-1, -1};
    bool opened = false;
    std::future<int> status;
};

SimOptions optionsIn(const std::string& dir)
{
    SimOptions o;
    o.dir = dir;
    o.rateDegPerS = 0.0;
    o.transcriptPath = dir + "/transcript.bin";
    return o;
}

TEST(PublishLink, ReplacesALinkButNeverAFile)
{
    TempDir temp;
    const std::string& dir = temp.path;
    ASSERT_FALSE(dir.empty());
    std::string link = dir + "/COM1", error;
    ASSERT_TRUE(publishLink(link, "/dev/null", error)) << error;
    ASSERT_TRUE(publishLink(link, "/dev/zero", error)) << error;
    char target[64] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "/dev/zero");
    removeLinkIfOurs(link, "/dev/null");
    EXPECT_TRUE(exists(link)) << "someone else's link is left alone";
    removeLinkIfOurs(link, "/dev/zero");
    EXPECT_FALSE(exists(link));

    std::string file = dir + "/COM2";
    std::ofstream(file) << "keep me";
    EXPECT_FALSE(publishLink(file, "/dev/null", error));
    EXPECT_EQ(error, "refusing to replace " + file + ": it is not a symbolic link");
    EXPECT_EQ(fileText(file), "keep me");
    EXPECT_FALSE(publishLink(dir + "/no/such/COM3", "/dev/null", error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST(Simulator, ServesClientAfterClientAndKeepsATranscript)
{
    TempDir temp;
    const std::string& dir = temp.path;
    Running sim(optionsIn(dir));
    ASSERT_TRUE(sim.opened);
    EXPECT_EQ(sim.simulator.readyLine(), "vantrel-mountsim: COM1 -> " + sim.simulator.line().slavePath());

    int fd = openClient(dir + "/COM1");
    ASSERT_GE(fd, 0) << std::strerror(errno);
    EXPECT_EQ(exchange(fd, "R4000,F8E4", 1), "#");
    EXPECT_EQ(exchange(fd, "E", 10), "4000,F8E4#");
    close(fd);
    for (int round = 0; round < 3; ++round) {  // the program reopens for every target
        fd = openClient(dir + "/COM1");
        ASSERT_GE(fd, 0) << "round " << round << ": " << std::strerror(errno);
        EXPECT_EQ(exchange(fd, "E", 10), "4000,F8E4#") << "round " << round;
        close(fd);
    }
    EXPECT_EQ(sim.stopNow(), 0);
    EXPECT_FALSE(exists(dir + "/COM1")) << "the link goes with the simulator";
    EXPECT_EQ(fileText(dir + "/transcript.bin"), "R4000,F8E4EEEE");
}

TEST(Simulator, DiscardsRepliesTheLastClientLeftUnread)
{
    TempDir temp;
    const std::string& dir = temp.path;
    SimOptions o = optionsIn(dir);
    o.behaviour.delayMs = 100;
    Running sim(o);
    int fd = openClient(dir + "/COM1");
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "E", 1), 1);
    close(fd);  // before the reply is due
    usleep(300 * 1000);
    fd = openClient(dir + "/COM1");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(readSome(fd, 1, 300), "");
    EXPECT_EQ(exchange(fd, "E", 10), "0000,0000#");
    close(fd);
}

TEST(Simulator, VanishingHangsUpTheLineAndRemovesTheLink)
{
    TempDir temp;
    const std::string& dir = temp.path;
    SimOptions o = optionsIn(dir);
    o.behaviour.vanishAfter = 1;
    Running sim(o);
    int fd = openClient(dir + "/COM1");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(fd, "E", 10), "0000,0000#");
    ASSERT_EQ(write(fd, "E", 1), 1);
    EXPECT_EQ(sim.status.get(), 0);
    EXPECT_FALSE(exists(dir + "/COM1"));
    errno = 0;
    EXPECT_EQ(write(fd, "E", 1), -1);
    EXPECT_EQ(errno, EIO) << "a write to a vanished line fails with EIO";
    close(fd);
    EXPECT_EQ(fileText(dir + "/transcript.bin"), "EE");
}

TEST(Simulator, ExitOnParkEndsWhenTheClientCloses)
{
    TempDir temp;
    const std::string& dir = temp.path;
    SimOptions o = optionsIn(dir);
    o.exitOnPark = true;
    Running sim(o);
    int fd = openClient(dir + "/COM1");
    ASSERT_GE(fd, 0);
    EXPECT_EQ(exchange(fd, std::string("T\0", 2), 1), "#");
    EXPECT_EQ(exchange(fd, "B4000,0000", 1), "#");
    EXPECT_EQ(sim.status.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "still there while the client holds the line";
    close(fd);
    ASSERT_EQ(sim.status.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(sim.status.get(), 0);
    EXPECT_FALSE(exists(dir + "/COM1"));
}

}  // namespace
}  // namespace mountsim
