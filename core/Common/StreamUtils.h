// Binary stream primitives: the memory stream and the encodings that every
// exchange with the manager is built from.
//
// All integers are little-endian two's complement. A wide string is an
// int32 count n of UTF-16 code units followed by 2n bytes (the empty string
// is 00 00 00 00); a byte string ("ANSI", Windows-1252) is an int32 count
// and that many bytes. A list of wide strings is an int32 count and that
// many wide strings.
//
// Readers never read past the end and never allocate more than the bytes
// that are actually there, whatever a length prefix says. The Read*
// primitives report a short or negative read through their result only.
//
// TStreamReader / TStreamWriter are the symmetric pair a binary format is
// written with: one layout function, templated on the pair, lists the
// items once for both directions. The reader's failure is sticky: after the
// first short read every later read fails at once, so a corrupt stream ends
// quickly, and FailOffset() names the byte where reading went wrong.
//
// Not synchronised; a stream belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Common/WideStrings.h"
#include "platform/com/Guid.h"
#include "platform/com/Variant.h"

namespace qm {

class TMemoryStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}

  int64_t Size() const noexcept { return static_cast<int64_t>(data_.size()); }
  // Truncates or extends (with zero bytes); the position is kept, and may
  // then lie beyond the end.
  void SetSize(int64_t size);
  int64_t Position() const noexcept { return position_; }
  void SetPosition(int64_t position);
  int64_t Remaining() const noexcept { return position_ < Size() ? Size() - position_ : 0; }

  // Copies up to count bytes from the position; answers how many arrived.
  int64_t Read(void* buffer, int64_t count);
  // Writes at the position, extending the stream as needed.
  void Write(const void* buffer, int64_t count);
  // Makes room for count bytes at the position and moves past them; the
  // caller fills the returned bytes before the next call on the stream.
  uint8_t* WriteInPlace(int64_t count);

  const std::vector<uint8_t>& Bytes() const noexcept { return data_; }
  void Clear() noexcept {
    data_.clear();
    position_ = 0;
  }

private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

void WriteInt32(TMemoryStream& stream, int32_t value);
bool ReadInt32(TMemoryStream& stream, int32_t& value);

void WriteWideString(TMemoryStream& stream, std::u16string_view text);
// false when fewer than 4 bytes arrive or the count is negative (text
// untouched, at most the 4 bytes consumed), or when the text is short (the
// text then holds what arrived, and the stream is at its end).
bool ReadWideString(TMemoryStream& stream, std::u16string& text);

// Byte strings: raw bytes, or converted from and to Windows-1252.
void WriteAnsiString(TMemoryStream& stream, std::string_view bytes);
void WriteAnsiString(TMemoryStream& stream, std::u16string_view text);
bool ReadAnsiString(TMemoryStream& stream, std::string& bytes);
bool ReadAnsiString(TMemoryStream& stream, std::u16string& text);

void WriteWideStrings(TMemoryStream& stream, const std::vector<std::u16string>& items);
// Reads a count and that many strings; false on any short read (the items
// read so far stay). A count below 1 gives no items.
bool ReadWideStrings(TMemoryStream& stream, std::vector<std::u16string>& items);

// The whole stream as a byte array with bounds 0 and size - 1; the
// position is left at the end. Reports with StreamToVariant.
platform::Variant StreamToVariant(TMemoryStream& stream);
// Replaces the stream's content with a byte array's bytes, leaving the
// position at the end; a variant that is not an array changes nothing.
// Another kind of array raises. Reports with VariantToStream.
void VariantToStream(const platform::Variant& value, TMemoryStream& stream);

class TStreamWriter {
public:
  explicit TStreamWriter(TMemoryStream& stream) : stream_(stream) {}
  bool Ok() const noexcept { return true; }

  void Int32(const int32_t& value) { WriteInt32(stream_, value); }
  void Byte(const uint8_t& value) { stream_.Write(&value, 1); }
  void Bool8(const bool& value);
  void WideString(const std::u16string& text) { WriteWideString(stream_, text); }
  void Guid(const platform::GUID& value);
  void WideStrings(const std::vector<std::u16string>& items) { WriteWideStrings(stream_, items); }
  // The count of a collection that follows item by item.
  void Count(int32_t count) { WriteInt32(stream_, count); }

  TMemoryStream& Stream() noexcept { return stream_; }

private:
  TMemoryStream& stream_;
};

class TStreamReader {
public:
  explicit TStreamReader(TMemoryStream& stream) : stream_(stream) {}

  bool Ok() const noexcept { return failOffset_ < 0; }
  // Offset of the read that failed first, -1 while all went well.
  int64_t FailOffset() const noexcept { return failOffset_; }
  const std::u16string& FailReason() const noexcept { return failReason_; }

  bool Int32(int32_t& value);
  bool Byte(uint8_t& value);
  bool Bool8(bool& value);  // 0 is false, anything else true
  bool WideString(std::u16string& text);
  bool Guid(platform::GUID& value);
  bool WideStrings(std::vector<std::u16string>& items);
  // Reads a collection's count: a negative count reads as 0. A count whose
  // items could not fit in the bytes left (each needs at least
  // minItemBytes) fails at once, so nothing is allocated from it.
  bool Count(int32_t& count, int64_t minItemBytes);

  // Marks the stream as failed here, for checks a format adds itself.
  void Fail(std::u16string reason);

  TMemoryStream& Stream() noexcept { return stream_; }

private:
  bool Check(bool ok, int64_t start, const char16_t* reason);

  TMemoryStream& stream_;
  int64_t failOffset_ = -1;
  std::u16string failReason_;
};

}  // namespace qm
