#pragma once

// The filter's page: which camera it is and the format of each of its pins (read only; the
// formats are changed on the pins' own pages).

#include <dshow.h>

#include "testcam/PropertyPageBase.h"

namespace lmcam {

class FilterPropertyPage : public PropertyPageBase {
public:
  static HRESULT Create(REFCLSID Clsid, REFIID riid, void** ppv);

  static constexpr int kDeviceText = 1001;
  static constexpr int kPinsText = 1002;

protected:
  FilterPropertyPage();
  ~FilterPropertyPage() override = default;

  HRESULT OnSetObjects(const std::vector<Microsoft::WRL::ComPtr<IUnknown>>& Objects) override;
  void OnClearObjects() override;
  void OnCreateControls(HWND Page) override;
  void OnCommand(WORD, WORD) override {}
  HRESULT OnApply() override { return S_OK; }

private:
  Microsoft::WRL::ComPtr<IBaseFilter> m_Filter;  // the frame's thread
};

// A line such as "640 x 480 YUY2, 30.00 frames/s" for a video type.
std::wstring DescribeVideoType(const AM_MEDIA_TYPE& Type);

}  // namespace lmcam
