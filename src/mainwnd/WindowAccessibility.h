// The window's own accessible interfaces, installed once for the process
// (QAccessible::installFactory): drop-down lists named by their label
// (CAccessibleCombo), value labels that expose their value
// (CAccessibleValueLabel) and the receive lists as tables
// (CAccessibleHexList). Every other widget keeps Qt's interface.
//
// Threading: window thread; call before the window's widgets are first
// asked for (their interfaces are made once and kept).
#pragma once

void InstallWindowAccessibility();
