#pragma once

namespace VendraPlatform {

// Turns the first Ctrl-C (on POSIX also SIGTERM and SIGHUP) into a request
// the running work answers at a safe point, instead of the end of the
// program; a second one ends the program as it always would. One watch at a
// time; the earlier handling comes back when it goes.
class InterruptionWatch {
 public:
  InterruptionWatch();
  ~InterruptionWatch();
  InterruptionWatch(const InterruptionWatch&) = delete;
  InterruptionWatch& operator=(const InterruptionWatch&) = delete;

  bool Requested() const;
};

}  // namespace VendraPlatform
