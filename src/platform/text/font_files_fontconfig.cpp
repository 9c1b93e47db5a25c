// The text engine's faces on Linux: whatever fontconfig matches for the request.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>

#include "font_files.h"

namespace platform::text {
namespace {

// The faces offered for one request: the best few are plenty (the engine takes the first that
// opens).
constexpr int kMaxOffered = 32;

// The engine's own fontconfig configuration, loaded at first use and released at exit (the
// library's implicit default one is never released, which leak checkers report). Fonts keep no
// fontconfig objects, so a font deleted after the release is unaffected.
FcConfig* g_config = nullptr;

void ReleaseConfig() {
    if (g_config) FcConfigDestroy(g_config);
    g_config = nullptr;
}

FcConfig* Config() {
    if (!g_config) {
        static const bool registered = std::atexit(ReleaseConfig) == 0;
        (void)registered;
        g_config = FcInitLoadConfigAndFonts();
    }
    return g_config;
}

// What fontconfig is asked for a request, substituted and ready to match; the caller destroys
// the pattern.
FcPattern* RequestPattern(const FontRequest& request, int pixels) {
    FcPattern* pattern = FcPatternCreate();
    const std::string face = Cp932ToUtf8(request.faceName);
    FcPatternAddString(
        pattern, FC_FAMILY,
        reinterpret_cast<const FcChar8*>(face.empty() ? "sans-serif" : face.c_str()));
    if (request.charSet == kShiftJisCharset) {
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    }
    const int weight = request.weight <= 0 ? 400 : std::min(request.weight, 1000);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddDouble(pattern, FC_PIXEL_SIZE, pixels);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    return pattern;
}

void Prepare(FcPattern* pattern) {
    FcConfigSubstitute(Config(), pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
}

// The face fontconfig describes, if it is an outline font in a file.
bool Describe(FcPattern* font, FaceFile* out) {
    FcChar8* file = nullptr;
    FcBool outline = FcTrue;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch) return false;
    FcPatternGetBool(font, FC_OUTLINE, 0, &outline);
    if (!outline) return false;
    out->path = reinterpret_cast<const char*>(file);
    out->index = 0;
    FcPatternGetInteger(font, FC_INDEX, 0, &out->index);
    FcChar8* family = nullptr;
    out->family = FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch
                      ? reinterpret_cast<const char*>(family)
                      : "";
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(font, FC_SLANT, 0, &slant);
    out->bold = weight >= FC_WEIGHT_DEMIBOLD;
    out->italic = slant != FC_SLANT_ROMAN;
    return true;
}

}  // namespace

std::vector<FaceFile> FacesFor(const FontRequest& request, int pixels) {
    std::vector<FaceFile> faces;
    FcPattern* pattern = RequestPattern(request, pixels);
    Prepare(pattern);
    FcResult result;
    FcFontSet* sorted = FcFontSort(Config(), pattern, FcFalse, nullptr, &result);
    FcPatternDestroy(pattern);
    if (!sorted) return faces;
    for (int i = 0; i < sorted->nfont && faces.size() < kMaxOffered; ++i) {
        FaceFile face;
        if (Describe(sorted->fonts[i], &face)) faces.push_back(std::move(face));
    }
    FcFontSetDestroy(sorted);
    return faces;
}

std::vector<FaceFile> FacesWith(const FontRequest& request, int pixels, char32_t cp) {
    std::vector<FaceFile> faces;
    FcPattern* pattern = RequestPattern(request, pixels);
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, cp);
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcCharSetDestroy(wanted);
    Prepare(pattern);
    FcResult result;
    if (FcPattern* match = FcFontMatch(Config(), pattern, &result)) {
        FcCharSet* charset = nullptr;
        FaceFile face;
        if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch &&
            FcCharSetHasChar(charset, cp) && Describe(match, &face)) {
            faces.push_back(std::move(face));
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return faces;
}

FT_Error OpenFaceFile(FT_Library library, const FaceFile& file, FT_Face* face) {
    return FT_New_Face(library, file.path.c_str(), file.index, face);
}

}  // namespace platform::text
