#pragma once

#include <cstdint>

#include "core/LmCoreApi.h"
#include "framework/Controls.h"

// Frame style of the product family's controls.
enum TVLmAppearance : uint8_t {
  vlmFlat = 0,     // 1-pixel frame drawn by the control
  vlmLowered = 1,  // 2-pixel sunken edge
  vlmRaised = 2,   // 2-pixel raised edge
};

// Base class of the product family's windowed controls: a custom control of the framework.
class LMCORE_API TVLmUiControl : public TCustomControl {
public:
  explicit TVLmUiControl(TComponent* AOwner);
  ~TVLmUiControl() override;
};
