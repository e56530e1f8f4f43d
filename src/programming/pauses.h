#pragma once

#include <cstdint>

namespace korvel {

// Every fixed pause of the device procedures goes through here, so that tests can count them
// instead of sleeping.
class Pauses {
 public:
  virtual ~Pauses() = default;
  virtual void pause(std::uint32_t milliseconds) = 0;
};

class RealPauses : public Pauses {
 public:
  void pause(std::uint32_t milliseconds) override;
};

}  // namespace korvel
