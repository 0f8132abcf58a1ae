// Memory on Windows: physical memory, a job's limit, zero pages on demand.
#include <windows.h>

#include <algorithm>

#include "runtime/platform/platform.h"

namespace rt::plat {

std::uint64_t memory_limit() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  std::uint64_t limit = ::GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
  if (::QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job, nullptr)) {
    const DWORD flags = job.BasicLimitInformation.LimitFlags;
    if (flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) limit = std::min<std::uint64_t>(limit, job.ProcessMemoryLimit);
    if (flags & JOB_OBJECT_LIMIT_JOB_MEMORY) limit = std::min<std::uint64_t>(limit, job.JobMemoryLimit);
  }
  return limit;
}

// Committed at once (Windows counts it against the commit limit), but a page is
// zero-filled only when first touched.
void* zeroed_pages(std::size_t n) { return ::VirtualAlloc(nullptr, n, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void release_pages(void* p, std::size_t) { ::VirtualFree(p, 0, MEM_RELEASE); }

}  // namespace rt::plat
