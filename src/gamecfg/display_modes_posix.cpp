// Outside Windows there is no display for the game client to use: the list holds the
// configured size alone.
#include "gamecfg/display_modes.h"

std::vector<SystemDisplayMode> systemDisplayModes() { return {}; }
