#include <jack/jack.h>

#include "JackOutput.h"
#include "midi/MidiOutPort.h"
