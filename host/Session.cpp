#include "host/Session.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

#include "core/Common/QoraServerBus.h"
#include "core/Common/QoraServerBusProxy.h"
#include "host/AddonLoader.h"
#include "host/BrowserWindow.h"
#include "host/DialogAnswers.h"
#include "host/LoopbackServer.h"
#include "host/ScriptRunner.h"
#include "host/WindowThread.h"
#include <sdbus-c++/IConnection.h>

#include "platform/com/SessionBus.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"
#include "platform/ui/Backend.h"
#include "platform/ui/TerminalBackend.h"

namespace qm::host {

namespace {

using namespace std::chrono_literals;
using platform::U8;
using platform::W;
using Clock = std::chrono::steady_clock;

bool ManagerRunning() {
  try {
    const auto connection = platform::OpenSessionBus();
    return !platform::BusNameOwner(*connection, bus::BusName, 5s).empty();
  } catch (const std::exception&) {
    return false;  // no bus: no manager either
  }
}

// What a session holds, made in order and stopped in reverse.
class TSession {
public:
  TSession(const TSessionOptions& options, tool::ToolContext& io)
      : options_(options), io_(io), transcript_(io.Out),
        deadline_(options.TimeoutSeconds > 0 ? Clock::now() + std::chrono::seconds(options.TimeoutSeconds)
                                             : Clock::now() + std::chrono::hours(24 * 365)) {}

  // Raises for what keeps the session from starting.
  void Start(platform::ui::TUiBackend& backend) {
    if (!options_.Registry.empty()) platform::SetRegistryFile(options_.Registry);
    TEngineOptions engineOptions;
    engineOptions.Name = options_.Engine;
    engineOptions.Headful = options_.Headful;
    engineOptions.OnLoadFailure = [this](const std::u16string& url, const std::string& reason) {
      transcript_.Line("problem", U8(url) + " could not be loaded: " + reason);
    };
    engine_ = MakeEngine(engineOptions);  // a bad engine name fails before anything starts
    if (!options_.Serve.empty()) {
      server_ = std::make_unique<TLoopbackServer>(options_.Serve);
      transcript_.Line("serve", server_->Root() + "  (" + options_.Serve + ")");
    }
    TLoadedHelpers helpers = LoadHelperObjectClasses();
    TLoadedHelpers toolbars = LoadToolbarClasses();
    for (const std::string& problem : helpers.Problems) io_.Err << "quillbrowse: " << problem << "\n";
    for (const std::string& problem : toolbars.Problems) io_.Err << "quillbrowse: " << problem << "\n";
    io_.Err.flush();
    InstallManagerBusLookup();
    if ((!helpers.Classes.empty() || !toolbars.Classes.empty()) && !ManagerRunning()) {
      io_.Err << "quillbrowse: " << ManagerNotRunning << "\n";
      io_.Err.flush();
    }
    previousBackend_ = platform::ui::SetBackend(&backend);
    backendSet_ = true;
    thread_ = std::make_unique<TWindowThread>();
    thread_->Call(
        [&] {
          window_ = std::make_unique<TBrowserWindow>(*engine_, helpers.Classes, transcript_, toolbars.Classes);
          window_->Open();
          thread_->SetIdleWork([this] { return window_ && engine_->Pump(window_->Browser()); });
        },
        deadline_);
  }

  // Closes the window on its thread and stops what Start started.
  void Stop() {
    if (thread_) {
      try {
        thread_->Call(
            [&] {
              thread_->SetIdleWork({});
              window_.reset();
            },
            Clock::now() + 30s);
      } catch (const ETimedOut&) {
        Abandon(1);
      }
      thread_.reset();
    }
    if (backendSet_) platform::ui::SetBackend(previousBackend_);
    backendSet_ = false;
    server_.reset();
  }

  TScriptRunner Runner(TDialogAnswerBackend* answers) {
    return TScriptRunner(*thread_, *window_, *engine_, answers, transcript_,
                         server_ ? W(server_->Root()) : std::u16string(), deadline_);
  }

  TTranscript& Transcript() { return transcript_; }
  Clock::time_point Deadline() const { return deadline_; }

  // A window thread that does not come back can't be stopped in order:
  // leave at once, with the output written.
  [[noreturn]] void Abandon(int status) {
    io_.Out.flush();
    io_.Err.flush();
    std::cout.flush();
    std::cerr.flush();
    ::_exit(status);
  }

private:
  const TSessionOptions& options_;
  tool::ToolContext& io_;
  TTranscript transcript_;
  Clock::time_point deadline_;
  std::unique_ptr<TBrowserEngine> engine_;
  std::unique_ptr<TLoopbackServer> server_;
  std::unique_ptr<TWindowThread> thread_;
  std::unique_ptr<TBrowserWindow> window_;  // made, used and destroyed on thread_
  platform::ui::TUiBackend* previousBackend_ = nullptr;
  bool backendSet_ = false;
};

// Start, then body; Stop on every way out. Failures to start are
// reported as the session's own.
template <class Body>
int WithSession(const TSessionOptions& options, tool::ToolContext& io, platform::ui::TUiBackend& backend,
                Body&& body) {
  TSession session(options, io);
  try {
    session.Start(backend);
    const int status = body(session);
    session.Stop();
    return status;
  } catch (const platform::ERegistryException& e) {
    io.Err << "quillbrowse: " << e.what() << "\n";
    session.Stop();
    return 2;
  } catch (const ETimedOut&) {
    session.Transcript().Line("fail", "timed out after " + std::to_string(options.TimeoutSeconds) + " seconds");
    session.Abandon(1);
  } catch (const platform::Exception& e) {
    io.Err << "quillbrowse: " << e.what() << "\n";
    session.Stop();
    return 1;
  }
}

}  // namespace

int RunScriptSession(const TSessionOptions& options, const std::string& scriptPath, tool::ToolContext& io) {
  const std::string text = tool::ReadInput(scriptPath, io);
  std::vector<TScriptCommand> script;
  try {
    script = ParseScript(text);
  } catch (const EScriptError& e) {
    io.Err << "quillbrowse: " << scriptPath << " " << e.what() << "\n";
    return 2;
  }
  TSessionOptions limited = options;
  if (limited.TimeoutSeconds <= 0) limited.TimeoutSeconds = DefaultScriptTimeoutSeconds;
  TDialogAnswerBackend backend;
  return WithSession(limited, io, backend, [&](TSession& session) {
    TScriptRunner runner = session.Runner(&backend);
    for (const TScriptCommand& command : script) {
      TStepResult result;
      try {
        result = runner.Run(command);
      } catch (const ETimedOut&) {
        session.Transcript().Line("fail", "line " + std::to_string(command.Line) + ": timed out after " +
                                              std::to_string(limited.TimeoutSeconds) + " seconds");
        session.Abandon(1);
      }
      if (!result.Ok) {
        session.Transcript().Line("fail", "line " + std::to_string(command.Line) + ": " + U8(result.Failure));
        return 1;
      }
      if (command.Verb == "expect") {
        session.Transcript().Line("ok", "line " + std::to_string(command.Line) + ": expect " +
                                            U8(command.Args[0]) + " held");
      }
    }
    session.Transcript().Line("done", std::to_string(script.size()) + " commands, every expectation held");
    return 0;
  });
}

int RunInteractiveSession(const TSessionOptions& options, const std::string& url, tool::ToolContext& io) {
  platform::ui::TTerminalBackend backend(io.In, io.Out);
  return WithSession(options, io, backend, [&](TSession& session) {
    TScriptRunner runner = session.Runner(nullptr);
    TScriptCommand first;
    first.Verb = "open";
    first.Args = {W(url)};
    std::vector<TScriptCommand> pending{first};
    size_t lineNo = 0;
    while (true) {
      for (const TScriptCommand& command : pending) {
        const TStepResult result = runner.Run(command);
        if (!result.Ok) io.Out << "  " << U8(result.Failure) << "\n";
        else if (command.Verb == "expect") io.Out << "  held\n";
      }
      pending.clear();
      io.Out << "quillbrowse> " << std::flush;
      std::string line;
      if (!std::getline(io.In, line)) break;
      ++lineNo;
      if (line == "quit" || line == "exit") break;
      if (line == "help") {
        io.Out << "  open URL | type SEL TEXT | choose SEL OPTION | check SEL | uncheck SEL | focus SEL |\n"
                  "  click SEL | command CAPTION [ITEM] | expect value|checked|unchecked|text|url|bound|button ... |\n"
                  "  note TEXT | quit   (SEL: #ID or name=NAME; see host/README.md)\n";
        continue;
      }
      try {
        TScriptCommand command = ParseScriptLine(line, lineNo);
        if (!command.Verb.empty()) pending.push_back(std::move(command));
      } catch (const EScriptError& e) {
        io.Out << "  " << e.what() << "\n";
      }
    }
    return 0;
  });
}

}  // namespace qm::host
