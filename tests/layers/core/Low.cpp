#include "core/Low.h"
#include "gui/High.h"
#include "platform/Files.h"
