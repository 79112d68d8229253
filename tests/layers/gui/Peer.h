#pragma once
#include "gui/High.h"
