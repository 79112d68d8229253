#pragma once
#include "core/Low.h"
#include <SDL.h>
