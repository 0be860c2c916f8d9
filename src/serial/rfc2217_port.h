// The network serial port: a serial adapter behind an RFC 2217 server (a device server,
// ser2net, or kv58-sim --listen), named "rfc2217://HOST:PORT[?options]" (see rfc2217_address.h).
//
// Opening connects and negotiates Telnet BINARY both ways and COM-PORT-OPTION; a connection
// that fails, or a server that does not take COM-port control, fails the open. configure()
// sends baud rate, data size, parity, stop size and "no flow control" together and then waits
// for the answers: a server that applies other values than asked, or does not answer within
// the time-out, fails the configuration (with ign_set_control the flow-control answer is not
// awaited). DTR and RTS changes and purges are sent in order with the data and not awaited,
// so the entry sequence's six line changes follow each other as fast as the network carries
// them; their answers are read as they come and a contrary one is noted in the trace.
//
// Queue counts: input is what has arrived and been decoded so far; output is what has not
// yet been handed to the network (a purge of the transmit side asks the server to drop what
// it has not sent to the device, but cannot recall bytes already handed over). Waiting blocks
// in poll() on the socket until enough data bytes have arrived or the time is up. When the
// server closes the connection, waits return at once with what has arrived and writes fail,
// so the link reports the broken exchange instead of hanging.
#pragma once

#include <memory>
#include <string>

#include "base/clock.h"
#include "serial/serial_port.h"

namespace kv58 {

std::unique_ptr<SerialPort> openRfc2217Port(const std::string& name, Clock& clock,
                                            std::string& error);

}  // namespace kv58
