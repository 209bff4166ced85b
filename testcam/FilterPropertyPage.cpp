#include "testcam/FilterPropertyPage.h"

#include <dvdmedia.h>

#include <cwchar>
#include <new>

#include "testcam/Capabilities.h"
#include "testcam/CaptureFilter.h"
#include "testcam/ComObject.h"
#include "testcam/LmTestCam.h"
#include "testcam/MediaType.h"

using Microsoft::WRL::ComPtr;

namespace lmcam {

std::wstring DescribeVideoType(const AM_MEDIA_TYPE& Type) {
  const BITMAPINFOHEADER* bmi = BitmapOf(Type);
  if (!bmi) return L"(unknown format)";
  const REFERENCE_TIME interval = FrameIntervalOf(Type);
  wchar_t text[128];
  std::swprintf(text, 128, L"%ld x %ld %ls%ls, %.2f frames/s", static_cast<long>(bmi->biWidth),
                static_cast<long>(bmi->biHeight), SubTypeName(Type.subtype),
                IsEqualGUID(Type.formattype, FORMAT_VideoInfo2) ? L" (VideoInfo2)" : L"",
                interval > 0 ? 10000000.0 / static_cast<double>(interval) : 0.0);
  return text;
}

HRESULT FilterPropertyPage::Create(REFCLSID, REFIID riid, void** ppv) {
  return CreateComObject<FilterPropertyPage>(riid, ppv);
}

namespace {

// Layout, in pixels.
constexpr int kPageWidth = 372;
constexpr int kSettingsTop = 68;

}  // namespace

FilterPropertyPage::FilterPropertyPage()
    : PropertyPageBase(L"Camera", SIZE{kPageWidth, kSettingsTop + SettingRows::kMostHeight}) {}

HRESULT FilterPropertyPage::OnSetObjects(const std::vector<ComPtr<IUnknown>>& Objects) {
  ComPtr<IBaseFilter> filter;
  if (FAILED(Objects.front().As(&filter))) return E_NOINTERFACE;
  m_Filter = filter;
  m_Settings.SetFilter(filter.Get());
  return S_OK;
}

void FilterPropertyPage::OnClearObjects() {
  m_Filter.Reset();
  m_Settings.Clear();
}

void FilterPropertyPage::OnCommand(WORD Id, WORD Code) {
  if (m_Settings.OnCommand(Id, Code)) SetDirty();
}

void FilterPropertyPage::OnScroll(HWND Control) {
  if (m_Settings.OnScroll(Control)) SetDirty();
}

HRESULT FilterPropertyPage::OnApply() { return m_Settings.Apply(); }

void FilterPropertyPage::OnCreateControls(HWND Page) {
  std::wstring device = L"Device: ";
  CLSID clsid{};
  if (m_Filter && SUCCEEDED(m_Filter->GetClassID(&clsid)) && CaptureFilter::DeviceNameOf(clsid))
    device += CaptureFilter::DeviceNameOf(clsid);
  AddControl(L"STATIC", device.c_str(), SS_LEFT, 8, 8, kPageWidth - 16, 16, kDeviceText);

  std::wstring pins;
  ComPtr<IEnumPins> pinEnum;
  if (m_Filter && SUCCEEDED(m_Filter->EnumPins(&pinEnum))) {
    ComPtr<IPin> pin;
    while (pinEnum->Next(1, &pin, nullptr) == S_OK) {
      PIN_INFO info{};
      if (SUCCEEDED(pin->QueryPinInfo(&info))) {
        if (info.pFilter) info.pFilter->Release();
        pins += info.achName;
        pins += L": ";
      }
      ComPtr<IAMStreamConfig> config;
      AM_MEDIA_TYPE* format = nullptr;
      if (SUCCEEDED(pin.As(&config)) && SUCCEEDED(config->GetFormat(&format)) && format) {
        pins += DescribeVideoType(*format);
        FreeMediaTypeContents(*format);
        CoTaskMemFree(format);
      }
      pins += L"\r\n";
      pin.Reset();
    }
  }
  AddControl(L"STATIC", pins.c_str(), SS_LEFT, 8, 28, kPageWidth - 16, kSettingsTop - 32, kPinsText);
  m_Settings.Create(Page, kSettingsTop, kPageWidth);
}

}  // namespace lmcam
