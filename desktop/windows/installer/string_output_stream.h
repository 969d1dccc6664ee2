// An IStream that appends what is written to it to a string, for the XML
// writer's output. The system's stream on a memory block grew that block
// by each write's size, copying it every time, so writing the install log
// took time in the square of its size.

#ifndef DESKTOP_WINDOWS_INSTALLER_STRING_OUTPUT_STREAM_H_
#define DESKTOP_WINDOWS_INSTALLER_STRING_OUTPUT_STREAM_H_

#include <windows.h>

#include <objidl.h>

#include <string>

namespace installer {

class StringOutputStream : public IStream {
 public:
  // The reference count starts at 1; the caller owns that reference.
  StringOutputStream();
  StringOutputStream(const StringOutputStream&) = delete;
  StringOutputStream& operator=(const StringOutputStream&) = delete;

  // What has been written so far.
  const std::string& text() const { return text_; }

  // IUnknown:
  HRESULT WINAPI QueryInterface(REFIID riid, void** object) override;
  ULONG WINAPI AddRef() override;
  ULONG WINAPI Release() override;

  // ISequentialStream: only writing.
  HRESULT WINAPI Read(void* buffer, ULONG size, ULONG* read) override;
  HRESULT WINAPI Write(const void* buffer, ULONG size, ULONG* written) override;

  // IStream: the position is always the end, nothing else is supported.
  HRESULT WINAPI Seek(LARGE_INTEGER move,
                      DWORD origin,
                      ULARGE_INTEGER* position) override;
  HRESULT WINAPI SetSize(ULARGE_INTEGER size) override;
  HRESULT WINAPI CopyTo(IStream* target,
                        ULARGE_INTEGER size,
                        ULARGE_INTEGER* read,
                        ULARGE_INTEGER* written) override;
  HRESULT WINAPI Commit(DWORD flags) override;
  HRESULT WINAPI Revert() override;
  HRESULT WINAPI LockRegion(ULARGE_INTEGER offset,
                            ULARGE_INTEGER size,
                            DWORD type) override;
  HRESULT WINAPI UnlockRegion(ULARGE_INTEGER offset,
                              ULARGE_INTEGER size,
                              DWORD type) override;
  HRESULT WINAPI Stat(STATSTG* stat, DWORD flags) override;
  HRESULT WINAPI Clone(IStream** clone) override;

 private:
  // Only Release deletes the object.
  virtual ~StringOutputStream();

  LONG ref_count_ = 1;
  std::string text_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STRING_OUTPUT_STREAM_H_
