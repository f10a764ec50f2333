// A FileStore held in memory, for tests that need no disk.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "platform/fault.h"
#include "platform/file_store.h"

namespace vantrel::testing {

class MemoryFileStore : public FileStore {
 public:
  std::map<std::string, std::string> files;
  bool failAppends = false;

  std::optional<std::string> readAll(const std::string& name) override {
    return files.count(name) ? std::optional(files[name]) : std::nullopt;
  }
  std::string tail(const std::string& name, std::size_t count) override {
    const std::string& text = files[name];
    return text.substr(text.size() - std::min(count, text.size()));
  }
  void createKeeping(const std::string& name) override { files[name]; }
  void createEmpty(const std::string& name) override { files[name].clear(); }
  void appendDurably(const std::string& name, std::string_view bytes) override {
    if (failAppends) throw Fault(name + ": cannot write: No space left on device");
    files[name] += bytes;
  }
  std::optional<std::string> legacyToUtf8(std::string_view) override { return std::nullopt; }
};

}  // namespace vantrel::testing
