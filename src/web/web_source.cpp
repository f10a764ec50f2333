#include "web/web_source.h"

namespace vantrel {

WebSnapshot WebSource::snapshot() const {
  BoardSnapshot board = board_.snapshot();
  WebSnapshot copy;
  copy.version = board.version;
  copy.title = std::move(board.text.title);
  copy.lines.reserve(board.text.lines.size());
  for (const NightLine& line : board.text.lines) copy.lines.push_back(lineText(line));
  copy.droppedLines = board.text.dropped;
  copy.sky = std::move(board.sky);
  copy.hasSky = board.hasSky;
  copy.logFileName = board.status.logFileName;
  copy.status = std::move(board.status);
  copy.plan = plan_;
  return copy;
}

}  // namespace vantrel
