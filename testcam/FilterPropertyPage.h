#pragma once

// The filter's page: which camera it is and the format of each of its pins (read only; the
// formats are changed on the pins' own pages), then the camera's settings (SettingRows.h),
// applied through the filter's IAMVideoProcAmp and IAMCameraControl.

#include <dshow.h>

#include "testcam/PropertyPageBase.h"
#include "testcam/SettingRows.h"

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
  void OnCommand(WORD Id, WORD Code) override;
  void OnScroll(HWND Control) override;
  HRESULT OnApply() override;

private:
  // The frame's thread.
  Microsoft::WRL::ComPtr<IBaseFilter> m_Filter;
  SettingRows m_Settings;
};

// A line such as "640 x 480 YUY2, 30.00 frames/s" for a video type.
std::wstring DescribeVideoType(const AM_MEDIA_TYPE& Type);

}  // namespace lmcam
