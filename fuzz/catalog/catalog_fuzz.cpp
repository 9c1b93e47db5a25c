// Any bytes as a compiled catalogue: one that does not load is empty and answers every look-up
// with the text asked for; one that loads answers look-ups and plurals for any number without
// reading outside what it holds, and its plural rule picks one of its forms.
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
    // (A catalogue that loads may hold any text, this one too.)
    Require(loaded || catalog.Get("not in any catalogue") == "not in any catalogue");
    catalog.Get("Best score");
    for (const std::uint64_t n : {0ull, 1ull, 2ull, 11ull, 101ull, 1000000ull}) {
        catalog.GetPlural("%d round", "%d rounds", n);
        Require(catalog.PluralIndex(n) < 6);
    }
    return 0;
}
