#include "solvers.h"
