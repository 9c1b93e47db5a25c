// The text engine of the browser build, which has no fonts: every font request fails, so
// CreateFontA returns NULL (as Windows does when it cannot make a font) and a device context
// without a font of its own has none to draw with. The game itself draws no text. Code page 932
// still converts (cp932_iconv.cpp), for the window's title and the message box.
#include "text_engine.h"

namespace platform::text {

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

// No Font is ever made; the rest is here for the linker.
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
