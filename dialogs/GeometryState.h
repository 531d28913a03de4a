// The geometry state shared by the measuring-geometry dialog and the admin dialog. It follows
// what the dialogs requested, not what the instrument answered.
#pragma once

namespace dialogs {

struct GeometryState {
  // Remembered geometry: 0 = 20°, 1 = 60°, 2 = 20° + 60°.
  int SelectedGeometry = 2;
  bool Geometry20Locked = false;
  bool Geometry60Locked = false;
  // The start-up geometry sequence is running.
  bool StartupGeometryPending = false;
  // What the admin dialog's next geometry check has to do: 0 nothing, 1 the 60° box changed,
  // 2 the 20° box changed, 3 release 20° again, 4 release 60° again.
  int PendingGeometryChange = 0;
};

}  // namespace dialogs
