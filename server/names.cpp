// Names through utf8proc (its NFC, NFKC, case folding and character categories) and ICU (the
// default-ignorable property and UTS #39's confusable skeletons), so that the rules follow
// Unicode's tables rather than ranges of our own.
#include "names.h"

#include <cstdlib>
#include <memory>

#include <unicode/uchar.h>
#include <unicode/uspoof.h>
#include <utf8proc.h>

namespace scores {

using platform::said;

namespace {

constexpr std::string_view kPunctuation = "-_.'!?&+#():";

struct FreeDeleter {
    void operator()(utf8proc_uint8_t* p) const { std::free(p); }
};

// utf8proc_map with the given options into `out`; false on text that is not UTF-8.
bool Map(std::string_view text, int options, std::string* out) {
    utf8proc_uint8_t* mapped = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                     static_cast<utf8proc_ssize_t>(text.size()), &mapped,
                     static_cast<utf8proc_option_t>(options));
    std::unique_ptr<utf8proc_uint8_t, FreeDeleter> owned(mapped);
    if (length < 0) return false;
    out->assign(reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(length));
    return true;
}

CheckedName Refused(platform::Said reason) {
    CheckedName refused;
    refused.error = reason.English();
    refused.reason = std::move(reason);
    return refused;
}

bool IsBidiControl(utf8proc_int32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
           c == 0x200F || c == 0x061C;
}

// Characters that show as nothing, or as blank space, though Unicode counts some of them as
// letters (the Hangul fillers are Lo): a name of them alone would read as empty. Beyond
// Default_Ignorable_Code_Point, the Braille blank.
bool IsInvisible(utf8proc_int32_t c) {
    return u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) || c == 0x115F ||
           c == 0x1160 || c == 0x3164 || c == 0xFFA0 || c == 0x2800;
}

struct SpoofCloser {
    void operator()(USpoofChecker* checker) const { uspoof_close(checker); }
};

// ICU's skeleton of UTF-8 text; empty when ICU cannot make one.
std::string Skeleton(const std::string& text) {
    // Opened once; a checker that is not changed may be used from any thread.
    static const std::unique_ptr<USpoofChecker, SpoofCloser> checker = [] {
        UErrorCode status = U_ZERO_ERROR;
        USpoofChecker* opened = uspoof_open(&status);
        if (U_FAILURE(status)) {
            uspoof_close(opened);
            opened = nullptr;
        }
        return std::unique_ptr<USpoofChecker, SpoofCloser>(opened);
    }();
    if (!checker) return {};
    std::string out(text.size() * 4 + 16, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length =
            uspoof_getSkeletonUTF8(checker.get(), 0, text.data(), static_cast<int32_t>(text.size()),
                                   out.data(), static_cast<int32_t>(out.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(static_cast<std::size_t>(length) + 1);
            continue;
        }
        if (U_FAILURE(status)) return {};
        out.resize(static_cast<std::size_t>(length));
        return out;
    }
    return {};
}

}  // namespace

CheckedName CheckName(std::string_view given) {
    std::string nfc;
    if (!Map(given, UTF8PROC_STABLE | UTF8PROC_COMPOSE, &nfc)) {
        return Refused(said("the name is not valid UTF-8 text"));
    }
    const std::size_t first = nfc.find_first_not_of(' ');
    if (first == std::string::npos) return Refused(said("the name is empty"));
    nfc = nfc.substr(first, nfc.find_last_not_of(' ') - first + 1);

    int count = 0;
    bool lastWasSpace = false;
    bool lastWasLetter = false;
    utf8proc_ssize_t at = 0;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(nfc.data());
    const auto size = static_cast<utf8proc_ssize_t>(nfc.size());
    while (at < size) {
        utf8proc_int32_t c = 0;
        const utf8proc_ssize_t step = utf8proc_iterate(bytes + at, size - at, &c);
        if (step <= 0) return Refused(said("the name is not valid UTF-8 text"));
        at += step;
        ++count;
        const utf8proc_category_t category = utf8proc_category(c);
        if (IsBidiControl(c))
            return Refused(said("the name holds a text-direction control character"));
        if (category == UTF8PROC_CATEGORY_CC || category == UTF8PROC_CATEGORY_CF) {
            return Refused(said("the name holds a control character"));
        }
        if (IsInvisible(c)) return Refused(said("the name holds an invisible or blank character"));
        const bool letter = category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
        const bool mark = category >= UTF8PROC_CATEGORY_MN && category <= UTF8PROC_CATEGORY_ME;
        const bool digit = category == UTF8PROC_CATEGORY_ND;
        const bool space = c == ' ';
        const bool punctuation =
            c < 0x80 && kPunctuation.find(static_cast<char>(c)) != std::string_view::npos;
        if (space && lastWasSpace) return Refused(said("the name has two spaces in a row"));
        if (mark && !lastWasLetter)
            return Refused(said("the name has an accent without its letter"));
        if (!letter && !mark && !digit && !space && !punctuation) {
            return Refused(
                said("a name holds only letters, digits, spaces and - _ . ' ! ? & + # ( ) :"));
        }
        lastWasSpace = space;
        lastWasLetter = letter || (mark && lastWasLetter);
    }
    if (count > kNameMaxCharacters) {
        return Refused(
            said("the name is longer than {1} characters", {std::to_string(kNameMaxCharacters)}));
    }
    CheckedName accepted;
    if (!Map(nfc, UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_CASEFOLD, &accepted.key)) {
        return Refused(said("the name is not valid UTF-8 text"));
    }
    // Look-alikes by the letters, whatever their case: the skeleton of the NFKC form, folded and
    // made a skeleton again (a capital I and a small l are one, as are Cyrillic А and Latin a).
    std::string compatible;
    std::string folded;
    if (!Map(nfc, UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT, &compatible) ||
        !Map(Skeleton(compatible),
             UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD, &folded)) {
        return Refused(said("the name is not valid UTF-8 text"));
    }
    accepted.skeleton = Skeleton(folded);
    if (accepted.skeleton.empty()) return Refused(said("the name cannot be checked just now"));
    accepted.name = std::move(nfc);
    return accepted;
}

}  // namespace scores
