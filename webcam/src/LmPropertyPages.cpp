// The property-page dialogs of a capture device and of its capture pin.

#include <olectl.h>

#include "webcam/src/LmMediaTypes.h"
#include "webcam/LmWebCamera.h"

using Microsoft::WRL::ComPtr;

namespace {

// Shows the pages that Object names in a modal property frame at (30, 30); false when Object
// offers no pages. The page array is freed with CoTaskMemFree.
bool ShowPropertyFrame(IUnknown* Object, HWND Owner) {
  ComPtr<ISpecifyPropertyPages> pages;
  if (Object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(pages.GetAddressOf())) != S_OK ||
      !pages)
    return false;
  CAUUID ids{};
  if (FAILED(pages->GetPages(&ids))) return true;  // nothing shown, nothing to free
  IUnknown* objects[] = {Object};
  OleCreatePropertyFrame(Owner, 30, 30, nullptr, 1, objects, ids.cElems, ids.pElems, 0, 0, nullptr);
  CoTaskMemFree(ids.pElems);
  return true;
}

}  // namespace

bool ShowFilter(IBaseFilter* Filter, HWND Owner) {
  if (!Filter) return false;
  return ShowPropertyFrame(Filter, Owner);
}

bool ShowCapturePin(ICaptureGraphBuilder2* Builder, IBaseFilter* Filter, HWND Owner, SIZE* VideoSize, GUID* SubType,
                    double* FrameRate, uint16_t* BitCount, uint32_t* Compression, uint32_t* BitRate) {
  const ComPtr<IAMStreamConfig> config = lm::FindStreamConfig(Builder, Filter);
  if (!config) return false;
  // The pin's format is read back whether or not it had pages to show: it knows its format.
  ShowPropertyFrame(config.Get(), Owner);

  lm::OwnedMediaType format;
  if (config->GetFormat(format.Receive()) != S_OK) return true;
  if (const VIDEOINFOHEADER* vih = lm::VideoInfo(format.Get())) {
    *VideoSize = SIZE{vih->bmiHeader.biWidth, vih->bmiHeader.biHeight};
    *SubType = format.Get()->subtype;
    lm::RateOf(vih->AvgTimePerFrame, *FrameRate);
    *BitCount = vih->bmiHeader.biBitCount;
    *Compression = vih->bmiHeader.biCompression;
    *BitRate = vih->dwBitRate;
  }
  return true;
}
