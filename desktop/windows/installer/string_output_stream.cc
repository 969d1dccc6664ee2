#include "desktop/windows/installer/string_output_stream.h"

#include "base/logging.h"

namespace installer {

StringOutputStream::StringOutputStream() = default;

StringOutputStream::~StringOutputStream() = default;

HRESULT StringOutputStream::QueryInterface(REFIID riid, void** object) {
  if (!object)
    return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) ||
      IsEqualIID(riid, IID_ISequentialStream) ||
      IsEqualIID(riid, IID_IStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG StringOutputStream::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&ref_count_));
}

ULONG StringOutputStream::Release() {
  LONG count = ::InterlockedDecrement(&ref_count_);
  DCHECK_GE(count, 0);
  if (count == 0)
    delete this;
  return static_cast<ULONG>(count);
}

HRESULT StringOutputStream::Read(void* buffer, ULONG size, ULONG* read) {
  if (read)
    *read = 0;
  return E_NOTIMPL;
}

HRESULT StringOutputStream::Write(const void* buffer,
                                  ULONG size,
                                  ULONG* written) {
  if (!buffer && size)
    return STG_E_INVALIDPOINTER;
  text_.append(static_cast<const char*>(buffer), size);
  if (written)
    *written = size;
  return S_OK;
}

HRESULT StringOutputStream::Seek(LARGE_INTEGER move,
                                 DWORD origin,
                                 ULARGE_INTEGER* position) {
  // Asking where the end is moves nothing; any other move is refused.
  const bool stays = (origin == STREAM_SEEK_CUR || origin == STREAM_SEEK_END) &&
                     move.QuadPart == 0;
  if (!stays)
    return STG_E_INVALIDFUNCTION;
  if (position)
    position->QuadPart = text_.size();
  return S_OK;
}

HRESULT StringOutputStream::SetSize(ULARGE_INTEGER size) {
  return E_NOTIMPL;
}

HRESULT StringOutputStream::CopyTo(IStream* target,
                                   ULARGE_INTEGER size,
                                   ULARGE_INTEGER* read,
                                   ULARGE_INTEGER* written) {
  return E_NOTIMPL;
}

HRESULT StringOutputStream::Commit(DWORD flags) {
  return S_OK;
}

HRESULT StringOutputStream::Revert() {
  return E_NOTIMPL;
}

HRESULT StringOutputStream::LockRegion(ULARGE_INTEGER offset,
                                       ULARGE_INTEGER size,
                                       DWORD type) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT StringOutputStream::UnlockRegion(ULARGE_INTEGER offset,
                                         ULARGE_INTEGER size,
                                         DWORD type) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT StringOutputStream::Stat(STATSTG* stat, DWORD flags) {
  if (!stat)
    return STG_E_INVALIDPOINTER;
  *stat = {};
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = text_.size();
  return S_OK;
}

HRESULT StringOutputStream::Clone(IStream** clone) {
  if (clone)
    *clone = nullptr;
  return E_NOTIMPL;
}

}  // namespace installer
