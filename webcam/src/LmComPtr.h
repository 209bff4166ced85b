#pragma once

#include <wrl/client.h>

// Takes over a reference that a call handed out (an out parameter or a structure field),
// without adding one. ComPtr::Attach adds a reference in some WRL implementations, so it
// cannot be used for this portably.
template <typename Interface>
Microsoft::WRL::ComPtr<Interface> AdoptReference(Interface* Object) {
  Microsoft::WRL::ComPtr<Interface> owner;
  *owner.GetAddressOf() = Object;
  return owner;
}
