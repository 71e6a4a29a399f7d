// A progress gauge holding 0..100.
#pragma once

namespace tarnwick {

class Gauge {
 public:
  // Takes the value when it lies in 0..100; any other value is refused and the previous value
  // stays. Returns whether the value was taken.
  bool Set(int value) {
    if (value < 0 || value > 100) return false;
    value_ = value;
    return true;
  }
  int Value() const { return value_; }

 private:
  int value_ = 0;
};

}  // namespace tarnwick
