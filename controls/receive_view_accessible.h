// The receive box for screen readers: its text, caret and selection through
// Qt's accessible text interface; what arrives announced as inserted text,
// gathered into one announcement per event-loop pass and at most one each
// 100 ms, and told as notices (arrival_notices.h); what is dropped announced
// with the text dropped.
#pragma once

class ReceiveView;

// Installs the accessible interface of every ReceiveView (once) and starts
// announcing view's text changes.
void makeAccessible(ReceiveView *view);
