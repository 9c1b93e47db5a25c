// Any bytes as a compiled catalogue: a catalogue that loads answers every look-up with a text
// it holds or the text asked for, and its plural rule picks one of its forms for any number.
#include <cstdint>
#include <string>
#include <string_view>

#include "catalog.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::Catalog catalog;
    const bool loaded = catalog.Load(std::string_view(reinterpret_cast<const char*>(data), size));
    Require(loaded || catalog.Empty());
    Require(catalog.Get("not in any catalogue") == "not in any catalogue");
    for (const std::uint64_t n : {0ull, 1ull, 2ull, 11ull, 101ull, 1000000ull}) {
        catalog.GetPlural("%d round", "%d rounds", n);
        Require(catalog.PluralIndex(n) < 6);
    }
    return 0;
}
