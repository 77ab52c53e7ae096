// The seam between the headless window model and a toolkit that puts the
// model on a real screen. The model stays the one source of truth: a backend
// only mirrors it (windows, controls, browser views) and feeds input back as
// window messages. Without a backend the model runs alone, as in tests.
//
// Threads: Wake may be called from any thread and must return at once.
// WaitForWork and Sync run on the UI thread only, between two messages of
// the message loop.
#pragma once

#include <functional>

namespace skinui {

class NativeBackend {
 public:
  virtual ~NativeBackend() = default;
  // Runs the toolkit's own event loop until `ready` answers true or Wake is
  // called; never polls.
  virtual void WaitForWork(const std::function<bool()>& ready) = 0;
  // Asks a waiting WaitForWork to return (a message was queued, or the
  // model changed and must be mirrored). Any thread.
  virtual void Wake() = 0;
  // Brings the screen up to date with the model: windows created,
  // destroyed, moved, shown, stacked and shaped; invalid parts repainted.
  virtual void Sync() = 0;
};

// Installs the backend (not owned; nullptr removes it). Done once at start-up
// before any window exists, undone after the last window is gone.
void SetNativeBackend(NativeBackend* backend);
NativeBackend* GetNativeBackend();

// Tells the backend that the model changed: bumps the model generation and
// wakes the backend. Any thread; cheap without a backend.
void NoteModelChanged();
// The model generation: grows with every change of a window's place, size,
// visibility, stacking, shape, owner, existence or a browser's address.
unsigned long ModelGeneration();

}  // namespace skinui
