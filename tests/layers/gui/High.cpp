#include "gui/High.h"
#include "core/Low.h"
#include <SDL.h>
