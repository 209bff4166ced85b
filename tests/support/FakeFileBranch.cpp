#include "support/FakeFileBranch.h"

#include <algorithm>
#include <cstring>

#include "support/FakeGraph.h"
#include "webcam/src/LmAsfWriter.h"

using Microsoft::WRL::ComPtr;

namespace fakes {
namespace {

std::string SubtypeName(const GUID* Subtype) {
  if (Subtype && IsEqualGUID(*Subtype, MEDIASUBTYPE_Avi)) return "AVI";
  if (Subtype && IsEqualGUID(*Subtype, MEDIASUBTYPE_Asf)) return "ASF";
  return "other";
}

class FakeFileSink : public FakeComObject<IFileSinkFilter2> {
  using Base = FakeComObject<IFileSinkFilter2>;

public:
  explicit FakeFileSink(std::shared_ptr<FakeGraphSystem> System) : m_System(std::move(System)) {
    m_System->File.Sink = static_cast<IFileSinkFilter2*>(this);
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv && IsEqualIID(riid, IID_IFileSinkFilter2) && !m_System->File.SinkHasMode2) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    return Base::QueryInterface(riid, ppv);
  }

  STDMETHODIMP SetMode(DWORD Flags) override {
    return m_System->Answer("IFileSinkFilter2::SetMode(" + std::to_string(Flags) + ")", "IFileSinkFilter2::SetMode");
  }
  LM_FAKE_UNEXPECTED("IFileSinkFilter2", GetMode, DWORD*)
  LM_FAKE_UNEXPECTED("IFileSinkFilter", SetFileName, LPCOLESTR, const AM_MEDIA_TYPE*)
  LM_FAKE_UNEXPECTED("IFileSinkFilter", GetCurFile, LPOLESTR*, AM_MEDIA_TYPE*)

protected:
  ~FakeFileSink() override {
    if (m_System->File.Sink == static_cast<IFileSinkFilter2*>(this)) m_System->File.Sink = nullptr;
  }
  void* QueryInterfaceExtra(REFIID riid) override {
    return IsEqualIID(riid, IID_IFileSinkFilter) ? static_cast<IFileSinkFilter*>(this) : nullptr;
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
};

// A profile stream: its configuration, and for video its media properties.
class FakeWMStream : public FakeComObject<IWMStreamConfig>, public lm::IWMVideoMediaProps {
  using Base = FakeComObject<IWMStreamConfig>;

public:
  FakeWMStream(std::shared_ptr<FakeGraphSystem> System, WORD Number)
      : m_System(std::move(System)), m_Number(Number), m_Stream(m_System->File.Profile[Number - 1u]) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return Base::QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return Base::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return Base::Release(); }

  // IWMStreamConfig
  STDMETHODIMP GetStreamType(GUID* Type) override {
    const HRESULT hr = m_System->Answer("IWMStreamConfig::GetStreamType(" + Number() + ")", "IWMStreamConfig::GetStreamType");
    if (hr == S_OK) *Type = m_Stream.Type;
    return hr;
  }
  STDMETHODIMP SetBitrate(DWORD Bits) override {
    m_System->File.Bitrates.push_back(Bits);
    return m_System->Answer("IWMStreamConfig::SetBitrate(" + std::to_string(Bits) + ")", "IWMStreamConfig::SetBitrate");
  }
  LM_FAKE_UNEXPECTED("IWMStreamConfig", GetStreamNumber, WORD*)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", SetStreamNumber, WORD)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", GetStreamName, WCHAR*, WORD*)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", SetStreamName, LPCWSTR_WMSDK_TYPE_SAFE)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", GetConnectionName, WCHAR*, WORD*)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", SetConnectionName, LPCWSTR_WMSDK_TYPE_SAFE)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", GetBitrate, DWORD*)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", GetBufferWindow, DWORD*)
  LM_FAKE_UNEXPECTED("IWMStreamConfig", SetBufferWindow, DWORD)

  // IWMMediaProps: the media type as a WM_MEDIA_TYPE with its format block right behind it.
  STDMETHODIMP GetMediaType(WM_MEDIA_TYPE* Type, DWORD* Size) override {
    const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + m_Stream.FormatBytes);
    const HRESULT hr = m_System->Answer(std::string("IWMVideoMediaProps::GetMediaType(") + (Type ? "buffer" : "size") + ")",
                                        "IWMVideoMediaProps::GetMediaType");
    if (hr != S_OK) return hr;
    if (!Type) {
      *Size = needed;
      return S_OK;
    }
    if (*Size < needed) return E_INVALIDARG;  // the caller's buffer is too small
    ZeroMemory(Type, needed);
    Type->majortype = m_Stream.Type;
    Type->subtype = MEDIASUBTYPE_RGB24;
    Type->formattype = m_Stream.FormatType;
    Type->cbFormat = m_Stream.FormatBytes;
    if (m_Stream.FormatBytes) {
      Type->pbFormat = reinterpret_cast<BYTE*>(Type + 1);
      std::memcpy(Type->pbFormat, &m_Stream.Header, std::min<size_t>(m_Stream.FormatBytes, sizeof(VIDEOINFOHEADER)));
    }
    return S_OK;
  }
  STDMETHODIMP SetMediaType(WM_MEDIA_TYPE* Type) override {
    if (Type && Type->pbFormat && Type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
      VIDEOINFOHEADER header;
      std::memcpy(&header, Type->pbFormat, sizeof(header));
      m_System->File.WrittenHeader = header;
    }
    return m_System->Answer("IWMVideoMediaProps::SetMediaType");
  }
  LM_FAKE_UNEXPECTED("IWMMediaProps", GetType, GUID*)
  LM_FAKE_UNEXPECTED("IWMVideoMediaProps", GetMaxKeyFrameSpacing, LONGLONG*)
  LM_FAKE_UNEXPECTED("IWMVideoMediaProps", SetMaxKeyFrameSpacing, LONGLONG)
  LM_FAKE_UNEXPECTED("IWMVideoMediaProps", GetQuality, DWORD*)
  LM_FAKE_UNEXPECTED("IWMVideoMediaProps", SetQuality, DWORD)

  std::string Number() const { return std::to_string(m_Number); }

protected:
  // Only a video stream has video media properties; the query may be refused by script.
  void* QueryInterfaceExtra(REFIID riid) override {
    if (!IsEqualIID(riid, lm::kIID_IWMVideoMediaProps)) return nullptr;
    if (!IsEqualGUID(m_Stream.Type, MEDIATYPE_Video)) return nullptr;
    if (m_System->Answer("IWMStreamConfig::QueryInterface(IWMVideoMediaProps)(" + Number() + ")",
                         "IWMStreamConfig::QueryInterface(IWMVideoMediaProps)") != S_OK)
      return nullptr;
    return static_cast<lm::IWMVideoMediaProps*>(this);
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
  WORD m_Number;
  FakeProfileStream m_Stream;  // a copy: the script may change while the stream lives
};

std::string StreamNumberOf(IWMStreamConfig* Stream) {
  auto* fake = dynamic_cast<FakeWMStream*>(Stream);
  return fake ? fake->Number() : "other";
}

class FakeWMProfile : public FakeComObject<IWMProfile> {
public:
  explicit FakeWMProfile(std::shared_ptr<FakeGraphSystem> System) : m_System(std::move(System)) {}

  STDMETHODIMP GetStreamCount(DWORD* Count) override {
    const HRESULT hr = m_System->Answer("IWMProfile::GetStreamCount");
    *Count = hr == S_OK ? static_cast<DWORD>(m_System->File.Profile.size()) : 0;
    return hr;
  }
  STDMETHODIMP GetStreamByNumber(WORD Number, IWMStreamConfig** Stream) override {
    *Stream = nullptr;
    const HRESULT hr = m_System->Answer("IWMProfile::GetStreamByNumber(" + std::to_string(Number) + ")",
                                        "IWMProfile::GetStreamByNumber");
    if (hr != S_OK) return hr;
    if (Number < 1 || Number > m_System->File.Profile.size()) return E_INVALIDARG;
    *Stream = new FakeWMStream(m_System, Number);
    return S_OK;
  }
  STDMETHODIMP ReconfigStream(IWMStreamConfig* Stream) override {
    return m_System->Answer("IWMProfile::ReconfigStream(" + StreamNumberOf(Stream) + ")", "IWMProfile::ReconfigStream");
  }
  LM_FAKE_UNEXPECTED("IWMProfile", GetVersion, WMT_VERSION*)
  LM_FAKE_UNEXPECTED("IWMProfile", GetName, WCHAR*, DWORD*)
  LM_FAKE_UNEXPECTED("IWMProfile", SetName, const WCHAR*)
  LM_FAKE_UNEXPECTED("IWMProfile", GetDescription, WCHAR*, DWORD*)
  LM_FAKE_UNEXPECTED("IWMProfile", SetDescription, const WCHAR*)
  LM_FAKE_UNEXPECTED("IWMProfile", GetStream, DWORD, IWMStreamConfig**)
  LM_FAKE_UNEXPECTED("IWMProfile", RemoveStream, IWMStreamConfig*)
  LM_FAKE_UNEXPECTED("IWMProfile", RemoveStreamByNumber, WORD)
  LM_FAKE_UNEXPECTED("IWMProfile", AddStream, IWMStreamConfig*)
  LM_FAKE_UNEXPECTED("IWMProfile", CreateNewStream, REFGUID, IWMStreamConfig**)
  LM_FAKE_UNEXPECTED("IWMProfile", GetMutualExclusionCount, DWORD*)
  LM_FAKE_UNEXPECTED("IWMProfile", GetMutualExclusion, DWORD, IWMMutualExclusion**)
  LM_FAKE_UNEXPECTED("IWMProfile", RemoveMutualExclusion, IWMMutualExclusion*)
  LM_FAKE_UNEXPECTED("IWMProfile", AddMutualExclusion, IWMMutualExclusion*)
  LM_FAKE_UNEXPECTED("IWMProfile", CreateNewMutualExclusion, IWMMutualExclusion**)

private:
  std::shared_ptr<FakeGraphSystem> m_System;
};

// The first filter of the file branch. It keeps its sink alive as the real writers do (the
// sink is part of them).
class FakeWriter : public FakeFilter, public IConfigAsfWriter {
public:
  FakeWriter(std::shared_ptr<FakeGraphSystem> System, bool Asf, ComPtr<IUnknown> Sink)
      : FakeFilter(System, "writer"), m_System(std::move(System)), m_Asf(Asf), m_Sink(std::move(Sink)) {
    m_System->File.Writer = this;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return FakeFilter::QueryInterface(riid, ppv); }
  STDMETHODIMP_(ULONG) AddRef() override { return FakeFilter::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return FakeFilter::Release(); }

  STDMETHODIMP ConfigureFilterUsingProfileGuid(REFGUID Profile) override {
    return m_System->Answer("IConfigAsfWriter::ConfigureFilterUsingProfileGuid(" + GuidText(Profile) + ")",
                            "IConfigAsfWriter::ConfigureFilterUsingProfileGuid");
  }
  STDMETHODIMP GetCurrentProfile(IWMProfile** Profile) override {
    *Profile = nullptr;
    const HRESULT hr = m_System->Answer("IConfigAsfWriter::GetCurrentProfile");
    if (hr == S_OK) *Profile = new FakeWMProfile(m_System);
    return hr;
  }
  STDMETHODIMP ConfigureFilterUsingProfile(IWMProfile* Profile) override {
    return m_System->Answer(std::string("IConfigAsfWriter::ConfigureFilterUsingProfile(") +
                                (dynamic_cast<FakeWMProfile*>(Profile) ? "profile" : "other") + ")",
                            "IConfigAsfWriter::ConfigureFilterUsingProfile");
  }
  LM_FAKE_UNEXPECTED("IConfigAsfWriter", ConfigureFilterUsingProfileId, DWORD)
  LM_FAKE_UNEXPECTED("IConfigAsfWriter", GetCurrentProfileId, DWORD*)
  LM_FAKE_UNEXPECTED("IConfigAsfWriter", GetCurrentProfileGuid, GUID*)
  LM_FAKE_UNEXPECTED("IConfigAsfWriter", SetIndexMode, BOOL)
  LM_FAKE_UNEXPECTED("IConfigAsfWriter", GetIndexMode, BOOL*)

protected:
  ~FakeWriter() override {
    if (m_System->File.Writer == this) m_System->File.Writer = nullptr;
  }
  void* QueryInterfaceExtra(REFIID riid) override {
    if (m_Asf && m_System->File.AsfConfig && IsEqualIID(riid, lm::kIID_IConfigAsfWriter))
      return static_cast<IConfigAsfWriter*>(this);
    return nullptr;
  }

private:
  std::shared_ptr<FakeGraphSystem> m_System;
  bool m_Asf;
  ComPtr<IUnknown> m_Sink;
};

}  // namespace

FakeProfileStream FakeProfileStream::Video(LONG Width, LONG Height) {
  FakeProfileStream stream;
  stream.Header.rcSource = RECT{2, 3, Width, Height};
  stream.Header.rcTarget = RECT{4, 5, Width, Height};
  stream.Header.dwBitRate = 250000;
  stream.Header.AvgTimePerFrame = 333333;
  stream.Header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  stream.Header.bmiHeader.biWidth = Width;
  stream.Header.bmiHeader.biHeight = Height;
  stream.Header.bmiHeader.biBitCount = 24;
  stream.Header.bmiHeader.biCompression = MAKEFOURCC('W', 'M', 'V', '2');
  stream.Header.bmiHeader.biSizeImage = 4321;
  return stream;
}

FakeProfileStream FakeProfileStream::Audio() {
  FakeProfileStream stream;
  stream.Type = MEDIATYPE_Audio;
  stream.FormatType = FORMAT_WaveFormatEx;
  stream.FormatBytes = 0;
  return stream;
}

HRESULT HandOutFileBranch(const std::shared_ptr<FakeGraphSystem>& System, const GUID* Subtype, LPCOLESTR FileName,
                          IBaseFilter** Writer, IFileSinkFilter** Sink) {
  if (Writer) *Writer = nullptr;
  if (Sink) *Sink = nullptr;
  const std::string entry = SubtypeName(Subtype) + ", " + Narrow(FileName ? FileName : L"null");
  System->File.OutputFiles.push_back(entry);
  const HRESULT hr = System->Answer("ICaptureGraphBuilder2::SetOutputFileName(" + entry + ")",
                                    "ICaptureGraphBuilder2::SetOutputFileName");
  if (hr != S_OK || !Writer || !Sink) return hr;
  auto* sink = new FakeFileSink(System);
  *Sink = sink;  // the caller's reference is the one the sink was born with
  *Writer = new FakeWriter(System, SubtypeName(Subtype) == "ASF", ComPtr<IUnknown>(static_cast<IFileSinkFilter2*>(sink)));
  return hr;
}

unsigned long FileBranchReferences(IUnknown* Object) {
  if (!Object) return 0;
  Object->AddRef();
  return Object->Release();
}

}  // namespace fakes
