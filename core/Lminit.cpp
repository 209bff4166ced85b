#include "core/Lminit.h"

TVLmUiControl::TVLmUiControl(TComponent* AOwner) : TCustomControl(AOwner) {}

TVLmUiControl::~TVLmUiControl() = default;
