#include "engines/memdom/FormSubmission.h"

#include <atomic>

#include "engines/memdom/HtmlCharset.h"
#include "engines/memdom/MemDocument.h"
#include "engines/memdom/MemElements.h"
#include "platform/rtl/Utf.h"

namespace qm::memdom {
namespace {

std::u16string CrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      out += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out += u"\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool InDisabledFieldset(const MemElement& control) {
  for (const MemElement* e = control.Parent(); e != nullptr; e = e->Parent()) {
    if (e->Is(ElementKind::Fieldset) && e->IsDisabled()) return true;
  }
  return false;
}

void AddInput(std::vector<FormEntry>& entries, MemInputElement& input, MemElement* submitter,
              const std::u16string& charset) {
  const std::u16string type = input.type();
  const std::u16string name = input.name();
  if (type == u"image") {
    if (submitter != &input) return;
    const std::u16string prefix = name.empty() ? u"" : name + u".";
    entries.push_back({prefix + u"x", u"0"});
    entries.push_back({prefix + u"y", u"0"});
    return;
  }
  if (name.empty()) return;
  if (type == u"submit") {
    if (submitter == &input) entries.push_back({name, input.value()});
    return;
  }
  if (type == u"reset" || type == u"button") return;
  if ((type == u"checkbox" || type == u"radio") && !input.checked()) return;
  if (type == u"file") {
    entries.push_back({name, u"", true});
    return;
  }
  if (type == u"hidden" && EqualsIgnoringAsciiCase(name, u"_charset_") &&
      !input.HasAttribute(u"value")) {
    entries.push_back({name, charset});
    return;
  }
  entries.push_back({name, input.value()});
}

// The charset a form encodes in: its first accept-charset label that a
// converter knows, else the document's.
std::u16string FormCharset(MemFormElement& form) {
  const std::u16string accept = form.AttributeText(u"accept-charset");
  size_t start = 0;
  while (start <= accept.size()) {
    size_t end = start;
    while (end < accept.size() && !IsHtmlSpace(accept[end]) && accept[end] != u',')
      ++end;
    const std::u16string known = CanonicalCharset(accept.substr(start, end - start));
    if (!known.empty()) return known;
    start = end + 1;
  }
  MemDocument* document = form.OwnerDocument();
  return document != nullptr ? document->charset() : u"utf-8";
}

void AppendUrlEncoded(std::string& out, std::string_view bytes) {
  static constexpr char hex[] = "0123456789ABCDEF";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*' ||
        c == '-' || c == '.' || c == '_') {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
}

std::string MultipartName(std::u16string_view name, std::u16string_view charset) {
  std::string out;
  for (const char c : EncodeInCharset(name, charset)) {
    if (c == '"') {
      out += "%22";
    } else if (c == '\r') {
      out += "%0D";
    } else if (c == '\n') {
      out += "%0A";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string NewBoundary() {
  static std::atomic<uint64_t> counter{0x5157'6d46'6f72'6d00ULL};
  const uint64_t n = counter.fetch_add(0x9E37'79B9'7F4A'7C15ULL);
  static constexpr char hex[] = "0123456789abcdef";
  std::string boundary = "----QuillmateFormBoundary";
  for (int shift = 60; shift >= 0; shift -= 4)
    boundary.push_back(hex[(n >> shift) & 15]);
  return boundary;
}

std::string EncodeMultipart(const std::vector<FormEntry>& entries, std::u16string_view charset,
                            const std::string& boundary) {
  std::string out;
  for (const FormEntry& e : entries) {
    out += "--" + boundary + "\r\n";
    out += "Content-Disposition: form-data; name=\"" + MultipartName(e.Name, charset) + "\"";
    if (e.IsFile) {
      out += "; filename=\"\"\r\nContent-Type: application/octet-stream\r\n\r\n\r\n";
      continue;
    }
    out += "\r\n\r\n" + EncodeInCharset(e.Value, charset) + "\r\n";
  }
  out += "--" + boundary + "--\r\n";
  return out;
}

std::string EncodePlainText(const std::vector<FormEntry>& entries, std::u16string_view charset) {
  std::string out;
  for (const FormEntry& e : entries) {
    out += EncodeInCharset(e.Name, charset) + "=" + EncodeInCharset(e.Value, charset) + "\r\n";
  }
  return out;
}

std::u16string Attribute(MemElement& form, MemElement* submitter, std::u16string_view formName,
                         std::u16string_view submitterName) {
  if (submitter != nullptr && submitter->HasAttribute(submitterName)) {
    return submitter->AttributeText(submitterName);
  }
  return form.AttributeText(formName);
}

// action with its query replaced by query (the fragment stays).
std::u16string WithQuery(const std::u16string& action, const std::string& query) {
  std::u16string url = action;
  std::u16string fragment;
  const size_t hash = url.find(u'#');
  if (hash != std::u16string::npos) {
    fragment = url.substr(hash);
    url.resize(hash);
  }
  const size_t question = url.find(u'?');
  if (question != std::u16string::npos) url.resize(question);
  return url + u"?" + platform::W(query) + fragment;
}

}  // namespace

std::vector<FormEntry> BuildEntryList(MemFormElement& form, MemElement* submitter) {
  std::vector<FormEntry> entries;
  MemDocument* document = form.OwnerDocument();
  if (document == nullptr) return entries;
  const std::u16string charset = FormCharset(form);
  const std::vector<MemElement*> controls = document->FormControls(form);
  for (MemElement* control : controls) {
    if (control->IsDisabled() || InDisabledFieldset(*control)) continue;
    if (control->Is(ElementKind::Input)) {
      AddInput(entries, static_cast<MemInputElement&>(*control), submitter, charset);
    } else if (control->Is(ElementKind::Button)) {
      auto& button = static_cast<MemButtonElement&>(*control);
      if (control == submitter && !button.name().empty()) {
        entries.push_back({button.name(), button.value()});
      }
    } else if (control->Is(ElementKind::Select)) {
      auto& select = static_cast<MemSelectElement&>(*control);
      const std::u16string name = select.name();
      if (name.empty()) continue;
      for (MemOptionElement* option : select.Options()) {
        if (option->Selected() && !option->Disabled()) entries.push_back({name, option->value()});
      }
    } else if (control->Is(ElementKind::TextArea)) {
      auto& area = static_cast<MemTextAreaElement&>(*control);
      if (!area.name().empty()) entries.push_back({area.name(), area.value()});
    }
  }
  for (FormEntry& e : entries) {
    e.Name = CrLf(e.Name);
    e.Value = CrLf(e.Value);
  }
  return entries;
}

std::string EncodeUrlEncoded(const std::vector<FormEntry>& entries, std::u16string_view charset) {
  std::string out;
  for (const FormEntry& e : entries) {
    if (!out.empty()) out.push_back('&');
    AppendUrlEncoded(out, EncodeInCharset(e.Name, charset));
    out.push_back('=');
    AppendUrlEncoded(out, EncodeInCharset(e.Value, charset));
  }
  return out;
}

NavigationRequest BuildFormSubmission(MemFormElement& form, MemElement* submitter) {
  NavigationRequest request;
  MemDocument* document = form.OwnerDocument();
  if (document == nullptr) return request;
  const std::vector<FormEntry> entries = BuildEntryList(form, submitter);
  const std::u16string charset = FormCharset(form);
  const std::u16string action = Attribute(form, submitter, u"action", u"formaction");
  request.Url = action.empty() ? document->url() : document->ResolveUrl(action);
  request.Method =
      EqualsIgnoringAsciiCase(Attribute(form, submitter, u"method", u"formmethod"), u"post")
          ? u"post"
          : u"get";
  request.Target = Attribute(form, submitter, u"target", u"formtarget");
  if (request.Method == u"get") {
    request.Url = WithQuery(request.Url, EncodeUrlEncoded(entries, charset));
    return request;
  }
  const std::u16string enctype = AsciiLower(Attribute(form, submitter, u"enctype", u"formenctype"));
  std::string body;
  std::string contentType;
  if (enctype == u"multipart/form-data") {
    const std::string boundary = NewBoundary();
    body = EncodeMultipart(entries, charset, boundary);
    contentType = "multipart/form-data; boundary=" + boundary;
  } else if (enctype == u"text/plain") {
    body = EncodePlainText(entries, charset);
    contentType = "text/plain";
  } else {
    body = EncodeUrlEncoded(entries, charset);
    contentType = "application/x-www-form-urlencoded";
  }
  request.PostData.assign(body.begin(), body.end());
  request.Headers = platform::W("Content-Type: " + contentType + "\r\n");
  return request;
}

}  // namespace qm::memdom
