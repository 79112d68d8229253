#include "gui/Peer.h"
#include "gui/High.h"
