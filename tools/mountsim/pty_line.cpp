#include "pty_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace mountsim {

namespace {

std::string failure(const std::string& what, const std::string& device)
{
    return "cannot " + what + " (" + device + "): " + std::strerror(errno);
}

}  // namespace

bool PtyLine::open(std::string& error)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) {
        error = failure("open a pseudo-terminal", "/dev/ptmx");
        return false;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = failure("unlock the pseudo-terminal", "/dev/ptmx");
        return false;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = failure("name the pseudo-terminal", "/dev/ptmx");
        return false;
    }
    slavePath_ = name;
    hold_ = ::open(name, O_RDWR | O_NOCTTY);
    if (hold_ < 0) {
        error = failure("open", slavePath_);
        return false;
    }
    termios tio{};
    if (tcgetattr(hold_, &tio) != 0) {
        error = failure("read the settings of", slavePath_);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~CRTSCTS;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(hold_, TCSANOW, &tio) != 0) {
        error = failure("set raw mode on", slavePath_);
        return false;
    }
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && inotify_add_watch(watch_, name, IN_OPEN | IN_CLOSE) < 0) {
        ::close(watch_);
        watch_ = -1;
    }
    return true;
}

bool PtyLine::publish(const std::string& dir, int port, std::string& error)
{
    linkName_ = "COM" + std::to_string(port);
    linkPath_ = dir + "/" + linkName_;
    if (publishLink(linkPath_, slavePath_, error))
        return true;
    linkPath_.clear();
    return false;
}

void PtyLine::close()
{
    if (!linkPath_.empty())
        removeLinkIfOurs(linkPath_, slavePath_);
    linkPath_.clear();
    for (int* fd : {&watch_, &master_, &hold_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::vector<bool> PtyLine::readWatchEvents()
{
    std::vector<bool> events;
    alignas(inotify_event) char buf[4096];
    for (;;) {
        ssize_t n = read(watch_, buf, sizeof buf);
        if (n <= 0)
            return events;
        for (char* p = buf; p < buf + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if (event->mask & IN_OPEN)
                events.push_back(true);
            if (event->mask & IN_CLOSE)
                events.push_back(false);
            p += sizeof(inotify_event) + event->len;
        }
    }
}

void PtyLine::releaseClientSide()
{
    tcflush(hold_, TCIFLUSH);
    ioctl(hold_, TIOCNXCL);
}

bool publishLink(const std::string& linkPath, const std::string& target, std::string& error)
{
    struct stat st{};
    if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = "refusing to replace " + linkPath + ": it is not a symbolic link";
        return false;
    }
    // Made aside and renamed over, so a client never finds the name missing.
    std::string temporary = linkPath + ".mountsim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        error = "cannot create the link " + linkPath + " -> " + target + ": " + std::strerror(errno);
        return false;
    }
    if (rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = "cannot create the link " + linkPath + " -> " + target + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void removeLinkIfOurs(const std::string& linkPath, const std::string& target)
{
    char buf[4096];
    ssize_t n = readlink(linkPath.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        unlink(linkPath.c_str());
}

}  // namespace mountsim
