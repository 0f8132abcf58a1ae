// List-directed read statements.
//
// A statement is list_read_begin, one call per item, list_read_end. Each value is
// sought from the current byte on; blanks, tabs and ends of record before it are
// skipped. A value ends at a blank, a tab, a comma, a slash or the end of its
// record; quoted values ('...' or "...", a doubled quote stands for one) may hold
// all of these and go on across records. r*c repeats c for r items. An empty value
// (",", "/" or '') leaves the item unchanged. list_read_end skips the rest of the
// record, unless the last value ended with it.
#pragma once

#include <cstdint>

namespace rt {

void list_read_begin(int unit);
void list_read_char(char* item, int len);
void list_read_real8(double* item);
void list_read_int4(std::int32_t* item);
void list_read_end();

// The conversions of a plain token, exposed for tests. They raise the run-time
// error of the statement in progress (6100/6101/6302/6303, 6102/6103).
std::int32_t convert_int4(const char* token, int len);
double convert_real8(const char* token, int len);

}  // namespace rt
