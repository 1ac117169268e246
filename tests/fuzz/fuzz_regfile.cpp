// The .reg text parser: anything is refused with error 1009 or read; what is
// read writes back to text that reads as the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry/RegFile.h"
#include "runtime/Error.h"

using namespace dalvera;
using namespace dalvera::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    RegTree tree;
    try {
        tree = parseRegFile(text, "fuzz.reg");
    } catch (const Error& e) {
        if (e.number() != 1009) std::abort();
        return 0;
    }
    std::string written = formatRegFile(tree);
    try {
        if (!(parseRegFile(written, "fuzz.reg") == tree)) std::abort();
    } catch (const Error&) {
        std::abort();  // our own text must read back
    }
    return 0;
}
