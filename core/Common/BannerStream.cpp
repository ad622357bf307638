#include "core/Common/BannerStream.h"

#include "core/Common/StreamUtils.h"

namespace qm {
namespace {

// The bytes of a byte-array variant as a stream; nullopt for any other kind.
std::optional<TMemoryStream> StreamOf(const platform::Variant& value) {
  if (value.GetKind() != platform::Variant::Kind::ByteArray) return std::nullopt;
  return TMemoryStream(value.AsByteArray().Items);
}

bool SideInRange(int32_t side) {
  return side >= 1 && side <= MaxBannerSide;
}

}  // namespace

platform::Variant BannerRequestStream(const TBannerRequest& request) {
  TMemoryStream stream;
  WriteInt32(stream, request.Width);
  WriteInt32(stream, request.Height);
  return StreamToVariant(stream);
}

std::optional<TBannerRequest> ReadBannerRequest(const platform::Variant& value) {
  std::optional<TMemoryStream> stream = StreamOf(value);
  if (!stream) return std::nullopt;
  TStreamReader reader(*stream);
  TBannerRequest request;
  reader.Int32(request.Width);
  reader.Int32(request.Height);
  if (!reader.Ok() || stream->Remaining() != 0) return std::nullopt;
  if (!SideInRange(request.Width) || !SideInRange(request.Height)) return std::nullopt;
  return request;
}

platform::Variant BannerStream(const TBanner& banner) {
  TMemoryStream stream;
  WriteWideString(stream, banner.Link);
  WriteWideString(stream, banner.Text);
  return StreamToVariant(stream);
}

std::optional<TBanner> ReadBanner(const platform::Variant& value) {
  std::optional<TMemoryStream> stream = StreamOf(value);
  if (!stream || stream->Size() == 0) return std::nullopt;
  TStreamReader reader(*stream);
  TBanner banner;
  reader.WideString(banner.Link);
  reader.WideString(banner.Text);
  if (!reader.Ok() || stream->Remaining() != 0) return std::nullopt;
  return banner;
}

}  // namespace qm
