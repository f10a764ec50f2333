// event_pump.h - what the night lets run while it waits.
//
// The clock's waits, the dwell and the INDI link call processEvents() at
// their yields, so that the views that live on the night's thread (the
// console, the window) draw what the status board holds and hear a close.
// A pump shows nothing itself; it is not a view.
#pragma once

#include <vector>

namespace vantrel {

class EventPump {
 public:
  virtual ~EventPump() = default;
  // Lets pending work run and returns.
  virtual void processEvents() = 0;
};

// For the nights nobody watches: the plan, the look-ahead, a park now.
class NoEvents : public EventPump {
 public:
  void processEvents() override {}
};

// Several pumps as one, served in the order added.
class EventPumps : public EventPump {
 public:
  void add(EventPump& pump) { pumps_.push_back(&pump); }
  void processEvents() override {
    for (EventPump* pump : pumps_) pump->processEvents();
  }

 private:
  std::vector<EventPump*> pumps_;
};

}  // namespace vantrel
