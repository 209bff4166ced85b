#include "webcam/LmRecord.h"

namespace {

// File names of this many characters or more are refused.
constexpr size_t kFileNameLimit = 260;

}  // namespace

TVLmRecord::TVLmRecord(TComponent* AOwner) : TVLmCaptureControl(AOwner) {}

TVLmRecord::~TVLmRecord() {
  // Stopping the graph first completes the file.
  CloseGraph();
  m_FileFormat = vlmAvi;
}

bool TVLmRecord::Open(const std::wstring& FileName, int32_t Index) {
  TLmCallScope busy(*this);
  if (!CheckOpenPreconditions()) return false;
  if (FileName.size() >= kFileNameLimit) {
    m_ErrorStatus = LMERR_OUT_OF_RANGE;
    return false;
  }
  if (!BindDevice(Index) || !FinishOpen(StartupVideo(FileName))) return false;
  // Only an opening that succeeded names the file: a refused Open leaves the open graph's
  // name (and a later rebuild of that graph) alone.
  m_FileName = FileName;
  return true;
}

bool TVLmRecord::OpenDevice(const std::wstring& FileName, const std::wstring& DevicePath) {
  TLmCallScope busy(*this);
  return Open(FileName, FindDevicePath(DevicePath));
}

void TVLmRecord::LoadEntryExtras(const TLM_VIDEO_STREAM_INFORMATION& Entry) {
  m_MinBitRate = static_cast<uint32_t>(Entry.MinimumBitRate);
  m_MaxBitRate = static_cast<uint32_t>(Entry.MaximumBitRate);
}
