// The serve front end: the manager on the session bus.
//
// RunManagerService opens the store, makes the TQoraManager, serves it as
// org.quillora.Manager at /org/quillora/Manager (TQoraServerBusAdaptor)
// and runs until SIGTERM or SIGINT, or until the bus connection breaks.
//
// Threads: bus calls are served on the bus loop's own thread; the calling
// thread waits on a signal descriptor, the queue of posted events (the
// manager's events reach the adaptor there and go out as signals) and a
// timer. On each tick it asks the manager to look for changes other
// programs committed to the store (SQLite's data_version, then the
// store's change serials), so that a change made with the command line
// while the service runs raises OnDatabaseChange, OnLexiconChange or
// OnLanguageChange. On SIGTERM or SIGINT it sends OnQuit, gives up the bus
// name and returns.
//
// Must be called before the process starts other threads: it blocks
// SIGTERM and SIGINT for the threads it makes.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

namespace qm::manager {

struct TServeOptions {
  std::string StorePath;
  std::chrono::milliseconds PollInterval{500};
  // Called once the bus name is taken (tests wait for it); may be unset.
  std::function<void()> OnReady;
};

// Answers the exit status: 0 after a signal, 1 when the service could not
// start or the bus broke. Log lines go to log.
int RunManagerService(const TServeOptions& options, std::ostream& log);

}  // namespace qm::manager
