// The logo sequence.
#include "game/logo.h"

// Placeholder until the logo exists: start-up goes straight on to the title loop.
void ShowLogo() {}
