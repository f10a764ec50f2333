// The simulator's end of the line: a pseudo-terminal whose slave side is
// published as DIR/COMN, so that the program opens it like a serial port.
#pragma once

#include <string>
#include <vector>

namespace mountsim {

// Notes:
// 1) The simulator keeps one descriptor of the slave side open for its whole
//    life. Without it the master would see a hang-up, and reads failing with
//    EIO, every time the program closes the port between targets.
// 2) That held descriptor also keeps the terminal's state alive between
//    clients, and a client's exclusive lock (TIOCEXCL) with it: once the last
//    client has closed, releaseClientSide() lifts the lock, so that a user
//    without root privileges can open the port again, and discards what the
//    closed client left unread, as a real port does.
// 3) Clients opening and closing the slave are seen through inotify; when
//    that is not available, watchFd() is -1 and clients are not counted.
class PtyLine {
public:
    PtyLine() = default;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;
    ~PtyLine() { close(); }

    // Master non-blocking, slave raw at 9600 baud.
    bool open(std::string& error);
    bool publish(const std::string& dir, int port, std::string& error);
    // Removes the link if it still points here and closes every descriptor;
    // a client still holding the slave sees the line hang up.
    void close();

    int masterFd() const { return master_; }
    int watchFd() const { return watch_; }
    const std::string& slavePath() const { return slavePath_; }
    const std::string& linkPath() const { return linkPath_; }
    const std::string& linkName() const { return linkName_; }

    // Client descriptors opened (true) and closed (false) since the last
    // call, in the order it happened.
    std::vector<bool> readWatchEvents();
    void releaseClientSide();

private:
    int master_ = -1;
    int hold_ = -1;
    int watch_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    std::string linkName_;
};

// Makes linkPath a symbolic link to target, replacing a symbolic link that is
// already there but never anything else.
bool publishLink(const std::string& linkPath, const std::string& target, std::string& error);
// Removes linkPath only while it still points to target, so a link that
// another simulator has taken over is left alone.
void removeLinkIfOurs(const std::string& linkPath, const std::string& target);

}  // namespace mountsim
