// libFuzzer target for the package reader: any bytes as a package file, and
// any bytes as one record text. Nothing may crash, read out of bounds or
// allocate more than the file holds (the run sets a small malloc limit), and
// a valid record must read back the same after it is written again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/package.h"

namespace {

// One scratch file per process, in memory-backed storage when there is one
// (the reader needs a real file), removed when the run ends.
const std::string& PackagePath() {
  static const std::string path = [] {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "";
    std::string name = std::string(folder) + "vx-fuzz-package-" + std::to_string(getpid()) + ".pck";
    return name;
  }();
  static const bool cleanup = std::atexit([] { std::remove(PackagePath().c_str()); }) == 0;
  (void)cleanup;
  return path;
}

void CheckRecord(std::string_view text) {
  vx::TPackItem item("xxx", "xxx");
  item.ParseLine(text);
  if (item.Status != vx::kItemValid) return;
  if (!vx::IsSafeItemPath(item.Folder, item.FileName)) std::abort();
  // A valid record survives the writer's form.
  const std::string line =
      vx::FormatItemLine(item.Folder, item.FileName, item.Offset, item.Size, item.FileDate);
  std::optional<std::string_view> record = vx::RecordText(line);
  if (!record) std::abort();
  vx::TPackItem again("xxx", "xxx");
  again.ParseLine(*record);
  if (again.Status != vx::kItemValid || again.Folder != item.Folder ||
      again.FileName != item.FileName || again.Offset != item.Offset ||
      again.Size != item.Size || again.FileDate != item.FileDate) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckRecord(bytes);

  std::FILE* file = std::fopen(PackagePath().c_str(), "wb");
  if (file == nullptr) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (!written) return 0;

  std::optional<int32_t> listOffset = vx::ReadItemListOffset(PackagePath());
  std::vector<std::string> lines{"previous"};
  std::optional<int32_t> result = vx::ReadItemList(PackagePath(), &lines);
  if (!listOffset || !result) std::abort();  // the file exists and can be opened
  std::vector<std::string> fromMemory{"previous"};
  if (vx::ReadItemListFrom(bytes, &fromMemory) != *result || fromMemory != lines) std::abort();
  if (*result != vx::kReadListOk) {
    if (lines != std::vector<std::string>{"previous"}) std::abort();
    return 0;
  }
  size_t listBytes = 0;
  for (const std::string& line : lines) {
    listBytes += line.size();
    if (std::optional<std::string_view> record = vx::RecordText(line)) CheckRecord(*record);
  }
  if (listBytes > size) std::abort();
  return 0;
}
