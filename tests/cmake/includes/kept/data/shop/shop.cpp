#include "data/shop/shop.h"
#include "data/engine/table.h"
#include "core/error.h"
