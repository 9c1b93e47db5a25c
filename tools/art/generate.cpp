#include "pictures.h"

namespace art {

std::vector<NamedPicture> DrawAll() {
    std::vector<NamedPicture> all;
    all.push_back({"logo.bmp", DrawLogo()});
    all.push_back({"title.bmp", DrawTitle()});
    all.push_back({"game0.bmp", DrawGame0()});
    all.push_back({"game1.bmp", DrawGame1()});
    return all;
}

}  // namespace art
