// Whether the host asked a deep recovery to stop (its break byte), read between pages or blocks.
#pragma once

namespace deep {

// True once the break byte is set; logs it each time it answers true.
bool StopRequested();

}  // namespace deep
