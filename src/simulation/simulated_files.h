// simulated_files.h - files whose writes stay in memory.
//
// A rehearsal and a plan read the real input files but must never touch the
// disk for their logs: a record synced to disk costs more than the whole
// rehearsed night around it. MemoryWrites keeps every file created or
// appended to in memory; a file it never wrote is read from the store below.
//
// Notes:
// 1) createKeeping starts from what the store below holds, so that written()
//    is always the whole file.
// 2) Reads of files it never wrote, and the legacy decoding, go to the store
//    below; nothing is ever written there except by writeBack().
// 3) Several MemoryWrites may share one store below from several threads when
//    that store's reads are safe to share (a snapshot that nobody writes).
#pragma once

#include <initializer_list>
#include <map>
#include <string>

#include "platform/file_store.h"

namespace vantrel {

class MemoryWrites : public FileStore {
 public:
  explicit MemoryWrites(FileStore& below) : below_(below) {}

  std::optional<std::string> readAll(const std::string& name) override;
  void createKeeping(const std::string& name) override;
  void createEmpty(const std::string& name) override;
  void appendDurably(const std::string& name, std::string_view bytes) override;
  std::optional<std::string> legacyToUtf8(std::string_view bytes) override;

  // Reads the named files from the store below now and keeps them, so that
  // later reads need the store below no more. Missing files stay missing.
  void keepCopies(std::initializer_list<const char*> names);

  // Every file written, by name, with its whole content.
  const std::map<std::string, std::string>& written() const { return written_; }
  // Writes every written file to the store below, whole (one sync a file).
  void writeBack();

 private:
  FileStore& below_;
  std::map<std::string, std::string> written_;
  std::map<std::string, std::string> copies_;
};

}  // namespace vantrel
