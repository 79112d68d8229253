#include "app/Mid.h"
#include "core/Missing.h"
