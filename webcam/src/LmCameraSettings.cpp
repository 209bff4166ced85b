// The capture device's image and camera settings, read and set through the camera controls:
// ranges checked before they are trusted, values always read back from the device, and the
// settings as a text to keep and restore.

#include <cstdint>
#include <cwctype>
#include <string>

#include "webcam/LmCaptureControl.h"
#include "webcam/src/LmCameraProperties.h"

namespace {

constexpr wchar_t kAuto[] = L"auto";

std::wstring Trimmed(const std::wstring& Text) {
  const size_t first = Text.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return std::wstring();
  const size_t last = Text.find_last_not_of(L" \t\r");
  return Text.substr(first, last - first + 1);
}

bool SameLetters(const std::wstring& A, const wchar_t* B) {
  size_t i = 0;
  for (; i < A.size() && B[i]; ++i)
    if (std::towlower(A[i]) != std::towlower(B[i])) return false;
  return i == A.size() && !B[i];
}

// The setting Name stands for (its letters in any case), or false.
bool SettingNamed(const std::wstring& Name, TVLmCameraSetting& Setting) {
  for (int32_t i = 0; i < vlmCameraSettingCount; ++i) {
    if (SameLetters(Name, lm::CameraSettingName(static_cast<TVLmCameraSetting>(i)))) {
      Setting = static_cast<TVLmCameraSetting>(i);
      return true;
    }
  }
  return false;
}

// A whole decimal number of 32 bits, with an optional sign.
bool ParseValue(const std::wstring& Text, int32_t& Value) {
  if (Text.empty()) return false;
  size_t at = Text[0] == L'-' || Text[0] == L'+' ? 1 : 0;
  if (at == Text.size()) return false;
  long long value = 0;
  for (; at < Text.size(); ++at) {
    if (Text[at] < L'0' || Text[at] > L'9') return false;
    value = value * 10 + (Text[at] - L'0');
    if (value > 2147483648LL) return false;
  }
  if (Text[0] == L'-') value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  Value = static_cast<int32_t>(value);
  return true;
}

}  // namespace

int16_t TVLmCaptureControl::ReadSettingRange(TVLmCameraSetting Setting, TLmCameraSettingRange& Range) {
  if (m_State == vlmStateClosed) return LMERR_WRONG_STATE;
  if (!lm::CameraSettingName(Setting)) return LMERR_OUT_OF_RANGE;
  LONG min = 0, max = 0, step = 0, fallback = 0, caps = 0;
  HRESULT hr = E_FAIL;
  try {
    hr = lm::GetPropertyRange(m_pDeviceFilter.Get(), Setting, min, max, step, fallback, caps);
  } catch (...) {
    return LMERR_GRAPH_FAILED;
  }
  if (lm::IsUnsupported(hr)) return LMERR_NOT_SUPPORTED;
  if (hr != S_OK) return LMERR_GRAPH_FAILED;
  // A range that cannot be is no setting to offer.
  if (min > max || step <= 0) return LMERR_NOT_SUPPORTED;
  Range.Min = min;
  Range.Max = max;
  Range.Step = step;
  Range.Default = fallback < min ? min : fallback > max ? max : fallback;
  // Both interfaces give Auto 1 and Manual 2.
  Range.CanAuto = (caps & VideoProcAmp_Flags_Auto) != 0;
  Range.CanManual = (caps & VideoProcAmp_Flags_Manual) != 0;
  return LMERR_NONE;
}

bool TVLmCaptureControl::GetCameraSettingRange(TVLmCameraSetting Setting, TLmCameraSettingRange& Range) {
  TLmCallScope busy(*this);
  TLmCameraSettingRange range{};
  m_ErrorStatus = ReadSettingRange(Setting, range);
  if (m_ErrorStatus != LMERR_NONE) return false;
  Range = range;
  return true;
}

bool TVLmCaptureControl::GetCameraSetting(TVLmCameraSetting Setting, int32_t& Value, bool& Auto) {
  TLmCallScope busy(*this);
  TLmCameraSettingRange range{};
  m_ErrorStatus = ReadSettingRange(Setting, range);
  if (m_ErrorStatus != LMERR_NONE) return false;
  LONG value = 0, flags = 0;
  HRESULT hr = E_FAIL;
  try {
    hr = lm::GetProperty(m_pDeviceFilter.Get(), Setting, value, flags);
  } catch (...) {
  }
  if (hr != S_OK) {
    m_ErrorStatus = lm::IsUnsupported(hr) ? LMERR_NOT_SUPPORTED : LMERR_GRAPH_FAILED;
    return false;
  }
  Value = value;
  Auto = (flags & VideoProcAmp_Flags_Auto) != 0;
  return true;
}

bool TVLmCaptureControl::SetCameraSetting(TVLmCameraSetting Setting, int32_t Value) {
  TLmCallScope busy(*this);
  TLmCameraSettingRange range{};
  m_ErrorStatus = ReadSettingRange(Setting, range);
  if (m_ErrorStatus != LMERR_NONE) return false;
  if (!range.CanManual) {
    m_ErrorStatus = LMERR_NOT_SUPPORTED;
    return false;
  }
  if (Value < range.Min || Value > range.Max) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  HRESULT hr = E_FAIL;
  try {
    hr = lm::SetProperty(m_pDeviceFilter.Get(), Setting, Value, false);
  } catch (...) {
  }
  m_ErrorStatus = hr == S_OK ? LMERR_NONE : LMERR_GRAPH_FAILED;
  return hr == S_OK;
}

bool TVLmCaptureControl::SetCameraSettingAuto(TVLmCameraSetting Setting) {
  TLmCallScope busy(*this);
  TLmCameraSettingRange range{};
  m_ErrorStatus = ReadSettingRange(Setting, range);
  if (m_ErrorStatus != LMERR_NONE) return false;
  if (!range.CanAuto) {
    m_ErrorStatus = LMERR_NOT_SUPPORTED;
    return false;
  }
  // The value that goes with the Auto flag is the one the device has now: a driver that looks at
  // it gets a value within its range.
  HRESULT hr = E_FAIL;
  try {
    LONG value = range.Default, flags = 0;
    if (lm::GetProperty(m_pDeviceFilter.Get(), Setting, value, flags) != S_OK) value = range.Default;
    hr = lm::SetProperty(m_pDeviceFilter.Get(), Setting, value, true);
  } catch (...) {
  }
  m_ErrorStatus = hr == S_OK ? LMERR_NONE : LMERR_GRAPH_FAILED;
  return hr == S_OK;
}

std::wstring TVLmCaptureControl::CameraSettings() {
  TLmCallScope busy(*this);
  if (m_State == vlmStateClosed) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return std::wstring();
  }
  std::wstring text;
  int16_t error = LMERR_NONE;
  for (int32_t i = 0; i < vlmCameraSettingCount; ++i) {
    const auto setting = static_cast<TVLmCameraSetting>(i);
    int32_t value = 0;
    bool automatic = false;
    if (!GetCameraSetting(setting, value, automatic)) {
      // A setting the device lacks has no line; one it fails to tell is reported.
      if (m_ErrorStatus != LMERR_NOT_SUPPORTED && error == LMERR_NONE) error = m_ErrorStatus;
      continue;
    }
    text += lm::CameraSettingName(setting);
    text += L'=';
    text += automatic ? std::wstring(kAuto) : std::to_wstring(value);
    text += L"\r\n";
  }
  m_ErrorStatus = error;
  return text;
}

int16_t TVLmCaptureControl::ApplySettingLine(const std::wstring& Line) {
  const size_t equals = Line.find(L'=');
  if (equals == std::wstring::npos) return LMERR_OUT_OF_RANGE;
  TVLmCameraSetting setting{};
  if (!SettingNamed(Trimmed(Line.substr(0, equals)), setting)) return LMERR_OUT_OF_RANGE;
  const std::wstring value = Trimmed(Line.substr(equals + 1));
  const bool automatic = SameLetters(value, kAuto);
  int32_t number = 0;
  if (!automatic && !ParseValue(value, number)) return LMERR_OUT_OF_RANGE;

  TLmCameraSettingRange range{};
  const int16_t known = ReadSettingRange(setting, range);
  if (known == LMERR_NOT_SUPPORTED) return LMERR_NONE;  // a setting this device lacks
  if (known != LMERR_NONE) return known;
  const bool applied = automatic ? SetCameraSettingAuto(setting) : SetCameraSetting(setting, number);
  return applied ? LMERR_NONE : m_ErrorStatus;
}

bool TVLmCaptureControl::SetCameraSettings(const std::wstring& Text) {
  TLmCallScope busy(*this);
  if (m_State == vlmStateClosed) {
    m_ErrorStatus = LMERR_WRONG_STATE;
    return false;
  }
  int16_t first = LMERR_NONE;
  size_t start = 0;
  while (start <= Text.size()) {
    size_t end = Text.find(L'\n', start);
    if (end == std::wstring::npos) end = Text.size();
    const std::wstring line = Trimmed(Text.substr(start, end - start));
    if (!line.empty()) {
      const int16_t result = ApplySettingLine(line);
      if (result != LMERR_NONE && first == LMERR_NONE) first = result;
    }
    start = end + 1;
  }
  m_ErrorStatus = first;
  return first == LMERR_NONE;
}
