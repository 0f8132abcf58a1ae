#include "runtime/number_edit.h"
