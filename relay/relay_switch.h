// The relay switch: each press of Command1 sends "K" or "G" in turn and shows
// the relay's state with the red and green lamps.
#pragma once

struct Form1Controls;
struct Module1;

// Command1's Click ("继电器").
void Command1Click(const Form1Controls &form, Module1 &state);
