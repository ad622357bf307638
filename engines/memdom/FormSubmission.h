// What a form sends when it is submitted: the entries of its successful
// controls, encoded the way its enctype asks (urlencoded, multipart or
// plain text) in the document's character set, as the navigation request
// for its method, action and target (a submit button's form* attributes
// taking precedence).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engines/memdom/MemNavigation.h"
#include "engines/memdom/MemNode.h"

namespace qm::memdom {

class MemFormElement;

struct FormEntry {
  std::u16string Name;
  std::u16string Value;
  bool IsFile = false;  // a file input's entry (no file is ever chosen here)
};

// submitter: the control that submits, or none for form.submit().
std::vector<FormEntry> BuildEntryList(MemFormElement& form, MemElement* submitter);

// application/x-www-form-urlencoded in charset.
std::string EncodeUrlEncoded(const std::vector<FormEntry>& entries, std::u16string_view charset);

NavigationRequest BuildFormSubmission(MemFormElement& form, MemElement* submitter);

}  // namespace qm::memdom
