// The receiving half of the echo test: what arrives on the line is appended
// to the receive box; the clear button empties both boxes.
#pragma once

struct Form1Controls;

// MSComm1's OnComm.
void MSComm1OnComm(const Form1Controls &form);

// Command2's Click ("清 屏").
void Command2Click(const Form1Controls &form);
