#include "simulation/simulated_files.h"

namespace vantrel {

std::optional<std::string> MemoryWrites::readAll(const std::string& name) {
  if (auto it = written_.find(name); it != written_.end()) return it->second;
  if (auto it = copies_.find(name); it != copies_.end()) return it->second;
  return below_.readAll(name);
}

void MemoryWrites::createKeeping(const std::string& name) {
  if (written_.count(name) != 0) return;
  written_[name] = readAll(name).value_or(std::string());
}

void MemoryWrites::createEmpty(const std::string& name) { written_[name].clear(); }

void MemoryWrites::appendDurably(const std::string& name, std::string_view bytes) {
  auto it = written_.find(name);
  if (it == written_.end()) it = written_.emplace(name, readAll(name).value_or(std::string())).first;
  it->second.append(bytes);
}

std::optional<std::string> MemoryWrites::legacyToUtf8(std::string_view bytes) { return below_.legacyToUtf8(bytes); }

void MemoryWrites::keepCopies(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (std::optional<std::string> bytes = below_.readAll(name)) copies_[name] = std::move(*bytes);
  }
}

void MemoryWrites::writeBack() {
  for (const auto& [name, bytes] : written_) {
    below_.createEmpty(name);
    if (!bytes.empty()) below_.appendDurably(name, bytes);
  }
}

}  // namespace vantrel
