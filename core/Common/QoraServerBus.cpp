#include "core/Common/QoraServerBus.h"

#include <sdbus-c++/sdbus-c++.h>

#include <cstring>
#include <string_view>

#include "platform/com/SessionBus.h"
#include "platform/rtl/Utf.h"

namespace qm::bus {

using platform::EOleSysError;
using platform::Utf8ToUtf16;

namespace {

String Number(size_t n) {
  return Utf8ToUtf16(std::to_string(n));
}

String Describe(Place at) {
  return String(at.Reply ? u"Result " : u"Argument ") + Number(static_cast<size_t>(at.Position)) +
         u" of " + Utf8ToUtf16(at.Operation);
}

[[noreturn]] void Refuse(Place at, const String& why) {
  throw EOleSysError(Describe(at) + u" " + why, platform::E_INVALIDARG);
}

void CheckCap(Place at, size_t size, size_t cap, const char16_t* unit) {
  if (size > cap) {
    Refuse(at, u"is too big: " + Number(size) + u" " + unit + u", at most " + Number(cap));
  }
}

// D-Bus strings are UTF-8 without NUL; a NUL would silently cut the text
// short, so it travels as U+FFFD like the unpaired surrogates do.
std::string ToWireText(const String& text, Place at) {
  CheckCap(at, text.size(), MaxTextBytes, u"bytes of text");  // never fewer bytes than units
  std::string utf8;
  if (text.find(u'\0') == String::npos) {
    utf8 = platform::Utf16ToUtf8(text);
  } else {
    String clean = text;
    for (char16_t& c : clean) {
      if (c == u'\0') c = 0xFFFD;
    }
    utf8 = platform::Utf16ToUtf8(clean);
  }
  CheckCap(at, utf8.size(), MaxTextBytes, u"bytes of text");
  return utf8;
}

String FromWireText(const char* utf8, Place at) {
  const size_t size = utf8 == nullptr ? 0 : std::strlen(utf8);
  CheckCap(at, size, MaxTextBytes, u"bytes of text");
  return Utf8ToUtf16(std::string_view(utf8 == nullptr ? "" : utf8, size));
}

void WriteStream(sdbus::Message& m, const Variant& value, Place at) {
  if (value.IsEmptyOrNull()) {
    platform::AppendByteArray(m, {});
    return;
  }
  if (value.GetKind() != Variant::Kind::ByteArray) Refuse(at, u"must be a byte array");
  const auto& items = value.AsByteArray().Items;
  CheckCap(at, items.size(), MaxStreamBytes, u"bytes");
  platform::AppendByteArray(m, items);
}

void WriteList(sdbus::Message& m, const Variant& value, Place at) {
  std::vector<std::string> items;
  if (value.GetKind() == Variant::Kind::StringArray) {
    const auto& texts = value.AsStringArray().Items;
    CheckCap(at, texts.size(), MaxListItems, u"items");
    items.reserve(texts.size());
    for (const String& text : texts)
      items.push_back(ToWireText(text, at));
  } else if (value.GetKind() == Variant::Kind::VariantArray) {
    const auto& elements = value.AsVariantArray().Items;
    CheckCap(at, elements.size(), MaxListItems, u"items");
    items.reserve(elements.size());
    for (const Variant& element : elements) {
      if (element.IsArray() || element.GetKind() == Variant::Kind::Unknown) {
        Refuse(at, u"must be a list of texts");
      }
      items.push_back(ToWireText(element.ToText(), at));
    }
  } else if (!value.IsEmptyOrNull()) {
    Refuse(at, u"must be a list of texts");
  }
  m.openContainer("s");
  for (const std::string& item : items)
    m << item;
  m.closeContainer();
}

Variant ReadList(sdbus::Message& m, Place at) {
  std::vector<String> items;
  if (!m.enterContainer("s")) Refuse(at, u"is missing");
  while (true) {
    char* item = nullptr;
    m >> item;
    if (!m) break;
    if (items.size() == MaxListItems) {
      Refuse(at, u"has too many items: more than " + Number(MaxListItems));
    }
    items.push_back(FromWireText(item, at));
  }
  m.clearFlags();
  m.exitContainer();
  if (items.empty()) return {};
  return Variant::FromStrings(std::move(items));
}

}  // namespace

const char* WireSignature(Wire wire) noexcept {
  switch (wire) {
    case Wire::Text:
      return "s";
    case Wire::Int32:
      return "i";
    case Wire::Bool:
      return "b";
    case Wire::Stream:
      return "ay";
    case Wire::List:
      return "as";
  }
  return "";
}

template <>
void WriteValue<Wire::Text>(sdbus::Message& m, const String& text, Place at) {
  platform::BusGuarded([&] { m << ToWireText(text, at); });
}

template <>
void WriteValue<Wire::Int32>(sdbus::Message& m, const int32_t& value, Place) {
  platform::BusGuarded([&] { m << value; });
}

template <>
void WriteValue<Wire::Bool>(sdbus::Message& m, const bool& value, Place) {
  platform::BusGuarded([&] { m << value; });
}

template <>
void WriteValue<Wire::Stream>(sdbus::Message& m, const Variant& value, Place at) {
  platform::BusGuarded([&] { WriteStream(m, value, at); });
}

template <>
void WriteValue<Wire::List>(sdbus::Message& m, const Variant& value, Place at) {
  platform::BusGuarded([&] { WriteList(m, value, at); });
}

template <>
void ReadValue<Wire::Text>(sdbus::Message& m, String& text, Place at) {
  platform::BusGuarded([&] {
    char* item = nullptr;
    m >> item;
    if (!m) Refuse(at, u"is missing");
    text = FromWireText(item, at);
  });
}

template <>
void ReadValue<Wire::Int32>(sdbus::Message& m, int32_t& value, Place at) {
  platform::BusGuarded([&] {
    m >> value;
    if (!m) Refuse(at, u"is missing");
  });
}

template <>
void ReadValue<Wire::Bool>(sdbus::Message& m, bool& value, Place at) {
  platform::BusGuarded([&] {
    m >> value;
    if (!m) Refuse(at, u"is missing");
  });
}

template <>
void ReadValue<Wire::Stream>(sdbus::Message& m, Variant& value, Place at) {
  platform::BusGuarded([&] {
    const auto bytes = platform::ReadByteArray(m);
    CheckCap(at, bytes.size(), MaxStreamBytes, u"bytes");
    value = bytes.empty() ? Variant() : Variant::FromBytes({bytes.begin(), bytes.end()});
  });
}

template <>
void ReadValue<Wire::List>(sdbus::Message& m, Variant& value, Place at) {
  platform::BusGuarded([&] { value = ReadList(m, at); });
}

void ExpectSignature(sdbus::Message& message, const std::string& expected, const char* what,
                     const char* operation) {
  const std::string actual = platform::MessageSignature(message);
  if (actual != expected) {
    throw EOleSysError(Utf8ToUtf16(std::string(what) + " " + operation + " carries '" + actual +
                                   "', expecting '" + expected + "'"),
                       platform::E_INVALIDARG);
  }
}

}  // namespace qm::bus
