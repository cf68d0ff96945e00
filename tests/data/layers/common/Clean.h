#pragma once

// Fixture: a clean file. Mentioning <cairo.h> in a comment is not including it:
// #include <cairo.h>
#include "kit/ui/Image.h"

#include <string>
