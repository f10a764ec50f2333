#include "mount/supervision.h"
#include "platform/serial_port.h"

namespace vantrel {

void openMountPort(SerialPort& port, int portNumber) {
  // The port applies the line settings (9600 baud, no parity, 8 data bits,
  // 1 stop bit, raw) itself as it opens.
  port.open(portNumber);
}

void closeMountPort(SerialPort& port) { port.close(); }

void closeMountPortQuietly(SerialPort& port) noexcept {
  try {
    if (port.isOpen()) port.close();
  } catch (...) {
    // The line is failing already; the fault in flight says why.
  }
}

}  // namespace vantrel
