#pragma once

// The ASF writer's configuration interface and the Windows Media profile interfaces that the
// recorder sizes its output with. The Windows SDK declares them in dshowasf.h and wmsdkidl.h;
// cross-compiler headers may lack dshowasf.h and IWMVideoMediaProps, so what is missing is
// declared here: IConfigAsfWriter under its own name only when no dshowasf.h exists, the video
// media properties always under a name of this library (the SDK's wmsdkidl.h has the same
// interface, and no header test can tell whether it is there).

#include <windows.h>

#include <dshow.h>
#include <wmsdkidl.h>

#if __has_include(<dshowasf.h>)
#include <dshowasf.h>
#else
// {45086030-F7E4-486A-B504-826BB5792A3B}
MIDL_INTERFACE("45086030-F7E4-486A-B504-826BB5792A3B")
IConfigAsfWriter : public IUnknown {
public:
  virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD dwProfileId) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* pdwProfileId) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID guidProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* pProfileGuid) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* pProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** ppProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL bIndexFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* pbIndexFile) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IConfigAsfWriter, 0x45086030, 0xf7e4, 0x486a, 0xb5, 0x04, 0x82, 0x6b, 0xb5, 0x79, 0x2a, 0x3b)
#endif
#endif

namespace lm {

// The media type of a profile's video stream, with key-frame spacing and
// quality.
MIDL_INTERFACE("96406BCF-2B2B-11D3-B36B-00C04F6108FF")
IWMVideoMediaProps : public IWMMediaProps {
public:
  virtual HRESULT STDMETHODCALLTYPE GetMaxKeyFrameSpacing(LONGLONG* pllTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMaxKeyFrameSpacing(LONGLONG llTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetQuality(DWORD* pdwQuality) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetQuality(DWORD dwQuality) = 0;
};

// Identifiers, spelled out: no import library of the cross compiler carries them.
inline constexpr IID kIID_IConfigAsfWriter = {
    0x45086030, 0xF7E4, 0x486A, {0xB5, 0x04, 0x82, 0x6B, 0xB5, 0x79, 0x2A, 0x3B}};
inline constexpr IID kIID_IWMVideoMediaProps = {
    0x96406BCF, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
// The Windows Media system profile that the recorder loads into the ASF writer.
inline constexpr GUID kAsfSystemProfile = {
    0x6E2A6955, 0x81DF, 0x4943, {0xBA, 0x50, 0x68, 0xA9, 0x86, 0xA7, 0x08, 0xF6}};
// A profile stream's type for video, and the format type of a VIDEOINFOHEADER block (the
// same values as MEDIATYPE_Video and FORMAT_VideoInfo).
inline constexpr GUID kWMMediaTypeVideo = {
    0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID kWMFormatVideoInfo = {
    0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

}  // namespace lm
