#pragma once

// TVLmRecord: a control that shows the live picture of a video capture device and writes the
// captured stream to an AVI or ASF file at the same time.

#include <windows.h>

#include <dshow.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

#include "webcam/LmCaptureControl.h"

// The type of file a recorder writes.
enum TVLmVideoFormat : uint8_t {
  vlmAvi = 0,  // AVI: the AVI multiplexer feeding a file writer
  vlmAsf = 1,  // ASF (Windows Media): the ASF writer, sized to the selected format
};

class LMWEBCAM_API TVLmRecord : public TVLmCaptureControl {
public:
  explicit TVLmRecord(TComponent* AOwner);
  ~TVLmRecord() override;

  // Opens the device at Index of VideoDevices and builds the graph that shows its picture and
  // writes FileName (overwritten) in Format, stopped and hidden. The name must be shorter than
  // 260 characters.
  bool Open(const std::wstring& FileName, int32_t Index);
  // Opens the device whose identity (a line of VideoDevicePaths) is DevicePath: the lists are
  // refreshed, then it is Open(FileName, ...) with that device's index; 202 when the device is
  // not listed.
  bool OpenDevice(const std::wstring& FileName, const std::wstring& DevicePath);

  // Bit rate of the format; a new value reaches the device at the next Start.
  uint32_t BitRate() const { return m_BitRate; }
  void SetBitRate(uint32_t Value) { m_BitRate = Value; }
  // Bit-rate range of the format entry last loaded with GetStreamFormat.
  uint32_t MinimumBitRate() const { return m_MinBitRate; }
  uint32_t MaximumBitRate() const { return m_MaxBitRate; }
  // The type of file written; takes effect at the next Open or graph rebuild.
  TVLmVideoFormat Format() const { return m_FileFormat; }
  void SetFormat(TVLmVideoFormat Value) { m_FileFormat = Value; }

  // Raised once on the GUI thread when the recording stopped because its file could not be
  // written (the disk is full, the file or its volume went): by then the graph is stopped, the
  // picture hidden, State is Open and ErrorStatus 206; what was written before stays readable.
  // The handler may Close the control, or Start again (the file is written anew).
  const TNotifyEvent& OnRecordError() const { return FOnRecordError; }
  void SetOnRecordError(TNotifyEvent Handler) { FOnRecordError = std::move(Handler); }

protected:
  using TVLmCaptureControl::SetFormat;

  // Graph building: the graph objects and the device's formats, then the graph itself.
  bool StartupVideo(const std::wstring& FileName);
  bool GetInterfaces();
  // Adds the device (when AddDevice), the file branch for FileName and the preview branch;
  // an ASF writer is sized for the format at FormatIndex.
  bool SetupGraph(const std::wstring& FileName, bool AddDevice, int32_t FormatIndex);
  // Loads the system profile into the ASF writer Writer and sizes its first video stream to
  // the frame size of m_pVSI[FormatIndex] (kept when there is no such entry), FrameRate and
  // BitRate. Failures leave the writer as it is; a frame rate without a time per frame raises.
  void AsfSetOutputSize(IBaseFilter* Writer, int32_t FormatIndex);

  // A stream that stopped with a file-writing error (EC_ERRORABORT or EC_STREAM_ERROR_STOPPED
  // with a disk-full or write-fault code) is a recording error, not a lost device.
  bool GraphEvent(long Code, LONG_PTR Param1, LONG_PTR Param2) override;
  // Stops the graph, hides the picture, enters Open with error 206 and raises OnRecordError,
  // once per recording.
  void RecordError();
  virtual void DoRecordError();
  // A new run may fail to write again.
  void Started() override { m_RecordErrorReported = false; }

  // A rebuild writes the file branch anew under m_FileName, sized for FormatIndex.
  void RebuildGraph(int32_t FormatIndex) override;
  bool RebuildsAfterPinFormat() const override { return true; }
  bool AppliesBitRate() const override { return true; }
  void LoadEntryExtras(const TLM_VIDEO_STREAM_INFORMATION& Entry) override;

  // Fields beyond the shared ones. GUI thread only.
  uint32_t m_MinBitRate = 0;
  uint32_t m_MaxBitRate = 0;
  TVLmVideoFormat m_FileFormat = vlmAvi;
  std::wstring m_FileName;
  // The recorder has no sample grabber: this stays zero.
  VIDEOINFOHEADER m_vih{};
  // The running recording's write error was reported. GUI thread only.
  bool m_RecordErrorReported = false;
  TNotifyEvent FOnRecordError;
};
