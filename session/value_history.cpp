#include "session/value_history.h"

namespace {

bool Same(const PanelValues& a, const PanelValues& b) {
  return a.selection.camera == b.selection.camera && a.selection.isoIndex == b.selection.isoIndex &&
         a.automatic == b.automatic && a.values == b.values;
}

}  // namespace

void ValueHistory::Reset(const PanelValues& now) {
  states_.assign(1, now);
  current_ = 0;
}

void ValueHistory::Record(const PanelValues& now) {
  if (states_.empty()) {
    Reset(now);
    return;
  }
  if (Same(states_[current_], now)) return;
  states_.resize(current_ + 1);
  states_.push_back(now);
  if (states_.size() > kMaxStates) states_.erase(states_.begin());
  current_ = states_.size() - 1;
}

std::optional<PanelValues> ValueHistory::Undo() {
  if (current_ == 0 || states_.empty()) return std::nullopt;
  return states_[--current_];
}

std::optional<PanelValues> ValueHistory::Redo() {
  if (current_ + 1 >= states_.size()) return std::nullopt;
  return states_[++current_];
}
