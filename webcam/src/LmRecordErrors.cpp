// A recording whose file cannot be written: the graph reports the write's failure as a stopped
// stream, as it reports a failed device; the failure code tells the two apart.

#include "webcam/LmRecord.h"

namespace {

// kDiskQuotaExceeded, which older headers lack.
constexpr DWORD kDiskQuotaExceeded = 1295;

// Failure codes of writing a file: the disk or the quota is full, the write failed on the
// medium or the network, or the file or its volume is no longer there to write to.
bool IsFileWriteError(HRESULT Error) {
  static const DWORD kWin32Errors[] = {
      ERROR_DISK_FULL,        ERROR_HANDLE_DISK_FULL, kDiskQuotaExceeded, ERROR_WRITE_FAULT,
      ERROR_NET_WRITE_FAULT,  ERROR_WRITE_PROTECT,    ERROR_FILE_TOO_LARGE,      ERROR_FILE_INVALID,
      ERROR_DELETE_PENDING,
  };
  for (DWORD code : kWin32Errors)
    if (Error == HRESULT_FROM_WIN32(code)) return true;
  return Error == STG_E_MEDIUMFULL || Error == STG_E_WRITEFAULT || Error == STG_E_DISKISWRITEPROTECTED;
}

}  // namespace

bool TVLmRecord::GraphEvent(long Code, LONG_PTR Param1, LONG_PTR Param2) {
  if ((Code == EC_ERRORABORT || Code == EC_STREAM_ERROR_STOPPED) && IsFileWriteError(static_cast<HRESULT>(Param1))) {
    RecordError();
    return false;
  }
  return TVLmCaptureControl::GraphEvent(Code, Param1, Param2);
}

void TVLmRecord::RecordError() {
  if (m_State == vlmStateClosed || m_RecordErrorReported) return;
  m_RecordErrorReported = true;
  // Stopping completes the file as far as it could be written.
  StopWithError(LMERR_FILE_WRITE);
  QueueEvent([this] { DoRecordError(); }, true);
}

void TVLmRecord::DoRecordError() {
  if (FOnRecordError) FOnRecordError(this);
}
