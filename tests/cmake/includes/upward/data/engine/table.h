#pragma once
#include "core/error.h"
#include "data/shop/shop.h"
