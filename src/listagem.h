// The solution listing of every node (sol_mode 1) edited on a second processor.
//
// Records are edited in chunks into a small ring, by a helper thread and by the
// main thread whenever the next chunk to go out is not ready, and handed to unit 1
// by the main thread alone, in order: the unit, its failures and the bytes it
// receives are those of one statement per node. Each record is the one the
// formatter makes of the report's solution format "(5(1P,E25.15))", laid out by
// leiaute.h: five 25-character fields and CR LF.
#pragma once

namespace listagem {

// automatic: a helper when a second processor is free and the listing is large.
enum class Helper { automatic, never, always };
void set_helper(Helper h);

// Writes the whole listing on unit 1 and returns true, or returns false with
// nothing written when the statements must write it one by one: no helper is
// wanted, or an error of the node differences would then have to stop the run
// at its record (those statements raise it where they always did).
bool write_all_nodes();

}  // namespace listagem
