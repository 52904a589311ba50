#include "platform/memtable.h"
