// libFuzzer entry point; see fuzztargets.h.
#include "fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pelorus::fuzz::ObjectDump(data, size);
    return 0;
}
