#pragma once

// The camera settings on the filter's property page, laid out as a driver's "Video Proc Amp"
// and "Camera Control" pages lay them out: a group for each interface the filter has, a row
// for each property its GetRange answers (the name, a slider over the steps of the range, the
// value, and an "Auto" box where the property can be auto; the slider is disabled while the
// box is checked). Rows start from what Get reports; Apply sets the rows the user changed and
// shows what the camera applies afterwards.
//
// All of it belongs to the page's thread.

#include <windows.h>

#include <strmif.h>
#include <wrl/client.h>

#include <vector>

#include "testcam/CameraSettings.h"

namespace lmcam {

class SettingRows {
public:
  // The rows' controls; Property is the interface's property number.
  static constexpr int SliderId(SettingGroup Group, LONG Property) { return 1100 + GroupOffset(Group) + Property; }
  static constexpr int ValueId(SettingGroup Group, LONG Property) { return 1200 + GroupOffset(Group) + Property; }
  static constexpr int AutoId(SettingGroup Group, LONG Property) { return 1300 + GroupOffset(Group) + Property; }
  // Layout, in pixels: a group's title and bottom margin, a row, the gap between groups.
  static constexpr int kGroupTitle = 20, kGroupMargin = 6, kRowHeight = 24, kGroupGap = 6;
  // The height of the groups of the UVC camera, which has the most settings (10 and 5).
  static constexpr int kMostHeight = 2 * (kGroupTitle + kGroupMargin) + kGroupGap + 15 * kRowHeight;

  // Takes the filter's IAMVideoProcAmp and IAMCameraControl, where it has them.
  void SetFilter(IUnknown* Filter);
  void Clear();

  // Creates the groups and rows on Page from Top, Width pixels wide.
  void Create(HWND Page, int Top, int Width);
  // A slider moved, or a box was clicked: true when it was a row's, which then counts as
  // changed.
  bool OnScroll(HWND Control);
  bool OnCommand(WORD Id, WORD Code);
  // Sets each changed row (manual with the slider's value, or auto) and shows every row as the
  // camera reports it afterwards. The first failure, or S_OK.
  HRESULT Apply();

private:
  static constexpr int GroupOffset(SettingGroup Group) { return Group == SettingGroup::VideoProcAmp ? 0 : 10; }
  struct Row {
    SettingGroup Group;
    LONG Property;
    LONG Min, Max, Step, Default, CapsFlags;
    HWND Slider = nullptr;
    HWND Value = nullptr;
    HWND Auto = nullptr;  // none where the property cannot be auto
    bool Changed = false;
  };
  // Calls Action with the interface of Group; E_NOINTERFACE when the filter has none.
  template <typename Action>
  HRESULT WithInterface(SettingGroup Group, Action&& Act) const;
  int CreateGroup(HWND Page, SettingGroup Group, int Top, int Width);
  // Shows the value and mode that the camera reports.
  void Show(Row& Line);
  // The value under the row's slider.
  LONG SliderValue(const Row& Line) const;
  void ShowValue(const Row& Line, LONG Value);

  Microsoft::WRL::ComPtr<IAMVideoProcAmp> m_VideoProcAmp;
  Microsoft::WRL::ComPtr<IAMCameraControl> m_CameraControl;
  std::vector<Row> m_Rows;
};

}  // namespace lmcam
