#include "testcam/SettingRows.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "testcam/PropertyPageBase.h"

using Microsoft::WRL::ComPtr;

namespace lmcam {
namespace {

// The properties' names as the interfaces number them.
constexpr const wchar_t* kVideoProcAmpNames[] = {L"Brightness",      L"Contrast", L"Hue",          L"Saturation",
                                                 L"Sharpness",       L"Gamma",    L"Color Enable", L"White Balance",
                                                 L"Backlight Comp.", L"Gain"};
constexpr const wchar_t* kCameraControlNames[] = {L"Pan", L"Tilt", L"Roll", L"Zoom", L"Exposure", L"Iris", L"Focus"};

constexpr LONG kAuto = VideoProcAmp_Flags_Auto;  // the same value in both interfaces
constexpr LONG kManual = VideoProcAmp_Flags_Manual;

// Columns of a row.
constexpr int kNameLeft = 16, kNameWidth = 100, kSliderWidth = 150, kValueWidth = 40, kAutoWidth = 48;

}  // namespace

void SettingRows::SetFilter(IUnknown* Filter) {
  Clear();
  if (!Filter) return;
  // A camera without one of them simply has no such group.
  if (FAILED(Filter->QueryInterface(IID_PPV_ARGS(&m_VideoProcAmp)))) m_VideoProcAmp.Reset();
  if (FAILED(Filter->QueryInterface(IID_PPV_ARGS(&m_CameraControl)))) m_CameraControl.Reset();
}

void SettingRows::Clear() {
  m_VideoProcAmp.Reset();
  m_CameraControl.Reset();
  m_Rows.clear();
}

template <typename Action>
HRESULT SettingRows::WithInterface(SettingGroup Group, Action&& Act) const {
  if (Group == SettingGroup::VideoProcAmp) return m_VideoProcAmp ? Act(m_VideoProcAmp.Get()) : E_NOINTERFACE;
  return m_CameraControl ? Act(m_CameraControl.Get()) : E_NOINTERFACE;
}

void SettingRows::Create(HWND Page, int Top, int Width) {
  m_Rows.clear();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  Top = CreateGroup(Page, SettingGroup::VideoProcAmp, Top, Width);
  CreateGroup(Page, SettingGroup::CameraControl, Top, Width);
}

// Returns where the next group starts.
int SettingRows::CreateGroup(HWND Page, SettingGroup Group, int Top, int Width) {
  const bool procAmp = Group == SettingGroup::VideoProcAmp;
  const size_t count = procAmp ? std::size(kVideoProcAmpNames) : std::size(kCameraControlNames);
  std::vector<Row> rows;
  for (LONG property = 0; property < static_cast<LONG>(count); ++property) {
    Row row{Group, property};
    const HRESULT hr = WithInterface(Group, [&](auto* Control) {
      return Control->GetRange(property, &row.Min, &row.Max, &row.Step, &row.Default, &row.CapsFlags);
    });
    // A range without steps cannot be shown on a slider.
    if (hr == S_OK && row.Step > 0 && row.Min <= row.Max) rows.push_back(row);
  }
  if (rows.empty()) return Top;

  const int height = kGroupTitle + static_cast<int>(rows.size()) * kRowHeight + kGroupMargin;
  CreatePageControl(Page, L"BUTTON", procAmp ? L"Video Proc Amp" : L"Camera Control", BS_GROUPBOX, 8, Top, Width - 16,
                    height, -1);
  int y = Top + kGroupTitle;
  const int sliderLeft = kNameLeft + kNameWidth, valueLeft = sliderLeft + kSliderWidth + 4;
  for (Row& row : rows) {
    const wchar_t* name = procAmp ? kVideoProcAmpNames[row.Property] : kCameraControlNames[row.Property];
    CreatePageControl(Page, L"STATIC", name, SS_LEFT, kNameLeft, y + 4, kNameWidth, 16, -1);
    row.Slider = CreatePageControl(Page, TRACKBAR_CLASSW, L"", WS_TABSTOP | TBS_HORZ | TBS_NOTICKS, sliderLeft, y,
                                   kSliderWidth, 22, SliderId(Group, row.Property));
    row.Value = CreatePageControl(Page, L"STATIC", L"", SS_RIGHT, valueLeft, y + 4, kValueWidth, 16,
                                  ValueId(Group, row.Property));
    if (row.CapsFlags & kAuto)
      row.Auto = CreatePageControl(Page, L"BUTTON", L"Auto", WS_TABSTOP | BS_AUTOCHECKBOX, valueLeft + kValueWidth + 8,
                                   y + 2, kAutoWidth, 18, AutoId(Group, row.Property));
    // The slider moves over the steps of the range.
    const LONG positions = (row.Max - row.Min) / row.Step;
    SendMessageW(row.Slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(row.Slider, TBM_SETRANGEMAX, FALSE, positions);
    SendMessageW(row.Slider, TBM_SETLINESIZE, 0, 1);
    SendMessageW(row.Slider, TBM_SETPAGESIZE, 0, std::max<LONG>(1, positions / 10));
    Show(row);
    m_Rows.push_back(row);
    y += kRowHeight;
  }
  return Top + height + kGroupGap;
}

void SettingRows::Show(Row& Line) {
  LONG value = Line.Default, flags = kManual;
  WithInterface(Line.Group, [&](auto* Control) { return Control->Get(Line.Property, &value, &flags); });
  const bool automatic = Line.Auto && (flags & kAuto);
  SendMessageW(Line.Slider, TBM_SETPOS, TRUE, (std::clamp(value, Line.Min, Line.Max) - Line.Min) / Line.Step);
  EnableWindow(Line.Slider, !automatic);
  if (Line.Auto) SendMessageW(Line.Auto, BM_SETCHECK, automatic ? BST_CHECKED : BST_UNCHECKED, 0);
  ShowValue(Line, value);
  Line.Changed = false;
}

LONG SettingRows::SliderValue(const Row& Line) const {
  return Line.Min + static_cast<LONG>(SendMessageW(Line.Slider, TBM_GETPOS, 0, 0)) * Line.Step;
}

void SettingRows::ShowValue(const Row& Line, LONG Value) { SetWindowTextW(Line.Value, std::to_wstring(Value).c_str()); }

bool SettingRows::OnScroll(HWND Control) {
  for (Row& row : m_Rows) {
    if (row.Slider != Control) continue;
    ShowValue(row, SliderValue(row));
    row.Changed = true;
    return true;
  }
  return false;
}

bool SettingRows::OnCommand(WORD Id, WORD Code) {
  if (Code != BN_CLICKED) return false;
  for (Row& row : m_Rows) {
    if (!row.Auto || AutoId(row.Group, row.Property) != Id) continue;
    EnableWindow(row.Slider, SendMessageW(row.Auto, BM_GETCHECK, 0, 0) != BST_CHECKED);
    row.Changed = true;
    return true;
  }
  return false;
}

HRESULT SettingRows::Apply() {
  HRESULT first = S_OK;
  for (Row& row : m_Rows) {
    if (!row.Changed) continue;
    const bool automatic = row.Auto && SendMessageW(row.Auto, BM_GETCHECK, 0, 0) == BST_CHECKED;
    const LONG value = SliderValue(row);
    const HRESULT hr = WithInterface(
        row.Group, [&](auto* Control) { return Control->Set(row.Property, value, automatic ? kAuto : kManual); });
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  // What the camera applies now, auto values included; a refused row shows the camera's value.
  for (Row& row : m_Rows) Show(row);
  return first;
}

}  // namespace lmcam
