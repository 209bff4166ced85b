#include "framework/Controls.h"

namespace {

// Binds a canvas to the paint device context for the length of one paint cycle.
class PaintCycle {
public:
  PaintCycle(HWND Window, TCanvas& Canvas) : m_Window(Window), m_Canvas(Canvas) {
    m_Canvas.SetHandle(BeginPaint(m_Window, &m_Paint));
  }
  PaintCycle(const PaintCycle&) = delete;
  PaintCycle& operator=(const PaintCycle&) = delete;
  ~PaintCycle() {
    m_Canvas.SetHandle(nullptr);
    EndPaint(m_Window, &m_Paint);
  }

private:
  HWND m_Window;
  TCanvas& m_Canvas;
  PAINTSTRUCT m_Paint{};
};

}  // namespace

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::Paint() {}

void TCustomControl::WMPaint(TMessage& Message) {
  PaintCycle cycle(Handle(), m_Canvas);
  Paint();
  Message.Result = 0;
}
