// The program's window resources: dialog templates and the icon group.
// Needs an initialised wxWidgets.
#pragma once

class wxIconBundle;

// Loads the compiled dialog templates into wxXmlResource. Register the
// template and control names with their numbers before creating from them.
void AfxLoadWindowResources();

// The icon group `id` (16x16 and 32x32 images, rendered from res/orvane.svg),
// or nullptr when there is none. Owned by the resources until AfxReleaseWindowResources().
const wxIconBundle* AfxResourceIconGroup(unsigned int id);

// Frees what the resources hold; call before wxWidgets is cleaned up.
void AfxReleaseWindowResources();
