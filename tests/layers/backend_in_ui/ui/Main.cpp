#include "midi/jack/JackOutput.h"
