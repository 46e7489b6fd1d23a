#include "util/file_system.h"

#include <fcntl.h>
#include <unistd.h>

namespace quorvane {

bool CreateNewFile(const std::filesystem::path& path) {
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (file < 0) {
    return false;
  }
  ::close(file);
  return true;
}

}  // namespace quorvane
