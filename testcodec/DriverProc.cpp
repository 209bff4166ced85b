// The codec's entry point for msvfw32: DriverProc, which receives the driver messages (load,
// open, close) and the ICM messages of each open instance. DllMain keeps the module handle for
// the registration.

#include <windows.h>

#include <mmsystem.h>
#include <vfw.h>

#include <cwchar>
#include <new>

#include "testcodec/Decompressor.h"
#include "testcodec/LmTestCodec.h"
#include "testcodec/Module.h"

namespace lmcodec {
namespace {

HINSTANCE g_Instance = nullptr;

// The driver id of the first, session-wide open (without ICOPEN), which has no instance.
constexpr LRESULT kSessionDriver = 1;

LRESULT Open(ICOPEN* Parameters) {
  if (!Parameters) return kSessionDriver;
  if (Parameters->fccType != ICTYPE_VIDEO) return 0;
  // Opened in any mode: messages to compress or draw are answered ICERR_UNSUPPORTED.
  auto* instance = new (std::nothrow) Decompressor();
  Parameters->dwError = instance ? ICERR_OK : static_cast<DWORD>(ICERR_MEMORY);
  return reinterpret_cast<LRESULT>(instance);
}

LRESULT GetInfo(ICINFO* Info, LPARAM Size) {
  if (!Info || Size < static_cast<LPARAM>(sizeof(ICINFO))) return 0;
  *Info = ICINFO{};
  Info->dwSize = sizeof(ICINFO);
  Info->fccType = ICTYPE_VIDEO;
  Info->dwVersion = 0x00010000;
  Info->dwVersionICM = ICVERSION;
  std::wcsncpy(Info->szName, L"LmTestCodec", 15);
  std::wcsncpy(Info->szDescription, L"Lumora test decoder (YUY2, MJPG, NV12)", 127);
  return sizeof(ICINFO);
}

}  // namespace

HINSTANCE ModuleInstance() { return g_Instance; }

}  // namespace lmcodec

extern "C" LRESULT WINAPI DriverProc(DWORD_PTR DriverId, HDRVR Driver, UINT Message, LPARAM Param1, LPARAM Param2) {
  using lmcodec::Decompressor;
  auto* instance = DriverId > static_cast<DWORD_PTR>(lmcodec::kSessionDriver) ? reinterpret_cast<Decompressor*>(DriverId)
                                                                               : nullptr;
  switch (Message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
      return 1;
    case DRV_OPEN:
      return lmcodec::Open(reinterpret_cast<ICOPEN*>(Param2));
    case DRV_CLOSE:
      delete instance;
      return 1;
    case DRV_QUERYCONFIGURE:
      return 0;  // nothing to configure
    case DRV_CONFIGURE:
      return DRV_CANCEL;
    case ICM_GETINFO:
      return lmcodec::GetInfo(reinterpret_cast<ICINFO*>(Param1), Param2);
    case ICM_DECOMPRESS_QUERY:
    case ICM_DECOMPRESS_GET_FORMAT:
    case ICM_DECOMPRESS_BEGIN:
    case ICM_DECOMPRESS:
    case ICM_DECOMPRESS_END:
      if (!instance) return ICERR_BADHANDLE;
      break;
    default:
      return Message < DRV_USER ? DefDriverProc(DriverId, Driver, Message, Param1, Param2) : ICERR_UNSUPPORTED;
  }
  const auto* in = reinterpret_cast<const BITMAPINFOHEADER*>(Param1);
  switch (Message) {
    case ICM_DECOMPRESS_QUERY:
      return instance->Query(in, reinterpret_cast<const BITMAPINFOHEADER*>(Param2));
    case ICM_DECOMPRESS_GET_FORMAT:
      return instance->GetFormat(in, reinterpret_cast<BITMAPINFOHEADER*>(Param2));
    case ICM_DECOMPRESS_BEGIN:
      return instance->Begin(in, reinterpret_cast<const BITMAPINFOHEADER*>(Param2));
    case ICM_DECOMPRESS:
      if (!Param1) return ICERR_BADPARAM;
      return instance->Decompress(*reinterpret_cast<const ICDECOMPRESS*>(Param1), static_cast<size_t>(Param2));
    default:  // ICM_DECOMPRESS_END
      return ICERR_OK;
  }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
  if (Reason == DLL_PROCESS_ATTACH) {
    lmcodec::g_Instance = Instance;
    DisableThreadLibraryCalls(Instance);
  }
  return TRUE;
}
