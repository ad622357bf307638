#include "core/Common/StreamUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "platform/rtl/CodePage.h"

namespace qm {
namespace {

void CheckCount(int64_t count) {
  if (count < 0) throw Exception(u"Negative stream count");
}

// Reads a length prefix; answers the length or -1 for a short or negative
// prefix (the text untouched in that case).
int64_t ReadLength(TMemoryStream& stream) {
  int32_t n = 0;
  if (!ReadInt32(stream, n) || n < 0) return -1;
  return n;
}

}  // namespace

void TMemoryStream::SetSize(int64_t size) {
  CheckCount(size);
  data_.resize(static_cast<size_t>(size));
}

void TMemoryStream::SetPosition(int64_t position) {
  if (position < 0) throw Exception(u"Stream position before the start");
  position_ = position;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t n = std::min(count, Remaining());
  if (n > 0) std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return;
  std::memcpy(WriteInPlace(count), buffer, static_cast<size_t>(count));
}

uint8_t* TMemoryStream::WriteInPlace(int64_t count) {
  CheckCount(count);
  const int64_t end = position_ + count;
  if (end > Size()) data_.resize(static_cast<size_t>(end));
  uint8_t* at = data_.data() + position_;
  position_ = end;
  return at;
}

void WriteInt32(TMemoryStream& stream, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                            static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
  stream.Write(bytes, 4);
}

bool ReadInt32(TMemoryStream& stream, int32_t& value) {
  uint8_t bytes[4];
  if (stream.Read(bytes, 4) != 4) return false;
  value = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) |
                               static_cast<uint32_t>(bytes[1]) << 8 |
                               static_cast<uint32_t>(bytes[2]) << 16 |
                               static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

void WriteWideString(TMemoryStream& stream, std::u16string_view text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw Exception(u"Text too long for a stream");
  }
  WriteInt32(stream, static_cast<int32_t>(text.size()));
  if (text.empty()) return;
  uint8_t* bytes = stream.WriteInPlace(static_cast<int64_t>(text.size() * 2));
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(bytes, text.data(), text.size() * 2);  // the stream's own byte order
    return;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(text[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}

bool ReadWideString(TMemoryStream& stream, std::u16string& text) {
  const int64_t n = ReadLength(stream);
  if (n < 0) return false;
  // Allocate only what is really there: a huge prefix on a short stream
  // must not reserve gigabytes.
  const int64_t units = std::min(n, stream.Remaining() / 2);
  // Straight from the stream's bytes: a transit set is thousands of short
  // strings, and a copy in between doubles their allocations.
  text.resize(static_cast<size_t>(units));
  if (units > 0) {
    const uint8_t* bytes = stream.Bytes().data() + stream.Position();
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(text.data(), bytes, static_cast<size_t>(units) * 2);
    } else {
      for (int64_t i = 0; i < units; ++i) {
        text[static_cast<size_t>(i)] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
      }
    }
    stream.SetPosition(stream.Position() + units * 2);
  }
  if (units < n) {
    stream.SetPosition(std::max(stream.Position(), stream.Size()));  // a short read takes the rest
    return false;
  }
  return true;
}

void WriteAnsiString(TMemoryStream& stream, std::string_view bytes) {
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw Exception(u"Text too long for a stream");
  }
  WriteInt32(stream, static_cast<int32_t>(bytes.size()));
  stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void WriteAnsiString(TMemoryStream& stream, std::u16string_view text) {
  WriteAnsiString(stream, std::string_view(platform::WideToAnsi(text)));
}

bool ReadAnsiString(TMemoryStream& stream, std::string& bytes) {
  const int64_t n = ReadLength(stream);
  if (n < 0) return false;
  const int64_t available = std::min(n, stream.Remaining());
  bytes.assign(static_cast<size_t>(available), '\0');
  stream.Read(bytes.data(), available);
  return available == n;
}

bool ReadAnsiString(TMemoryStream& stream, std::u16string& text) {
  const int64_t start = stream.Position();
  const int64_t n = ReadLength(stream);
  if (n < 0) return false;  // text untouched, as for wide strings
  stream.SetPosition(start);
  std::string bytes;
  const bool ok = ReadAnsiString(stream, bytes);
  text = platform::AnsiToWide(bytes);
  return ok;
}

void WriteWideStrings(TMemoryStream& stream, const std::vector<std::u16string>& items) {
  if (items.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw Exception(u"List too long for a stream");
  }
  WriteInt32(stream, static_cast<int32_t>(items.size()));
  for (const auto& item : items) WriteWideString(stream, item);
}

bool ReadWideStrings(TMemoryStream& stream, std::vector<std::u16string>& items) {
  TStreamReader reader(stream);
  return reader.WideStrings(items);
}

platform::Variant StreamToVariant(TMemoryStream& stream) {
  return Reported(loc::StreamToVariant, [&] {
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
    stream.SetPosition(0);
    stream.Read(bytes.data(), stream.Size());
    return platform::Variant::FromBytes(std::move(bytes), 0);
  });
}

void VariantToStream(const platform::Variant& value, TMemoryStream& stream) {
  Reported(loc::VariantToStream, [&] {
    if (!value.IsArray()) return;
    const platform::ByteArray& array = value.AsByteArray();
    stream.SetSize(0);
    stream.SetPosition(0);
    stream.Write(array.Items.data(), static_cast<int64_t>(array.Items.size()));
  });
}

void TStreamWriter::Bool8(const bool& value) {
  const uint8_t b = value ? 1 : 0;
  stream_.Write(&b, 1);
}

void TStreamWriter::Guid(const platform::GUID& value) {
  uint8_t bytes[platform::GuidByteSize];
  platform::GuidToBytes(value, bytes);
  stream_.Write(bytes, sizeof bytes);
}

bool TStreamReader::Check(bool ok, int64_t start, const char16_t* reason) {
  if (!ok && Ok()) {
    failOffset_ = start;
    failReason_ = reason;
  }
  return ok;
}

void TStreamReader::Fail(std::u16string reason) {
  if (!Ok()) return;
  failOffset_ = stream_.Position();
  failReason_ = std::move(reason);
}

bool TStreamReader::Int32(int32_t& value) {
  if (!Ok()) return false;
  const int64_t start = stream_.Position();
  return Check(ReadInt32(stream_, value), start, u"short integer");
}

bool TStreamReader::Byte(uint8_t& value) {
  if (!Ok()) return false;
  const int64_t start = stream_.Position();
  return Check(stream_.Read(&value, 1) == 1, start, u"short byte");
}

bool TStreamReader::Bool8(bool& value) {
  uint8_t b = 0;
  if (!Byte(b)) return false;
  value = b != 0;
  return true;
}

bool TStreamReader::WideString(std::u16string& text) {
  if (!Ok()) return false;
  const int64_t start = stream_.Position();
  int32_t n = 0;
  if (!ReadInt32(stream_, n)) return Check(false, start, u"short string length");
  if (n < 0) return Check(false, start, u"negative string length");
  stream_.SetPosition(start);
  return Check(ReadWideString(stream_, text), start, u"short string");
}

bool TStreamReader::Guid(platform::GUID& value) {
  if (!Ok()) return false;
  const int64_t start = stream_.Position();
  uint8_t bytes[platform::GuidByteSize];
  if (!Check(stream_.Read(bytes, sizeof bytes) == sizeof bytes, start, u"short GUID")) {
    return false;
  }
  value = platform::GuidFromBytes(bytes);
  return true;
}

bool TStreamReader::Count(int32_t& count, int64_t minItemBytes) {
  if (!Ok()) return false;
  const int64_t start = stream_.Position();
  if (!Int32(count)) return false;
  if (count < 0) count = 0;
  if (minItemBytes > 0 && static_cast<int64_t>(count) > stream_.Remaining() / minItemBytes) {
    return Check(false, start, u"count larger than the data");
  }
  return true;
}

bool TStreamReader::WideStrings(std::vector<std::u16string>& items) {
  int32_t count = 0;
  if (!Count(count, 4)) return false;
  for (int32_t i = 0; i < count; ++i) {
    std::u16string item;
    if (!WideString(item)) return false;
    items.push_back(std::move(item));
  }
  return true;
}

}  // namespace qm
