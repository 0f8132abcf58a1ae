#include "processamento.h"
