#include "platform/win32/wic_png.h"

#include <objbase.h>
#include <wincodec.h>

#include <vector>

namespace tw::win32 {
namespace {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_ != nullptr) p_->Release();
    }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    T** Out() { return &p_; }

private:
    T* p_ = nullptr;
};

// COM as the thread has it: started here only if nobody has, ended likewise.
class ComScope {
public:
    ComScope() : started_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (started_) ::CoUninitialize();
    }

private:
    bool started_;
};

}  // namespace

std::optional<Bitmap> DecodePng(std::span<const std::uint8_t> png) {
    if (png.empty() || png.size() > 0xFFFFFFFFu) return std::nullopt;
    ComScope com;
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    // The stream only reads the bytes, whatever its signature says.
    auto* bytes = const_cast<BYTE*>(reinterpret_cast<const BYTE*>(png.data()));
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.Out()))) ||
        FAILED(factory->CreateStream(stream.Out())) ||
        FAILED(stream->InitializeFromMemory(bytes, static_cast<DWORD>(png.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Out())) ||
        FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(factory->CreateFormatConverter(converter.Out())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 ||
        !WithinPixelCap(width, height)) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> bgrx(std::size_t{width} * height);
    if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgrx.size() * 4),
                                     reinterpret_cast<BYTE*>(bgrx.data())))) {
        return std::nullopt;
    }
    std::vector<Colour> pixels;
    pixels.reserve(bgrx.size());
    // Read as 0x00RRGGBB; Colour is 0x00BBGGRR.
    for (const std::uint32_t p : bgrx) pixels.push_back(FromXrgb(p));
    return Bitmap(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), std::move(pixels));
}

}  // namespace tw::win32
