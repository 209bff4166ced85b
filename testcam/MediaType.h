#pragma once

// AM_MEDIA_TYPE with value semantics: copies deep-copy the format block, destruction frees it.

#include <windows.h>

#include <strmif.h>

namespace lmcam {

class MediaType {
public:
  MediaType();
  explicit MediaType(const AM_MEDIA_TYPE& Source);
  MediaType(const MediaType& Other);
  MediaType(MediaType&& Other) noexcept;
  MediaType& operator=(const MediaType& Other);
  MediaType& operator=(MediaType&& Other) noexcept;
  ~MediaType();

  const AM_MEDIA_TYPE& Get() const { return m_Type; }
  // Copies this type into Target (which owns the copy of the format block afterwards).
  HRESULT CopyTo(AM_MEDIA_TYPE* Target) const;
  // A task-memory copy, as IEnumMediaTypes::Next hands out; nullptr when out of memory.
  AM_MEDIA_TYPE* CreateCopy() const;
  // Replaces the format block by a zeroed one of Size bytes.
  BYTE* AllocateFormat(ULONG Size);
  AM_MEDIA_TYPE& Edit() { return m_Type; }
  bool IsEmpty() const { return m_Type.majortype == GUID_NULL; }

private:
  void Free();
  AM_MEDIA_TYPE m_Type;
};

// Frees the format block and the object reference of a type that the caller owns.
void FreeMediaTypeContents(AM_MEDIA_TYPE& Type);

// Same major type, subtype and format type and an identical format block.
bool SameMediaType(const AM_MEDIA_TYPE& A, const AM_MEDIA_TYPE& B);

}  // namespace lmcam
