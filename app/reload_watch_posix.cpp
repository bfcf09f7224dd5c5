#include <sys/stat.h>

#include "app/reload_watch.h"

namespace AppLayer {

GuiFileStamp FileStampOf(const RawString& path) {
  struct stat info {};
  if (::stat(path.Convert(RawLayer::CodeUtf8).ToUtf8().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  GuiFileStamp stamp;
  stamp.exists = true;
  stamp.size = static_cast<int64_t>(info.st_size);
  stamp.writeTime = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return stamp;
}

}  // namespace AppLayer
