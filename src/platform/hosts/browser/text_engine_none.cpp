// The text engine of the web build: there are no fonts, so every font request fails (CreateFontA
// returns NULL, as Windows does when it cannot make a font) and a device context has no default
// font to draw with. The game itself draws no text. Code page 932 still converts to UTF-8, for
// the window's title and the message box.
#include <iconv.h>

#include <cerrno>
#include <vector>

#include "text_engine.h"

namespace platform::text {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
    std::string out;
    if (bytes.empty()) return out;
    // The C library here knows code page 932 by its older name.
    iconv_t cd = iconv_open("UTF-8", "SHIFT_JIS");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out += c;
            } else {
                out += kReplacement;
            }
        }
        return out;
    }
    std::vector<char> buffer(bytes.size() * 3 + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = buffer.data();
        size_t oLeft = buffer.size();
        const size_t result = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer.data(), static_cast<size_t>(o - buffer.data()));
        if (result != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        out += kReplacement;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

struct Font::Impl {
    FontMetrics metrics;
    std::string family;
};

std::unique_ptr<Font> Font::Create(const FontRequest&) {
    return nullptr;
}
std::unique_ptr<Font> Font::CreateDefault() {
    return nullptr;
}

// No Font is ever made; these exist for the linker only.
Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;
const FontMetrics& Font::Metrics() const {
    return impl_->metrics;
}
const std::string& Font::FamilyName() const {
    return impl_->family;
}
TextExtent Font::Measure(std::string_view) const {
    return {};
}
int Font::Draw(int, int, std::string_view, const ClipRect&,
               const std::function<void(int, int)>&) const {
    return 0;
}

}  // namespace platform::text
