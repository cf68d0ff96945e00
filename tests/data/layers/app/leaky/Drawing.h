#pragma once

// Fixture: code above the kit that reaches for the platform directly.
#include "kit/ui/View.h"
#include <cairo.h>
