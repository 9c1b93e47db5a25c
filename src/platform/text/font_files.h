// Where the text engine's faces come from: the one part of it that differs between systems.
// fontconfig on Linux (font_files_fontconfig.cpp), the Windows fonts folder and the fonts the
// package ships on Windows (font_files_win32.cpp). The engine (text_engine.cpp) opens what
// these offer with FreeType and draws alike everywhere.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "text_engine.h"

namespace platform::text {

// One face of a font file, as a finder describes it.
struct FaceFile {
    std::string path;  // UTF-8
    int index = 0;     // the face in a collection (.ttc)
    std::string family;
    bool bold = false;    // the face's own weight is bold (600 or more)
    bool italic = false;  // the face is italic or oblique
};

// The faces for a request, best first; the engine takes the first that opens as a scalable
// font. `pixels` is the requested size (fontconfig may prefer a face designed for it).
std::vector<FaceFile> FacesFor(const FontRequest& request, int pixels);

// A face other than the primary one that has `cp`, for characters the primary face lacks:
// none, or one.
std::vector<FaceFile> FacesWith(const FontRequest& request, int pixels, char32_t cp);

// Opens a face the finders offered (paths in UTF-8 whatever the system's code page).
FT_Error OpenFaceFile(FT_Library library, const FaceFile& file, FT_Face* face);

}  // namespace platform::text
