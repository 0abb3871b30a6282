#pragma once

// A pod sequence runs on the user-interface thread. After each immediate repaint the
// displays let the toolkit handle what is waiting (expose, move and close requests, and the
// operator's clicks and keys) so the window is not taken for frozen. The form's input gate
// lets clicks and keys reach only the controls that stay usable during an operation.
namespace PendingEvents {
void Process();
}
