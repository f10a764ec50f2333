// indi_client.h - the INDI client library behind the wire.
//
// The only code that links libindi. Its listener thread copies every event of
// the server into the mirror; the sends build private properties and never
// touch the library's cached ones.
#pragma once

#include <memory>

#include "indi/indi_address.h"
#include "indi/indi_wire.h"

namespace vantrel {

class IndiMirror;

// False when this program was built without INDI.
bool indiBuiltIn();

// A client of the server at the address, for its device, feeding `mirror`
// (which must outlive it); nothing when built without INDI. Not yet
// connected.
std::unique_ptr<IndiWire> makeIndiClient(const IndiAddress& address, IndiMirror& mirror);

}  // namespace vantrel
