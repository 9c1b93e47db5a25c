// The RKA archive's on-disk layout: shared by the game's reader and the rka tool.
#include "assets/rka_format.h"
