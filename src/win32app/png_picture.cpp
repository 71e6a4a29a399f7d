// clang-format off
#include "png_picture.h"

#include <objbase.h>
// The imaging component's GUIDs are defined here, not taken from a library.
#include <initguid.h>
#include <wincodec.h>
// clang-format on

#include <vector>

namespace tarnwick::win32 {
namespace {

// Releases a COM interface when the scope ends.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_ != nullptr) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM for the calling thread while the scope lasts; a thread that has it already keeps it.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT result_;
};

}  // namespace

std::optional<std::string> EncodePng(HBITMAP bitmap) {
  const ComScope com;
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out())))) {
    return std::nullopt;
  }
  Com<IWICBitmap> source;
  if (FAILED(
          factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, source.out()))) {
    return std::nullopt;
  }
  UINT width = 0;
  UINT height = 0;
  if (FAILED(source->GetSize(&width, &height)) || width == 0 || height == 0) return std::nullopt;

  // The file is made in memory: the caller writes it where and how it must.
  Com<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out()))) return std::nullopt;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.out(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format))) {
    return std::nullopt;
  }
  // The encoder may want another layout than the bitmap's: a converter gives it that one.
  Com<IWICFormatConverter> converter;
  IWICBitmapSource* pixels = source.get();
  WICPixelFormatGUID have{};
  if (FAILED(source->GetPixelFormat(&have))) return std::nullopt;
  if (have != format) {
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(source.get(), format, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom))) {
      return std::nullopt;
    }
    pixels = converter.get();
  }
  if (FAILED(frame->WriteSource(pixels, nullptr)) || FAILED(frame->Commit()) ||
      FAILED(encoder->Commit())) {
    return std::nullopt;
  }

  STATSTG stat{};
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return std::nullopt;
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  LARGE_INTEGER start{};
  ULONG read = 0;
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)) ||
      read != bytes.size()) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace tarnwick::win32
