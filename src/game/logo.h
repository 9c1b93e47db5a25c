// The logo sequence shown once at start-up.
#pragma once

// Loads "logo.bmp" with its palette into slot 2 and shows it: mosaic in, two seconds sharp,
// mosaic out. The title's own fade-in follows the last coarse frame.
void ShowLogo();
