// Runs script commands in one browser window, the way a person would act,
// and writes what happened to the transcript.
//
// Each command is carried out on the window's thread: the gesture, then
// everything it set off (loads, the add-on's page processing, dialogs)
// until the window is quiet. After each command the dialogs and messages
// shown meanwhile go to the transcript, with the fields the add-on filled.
//
// Run answers what became of the command: done, or failed with a sentence
// naming what was expected and what was there (an expectation that did not
// hold, an element that no selector found, an option or caption not
// there). A command whose work outlives the deadline raises ETimedOut.
//
// The runner lives on the host's main thread; its window thread and window
// must outlive it.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "host/BrowserEngine.h"
#include "host/BrowserWindow.h"
#include "host/DialogAnswers.h"
#include "host/Script.h"
#include "host/Transcript.h"
#include "host/WindowThread.h"

namespace qm::host {

struct TStepResult {
  bool Ok = true;
  std::u16string Failure;  // what was expected and what was there
};

class TScriptRunner {
public:
  // answers: the scripted backend of this session, or null when a person
  // answers at the terminal (then `answer` and `expect message` are not
  // available). serveRoot: what "{serve}" stands for (empty: no server).
  TScriptRunner(TWindowThread& thread, TBrowserWindow& window, TBrowserEngine& engine,
                TDialogAnswerBackend* answers, TTranscript& transcript, std::u16string serveRoot,
                std::chrono::steady_clock::time_point deadline);

  TStepResult Run(const TScriptCommand& command);

private:
  TStepResult RunOnWindow(const TScriptCommand& command);
  TStepResult Expect(const TScriptCommand& command);
  // Presses the toolbar button (or its menu's item) of that caption.
  TStepResult Command(const std::u16string& caption, const std::u16string& item);
  // The transcript of the dialogs and messages shown since the last call.
  void ReportJournal();
  ComPtr<PageElement> Find(const std::u16string& selector, std::u16string& failure);
  // The engine's click, with a note when it could not be a person's.
  void Click(const std::u16string& selector, const ComPtr<PageElement>& element);

  TWindowThread& thread_;
  TBrowserWindow& window_;
  TBrowserEngine& engine_;
  TDialogAnswerBackend* answers_;
  TTranscript& transcript_;
  std::u16string serveRoot_;
  std::chrono::steady_clock::time_point deadline_;
  size_t journalShown_ = 0;    // journal entries already in the transcript
  size_t messagesChecked_ = 0;  // journal entries before the last `expect message`
};

}  // namespace qm::host
