#pragma once

namespace controls {

// Makes the skinned controls known to screen readers as buttons and check
// boxes that can be pressed; safe to call any number of times.
void installSkinAccessible();

} // namespace controls
