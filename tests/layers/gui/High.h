#pragma once
#include <imgui.h>
#include "app/Mid.h"
#include "gui/Peer.h"
