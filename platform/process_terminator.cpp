#include "platform/process.h"

namespace VendraPlatform {
namespace {

class SystemTerminator final : public IProcessTerminator {
 public:
  void Terminate(uint32_t exitCode) override { TerminateCurrentProcess(exitCode); }
};

}  // namespace

IProcessTerminator& SystemProcessTerminator() {
  static SystemTerminator terminator;
  return terminator;
}

}  // namespace VendraPlatform
