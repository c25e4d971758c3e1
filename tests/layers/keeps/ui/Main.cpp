#include <QWidget>

#include "core/Mixer.h"
#include "settings/AccessSettings.h"
