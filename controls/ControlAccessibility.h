#pragma once

class QAccessibleEvent;
class QObject;

// What a screen reader learns of the self-painted controls: each registers the role, name and
// value that the toolkit's own widget of its kind would give, and tells of its changes.
//   status label, section label   a label named by the text it shows
//   progress bar                  a progress bar whose value is the percentage shown
//   lamp                          a label named by its owner, described "off", or by its
//                                 lit colour ("green", "red")
//   hex view                      read-only text: the rows in view, one per line
namespace ControlAccessibility {

// Registers the interfaces; each control calls it, and only the first call counts.
void Install();

// The events a screen reader speaks.
void NameChanged(QObject* control);
void DescriptionChanged(QObject* control);
void ValueChanged(QObject* control, int value);

// Sees every event above before the toolkit sends it on; the toolkit passes events on only
// while a screen reader is attached. Returns the listener it replaces.
using Listener = void (*)(QAccessibleEvent* event);
Listener SetListener(Listener listener);

}  // namespace ControlAccessibility
