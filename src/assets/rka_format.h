// The RKA archive's on-disk layout: shared by the game's reader and the rka tool.
#pragma once
