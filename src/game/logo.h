// The logo sequence shown once at start-up.
#pragma once

void ShowLogo();
