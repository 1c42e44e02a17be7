// The Windows test program of the platform suites and of the Windows backend's own tests:
//   qb_platform_suites [GoogleTest options] [path of the built plugin library]
#include <gtest/gtest.h>

#include "backend_only.h"

namespace qb::suite {

std::wstring& PluginPath() {
  static std::wstring path;
  return path;
}

}  // namespace qb::suite

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) {
    const std::string path = argv[1];
    qb::suite::PluginPath().assign(path.begin(), path.end());
  }
  return RUN_ALL_TESTS();
}
