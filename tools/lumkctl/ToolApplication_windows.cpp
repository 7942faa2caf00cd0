// Windows' own platform plugin (shipped beside the programs) works from a
// console without a window, and has the system's fonts.
#include "ToolApplication.h"

void UseHeadlessPlatform() {}
