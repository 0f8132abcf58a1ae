#include "coeficientes.h"
