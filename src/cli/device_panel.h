#pragma once

#include "programming/operator_panel.h"
#include "programming/progress_event.h"

namespace korvel {

// The panel of one device's run on the command line: the operator's fields, the messages, and
// whatever it draws from the run's events.
class DevicePanel : public OperatorPanel, public ProgressObserver {
 public:
  // Ends whatever line the panel is drawing, so that nothing else lands on it.
  virtual void endProgress() {}
};

}  // namespace korvel
