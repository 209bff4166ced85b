#include "designtime/DialogRig.h"

namespace design {
namespace {

struct Found {
  TLumoraEditor* Form = nullptr;
};

BOOL CALLBACK MatchForm(HWND Window, LPARAM Param) {
  if (!IsWindowVisible(Window)) return TRUE;
  auto* form = dynamic_cast<TLumoraEditor*>(TWinControl::FindControl(Window));
  if (!form) return TRUE;
  reinterpret_cast<Found*>(Param)->Form = form;
  return FALSE;
}

}  // namespace

TLumoraEditor* ShownPropertyDialog() {
  Found found;
  EnumThreadWindows(GetCurrentThreadId(), &MatchForm, reinterpret_cast<LPARAM>(&found));
  return found.Form;
}

modal::Step OnPropertyDialog(std::function<void(TLumoraEditor&)> Act) {
  return {[] {
            TLumoraEditor* form = ShownPropertyDialog();
            return form && !modal::FindColorChooser() && IsWindowEnabled(form->Handle()) ? form->Handle() : nullptr;
          },
          [Act](HWND Window) { Act(*dynamic_cast<TLumoraEditor*>(TWinControl::FindControl(Window))); }};
}

modal::Step OnColorChooser(std::function<void(HWND)> Act) { return {&modal::FindColorChooser, std::move(Act)}; }

void Click(TWinControl* Button) { PostMessageW(Button->Handle(), BM_CLICK, 0, 0); }

void CloseBox(TWinControl* Form) { PostMessageW(Form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }

void Type(TWinControl* Control, const std::wstring& Text) {
  Control->SetFocus();
  for (const wchar_t c : Text) SendMessageW(Control->Handle(), WM_CHAR, c, 1);
}

void Paste(TWinControl* Edit, const std::wstring& Text) {
  SendMessageW(Edit->Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Text.c_str()));
}

void MouseDownOn(TWinControl* Control, UINT DownMessage) {
  const WPARAM keys = DownMessage == WM_RBUTTONDOWN ? MK_RBUTTON : DownMessage == WM_MBUTTONDOWN ? MK_MBUTTON : MK_LBUTTON;
  PostMessageW(Control->Handle(), DownMessage, keys, MAKELPARAM(5, 5));
  PostMessageW(Control->Handle(), DownMessage + 1, 0, MAKELPARAM(5, 5));
}

void PrepareComponent(TVLumora& Lumora) {
  Lumora.SetAppearance(vlmRaised);
  Lumora.SetBorderVisible(false);
  Lumora.SetRectDraw(true);
  Lumora.SetBlinkSpeed(vlmBlinkFast);
  Lumora.SetGrad(vlmUnitMillimeter);
  Lumora.SetGrid(vlmUnitInch);
  Lumora.SetGridSpace(12.5);
  Lumora.SetToolTip(vlmUnitPixel);
  Lumora.SetMouseWheel(vlmWheelScrollHorizontal);
  Lumora.SetScrollBar(false);
  Lumora.SetScrollWidth(321);
  Lumora.SetScrollHeight(4321);
  Lumora.SetInvalidHatchPattern(vlmHatchTransparent);
  Lumora.SetRefine1BitImage(true);
  Lumora.SetSimpleDispCtrl(true);
  Lumora.SetMouseDragImage(false);
  Lumora.SetBorderColor(0x00010203);
  Lumora.TWinControl::SetColor(0x00040506);
  Lumora.SetGradBackColor(0x00070809);
  Lumora.SetGradColor(0x000A0B0C);
  Lumora.SetGridColor(0x000D0E0F);
  Lumora.SetInvalidHatchColor(static_cast<TColor>(0x80000010));
  Lumora.SetRectColor1(0x00131415);
  Lumora.SetRectColor2(0x00161718);
  Lumora.SetToolTipColor(0x00191A1B);
  Lumora.ClearSetterLog();
}

std::vector<std::wstring> PreparedSetterLog() {
  return {L"SetAppearance(2)",          L"SetBorderVisible(0)",         L"SetRectDraw(1)",
          L"SetBlinkSpeed(2)",          L"SetGrad(2)",                  L"SetGrid(3)",
          L"SetGridSpace(12.5)",        L"SetToolTip(1)",               L"SetScrollBar(0)",
          L"SetScrollWidth(321)",       L"SetScrollHeight(4321)",       L"SetInvalidHatchPattern(2)",
          L"SetRefine1BitImage(1)",     L"SetSimpleDispCtrl(1)",        L"SetBorderColor(0x00010203)",
          L"SetGradBackColor(0x00070809)", L"SetGradColor(0x000A0B0C)", L"SetGridColor(0x000D0E0F)",
          L"SetInvalidHatchColor(0x80000010)", L"SetRectColor1(0x00131415)", L"SetRectColor2(0x00161718)",
          L"SetToolTipColor(0x00191A1B)"};
}

}  // namespace design
