#include "runtime/format_output.h"
