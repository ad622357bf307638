// The script the engine runs in an isolated world of every document: it
// keeps stable element numbers, answers the mirror of the document's forms
// and controls in one call, applies batches of writes as a user's edits
// would, and reports the page's events through the binding.
//
// Calls (Runtime.callFunctionOn in the world, one argument array):
//   ["snap", force]        the mirror as JSON text, or 0 when it is the same
//                          as the one answered last (force: answer anyway)
//   ["apply", ops]         writes, in order; see PageScript.cpp
//   ["describe", id]       one element that the mirror does not hold
//   ["list", tag]          ids and tag names of every element (tag "": all)
//   ["click", id], ["submit", id], ["text", id], ["html", id],
//   ["active"], ["frameOf", id]
//   ["focus", id, caret]   focuses the element (caret "all": its text
//                          selected, "end": after it); 1 when it holds
//                          the focus
// Every text that leaves the page is made well formed first, so a page's
// unpaired surrogates never reach the JSON reader.
#pragma once

#include <string>

namespace qm::chromium {

// The world the script runs in and the binding it reports through.
inline constexpr char PageWorldName[] = "quillmate";
inline constexpr char PageBindingName[] = "__quillmateEvent";

// The script's source, ready for Page.addScriptToEvaluateOnNewDocument.
const std::string& PageScriptSource();

// The function every call goes through.
inline constexpr char PageCallFunction[] =
    "function(a){return globalThis.__quillmate.call(a)}";

}  // namespace qm::chromium
