#include "common/handles.h"

namespace vx {

ResourceBytes FindResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
  ResourceBytes bytes;
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return bytes;
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return bytes;
  const void* data = LockResource(loaded);
  if (!data) return bytes;
  bytes.data = static_cast<const char*>(data);
  bytes.size = SizeofResource(module, info);
  return bytes;
}

}  // namespace vx
