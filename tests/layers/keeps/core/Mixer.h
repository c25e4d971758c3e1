#include <vector>

#include "core/Fader.h"
