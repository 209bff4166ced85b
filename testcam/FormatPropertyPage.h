#pragma once

// A pin's page: the formats of the pin (IAMStreamConfig::GetStreamCaps), one line each such as
// "640 x 480 MJPG", and a frame rate; Apply sets the chosen one with IAMStreamConfig::SetFormat,
// at the rate kept within what that format allows.

#include <dshow.h>

#include "testcam/PropertyPageBase.h"

namespace lmcam {

class FormatPropertyPage : public PropertyPageBase {
public:
  static HRESULT Create(REFCLSID Clsid, REFIID riid, void** ppv);

  static constexpr int kFormatList = 1001;   // list box: one line per capability, in order
  static constexpr int kFrameRate = 1002;    // edit box: frames per second (5 to the format's highest)
  static constexpr int kStatusText = 1003;   // the result of the last Apply

protected:
  FormatPropertyPage();
  ~FormatPropertyPage() override = default;

  HRESULT OnSetObjects(const std::vector<Microsoft::WRL::ComPtr<IUnknown>>& Objects) override;
  void OnClearObjects() override;
  void OnCreateControls(HWND Page) override;
  void OnCommand(WORD Id, WORD Code) override;
  HRESULT OnApply() override;

private:
  Microsoft::WRL::ComPtr<IAMStreamConfig> m_Config;  // the frame's thread
  HWND m_List = nullptr;
  HWND m_Rate = nullptr;
  HWND m_Status = nullptr;
  bool m_Filling = false;  // controls are being filled: their notifications change nothing
};

}  // namespace lmcam
