#include "midi/MidiOutPort.h"
