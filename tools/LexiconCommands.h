// The lexicon a command works with: the initial content, or the stream
// named by its --lexicon option.
#pragma once

#include "core/Common/QMLexicon.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {

// Replaces lexicon with the version-10 stream of --lexicon FILE when the
// option is given; a file that is not one whole stream raises ToolError
// naming the file and the byte.
void LoadLexiconOption(const TToolArgs& args, TLexicon& lexicon, ToolContext& io);

}  // namespace qm::tool
