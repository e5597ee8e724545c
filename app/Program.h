// Unit Program: the units the process viewer starts and stops. The program
// initialises it (and through it every unit it lists, each after the units
// it uses) before it creates the main window, and finalises everything in
// reverse order when the message loop has ended.
#pragma once

class TUnit;
extern const TUnit unit_Program;
