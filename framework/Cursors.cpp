#include "framework/Cursors.h"

namespace {

LPCWSTR SystemCursorName(TCursor Cursor) {
  switch (Cursor) {
    case crCross: return IDC_CROSS;
    case crIBeam: return IDC_IBEAM;
    case crSizeNESW: return IDC_SIZENESW;
    case crSizeNS:
    case crVSplit: return IDC_SIZENS;
    case crSizeNWSE: return IDC_SIZENWSE;
    case crSizeWE:
    case crHSplit: return IDC_SIZEWE;
    case crUpArrow: return IDC_UPARROW;
    case crHourGlass:
    case crSQLWait: return IDC_WAIT;
    case crNoDrop:
    case crNo: return IDC_NO;
    case crAppStart: return IDC_APPSTARTING;
    case crHelp: return IDC_HELP;
    case crHandPoint: return IDC_HAND;
    case crSizeAll: return IDC_SIZEALL;
    default: return IDC_ARROW;  // crDefault, crArrow, crDrag, crMultiDrag, unknown numbers
  }
}

}  // namespace

HCURSOR TScreen::Cursors(TCursor Cursor) const {
  if (Cursor == crNone) return nullptr;
  auto custom = m_Custom.find(Cursor);
  if (custom != m_Custom.end()) return custom->second;
  return LoadCursorW(nullptr, SystemCursorName(Cursor));
}

void TScreen::SetCursors(TCursor Cursor, HCURSOR Handle) { m_Custom[Cursor] = Handle; }

TScreen& Screen() {
  static TScreen screen;
  return screen;
}
