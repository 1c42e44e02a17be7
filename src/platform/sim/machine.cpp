#include "platform/sim/machine.h"

namespace qb::sim {

Machine::Machine()
    : modules_(system_, locale_),
      ui_(modules_),
      eventlog_(system_, registry_),
      channels_(system_, registry_, modules_, accounts_) {
  platform_.registry = &registry_;
  platform_.system = &system_;
  platform_.locale = &locale_;
  platform_.modules = &modules_;
  platform_.ui = &ui_;
  platform_.eventlog = &eventlog_;
  platform_.accounts = &accounts_;
  platform_.channels = &channels_;
}

Machine::~Machine() = default;

}  // namespace qb::sim
