#include "simulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace mountsim {

Simulator::Simulator(SimOptions options, std::FILE* notes)
    : options_(std::move(options)),
      notes_(notes),
      controller_(MountState(options_.startRaDeg, options_.startDecDeg, options_.rateDegPerS),
                  options_.behaviour),
      startTime_(std::chrono::steady_clock::now())
{
}

bool Simulator::open(std::string& error)
{
    if (!line_.open(error) || !line_.publish(options_.dir, options_.port, error))
        return false;
    if (!options_.transcriptPath.empty()) {
        transcriptFd_ = ::open(options_.transcriptPath.c_str(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (transcriptFd_ < 0) {
            error = "cannot create the transcript " + options_.transcriptPath + ": " +
                    std::strerror(errno);
            line_.close();
            return false;
        }
    }
    return true;
}

std::string Simulator::readyLine() const
{
    return "vantrel-mountsim: " + line_.linkName() + " -> " + line_.slavePath();
}

int Simulator::run(int stopFd)
{
    for (;;) {
        double nowS = elapsedS();
        if (parkFinished(nowS)) {
            note(nowS, "parked; exiting");
            return finish(0);
        }
        double waitS = -1.0;
        if (!queue_.empty())
            waitS = std::max(0.0, queue_.front().atS - nowS);
        if (parkAtS_ >= 0.0) {
            double lingerS = std::max(0.0, parkAtS_ + kParkLingerS - nowS);
            waitS = waitS < 0.0 ? lingerS : std::min(waitS, lingerS);
        }
        timespec wait{};
        wait.tv_sec = static_cast<time_t>(waitS);
        wait.tv_nsec = static_cast<long>((waitS - std::floor(waitS)) * 1e9);
        pollfd fds[3] = {{stopFd, POLLIN, 0}, {line_.watchFd(), POLLIN, 0},
                         {line_.masterFd(), POLLIN, 0}};
        if (ppoll(fds, 3, waitS < 0.0 ? nullptr : &wait, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            note(elapsedS(), std::string("poll failed: ") + std::strerror(errno));
            return finish(1);
        }
        nowS = elapsedS();
        if (fds[0].revents != 0) {
            note(nowS, "stopped by a signal");
            return finish(0);
        }
        if (fds[1].revents & POLLIN)
            clientEvents(nowS);
        if (fds[2].revents != 0) {
            int status = readInput(nowS);
            if (status >= 0)
                return finish(status);
        }
        sendDue(elapsedS());
    }
}

double Simulator::elapsedS() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime_).count();
}

void Simulator::note(double nowS, const std::string& text)
{
    std::fprintf(notes_, "vantrel-mountsim: %9.3f s: %s\n", nowS, text.c_str());
    std::fflush(notes_);
}

void Simulator::report(const Outcome& out, double nowS)
{
    for (const std::string& text : out.notes)
        note(nowS, text);
    if (options_.verbose)
        for (const std::string& text : out.details)
            note(nowS, text);
}

void Simulator::clientEvents(double nowS)
{
    for (bool opened : line_.readWatchEvents()) {
        if (opened) {
            ++clients_;
        } else if (clients_ > 0 && --clients_ == 0) {
            // Nobody listens any more: what was due is lost, as on a real port.
            line_.releaseClientSide();
            queue_.clear();
            report(controller_.lineClosed(nowS), nowS);
        }
        if (options_.verbose)
            note(nowS, std::string(opened ? "client opened" : "client closed") +
                           " the line, " + std::to_string(clients_) + " open");
    }
}

int Simulator::readInput(double nowS)
{
    char buf[512];
    for (;;) {
        ssize_t n = read(line_.masterFd(), buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return -1;
        if (n <= 0) {
            note(nowS, "cannot read (" + line_.slavePath() + "): " +
                           (n == 0 ? "end of file" : std::strerror(errno)));
            return 1;
        }
        for (ssize_t done = 0; transcriptFd_ >= 0 && done < n;) {
            ssize_t w = write(transcriptFd_, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno != EINTR) {
                note(nowS, "cannot write the transcript " + options_.transcriptPath + ": " +
                               std::strerror(errno));
                return 1;
            }
            done += w > 0 ? w : 0;
        }
        Outcome out = controller_.receive(std::string_view(buf, static_cast<std::size_t>(n)), nowS);
        report(out, nowS);
        queue_.insert(queue_.end(), out.emissions.begin(), out.emissions.end());
        if (out.parkCommand && options_.exitOnPark && parkAtS_ < 0.0)
            parkAtS_ = nowS;
        if (out.vanish)
            return 0;
    }
}

void Simulator::sendDue(double nowS)
{
    bool listened = line_.watchFd() < 0 || clients_ > 0;
    while (!queue_.empty() && queue_.front().atS <= nowS) {
        const std::string& bytes = queue_.front().bytes;
        ssize_t n = listened ? write(line_.masterFd(), bytes.data(), bytes.size())
                             : static_cast<ssize_t>(bytes.size());
        if (n != static_cast<ssize_t>(bytes.size()))
            note(nowS, "reply lost, the client reads nothing: " + hexBytes(bytes));
        queue_.pop_front();
    }
}

bool Simulator::parkFinished(double nowS) const
{
    if (parkAtS_ < 0.0)
        return false;
    if (nowS >= parkAtS_ + kParkLingerS)
        return true;
    bool closed = line_.watchFd() >= 0 ? clients_ == 0 : true;
    return closed && queue_.empty();
}

int Simulator::finish(int status)
{
    line_.close();
    if (transcriptFd_ >= 0)
        ::close(transcriptFd_);
    transcriptFd_ = -1;
    return status;
}

}  // namespace mountsim
