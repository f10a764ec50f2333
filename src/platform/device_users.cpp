#include "platform/device_users.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "inputs/text_lines.h"

namespace vantrel {
namespace {

std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) == nullptr ? std::string() : std::string(buffer);
}

std::string processName(const std::filesystem::path& processDir) {
  std::ifstream comm(processDir / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

// A whole command is longer than a message wants; the program and its first
// arguments are what tell one holder from another.
constexpr std::size_t commandShownBytes = 80;

// The process's command line, its arguments joined with blanks, cut at
// commandShownBytes and escaped; its name (comm) when the command line is
// empty (a kernel thread, a zombie) or cannot be read.
std::string processCommand(const std::filesystem::path& processDir) {
  std::ifstream file(processDir / "cmdline", std::ios::binary);
  std::string command((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  while (!command.empty() && command.back() == '\0') command.pop_back();
  if (command.empty()) return processName(processDir);
  std::replace(command.begin(), command.end(), '\0', ' ');
  std::size_t shown = std::min(command.size(), commandShownBytes);
  // Never cut inside a UTF-8 sequence.
  while (shown < command.size() && shown > 0 && (static_cast<unsigned char>(command[shown]) & 0xC0) == 0x80) --shown;
  return escapedForDisplay(std::string_view(command).substr(0, shown)) + (shown < command.size() ? "..." : "");
}

std::string userName(uid_t uid) {
  if (const passwd* user = ::getpwuid(uid)) return user->pw_name;
  return std::to_string(uid);
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

std::string deviceGroup(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return "";
  if (const group* g = ::getgrgid(info.st_gid)) return g->gr_name;
  return std::to_string(info.st_gid);
}

std::vector<std::string> deviceHolders(const std::string& path) {
  std::vector<std::string> holders;
  const std::string target = resolved(path);
  if (target.empty()) return holders;
  const std::string self = std::to_string(::getpid());
  std::error_code error;
  for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pid = process.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    std::error_code fdError;
    for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
      std::error_code linkError;
      if (std::filesystem::read_symlink(fd.path(), linkError).string() == target) {
        holders.push_back(pid + " (" + processCommand(process.path()) + ")");
        break;
      }
    }
  }
  return holders;
}

std::string describeLockHolder(long pid, const std::string& unknown) {
  if (pid <= 0) return unknown;
  const std::filesystem::path process = "/proc/" + std::to_string(pid);
  const std::string name = processName(process);
  if (name == "vantrel" || name == processName("/proc/self")) return "another vantrel (pid " + std::to_string(pid) + ")";
  struct stat owner;
  std::string text = "pid " + std::to_string(pid) + " (" + (name.empty() ? "ended since" : name);
  if (::stat(process.c_str(), &owner) == 0) text += ", user " + userName(owner.st_uid);
  return text + ")";
}

std::string openFailureHint(const std::string& device, int error, const std::string& portName) {
  if (error == EACCES || error == EPERM) {
    std::string group = deviceGroup(device);
    if (group.empty() || group == "root") return "";
    return "; the device belongs to group " + group + ": add yourself (sudo usermod -aG " + group +
           " $USER) and log in again";
  }
  if (error == EBUSY) {
    std::vector<std::string> holders = deviceHolders(device);
    return holders.empty() ? "" : "; held by " + joined(holders);
  }
  if (error == ENOENT && device.rfind("/dev/ttyS", 0) == 0) {
    return "; there is no " + portName + " in the working directory either: link the adapter there, e.g. ln -s "
           "/dev/ttyUSB0 " + portName;
  }
  return "";
}

}  // namespace vantrel
