#pragma once

// DirectShow identifiers that the import libraries define but some SDK headers do not
// declare (mingw-w64's qedit.h lacks the Sample Grabber's class ID).

#include <windows.h>

#include <guiddef.h>

extern "C" const CLSID CLSID_SampleGrabber;  // {C1F400A0-3F08-11D3-9F0B-006008039E37}, in strmiids
