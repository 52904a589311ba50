#include "engine/skipset.h"
