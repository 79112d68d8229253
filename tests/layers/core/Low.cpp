#include "core/Low.h"
#include "gui/High.h"
