// The .reg text parser: anything is refused with error 1009 or read; what is
// read writes back to text that reads as the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry/RegFile.h"
#include "runtime/Error.h"

using namespace dalvera;
using namespace dalvera::platform;

namespace {
// The keys as the registry shows them: a root always exists, so one without
// values of its own is the same as none (the text form leaves it out).
std::vector<RegKey> shown(const RegTree& tree) {
    std::vector<RegKey> keys;
    for (const auto& [lower, key] : tree.keys())
        if (!key.values.empty() || key.fullName.find('\\') != std::string::npos) keys.push_back(key);
    return keys;
}
}  // namespace

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
        if (shown(parseRegFile(written, "fuzz.reg")) != shown(tree)) std::abort();
    } catch (const Error&) {
        std::abort();  // our own text must read back
    }
    return 0;
}
