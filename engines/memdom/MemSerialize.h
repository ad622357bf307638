// The texts made from a subtree: its markup (innerHTML) and its rendered
// text (innerText). Both walk the tree without recursion.
#pragma once

#include <string>

#include "engines/memdom/MemNode.h"

namespace qm::memdom {

// The children of element as HTML markup. Attribute names that markup
// can't hold (with a space, a quote, "=", "/" or ">") are left out, so
// that the markup reads back as the same elements.
std::u16string SerializeChildren(const MemElement& element);

// The text a reader sees: white space collapsed, line breaks ("\r\n") for
// br and around blocks, tabs between table cells, nothing of scripts,
// styles and templates.
std::u16string RenderedText(const MemElement& element);

}  // namespace qm::memdom
