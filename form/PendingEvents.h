#pragma once

// A pod sequence runs on the user-interface thread. After each immediate repaint the
// displays let the toolkit handle what the window system is waiting for (expose, move,
// close requests) so the window is not taken for frozen; clicks and keys stay queued, and
// the operation controls are disabled anyway.
namespace PendingEvents {
void ProcessExceptUserInput();
}
