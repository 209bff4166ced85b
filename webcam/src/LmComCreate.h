#pragma once

// Creating DirectShow objects into interface fields, as every component does it: only S_OK
// counts, and a field's old interface is released first. Internal to the camera library.

#include <windows.h>

#include <unknwn.h>
#include <wrl/client.h>

#include <stdexcept>

namespace lm {

// The class context the components create their graph objects in.
inline constexpr DWORD kInprocServerOrHandler = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

// CoCreateInstance of Clsid for Iid into Field; true only for S_OK.
template <typename Interface>
bool CreateInto(REFCLSID Clsid, DWORD Context, REFIID Iid, Microsoft::WRL::ComPtr<Interface>& Field) {
  return CoCreateInstance(Clsid, nullptr, Context, Iid, reinterpret_cast<void**>(Field.ReleaseAndGetAddressOf())) ==
         S_OK;
}

// QueryInterface of From for Iid into Field; true only for S_OK. A missing From is a fault of
// the caller and raises.
template <typename Interface>
bool QueryInto(IUnknown* From, REFIID Iid, Microsoft::WRL::ComPtr<Interface>& Field) {
  if (!From) throw std::logic_error("query on a missing interface");
  return From->QueryInterface(Iid, reinterpret_cast<void**>(Field.ReleaseAndGetAddressOf())) == S_OK;
}

}  // namespace lm
