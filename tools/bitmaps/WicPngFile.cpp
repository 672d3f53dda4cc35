// PNG encoding with WIC's encoder.
#include "tools/bitmaps/WicPngFile.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <vector>

namespace nvbmp {

namespace {

using Microsoft::WRL::ComPtr;

// COM for the length of one call. A thread that has COM already, in either apartment model,
// keeps it as it is.
class ComScope {
public:
    ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool Usable() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

HRESULT Encode(const std::wstring& path, int width, int height, std::span<const std::uint8_t> bgra) {
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr =
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    ComPtr<IWICStream> stream;
    if (SUCCEEDED(hr))
        hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    ComPtr<IWICBitmapEncoder> encoder;
    if (SUCCEEDED(hr))
        hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(options.Get());
    if (SUCCEEDED(hr))
        hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
    // The encoder may answer with the format it will take instead; a different one would need a
    // conversion this writer does not make.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(hr)) {
        // Row by row, so the copy without the fourth byte is one row long.
        const std::size_t pixels = static_cast<std::size_t>(width);
        std::vector<std::uint8_t> row(pixels * 3);
        for (int y = 0; y < height && SUCCEEDED(hr); ++y) {
            const std::uint8_t* from = bgra.data() + static_cast<std::size_t>(y) * pixels * 4;
            for (std::size_t x = 0; x < pixels; ++x) {
                row[x * 3] = from[x * 4];
                row[x * 3 + 1] = from[x * 4 + 1];
                row[x * 3 + 2] = from[x * 4 + 2];
            }
            hr = frame->WritePixels(1, static_cast<UINT>(row.size()), static_cast<UINT>(row.size()),
                                    row.data());
        }
    }
    if (SUCCEEDED(hr))
        hr = frame->Commit();
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    return hr;
}

} // namespace

HRESULT WritePngFile(const std::wstring& path, int width, int height, std::span<const std::uint8_t> bgra) {
    if (width <= 0 || height <= 0 ||
        bgra.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return E_INVALIDARG;
    const ComScope com;
    if (!com.Usable())
        return com.Result();
    // Encode releases the stream, and with it the file, before a failed one is removed.
    const HRESULT hr = Encode(path, width, height, bgra);
    if (FAILED(hr))
        DeleteFileW(path.c_str());
    return hr;
}

} // namespace nvbmp
