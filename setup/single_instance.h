// One installation of a package at a time: a second start of the same
// installer (the same sealed package, or the same file when it is not
// sealed) brings the first one's dialog to the front instead of opening
// a second dialog that could install into the same folder at once.
#pragma once

#include <windows.h>

// True when no other run of this installer holds the claim; this run then
// holds it until ReleaseSingleInstance. False when another does: when
// `show_other` is set, its dialog has been brought to the front.
bool ClaimSingleInstance(bool show_other);

// Ends this run's claim, if it holds one.
void ReleaseSingleInstance();

// Makes `dialog`, of the run that holds the claim, the one that a second
// start brings to the front.
void PublishDialog(HWND dialog);
