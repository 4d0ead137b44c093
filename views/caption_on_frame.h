// Group boxes of the program's windows: their controls stand at fixed places measured from the
// box's top edge, with the caption on the frame line. A style that sets the caption above the
// frame would run the frame line through the topmost controls.
#pragma once

class QGroupBox;

// Draws the frame from half the caption's height down and the caption over its line. Called
// once the box holds its controls: a control made inside it afterwards would not inherit the
// box's font but take the application's.
void PutCaptionOnFrame(QGroupBox& box);
