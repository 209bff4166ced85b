#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/Controls.h"

enum TBevelCut : uint8_t { bvNone = 0, bvLowered = 1, bvRaised = 2, bvSpace = 3 };

// A rectangle in its colour with an outer and an inner bevel, each BevelWidth pixels wide,
// and its caption centred in its font; it may hold controls.
class FRAMEWORK_API TPanel : public TCustomControl {
public:
  explicit TPanel(TComponent* AOwner);

  TBevelCut BevelOuter() const { return m_BevelOuter; }
  void SetBevelOuter(TBevelCut Bevel);
  TBevelCut BevelInner() const { return m_BevelInner; }
  void SetBevelInner(TBevelCut Bevel);
  int BevelWidth() const { return m_BevelWidth; }
  void SetBevelWidth(int Width);

protected:
  void Paint() override;
  void Dispatch(TMessage& Message) override;

private:
  TBevelCut m_BevelOuter = bvRaised;
  TBevelCut m_BevelInner = bvNone;
  int m_BevelWidth = 1;
};
