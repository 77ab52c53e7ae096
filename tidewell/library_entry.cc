// The library's entry: the toolkit reference it holds while loaded and the
// export that hands out the single patch object.
#include <wx/init.h>

#include "tidewell/library_directory.h"
#include "tidewell/live_patch_imp.h"

namespace {

// The library uses the process's one copy of wxWidgets (files, XML, logging),
// which needs an initialised toolkit. The launcher initialises it before it
// loads the library; wxInitialize counts references, so taking one here is
// harmless then and brings the toolkit up (with wxWidgets' own default
// console application object) for a host that did not. The library installs
// no application object of its own: it would replace the host's, and its
// code would vanish with the library while the toolkit still used it.
class ToolkitReference {
 public:
  ToolkitReference() : initialised_(wxInitialize()) {}
  ~ToolkitReference() {
    if (initialised_) wxUninitialize();
  }
  ToolkitReference(const ToolkitReference&) = delete;
  ToolkitReference& operator=(const ToolkitReference&) = delete;

 private:
  bool initialised_;
};

// Constructed when the library is loaded, so before the patch object, and
// therefore released after it when the library is unloaded.
ToolkitReference g_toolkit;

CLivePatch* GetLivePatchInstance() {
  static CLivePatchImp instance(tidewell::ModulePath());
  return &instance;
}

}  // namespace

extern "C" CLivePatch* GetLivePatch() {
  static CLivePatch* const patch = GetLivePatchInstance();
  return patch;
}
