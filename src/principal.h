// The run sequence.
#pragma once

namespace principal {

void run();

}  // namespace principal
