#include <unistd.h>

#include "settings/regfile/RegFile.h"
