// The pages of qmtool's page commands (extract, fill): an HTML file shown
// in the built-in engine together with the frames whose sources are local
// files, the transit cards of its forms as the add-on builds them, and the
// markup of a page with the values its controls hold now.
//
// What is fetched. The page's own bytes are served at the page's address:
// the file's own "file:" address, or the --url given. Frames whose address
// is a "file:" address come from the disk; with --url, frames under that
// address's folder come from the files under the page file's folder (a
// saved page keeps its frames next to it). Nothing else is fetched: such a
// frame stays an empty page. Scripts do not run (the engine has none).
//
// Everything here runs on the command's thread; a TToolPage owns its
// browser and with it every document shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Common/QMTransitUtils.h"
#include "engines/memdom/MemBrowser.h"
#include "platform/dom/PageDocument.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {

using platform::ComPtr;
using platform::PageElement;

// The header parts of a card, as the form items of the add-on name them.
inline constexpr int32_t CardPartUrl = 1;
inline constexpr int32_t CardPartMethod = 2;
inline constexpr int32_t CardPartCharset = 4;
inline constexpr int32_t CardPartFormHtml = 8;
inline constexpr int32_t CardPartsAll = 15;

struct TToolPage {
  ComPtr<memdom::MemBrowser> Browser;
  // The top document; none never (an unreadable file raises instead).
  ComPtr<memdom::MemDocument> Document;
};

// Shows the page file at path (- for standard input, whose frames are then
// looked for in the current folder) at url, or at the file's own address
// when url is empty. Raises ToolError for a file that can't be read and
// for a url that is no absolute address.
TToolPage OpenPageFile(const std::string& path, const std::string& url, ToolContext& io);

// The page's forms: the top document's in document order, then each
// frame's, depth first in frame order.
std::vector<ComPtr<PageElement>> PageForms(const TToolPage& page);

// One form's card: the header parts asked for (the action as an absolute,
// normalised address, the method, the document's character set, the
// form's markup), its "FormSysID" and its fields (ReadFormFields).
// CurrentForm stays false.
void BuildFormCard(const ComPtr<PageElement>& form, int32_t parts, TTransitFormCard& card);

// A card per form, in order; a set of exactly one card makes it the
// current form.
TTransitFormSet ReadPageForms(const std::vector<ComPtr<PageElement>>& forms, int32_t parts);

// --parts N: 0 to 15; fallback when absent. Raises ToolError otherwise.
int32_t PartsOption(const TToolArgs& args, int32_t fallback);

// The document's markup, UTF-8, with what its controls hold now written
// into it (value and checked attributes, option selected attributes,
// textarea texts) and its declared character set made UTF-8, so that the
// file shows the filled form when opened. Changes the document's markup.
std::string FilledPageMarkup(memdom::MemDocument& document);

}  // namespace qm::tool
