#include "testcam/MediaType.h"

#include <cstring>
#include <utility>

namespace lmcam {
namespace {

HRESULT CopyInto(const AM_MEDIA_TYPE& Source, AM_MEDIA_TYPE& Target) {
  Target = Source;
  Target.pbFormat = nullptr;
  Target.cbFormat = 0;
  if (Source.cbFormat && Source.pbFormat) {
    Target.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(Source.cbFormat));
    if (!Target.pbFormat) {
      Target.pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(Target.pbFormat, Source.pbFormat, Source.cbFormat);
    Target.cbFormat = Source.cbFormat;
  }
  if (Target.pUnk) Target.pUnk->AddRef();
  return S_OK;
}

}  // namespace

void FreeMediaTypeContents(AM_MEDIA_TYPE& Type) {
  if (Type.pbFormat) CoTaskMemFree(Type.pbFormat);
  Type.pbFormat = nullptr;
  Type.cbFormat = 0;
  if (Type.pUnk) Type.pUnk->Release();
  Type.pUnk = nullptr;
}

bool SameMediaType(const AM_MEDIA_TYPE& A, const AM_MEDIA_TYPE& B) {
  return IsEqualGUID(A.majortype, B.majortype) && IsEqualGUID(A.subtype, B.subtype) &&
         IsEqualGUID(A.formattype, B.formattype) && A.cbFormat == B.cbFormat &&
         (A.cbFormat == 0 || std::memcmp(A.pbFormat, B.pbFormat, A.cbFormat) == 0);
}

MediaType::MediaType() : m_Type{} {}

MediaType::MediaType(const AM_MEDIA_TYPE& Source) : m_Type{} {
  if (FAILED(CopyInto(Source, m_Type))) m_Type = AM_MEDIA_TYPE{};
}

MediaType::MediaType(const MediaType& Other) : MediaType(Other.m_Type) {}

MediaType::MediaType(MediaType&& Other) noexcept : m_Type(Other.m_Type) { Other.m_Type = AM_MEDIA_TYPE{}; }

MediaType& MediaType::operator=(const MediaType& Other) {
  if (this != &Other) {
    MediaType copy(Other);
    *this = std::move(copy);
  }
  return *this;
}

MediaType& MediaType::operator=(MediaType&& Other) noexcept {
  if (this != &Other) {
    Free();
    m_Type = Other.m_Type;
    Other.m_Type = AM_MEDIA_TYPE{};
  }
  return *this;
}

MediaType::~MediaType() { Free(); }

void MediaType::Free() { FreeMediaTypeContents(m_Type); }

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE* Target) const {
  if (!Target) return E_POINTER;
  return CopyInto(m_Type, *Target);
}

AM_MEDIA_TYPE* MediaType::CreateCopy() const {
  auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!copy) return nullptr;
  if (FAILED(CopyInto(m_Type, *copy))) {
    CoTaskMemFree(copy);
    return nullptr;
  }
  return copy;
}

BYTE* MediaType::AllocateFormat(ULONG Size) {
  if (m_Type.pbFormat) CoTaskMemFree(m_Type.pbFormat);
  m_Type.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(Size));
  m_Type.cbFormat = m_Type.pbFormat ? Size : 0;
  if (m_Type.pbFormat) std::memset(m_Type.pbFormat, 0, Size);
  return m_Type.pbFormat;
}

}  // namespace lmcam
