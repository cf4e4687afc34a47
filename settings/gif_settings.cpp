// The one settings record, at its initial values from load on.
#include "settings/gif_settings.h"

GifSettings gifSettings = {0, 0};
