// The part of a unit that names platform types, apart from units.h so that the
// units' users do not see them. Held by the unit_record; tests reach the file
// through it.
#pragma once

#include "runtime/platform/platform.h"
#include "runtime/units.h"

namespace rt {

struct unit_os {
  plat::File handle;
  plat::FileId id;  // volume and file index, to refuse a second unit on one file
  bool has_id = false;
};

}  // namespace rt
