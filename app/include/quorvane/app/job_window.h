// What the download job needs of the window: the address the user typed and the status bar.
// An implementation carries both out wherever its toolkit requires (the Qt window on its UI
// thread) and may be called from any thread.
#pragma once

#include <cstdint>

#include "quorvane/text/text.h"

namespace quorvane {

class JobWindow {
 public:
  virtual ~JobWindow() = default;
  // The edit box's current text, unchanged (no trimming); empty when the box is empty.
  virtual Text ReadAddress() = 0;
  // Sets the text of status-bar part index (0, 1 or 2); any other index does nothing.
  virtual void SetStatusPart(int32_t index, const Text& text) = 0;
};

}  // namespace quorvane
