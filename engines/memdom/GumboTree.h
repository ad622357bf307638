// Gumbo's parse turned into the engine's tree.
//
// Gumbo runs on an allocator of our own that remembers every block, so its
// output is freed in one pass instead of by Gumbo's own (recursive) tree
// destruction; its error list is switched off, since recording an error
// copies the whole stack of open elements. The conversion walks Gumbo's
// tree with a stack of its own, never recursing.
#pragma once

#include <vector>

#include "engines/memdom/HtmlGuard.h"
#include "engines/memdom/MemNode.h"

namespace qm::memdom {

// Builds document's tree from a whole page.
void BuildDocumentTree(MemDocument& document, const GuardedHtml& html);

// Parses html as the content of parent and appends it; answers the new
// top-level elements.
std::vector<MemElement*> AppendFragment(MemDocument& document, MemElement& parent,
                                        const GuardedHtml& html);

}  // namespace qm::memdom
