#include "framework/ExtCtrls.h"

namespace {

// The edge flags of one bevel.
UINT BevelEdge(TBevelCut Bevel) {
  switch (Bevel) {
    case bvLowered: return BDR_SUNKENOUTER;  // shadow above and left, highlight below and right
    case bvRaised: return BDR_RAISEDINNER;   // highlight above and left, shadow below and right
    default: return 0;
  }
}

}  // namespace

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clBtnFace);
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls, csOpaque});
  SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut Bevel) {
  if (Bevel == m_BevelOuter) return;
  m_BevelOuter = Bevel;
  Invalidate();
}

void TPanel::SetBevelInner(TBevelCut Bevel) {
  if (Bevel == m_BevelInner) return;
  m_BevelInner = Bevel;
  Invalidate();
}

void TPanel::SetBevelWidth(int Width) {
  if (Width == m_BevelWidth || Width < 1) return;
  m_BevelWidth = Width;
  Invalidate();
}

void TPanel::Paint() {
  HDC dc = Canvas()->Handle();
  RECT rect = ClientRect();
  FillRect(dc, &rect, Brush().Handle());
  for (TBevelCut bevel : {m_BevelOuter, m_BevelInner}) {
    if (bevel == bvNone) continue;
    for (int i = 0; i < m_BevelWidth; ++i) {
      if (const UINT edge = BevelEdge(bevel)) DrawEdge(dc, &rect, edge, BF_RECT);
      InflateRect(&rect, -1, -1);
    }
  }
  if (Caption().empty()) return;
  HGDIOBJ previous = SelectObject(dc, Font().Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font().Color()));
  DrawTextW(dc, Caption().c_str(), static_cast<int>(Caption().size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, previous);
}

void TPanel::Dispatch(TMessage& Message) {
  TCustomControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED) Invalidate();
}
