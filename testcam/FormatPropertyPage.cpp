#include "testcam/FormatPropertyPage.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <new>
#include <string>

#include "testcam/Capabilities.h"
#include "testcam/ComObject.h"
#include "testcam/FilterPropertyPage.h"
#include "testcam/LmTestCam.h"
#include "testcam/MediaType.h"

using Microsoft::WRL::ComPtr;

namespace lmcam {
namespace {

// Owns a type handed out by IAMStreamConfig.
struct TaskMediaType {
  AM_MEDIA_TYPE* Type = nullptr;
  ~TaskMediaType() {
    if (Type) {
      FreeMediaTypeContents(*Type);
      CoTaskMemFree(Type);
    }
  }
};

}  // namespace

HRESULT FormatPropertyPage::Create(REFCLSID, REFIID riid, void** ppv) {
  return CreateComObject<FormatPropertyPage>(riid, ppv);
}

FormatPropertyPage::FormatPropertyPage() : PropertyPageBase(L"Stream Format", SIZE{300, 200}) {}

HRESULT FormatPropertyPage::OnSetObjects(const std::vector<ComPtr<IUnknown>>& Objects) {
  ComPtr<IAMStreamConfig> config;
  if (FAILED(Objects.front().As(&config))) return E_NOINTERFACE;
  m_Config = config;
  return S_OK;
}

void FormatPropertyPage::OnClearObjects() { m_Config.Reset(); }

void FormatPropertyPage::OnCreateControls(HWND) {
  m_Filling = true;
  AddControl(L"STATIC", L"Format:", SS_LEFT, 8, 8, 284, 16, -1);
  m_List = AddControl(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 8, 26, 284, 100, kFormatList);
  AddControl(L"STATIC", L"Frames per second:", SS_LEFT, 8, 134, 120, 16, -1);
  m_Rate = AddControl(L"EDIT", L"", WS_BORDER | WS_TABSTOP | ES_NUMBER, 132, 132, 60, 20, kFrameRate);
  m_Status = AddControl(L"STATIC", L"", SS_LEFT, 8, 160, 284, 16, kStatusText);

  int count = 0, size = 0;
  TaskMediaType current;
  if (m_Config && SUCCEEDED(m_Config->GetNumberOfCapabilities(&count, &size)) &&
      size == sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
    m_Config->GetFormat(&current.Type);
    for (int i = 0; i < count; ++i) {
      TaskMediaType type;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      if (m_Config->GetStreamCaps(i, &type.Type, reinterpret_cast<BYTE*>(&caps)) != S_OK) break;
      const std::wstring line = DescribeVideoType(*type.Type);
      // Show the size and kind only; the rate is in the edit box.
      SendMessageW(m_List, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.substr(0, line.find(L',')).c_str()));
      if (current.Type && IsEqualGUID(current.Type->formattype, type.Type->formattype) &&
          IsEqualGUID(current.Type->subtype, type.Type->subtype)) {
        const BITMAPINFOHEADER* a = BitmapOf(*current.Type);
        const BITMAPINFOHEADER* b = BitmapOf(*type.Type);
        if (a && b && a->biWidth == b->biWidth && a->biHeight == b->biHeight) SendMessageW(m_List, LB_SETCURSEL, i, 0);
      }
    }
  }
  const REFERENCE_TIME interval =
      current.Type && FrameIntervalOf(*current.Type) > 0 ? FrameIntervalOf(*current.Type) : kLmDefaultFrameInterval;
  SetWindowTextW(m_Rate, std::to_wstring((10000000 + interval / 2) / interval).c_str());
  m_Filling = false;
}

void FormatPropertyPage::OnCommand(WORD Id, WORD Code) {
  if (m_Filling) return;
  if ((Id == kFormatList && Code == LBN_SELCHANGE) || (Id == kFrameRate && Code == EN_CHANGE)) SetDirty();
}

HRESULT FormatPropertyPage::OnApply() {
  if (!m_Config || !m_List) return E_UNEXPECTED;
  const LRESULT index = SendMessageW(m_List, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) return S_OK;  // nothing chosen: nothing to apply
  wchar_t text[16] = {};
  GetWindowTextW(m_Rate, text, 16);
  long fps = std::wcstol(text, nullptr, 10);
  if (fps <= 0) fps = 10000000 / kLmDefaultFrameInterval;
  TaskMediaType type;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  HRESULT hr = m_Config->GetStreamCaps(static_cast<int>(index), &type.Type, reinterpret_cast<BYTE*>(&caps));
  if (hr == S_OK) {
    // Kept within what the chosen format allows.
    const REFERENCE_TIME interval = std::clamp<REFERENCE_TIME>(10000000 / fps, caps.MinFrameInterval, caps.MaxFrameInterval);
    MediaType chosen = WithFrameInterval(*type.Type, interval);
    hr = m_Config->SetFormat(&chosen.Edit());
  } else if (hr == S_FALSE) {
    hr = E_INVALIDARG;
  }
  wchar_t status[64];
  std::swprintf(status, 64, SUCCEEDED(hr) ? L"Format set." : L"Not set (error 0x%08lX).",
                static_cast<unsigned long>(hr));
  SetWindowTextW(m_Status, status);
  return hr;
}

}  // namespace lmcam
