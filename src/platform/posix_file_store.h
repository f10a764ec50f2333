// posix_file_store.h - the files of one working directory on a POSIX system.
#pragma once

#include <string>

#include "platform/file_store.h"

namespace vantrel {

class PosixFileStore : public FileStore {
 public:
  explicit PosixFileStore(std::string directory) : directory_(std::move(directory)) {}
  ~PosixFileStore() override;
  PosixFileStore(const PosixFileStore&) = delete;
  PosixFileStore& operator=(const PosixFileStore&) = delete;

  std::optional<std::string> readAll(const std::string& name) override;
  bool readPieces(const std::string& name, const std::function<bool(std::string_view)>& take) override;
  std::string tail(const std::string& name, std::size_t count) override;
  void createKeeping(const std::string& name) override;
  void createEmpty(const std::string& name) override;
  void appendDurably(const std::string& name, std::string_view bytes) override;
  std::optional<std::string> legacyToUtf8(std::string_view bytes) override;

 private:
  std::string pathOf(const std::string& name) const;
  int openRegular(const std::string& name, int flags, bool ownFile, const char* writing) const;
  void readPiecesOf(const std::string& name, int fd, const std::function<bool(std::string_view)>& take) const;
  std::string directory_;
  void* converter_ = nullptr;  // iconv_t CP932 -> UTF-8, opened at its first use
};

}  // namespace vantrel
