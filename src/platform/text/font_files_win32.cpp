// The text engine's faces on Windows: the fonts folder's, else the fonts the package ships in
// "fonts" beside the program (a Japanese face under its own licence, for systems without one).
// GDI's rules, roughly: a face named in the request is matched against every family name the
// font gives (Japanese ones too: "ＭＳ ゴシック" finds msgothic.ttc), then faces that cover
// Japanese come first, then the requested weight and slant, then the system's Japanese faces
// in a fixed order before any other, the package's last.
//
// Reading every font the system has can take a while, so the catalogue starts with the usual
// Japanese files and the package's fonts and reads the whole folder only when a request names a
// face those lack, or asks for a character none of them has. It lives for the process.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "font_files.h"
#include "utf16.h"

#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H

namespace platform::text {
namespace {

// The system's Japanese faces, best first (Windows has had the first since its Japanese
// editions began; the others came later).
constexpr const wchar_t* kJapaneseFiles[] = {L"msgothic.ttc", L"YuGothM.ttc", L"YuGothR.ttc",
                                             L"meiryo.ttc",   L"YuGothB.ttc", L"msmincho.ttc"};
constexpr int kOtherSystemRank = 50;
constexpr int kPackageRank = 100;

std::string Fold(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::wstring FoldWide(std::wstring s) {
    for (wchar_t& c : s) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return s;
}

// A FreeType stream over a file opened by its wide name: FreeType's own opens files in the
// ANSI code page, which cannot name every folder a player's program may sit in.
struct FileStream {
    FT_StreamRec stream{};
    std::FILE* file = nullptr;
};

unsigned long ReadStream(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                         unsigned long count) {
    auto* file = static_cast<std::FILE*>(stream->descriptor.pointer);
    if (_fseeki64(file, static_cast<__int64>(offset), SEEK_SET) != 0) return count == 0 ? 1 : 0;
    if (count == 0) return 0;  // a seek: 0 is success
    return static_cast<unsigned long>(std::fread(buffer, 1, count, file));
}

void CloseStream(FT_Stream stream) {
    std::fclose(static_cast<std::FILE*>(stream->descriptor.pointer));
    delete reinterpret_cast<FileStream*>(stream);
}

// One face the catalogue knows, with what a request is matched against.
struct Entry {
    FaceFile file;
    std::vector<std::string> names;  // every family name, ASCII letters folded
    bool japanese = false;
    int rank = 0;
};

std::string NameText(const FT_SfntName& name) {
    const bool utf16 =
        name.platform_id == TT_PLATFORM_APPLE_UNICODE ||
        (name.platform_id == TT_PLATFORM_MICROSOFT &&
         (name.encoding_id == TT_MS_ID_UNICODE_CS || name.encoding_id == TT_MS_ID_SYMBOL_CS));
    if (utf16) {
        std::wstring wide;
        for (FT_UInt i = 0; i + 1 < name.string_len; i += 2) {
            wide += static_cast<wchar_t>((name.string[i] << 8) | name.string[i + 1]);
        }
        return WideToUtf8(wide);
    }
    if (name.platform_id == TT_PLATFORM_MACINTOSH && name.encoding_id == TT_MAC_ID_ROMAN) {
        std::string ascii(reinterpret_cast<const char*>(name.string), name.string_len);
        if (std::all_of(ascii.begin(), ascii.end(),
                        [](char c) { return c > 0 && static_cast<unsigned char>(c) < 0x80; })) {
            return ascii;
        }
    }
    return {};
}

Entry Describe(FT_Face face, const std::string& path, int index, int rank) {
    Entry entry;
    entry.file.path = path;
    entry.file.index = index;
    entry.file.family = face->family_name ? face->family_name : "";
    entry.file.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    entry.file.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && os2->usWeightClass >= 600) {
        entry.file.bold = true;
    }
    entry.rank = rank;
    // "あ" and "日": kana and kanji both.
    entry.japanese = FT_Get_Char_Index(face, 0x3042) != 0 && FT_Get_Char_Index(face, 0x65E5) != 0;
    if (!entry.file.family.empty()) entry.names.push_back(Fold(entry.file.family));
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
        if (name.name_id != TT_NAME_ID_FONT_FAMILY && name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY)
            continue;
        std::string text = Fold(NameText(name));
        if (!text.empty() &&
            std::find(entry.names.begin(), entry.names.end(), text) == entry.names.end()) {
            entry.names.push_back(std::move(text));
        }
    }
    return entry;
}

// The system's fonts folder, "Fonts" in the Windows folder on every version (what the Fonts
// known folder names; asking the shell for it would start Wine's services for a folder name).
std::wstring SystemFontsFolder() {
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(windows, length) + L"\\Fonts";
}

// Fonts a user installed without administrator rights: %LOCALAPPDATA%\Microsoft\Windows\Fonts.
std::wstring UserFontsFolder() {
    wchar_t local[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(local, length) + L"\\Microsoft\\Windows\\Fonts";
}

// "fonts" beside the program.
std::wstring PackageFontsFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"fonts" : path.substr(0, slash) + L"\\fonts";
}

bool IsFontFile(const std::wstring& name) {
    const size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos) return false;
    const std::wstring ext = FoldWide(name.substr(dot));
    return ext == L".ttf" || ext == L".ttc" || ext == L".otf" || ext == L".otc";
}

std::vector<std::wstring> FontFilesIn(const std::wstring& folder) {
    std::vector<std::wstring> files;
    if (folder.empty()) return files;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsFontFile(found.cFileName))
            files.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());  // the same order on every run
    return files;
}

class Catalogue {
  public:
    std::vector<FaceFile> FacesFor(const FontRequest& request) {
        std::lock_guard lock(mutex_);
        StartOnce();
        const std::string face = Fold(Cp932ToUtf8(request.faceName));
        if (!face.empty() && !Named(face)) ReadEverything();
        std::vector<FaceFile> faces;
        for (size_t i : Order(request, face)) faces.push_back(entries_[i].file);
        return faces;
    }

    std::vector<FaceFile> FacesWith(const FontRequest& request, char32_t cp) {
        std::lock_guard lock(mutex_);
        StartOnce();
        const std::string face = Fold(Cp932ToUtf8(request.faceName));
        std::vector<bool>& has = Coverage(cp);
        if (std::find(has.begin(), has.end(), true) == has.end() && !complete_) {
            ReadEverything();
            coverage_.erase(cp);
        }
        std::vector<bool>& covered = Coverage(cp);
        for (size_t i : Order(request, face)) {
            if (covered[i]) return {entries_[i].file};
        }
        return {};
    }

    ~Catalogue() {
        if (library_) FT_Done_FreeType(library_);
    }

  private:
    void StartOnce() {
        if (started_) return;
        started_ = true;
        if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
        system_ = SystemFontsFolder();
        for (int rank = 0; const wchar_t* name : kJapaneseFiles) {
            const std::wstring path = system_ + L"\\" + name;
            if (!system_.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                Add(path, rank);
            ++rank;
        }
        const std::wstring package = PackageFontsFolder();
        for (const std::wstring& name : FontFilesIn(package))
            Add(package + L"\\" + name, kPackageRank);
    }

    // Every font of the system's folder and the user's own (installed without administrator
    // rights), once.
    void ReadEverything() {
        if (complete_) return;
        complete_ = true;
        for (const std::wstring& folder : {system_, UserFontsFolder()}) {
            for (const std::wstring& name : FontFilesIn(folder))
                Add(folder + L"\\" + name, kOtherSystemRank);
        }
        coverage_.clear();
    }

    // Adds every face of a file not yet known.
    void Add(const std::wstring& wide, int rank) {
        if (!library_) return;
        const std::string path = WideToUtf8(wide);
        if (!files_.insert(Fold(path)).second) return;
        FaceFile file{path, 0, {}, false, false};
        for (int index = 0, count = 1; index < count; ++index) {
            file.index = index;
            FT_Face face = nullptr;
            if (OpenFaceFile(library_, file, &face) != 0) return;
            count = static_cast<int>(std::min<FT_Long>(face->num_faces, 64));
            if (FT_IS_SCALABLE(face)) entries_.push_back(Describe(face, path, index, rank));
            FT_Done_Face(face);
        }
    }

    bool Named(const std::string& face) const {
        return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) {
            return std::find(e.names.begin(), e.names.end(), face) != e.names.end();
        });
    }

    // The entries, best first for the request.
    std::vector<size_t> Order(const FontRequest& request, const std::string& face) const {
        const bool bold = request.weight >= 600;
        auto key = [&](size_t i) {
            const Entry& e = entries_[i];
            const bool unnamed =
                !face.empty() && std::find(e.names.begin(), e.names.end(), face) == e.names.end();
            return std::make_tuple(unnamed, !e.japanese, e.file.bold != bold,
                                   e.file.italic != request.italic, e.rank, i);
        };
        std::vector<size_t> order(entries_.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key(a) < key(b); });
        return order;
    }

    // Which entries have cp, worked out once a character.
    std::vector<bool>& Coverage(char32_t cp) {
        auto [it, added] = coverage_.try_emplace(cp);
        if (!added) return it->second;
        it->second.assign(entries_.size(), false);
        for (size_t i = 0; i < entries_.size(); ++i) {
            FT_Face face = nullptr;
            if (OpenFaceFile(library_, entries_[i].file, &face) != 0) continue;
            it->second[i] = FT_Get_Char_Index(face, cp) != 0;
            FT_Done_Face(face);
        }
        return it->second;
    }

    std::mutex mutex_;
    bool started_ = false, complete_ = false;
    FT_Library library_ = nullptr;
    std::wstring system_;
    std::vector<Entry> entries_;
    std::set<std::string> files_;
    std::map<char32_t, std::vector<bool>> coverage_;
};

Catalogue& TheCatalogue() {
    static Catalogue catalogue;
    return catalogue;
}

}  // namespace

std::vector<FaceFile> FacesFor(const FontRequest& request, int /*pixels*/) {
    return TheCatalogue().FacesFor(request);
}

std::vector<FaceFile> FacesWith(const FontRequest& request, int /*pixels*/, char32_t cp) {
    return TheCatalogue().FacesWith(request, cp);
}

FT_Error OpenFaceFile(FT_Library library, const FaceFile& file, FT_Face* face) {
    std::FILE* handle = _wfopen(Utf8ToWide(file.path).c_str(), L"rb");
    if (!handle) return FT_Err_Cannot_Open_Resource;
    __int64 size = -1;
    if (_fseeki64(handle, 0, SEEK_END) == 0) size = _ftelli64(handle);
    if (size <= 0 || size > 0x7FFFFFFF) {
        std::fclose(handle);
        return FT_Err_Invalid_File_Format;
    }
    auto* stream = new FileStream;
    stream->file = handle;
    stream->stream.size = static_cast<unsigned long>(size);
    stream->stream.descriptor.pointer = handle;
    stream->stream.read = ReadStream;
    stream->stream.close = CloseStream;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &stream->stream;
    // FreeType closes the stream (CloseStream) when the face goes, or at once if it fails.
    return FT_Open_Face(library, &args, file.index, face);
}

}  // namespace platform::text
