// The libFuzzer entry point; run.sh compiles it once per target, naming the
// target with ORTELIX_FUZZ_TARGET.
#include "fuzz/fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return ortelix::fuzz::ORTELIX_FUZZ_TARGET(data, size);
}
