// Players' names: what a name may hold, its one written form (NFC), the key that keeps one
// name from being taken again in another case, and the skeleton that keeps it from being taken
// again in letters that only look the same.
#pragma once

#include <string>
#include <string_view>

#include "catalog.h"

namespace scores {

struct CheckedName {
    std::string name;  // NFC, as shown in the table; empty when refused
    std::string key;   // case-folded NFC: two names with one key are the same player
    // UTS #39's confusable skeleton of the case-folded NFKC form: two players' names never share
    // one ("Paypal" and "Pаypal" with a Cyrillic а look the same to a reader of the table).
    std::string skeleton;
    std::string error;      // why the name was refused, in English; empty when accepted
    platform::Said reason;  // the same, to be said in the player's language
};

inline constexpr int kNameMaxCharacters = 16;

// Accepts 1-16 characters after NFC normalisation, spaces at either end dropped: letters,
// marks after a letter, digits, single spaces between words, and - _ . ' ! ? & + # ( ) :.
// Refuses anything else (control, format and bidirectional-override characters, default-ignorable
// and filler characters such as U+3164 HANGUL FILLER among it), with the reason in `error`.
CheckedName CheckName(std::string_view given);

}  // namespace scores
