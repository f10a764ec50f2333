// file_store.h - the files of the working directory.
//
// Files are named by bare name relative to the working directory that the
// store was made for. Reading gives the raw bytes; appending makes the bytes
// durable (written, flushed and synced) before it returns, so a record is on
// disk before the program moves on. Failures are thrown as a Fault naming
// the file and the error.
//
// Notes:
// 1) readAll is for the input files: it takes only a regular file of at most
//    maxReadBytes, and every way it fails (not a regular file, too large,
//    permission, a loop of links, a read error) is a Fault with the
//    input-file status. A FIFO or a device never blocks it.
// 2) An append either lands whole or not at all: after a failed write (a full
//    disk) the file is cut back to its length before the append, so the log
//    holds only whole records.
// 3) Every file written (the log, a plan's CSV or picture) and the log read
//    back must be a regular file standing at its own name: a FIFO, a device
//    or a link planted at the name is refused with the input-file status and
//    why, never waited on and never followed out of the folder. Input files
//    (note 1) may be links.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

class FileStore {
 public:
  virtual ~FileStore() = default;
  // Far beyond any real input (2700 rows are about 200 kB), small enough
  // that a link to /dev/zero or a runaway file is refused, not read until
  // memory runs out.
  static constexpr std::size_t maxReadBytes = 64 * 1024 * 1024;

  // The whole content, or nothing when the file does not exist.
  virtual std::optional<std::string> readAll(const std::string& name) = 0;
  // Hands the file to `take` in pieces, in order, whatever its size (a log
  // of many nights); `take` returns false to stop. False when the file does
  // not exist. Refused as a file written is (note 3).
  virtual bool readPieces(const std::string& name, const std::function<bool(std::string_view)>& take) {
    std::optional<std::string> all = readAll(name);
    if (all) take(*all);
    return all.has_value();
  }
  // The last `count` bytes (fewer when the file is shorter; empty when it is
  // missing or empty). A store whose appends go nowhere has nothing to show.
  virtual std::string tail(const std::string& /*name*/, std::size_t /*count*/) { return {}; }
  // Creates the file empty when it is missing; an existing file keeps its content.
  virtual void createKeeping(const std::string& name) = 0;
  // Creates the file empty; an existing file loses its content.
  virtual void createEmpty(const std::string& name) = 0;
  virtual void appendDurably(const std::string& name, std::string_view bytes) = 0;
  // Text in the legacy Japanese encoding (Shift_JIS, CP932) turned into
  // UTF-8; nothing when the bytes are not valid in it either.
  virtual std::optional<std::string> legacyToUtf8(std::string_view bytes) = 0;
};

}  // namespace vantrel
