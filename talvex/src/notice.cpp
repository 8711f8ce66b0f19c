#include "notice.h"

#include "zplatform/window_registry.h"

namespace talvex {

void PostNoRightsNotice() { zplatform::PostMessageTo(kHostWindowClass, kNoRightsNotice, 0, 0); }

}  // namespace talvex
