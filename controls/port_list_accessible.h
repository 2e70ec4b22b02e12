// The port list for screen readers: named after its label, like every other
// control, with the chosen port as its value.
#pragma once

class PortList;

// Installs the accessible interface of every PortList (once) and gives list
// its own.
void makeAccessible(PortList *list);
