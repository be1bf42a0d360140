// SHA-256 (FIPS 180-4), fed piece by piece. Portable C++: the setup checks
// its package with it as the bytes are written out, and the host's tests
// check it against the standard's examples.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vx {

using Sha256Digest = std::array<uint8_t, 32>;

class Sha256 {
 public:
  // Which code compresses the blocks: the processor's SHA instructions where
  // it has them (x86 SHA extensions: about ten times as fast), or the
  // portable code, which every processor runs.
  enum class Engine { Fastest, Portable };
  explicit Sha256(Engine engine = Engine::Fastest);
  void Update(const void* data, size_t size);
  // The digest of everything given so far; the object starts over afterwards.
  Sha256Digest Finish();
  // Whether this processor has the SHA instructions Engine::Fastest uses.
  static bool HasShaInstructions();

 private:
  void Compress(const uint8_t* blocks, size_t count);

  Engine engine_;
  bool useShaInstructions_;
  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> pending_{};
  size_t pendingSize_ = 0;
  uint64_t totalBytes_ = 0;
};

Sha256Digest Sha256Of(std::string_view bytes);
// 64 lower-case hexadecimal digits.
std::string DigestToHex(const Sha256Digest& digest);

}  // namespace vx
