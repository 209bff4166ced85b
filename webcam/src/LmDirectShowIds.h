#pragma once

// DirectShow identifiers that the camera library uses but not every SDK provides: the Sample
// Grabber's class ID is in no header of current Windows SDKs (and mingw-w64's qedit.h lacks
// it), so it is spelled out here, under this library's name.

#include <windows.h>

#include <guiddef.h>

// What some import libraries define without a header declaring it (strmiids of mingw-w64).
extern "C" const CLSID CLSID_SampleGrabber;

namespace lm {

// {C1F400A0-3F08-11D3-9F0B-006008039E37}
inline constexpr CLSID kCLSID_SampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

}  // namespace lm
