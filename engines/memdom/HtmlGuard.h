// The guard between a page's bytes and the parser.
//
// Gumbo (Debian's 0.10.1) has no limit on tree depth, and its tree builder
// walks the whole stack of open elements for many tags and the whole list
// of attributes for each attribute, so a page nested 100,000 deep or a tag
// with 100,000 attributes takes minutes, and its recursive tree
// destruction can exhaust the stack. The guard reads the page once with a
// small model of the tokenizer and of the tree builder's stack (implied
// end tags, tables, selects, foreign content, the list of active formatting
// elements that the builder reopens) and rewrites only what goes too far:
//
// - where the stack would grow past MaxDepth, it inserts end tags first, so
//   the new element becomes a sibling instead of a child, as browsers do
//   with too deep trees;
// - a tag's attributes past MaxAttributes are dropped;
// - formatting elements the builder would reopen (clone) before new content
//   are ended first when there are more than MaxReopen of them, or when the
//   page has used up its budget of reopened elements (a quarter of its
//   size): otherwise a few bytes per paragraph can make millions of
//   elements.
//
// Pages within the limits pass unchanged. The model is an approximation: it
// bounds what the parser sees, it doesn't predict the parser's tree.
//
// It also notes, in the text it hands on, where each form that the parser
// will honour starts and where its end tag (or the text's end) closes it.
// The parser links controls inside that span to the form even when they are
// not its descendants (a form opened inside a table), and Gumbo's tree
// doesn't show that link.
//
// Pure function of its input; thread safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qm::memdom {

struct GuardLimits {
  size_t MaxDepth = 512;
  size_t MaxAttributes = 512;
  // Formatting elements the builder may reopen at one point.
  size_t MaxReopen = 64;
};

struct FormSpan {
  size_t Start;  // offset of the form's "<" in Text
  size_t End;    // offset of its end tag's "<", or Text's size
};

struct GuardedHtml {
  std::string Text;
  std::vector<FormSpan> FormSpans;  // in order, not overlapping
  bool Limited = false;             // the guard rewrote something
};

GuardedHtml GuardHtml(std::string_view utf8, const GuardLimits& limits = {});

}  // namespace qm::memdom
