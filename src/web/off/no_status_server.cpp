// A build without the HTTP library (VANTREL_WITH_WEB=OFF): --web says so.
#include "platform/fault.h"
#include "web/status_server.h"

namespace vantrel {

std::unique_ptr<StatusServer> startStatusServer(const WebSettings&, const WebSource&, FileStore&, const WebLimits&,
                                                WebStopAction) {
  throw Fault("--web: this vantrel was built without the web server (VANTREL_WITH_WEB=OFF)", ExitStatus::usage);
}

}  // namespace vantrel
