// Undo and redo of the parameters panel's values: the states the values went through, each with
// the profile it was chosen from, and the place of the current one among them. A change is recorded
// once it is finished (a slider drag when the thumb is let go), so that one undo takes back one
// change as the user made it.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "profiles/camera_profile_store.h"
#include "profiles/profile_choice.h"

struct PanelValues {
  ProfileChoice selection;
  bool automatic = false;  // the photo's automatic profile rather than the stored `selection`
  IsoProfile values{};
};

class ValueHistory {
 public:
  // States kept before the oldest is forgotten.
  static constexpr std::size_t kMaxStates = 200;

  // Forgets every state: `now` is the only one (a new photo, a changed profile store).
  void Reset(const PanelValues& now);
  // A finished change led to `now`; the states that redo would have brought back are forgotten.
  // Nothing is recorded when `now` is the current state.
  void Record(const PanelValues& now);
  // The state before (after) the current one, which becomes current; none at either end.
  std::optional<PanelValues> Undo();
  std::optional<PanelValues> Redo();

 private:
  std::vector<PanelValues> states_;
  std::size_t current_ = 0;
};
