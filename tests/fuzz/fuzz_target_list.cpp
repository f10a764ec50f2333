// The target-list reader through the real path: the bytes decoded as UTF-8
// or, failing that, as CP932 by the file store's converter, cut into lines,
// warned about and parsed. Any bytes give a table or an input-file fault.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "inputs/input_warnings.h"
#include "inputs/target_list.h"
#include "inputs/text_lines.h"
#include "platform/fault.h"
#include "platform/posix_file_store.h"

namespace {

// The real store's CP932 converter, with the list held in memory.
class OneFileStore : public vantrel::PosixFileStore {
 public:
  OneFileStore() : PosixFileStore("/nonexistent") {}
  std::optional<std::string> readAll(const std::string&) override { return bytes; }
  std::string bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static OneFileStore files;
  files.bytes.assign(reinterpret_cast<const char*>(data), size);
  vantrel::SiteConfig config;
  config.gridStep = 0.5;
  config.raOffset = 0.25;
  static vantrel::TargetTable table;  // every parse starts it afresh
  try {
    std::vector<std::u32string> lines = vantrel::readTargetLines(files);
    vantrel::targetLineWarnings(lines);
    vantrel::parseTargetLines(lines, config, table);
  } catch (const vantrel::Fault& fault) {
    if (fault.status() != vantrel::ExitStatus::inputFile || std::strncmp(fault.what(), "vantrel.adf", 11) != 0) {
      std::abort();
    }
    return 0;
  }
  if (table.targetCount < 0 || table.targetCount > vantrel::TargetTable::capacity) std::abort();
  for (int row = 1; row <= table.targetCount; ++row) {
    if (!vantrel::decodeUtf8(table.targetName[row])) std::abort();
    if (table.targetState[row] != 0) std::abort();
  }
  return 0;
}
