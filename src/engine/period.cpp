#include "engine/period.h"
