// Undo and redo of the panel's values: the history itself, and the model recording a slider drag as
// one change.
#include "session/value_history.h"

#include <gtest/gtest.h>

#include "session/panel_model.h"

namespace {

PanelValues State(double strength) {
  PanelValues state;
  state.values.m_dStrength = strength;
  return state;
}

double Strength(const std::optional<PanelValues>& state) {
  return state ? state->values.m_dStrength : -1;
}

TEST(ValueHistory, StepsBackAndForthAndANewChangeForgetsWhatRedoHad) {
  ValueHistory history;
  history.Reset(State(1));
  history.Record(State(2));
  history.Record(State(2));  // no change: nothing recorded
  history.Record(State(3));
  EXPECT_EQ(Strength(history.Undo()), 2);
  EXPECT_EQ(Strength(history.Undo()), 1);
  EXPECT_FALSE(history.Undo());
  EXPECT_EQ(Strength(history.Redo()), 2);
  history.Record(State(4));
  EXPECT_FALSE(history.Redo());
  EXPECT_EQ(Strength(history.Undo()), 2);

  for (int i = 0; i < 500; ++i) history.Record(State(10 + i));
  int steps = 0;
  while (history.Undo()) ++steps;
  EXPECT_EQ(steps, static_cast<int>(ValueHistory::kMaxStates) - 1);
}

TEST(PanelModelHistory, ADragIsOneChangeAndNothingIsUndoneDuringARun) {
  PanelModel model;
  const double stored = model.Values().m_dStrength;
  for (int position : {300, 400, 500}) {
    model.SetSliderPosition(PanelScale::kStrength, position, false);
  }
  model.FinishValueChange();
  model.SetMedianMode(2);
  EXPECT_TRUE(model.Undo());
  EXPECT_DOUBLE_EQ(model.Values().m_dStrength, 25.0);
  EXPECT_EQ(model.Values().m_iUseMedian, 0);
  EXPECT_TRUE(model.Undo());
  EXPECT_DOUBLE_EQ(model.Values().m_dStrength, stored);
  EXPECT_FALSE(model.Undo());
  EXPECT_TRUE(model.Redo());
  model.RunStarted();
  EXPECT_FALSE(model.Undo());  // nothing changes during a run
}

}  // namespace
