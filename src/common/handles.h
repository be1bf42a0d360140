// One small owner per kind of operating-system handle, each with its own
// invalid value, so that no step leaks a handle on any path.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace vx {

// Generic owner: Traits::Invalid() is the empty value, Traits::Close(h) frees.
template <class Traits>
class UniqueOwner {
 public:
  using Handle = typename Traits::Handle;

  UniqueOwner() noexcept = default;
  explicit UniqueOwner(Handle handle) noexcept : handle_(handle) {}
  ~UniqueOwner() { reset(); }
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }
  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  void reset(Handle handle = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) Traits::Close(old);
  }
  // For functions that return a handle through a pointer argument.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct FileHandleTraits {  // CreateFileA: INVALID_HANDLE_VALUE when it failed
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { CloseHandle(h); }
};
struct KernelHandleTraits {  // threads, events: null when absent
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFileA
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { FindClose(h); }
};
struct RegKeyTraits {  // registry keys: null when none is open
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { RegCloseKey(h); }
};
struct ModuleTraits {  // LoadLibraryExA
  using Handle = HMODULE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { FreeLibrary(h); }
};
struct GdiObjectTraits {  // bitmaps, fonts, brushes
  using Handle = HGDIOBJ;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { DeleteObject(h); }
};
struct IconTraits {  // LoadImageA icons (not shared ones)
  using Handle = HICON;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { DestroyIcon(h); }
};
struct ImageListTraits {  // ImageList_Create
  using Handle = HIMAGELIST;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { ImageList_Destroy(h); }
};
struct MappedViewTraits {  // MapViewOfFile
  using Handle = const void*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { UnmapViewOfFile(h); }
};
struct LocalMemTraits {  // blocks the system allocates with LocalAlloc for the caller
  using Handle = void*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { LocalFree(h); }
};
struct BstrTraits {  // SysAllocString and the strings COM calls return
  using Handle = BSTR;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { SysFreeString(h); }
};
struct CoTaskMemTraits {  // shell item lists and other CoTaskMemAlloc blocks
  using Handle = void*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept { CoTaskMemFree(h); }
};

using FileHandle = UniqueOwner<FileHandleTraits>;
using KernelHandle = UniqueOwner<KernelHandleTraits>;
using FindHandle = UniqueOwner<FindHandleTraits>;
using RegKey = UniqueOwner<RegKeyTraits>;
using ModuleHandle = UniqueOwner<ModuleTraits>;
using GdiObject = UniqueOwner<GdiObjectTraits>;
using Icon = UniqueOwner<IconTraits>;
using ImageList = UniqueOwner<ImageListTraits>;
using CoTaskMem = UniqueOwner<CoTaskMemTraits>;
using MappedView = UniqueOwner<MappedViewTraits>;
using LocalMem = UniqueOwner<LocalMemTraits>;
using Bstr = UniqueOwner<BstrTraits>;

// Owner of one COM interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }

  T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  void reset() noexcept {
    if (ptr_) std::exchange(ptr_, nullptr)->Release();
  }
  T** put() noexcept {
    reset();
    return &ptr_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  // QueryInterface into another owner; returns the HRESULT.
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>& out) const noexcept {
    if (!ptr_) return E_POINTER;
    return ptr_->QueryInterface(iid, out.put_void());
  }

 private:
  T* ptr_ = nullptr;
};

// Owner of one VARIANT: whatever it holds (a string, an interface) is freed
// with it. Empty (VT_EMPTY) until set.
class Variant {
 public:
  Variant() noexcept { VariantInit(&value_); }
  ~Variant() { VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* get() noexcept { return &value_; }
  // For calls that take a VARIANT by value: the callee only reads it.
  const VARIANT& value() const noexcept { return value_; }
  void SetString(Bstr text) noexcept {
    VariantClear(&value_);
    value_.vt = VT_BSTR;
    value_.bstrVal = text.release();
  }
  void SetInt(LONG number) noexcept {
    VariantClear(&value_);
    value_.vt = VT_I4;
    value_.lVal = number;
  }

 private:
  VARIANT value_;
};

// COM initialised for the calling thread as long as the object lives.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
      : result_(CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  HRESULT result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// Bytes of a resource of the running executable (or of another module). Data
// of a loaded resource lives as long as the module, so nothing is freed here.
struct ResourceBytes {
  const char* data = nullptr;
  DWORD size = 0;
};
// Empty (null data) when the resource is missing or cannot be loaded.
ResourceBytes FindResourceBytes(HMODULE module, LPCSTR name, LPCSTR type);

}  // namespace vx
