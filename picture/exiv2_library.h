// Exiv2 as the core uses it: set up once, its warnings routed to the library message log.
#pragma once

// Makes sure Exiv2 is set up (its XMP parser initialised, its messages routed). Cheap after the
// first call.
void UseExiv2();
