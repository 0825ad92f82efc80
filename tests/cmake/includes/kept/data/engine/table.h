#pragma once
#include "core/error.h"
#include "data/engine/table.h"
