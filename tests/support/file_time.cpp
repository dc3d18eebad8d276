#include "tests/support/file_time.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace VendraTest {

std::chrono::nanoseconds ModificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::chrono::nanoseconds(0);
  return std::chrono::seconds(status.st_mtim.tv_sec) +
         std::chrono::nanoseconds(status.st_mtim.tv_nsec);
}

bool SetModificationTime(const std::string& path, std::chrono::nanoseconds time) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time);
  const timespec times[2] = {{0, UTIME_OMIT},
                             {static_cast<time_t>(seconds.count()),
                              static_cast<long>((time - seconds).count())}};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace VendraTest
