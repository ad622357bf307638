// The manager's side of the bus interface (QoraServerBus.h): serves any
// IQoraServer implementation on a bus connection, under the manager's bus
// name and object path, and re-emits the implementation's events as
// signals.
//
// Use (the manager's serve command, tests):
//   auto connection = platform::OpenSessionBus();
//   TQoraServerBusAdaptor adaptor(*connection, server);  // takes the name
//   platform::BusEventLoop loop(*connection);
//   loop.Run();  // until loop.Stop() from elsewhere, or the bus breaks
//
// Calls are served on whichever thread runs the connection's event
// processing, one at a time; the implementation is called there. Bad input
// never reaches the implementation: a wrong signature is refused by the bus
// library, arguments beyond the caps with ErrorInvalidArgs. A failing
// operation, or an exception that leaves one, becomes an ErrorFailed reply
// with its message; nothing escapes into the event loop.
//
// Events: the adaptor attaches an event sink to the implementation's
// DIID_IQoraServerEvents connection point; each event is emitted as the
// signal of the same name, on the thread that fired it.
//
// Ownership: the adaptor holds the implementation; the connection must
// outlive the adaptor. Destroy the adaptor on the thread that runs the
// connection's event processing, or after that processing stopped.
#pragma once

#include <memory>

#include "core/Common/QuilloraLib.h"

namespace sdbus {
class IConnection;
}

namespace qm {

class TQoraServerBusAdaptor {
public:
  // Registers the object, attaches to the implementation's events, then
  // takes the bus name. Raises Exception "Another manager already serves
  // org.quillora.Manager on this bus" when the name is taken, the event
  // sink's "Unable to connect ..." when the implementation has no events,
  // and BusException for a failing bus.
  TQoraServerBusAdaptor(sdbus::IConnection& connection, platform::ComPtr<IQoraServer> server);
  // Gives up the name, stops serving and detaches from the events.
  ~TQoraServerBusAdaptor();
  TQoraServerBusAdaptor(const TQoraServerBusAdaptor&) = delete;
  TQoraServerBusAdaptor& operator=(const TQoraServerBusAdaptor&) = delete;

private:
  struct Service;
  std::unique_ptr<Service> service_;
};

}  // namespace qm
