#pragma once
#include <string>
#include "app/Mid.h"
