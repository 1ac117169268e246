// The shortcut reader: any bytes give a shortcut or error 5, never a read
// outside the data.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/os/ShellLink.h"
#include "runtime/Error.h"

using namespace dalvera;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so that ASan sees any read past the end.
    std::vector<uint8_t> bytes(data, data + size);
    try {
        platform::parseShellLink(bytes);
    } catch (const Error& e) {
        if (e.number() != err::InvalidCall) std::abort();
    }
    return 0;
}
