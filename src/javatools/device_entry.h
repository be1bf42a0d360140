// The attribute side of device profile listing, apart from the file system so
// that every attribute combination can be checked.
#pragma once

#include <cstdint>
#include <string_view>

namespace vx {

// True when an entry of a toolkit's devices folder, as the folder enumeration
// reports it, may be a device profile: its attribute word is exactly the
// directory bit (a read-only, hidden, archive or otherwise marked folder does
// not count), its reported size is 0 and it is neither "." nor "..". The
// profile's own ".properties" file is checked separately.
bool IsDeviceFolderEntry(uint32_t attributes, uint32_t sizeLow, std::string_view name);

}  // namespace vx
