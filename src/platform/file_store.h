// file_store.h - the files of the working directory.
//
// Files are named by bare name relative to the working directory that the
// store was made for. Reading gives the raw bytes; appending makes the bytes
// durable (written, flushed and synced) before it returns, so a record is on
// disk before the program moves on. Failures are thrown as a Fault naming
// the file and the error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

class FileStore {
 public:
  virtual ~FileStore() = default;
  // The whole content, or nothing when the file does not exist.
  virtual std::optional<std::string> readAll(const std::string& name) = 0;
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
