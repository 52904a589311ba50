#include "engine/interval.h"
