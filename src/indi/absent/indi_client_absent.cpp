// Built in place of the client library when INDI is switched off.
#include "indi/indi_client.h"

namespace vantrel {

bool indiBuiltIn() { return false; }

std::unique_ptr<IndiWire> makeIndiClient(const IndiAddress&, IndiMirror&) { return nullptr; }

}  // namespace vantrel
