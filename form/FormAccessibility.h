#pragma once

// The form's drop-down boxes as a screen reader sees them: named by their labels ("CPU",
// "S File Path") with their text as the value. The toolkit's own interface for a drop-down
// box names it by its value on this platform, so that the CPU box would be announced as
// "DSP56F807"; this one keeps the toolkit's role, children, states and actions.
namespace FormAccessibility {

// Registers the interface for the boxes of a programmer form; only the first call counts.
void Install();

}  // namespace FormAccessibility
