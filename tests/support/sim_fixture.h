// A test that runs the core on its own simulated machine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/sim/machine.h"

namespace qb::support {

class SimTest : public ::testing::Test {
 protected:
  SimTest() : machine_(std::make_unique<sim::Machine>()), install_(machine_->platform()) {}

  sim::Machine& machine() { return *machine_; }
  sim::SimRegistry& registry() { return machine_->registry(); }
  sim::SimSystem& files() { return machine_->system(); }

  // Loads the plugin's own resources from the built DLL; false when the build did not give one.
  bool LoadPluginResources();

  // A file's contents as text (UTF-16 LE after a byte-order mark, else 8-bit as Latin-1).
  std::u16string FileText(std::u16string_view path);

 private:
  std::unique_ptr<sim::Machine> machine_;
  platform::ScopedInstall install_;
};

// u"..." in assertions prints unreadably; this gives UTF-8 for messages.
std::string U8(std::u16string_view text);

}  // namespace qb::support
