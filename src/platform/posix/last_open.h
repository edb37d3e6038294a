// What LastOpenMadeFile reports, set by every open that may create.
#pragma once

namespace platform {
void SetLastOpenMade(bool made);
}
