// The bare application object of tests that link the layer without the
// program (target orvane_guitest_app).
#pragma once

namespace guitest {
// How many ID_HELP commands (F1) the application received.
int HelpCommandCount();
}  // namespace guitest
