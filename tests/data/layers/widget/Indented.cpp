// Fixture: an indented include of a platform header still counts.
#include "kit/base/Value.h"

#include <string>

  #  include <glib/gstdio.h>
