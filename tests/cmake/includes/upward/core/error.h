#pragma once
#include <QString>
#include "core/error.h"
